[Всё подряд
File1=http://a.example/no-bracket
Title1=Без скобки
