; Станции для проигрывателя
[Другая группа]
File1=http://other.example/one
Title1=Не та станция
[Всё подряд]
File1=http://radio.example/classic.mp3
Title1=Классика FM
File2=https://radio.example:8443/jazz
Title2=Джаз
File3=http://radio.example/rock?x=1&y=2
Title3=Rock
