; Радиостанции проигрывателя VOLNAR
[Всё подряд]
File1=https://ice1.somafm.com/groovesalad-128-mp3
Title1=SomaFM: Groove Salad
File2=https://ice1.somafm.com/dronezone-128-mp3
Title2=SomaFM: Drone Zone
File3=https://stream.radioparadise.com/mp3-128
Title3=Radio Paradise
File4=http://icecast.radiofrance.fr/fip-midfi.mp3
Title4=FIP (Radio France)
File5=https://icecast-vgtrk.cdnvideo.ru/mayakfm_mp3_128kbps
Title5=Радио Маяк
File6=https://icecast-vgtrk.cdnvideo.ru/vestifm_mp3_128kbps
Title6=Вести FM
File7=https://icecast-vgtrk.cdnvideo.ru/orpheus_mp3_192kbps
Title7=Орфей
File8=https://radiorecord.hostingradio.ru/rr_main96.aacp
Title8=Радио Рекорд
