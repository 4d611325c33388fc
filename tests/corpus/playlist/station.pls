[playlist]
NumberOfEntries=2
File1=http://radio.example:8000/stream.ogg
Title1=(#1 - 5/200) Radio
Length1=-1
File2=C:\x=y.ogg
; comment
genre=Jazz
