[playlist]
PlaylistName=Telmoro playlist
File1=C:\a\one.ogg
Title1=one
File2=two.wma
Title2=two
NumberOfEntries=2
Version=2