<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<WinampXML>
<playlist num_entries="2" label="x">
<entry Playstring="file:C:\My Music\R&amp;B.ogg"><Name>R</Name></entry>
<entry Playstring="file:Rock &apos;n&apos; Roll.ogg"/>
</playlist>
</WinampXML>
