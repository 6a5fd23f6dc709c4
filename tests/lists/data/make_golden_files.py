#!/usr/bin/python3
"""Writes the station files of the reader's golden tests (NAME.pls) with the stations each
must give (NAME.stations, UTF-8, one "address<TAB>title" line per station). The files are
committed; this script only shows how their bytes were made."""

import os

HERE = os.path.dirname(os.path.abspath(__file__))
GROUP = "Всё подряд"


def write(name, text, encoding, stations, bom=False, newline="\n"):
    data = text.replace("\n", newline).encode(encoding)
    if bom:
        data = b"\xef\xbb\xbf" + data
    with open(os.path.join(HERE, name + ".pls"), "wb") as f:
        f.write(data)
    with open(os.path.join(HERE, name + ".stations"), "wb") as f:
        f.write("".join(f"{a}\t{t}\n" for a, t in stations).encode("utf-8"))


BASIC = f"""; Станции для проигрывателя
[Другая группа]
File1=http://other.example/one
Title1=Не та станция
[{GROUP}]
File1=http://radio.example/classic.mp3
Title1=Классика FM
File2=https://radio.example:8443/jazz
Title2=Джаз
File3=http://radio.example/rock?x=1&y=2
Title3=Rock
"""
BASIC_STATIONS = [
    ("http://radio.example/classic.mp3", "Классика FM"),
    ("https://radio.example:8443/jazz", "Джаз"),
    ("http://radio.example/rock?x=1&y=2", "Rock"),
]

write("cp1251_lf", BASIC, "cp1251", BASIC_STATIONS)
write("cp1251_crlf", BASIC, "cp1251", BASIC_STATIONS, newline="\r\n")
write("utf8_bom_crlf", BASIC, "utf-8", BASIC_STATIONS, bom=True, newline="\r\n")
write("utf8_plain_cr", BASIC, "utf-8", BASIC_STATIONS, newline="\r")

write("gap_ends_list", f"""[{GROUP}]
File1=http://a.example/1
Title1=Первая
File2=http://a.example/2
Title2=Вторая
File4=http://a.example/4
Title4=Четвёртая
""", "cp1251", [("http://a.example/1", "Первая"), ("http://a.example/2", "Вторая")])

write("empty_file3_ends_list", f"""[{GROUP}]
File1=http://a.example/1
File2=http://a.example/2
Title2=Вторая
File3=
Title3=Третья
File4=http://a.example/4
""", "cp1251", [("http://a.example/1", ""), ("http://a.example/2", "Вторая")])

write("tricky_lines", f"""File1=http://before.example/header
[ {GROUP}]
File1=http://space.example/inside-brackets

\t  ; a comment = with an equals sign
[{GROUP}] text after the bracket is ignored
FILE1   =   "http://quoted.example/a=b;c"\t
title1\t=  Title with "quotes" = and ; semicolon  \t
file2=http://second.example/
Title2
File3 = http://third.example/
TITLE3 = Третья
Title3 = A later Title3 is never read
File3 = http://later.example/never-read
[{GROUP}]
File4=http://second-header.example/never-searched
""", "cp1251", [
    ('"http://quoted.example/a=b;c"', 'Title with "quotes" = and ; semicolon'),
    ("http://second.example/", ""),
    ("http://third.example/", "Третья"),
])

write("group_missing", """[Radio]
File1=http://a.example/1
Title1=One
""", "cp1251", [])

write("stations_before_header_only", """File1=http://a.example/1
Title1=One
""", "cp1251", [])

write("header_without_bracket", f"""[{GROUP}
File1=http://a.example/no-bracket
Title1=Без скобки
""", "cp1251", [("http://a.example/no-bracket", "Без скобки")])

write("empty", "", "cp1251", [])
