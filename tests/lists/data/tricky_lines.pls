File1=http://before.example/header
[ Всё подряд]
File1=http://space.example/inside-brackets

	  ; a comment = with an equals sign
[Всё подряд] text after the bracket is ignored
FILE1   =   "http://quoted.example/a=b;c"	
title1	=  Title with "quotes" = and ; semicolon  	
file2=http://second.example/
Title2
File3 = http://third.example/
TITLE3 = Третья
Title3 = A later Title3 is never read
File3 = http://later.example/never-read
[Всё подряд]
File4=http://second-header.example/never-searched
