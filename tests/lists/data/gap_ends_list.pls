[Всё подряд]
File1=http://a.example/1
Title1=Первая
File2=http://a.example/2
Title2=Вторая
File4=http://a.example/4
Title4=Четвёртая
