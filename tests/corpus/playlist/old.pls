x
[playlist]
a.ogg
b.ogg
NumberOfEntries=2
