[Всё подряд]
File1=http://a.example/1
File2=http://a.example/2
Title2=Вторая
File3=
Title3=Третья
File4=http://a.example/4
