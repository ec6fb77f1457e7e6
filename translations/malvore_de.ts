<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de" sourcelanguage="en">
<context>
    <name>MainWindow</name>
    <message>
        <source>Malvore</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>File</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Tracks</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Sides</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Map</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Bad sectors</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>TOS</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Log</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>HexView</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>GfxView</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>0</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;File</source>
        <translation>&amp;Datei</translation>
    </message>
    <message>
        <source>About</source>
        <translation>Über</translation>
    </message>
    <message>
        <source>&amp;Open</source>
        <translation>Ö&amp;ffnen</translation>
    </message>
    <message>
        <source>Open</source>
        <translation>Öffnen</translation>
    </message>
    <message>
        <source>Open DSK file(s)</source>
        <translation>DSK-Datei(en) öffnen</translation>
    </message>
    <message>
        <source>Ctrl+O</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Save</source>
        <translation>&amp;Speichern</translation>
    </message>
    <message>
        <source>Save</source>
        <translation>Speichern</translation>
    </message>
    <message>
        <source>Save files from current image</source>
        <translation>Dateien des aktuellen Abbilds speichern</translation>
    </message>
    <message>
        <source>Ctrl+S</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Save &amp;All</source>
        <translation>&amp;Alle speichern</translation>
    </message>
    <message>
        <source>Save All</source>
        <translation>Alle speichern</translation>
    </message>
    <message>
        <source>Process all opened files</source>
        <translation>Alle geöffneten Dateien verarbeiten</translation>
    </message>
    <message>
        <source>Ctrl+A</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Quit</source>
        <translation>&amp;Beenden</translation>
    </message>
    <message>
        <source>Quit</source>
        <translation>Beenden</translation>
    </message>
    <message>
        <source>Ctrl+Q, Ctrl+X</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Ctrl+I</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>TOS Malvore


(c) 2026 the TOS Malvore developers
kestrin.org

Icons: drawn for this program, https://kestrin.org/malvore/icons</source>
        <translation>TOS Malvore


(c) 2026 die Entwickler von TOS Malvore
kestrin.org

Symbole: für dieses Programm gezeichnet, https://kestrin.org/malvore/icons</translation>
    </message>
    <message>
        <source>Open DSK files</source>
        <translation>DSK-Dateien öffnen</translation>
    </message>
    <message>
        <source>Disk Images (*.dsk)</source>
        <translation>Disketten-Abbilder (*.dsk)</translation>
    </message>
    <message>
        <source>Not everything was saved</source>
        <translation>Nicht alles wurde gespeichert</translation>
    </message>
    <message numerus="yes">
        <source>%n output(s) could not be written.</source>
        <translation>
            <numerusform>%n Ausgabedatei konnte nicht geschrieben werden.</numerusform>
            <numerusform>%n Ausgabedateien konnten nicht geschrieben werden.</numerusform>
        </translation>
    </message>
    <message>
        <source>The first: %1
%2</source>
        <translation>Die erste: %1
%2</translation>
    </message>
</context>
</TS>
