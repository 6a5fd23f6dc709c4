File1=http://a.example/1
Title1=One
