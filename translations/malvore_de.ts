<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de" sourcelanguage="en">
<context>
    <name>FilesModel</name>
    <message>
        <source>BASIC program</source>
        <translation>BASIC-Programm</translation>
    </message>
    <message>
        <source>Code (screen)</source>
        <translation>Code (Bildschirm)</translation>
    </message>
    <message>
        <source>Code</source>
        <translation>Code</translation>
    </message>
    <message>
        <source>Number array</source>
        <translation>Zahlenfeld</translation>
    </message>
    <message>
        <source>Character array</source>
        <translation>Zeichenfeld</translation>
    </message>
    <message>
        <source>Data</source>
        <translation>Daten</translation>
    </message>
    <message>
        <source>complete</source>
        <translation>vollständig</translation>
    </message>
    <message>
        <source>damaged</source>
        <translation>beschädigt</translation>
    </message>
    <message>
        <source>suspect</source>
        <translation>verdächtig</translation>
    </message>
    <message>
        <source>unverified</source>
        <translation>ungeprüft</translation>
    </message>
    <message>
        <source>catalog</source>
        <translation>Katalog</translation>
    </message>
    <message>
        <source>deleted entry</source>
        <translation>gelöschter Eintrag</translation>
    </message>
    <message>
        <source>recovered (lost block)</source>
        <translation>geborgen (verlorener Block)</translation>
    </message>
    <message>
        <source>line %1</source>
        <translation>Zeile %1</translation>
    </message>
    <message>
        <source>no autostart</source>
        <translation>kein Autostart</translation>
    </message>
    <message>
        <source>%1 (%2 missing, %3 suspect)</source>
        <translation>%1 (%2 fehlen, %3 verdächtig)</translation>
    </message>
    <message>
        <source>%1 (%2 missing)</source>
        <translation>%1 (%2 fehlen)</translation>
    </message>
    <message>
        <source>%1 (%2 suspect)</source>
        <translation>%1 (%2 verdächtig)</translation>
    </message>
    <message>
        <source>Saved as %1</source>
        <translation>Gespeichert als %1</translation>
    </message>
    <message>
        <source>Left out of Save; saved as %1 when checked</source>
        <translation>Beim Speichern ausgelassen; angehakt gespeichert als %1</translation>
    </message>
    <message>
        <source>Logical sectors: %1</source>
        <translation>Logische Sektoren: %1</translation>
    </message>
    <message>
        <source>Every sector was read cleanly.</source>
        <translation>Jeder Sektor wurde fehlerfrei gelesen.</translation>
    </message>
    <message>
        <source>A sector is missing: its bytes are zeros.</source>
        <translation>Ein Sektor fehlt: Seine Bytes sind Nullen.</translation>
    </message>
    <message>
        <source>A sector is suspect, or the catalog entry cannot be trusted.</source>
        <translation>Ein Sektor ist verdächtig, oder dem Katalogeintrag ist nicht zu trauen.</translation>
    </message>
    <message>
        <source>A sector was read with an error and taken as read: its bytes may be wrong.</source>
        <translation>Ein Sektor wurde mit einem Fehler gelesen und so übernommen: Seine Bytes können falsch sein.</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>Type</source>
        <translation>Typ</translation>
    </message>
    <message>
        <source>Length</source>
        <translation>Länge</translation>
    </message>
    <message>
        <source>Start / line</source>
        <translation>Start / Zeile</translation>
    </message>
    <message>
        <source>Sectors</source>
        <translation>Sektoren</translation>
    </message>
    <message>
        <source>Verdict</source>
        <translation>Befund</translation>
    </message>
    <message>
        <source>Found in</source>
        <translation>Gefunden in</translation>
    </message>
</context>
<context>
    <name>FilesPage</name>
    <message>
        <source>Filter by name</source>
        <translation>Nach Namen filtern</translation>
    </message>
    <message>
        <source>No files.</source>
        <translation>Keine Dateien.</translation>
    </message>
    <message numerus="yes">
        <source>%n file(s): %1.</source>
        <translation>
            <numerusform>%n Datei: %1.</numerusform>
            <numerusform>%n Dateien: %1.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n from deleted entries.</source>
        <translation>
            <numerusform>%n aus einem gelöschten Eintrag.</numerusform>
            <numerusform>%n aus gelöschten Einträgen.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n recovered from lost blocks.</source>
        <translation>
            <numerusform>%n aus einem verlorenen Block geborgen.</numerusform>
            <numerusform>%n aus verlorenen Blöcken geborgen.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n left out of Save.</source>
        <translation>
            <numerusform>%n beim Speichern ausgelassen.</numerusform>
            <numerusform>%n beim Speichern ausgelassen.</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>GfxView</name>
    <message>
        <source>Go &amp;to</source>
        <translation>Gehe &amp;zu</translation>
    </message>
    <message>
        <source>offset</source>
        <translation>Offset</translation>
    </message>
    <message>
        <source>A byte offset in hex, as the labels show it; Enter goes there</source>
        <translation>Ein Byte-Offset in Hex, wie ihn die Beschriftungen zeigen; die Eingabetaste springt dorthin</translation>
    </message>
    <message>
        <source>Not an offset in hex: %1</source>
        <translation>Kein Offset in Hex: %1</translation>
    </message>
    <message>
        <source>The image has no offset %1</source>
        <translation>Das Abbild hat keinen Offset %1</translation>
    </message>
</context>
<context>
    <name>HexView</name>
    <message>
        <source>Copy as &amp;hex</source>
        <translation>Als &amp;Hex kopieren</translation>
    </message>
    <message>
        <source>Copy as &amp;text</source>
        <translation>Als &amp;Text kopieren</translation>
    </message>
    <message>
        <source>Select &amp;all</source>
        <translation>&amp;Alles auswählen</translation>
    </message>
    <message>
        <source>&amp;Find…</source>
        <translation>&amp;Suchen…</translation>
    </message>
    <message>
        <source>Not hex bytes: %1</source>
        <translation>Keine Hex-Bytes: %1</translation>
    </message>
    <message>
        <source>Not found</source>
        <translation>Nicht gefunden</translation>
    </message>
    <message>
        <source>Started over at the top</source>
        <translation>Oben neu begonnen</translation>
    </message>
    <message>
        <source>Started over at the bottom</source>
        <translation>Unten neu begonnen</translation>
    </message>
    <message>
        <source>Find</source>
        <translation>Suchen</translation>
    </message>
    <message>
        <source>Text</source>
        <translation>Text</translation>
    </message>
    <message>
        <source>Hex bytes</source>
        <translation>Hex-Bytes</translation>
    </message>
    <message>
        <source>Look for text, or for bytes typed in hex such as fe 01</source>
        <translation>Nach Text suchen oder nach Bytes in Hex wie fe 01</translation>
    </message>
    <message>
        <source>text or bytes</source>
        <translation>Text oder Bytes</translation>
    </message>
    <message>
        <source>Previous</source>
        <translation>Vorheriger</translation>
    </message>
    <message>
        <source>Previous match (Shift+F3)</source>
        <translation>Vorheriger Treffer (Umschalt+F3)</translation>
    </message>
    <message>
        <source>Next</source>
        <translation>Nächster</translation>
    </message>
    <message>
        <source>Next match (F3)</source>
        <translation>Nächster Treffer (F3)</translation>
    </message>
    <message>
        <source>Close the find bar (Escape)</source>
        <translation>Suchleiste schließen (Esc)</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>Malvore</source>
        <translation>Malvore</translation>
    </message>
    <message>
        <source>File</source>
        <translation>Datei</translation>
    </message>
    <message>
        <source>Tracks</source>
        <translation>Spuren</translation>
    </message>
    <message>
        <source>Sides</source>
        <translation>Seiten</translation>
    </message>
    <message>
        <source>Map</source>
        <translation>Karte</translation>
    </message>
    <message>
        <source>Bad sectors</source>
        <translation>Defekte Sektoren</translation>
    </message>
    <message>
        <source>TOS</source>
        <translation>TOS</translation>
    </message>
    <message>
        <source>Log</source>
        <translation>Protokoll</translation>
    </message>
    <message>
        <source>HexView</source>
        <translation>Hex-Ansicht</translation>
    </message>
    <message>
        <source>GfxView</source>
        <translation>Grafik-Ansicht</translation>
    </message>
    <message>
        <source>0</source>
        <translation>0</translation>
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
        <translation type="vanished">Ö&amp;ffnen</translation>
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
        <translation type="vanished">TOS Malvore


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
        <translation type="vanished">Disketten-Abbilder (*.dsk)</translation>
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
    <message>
        <source>&amp;Go to</source>
        <translation>&amp;Gehe zu</translation>
    </message>
    <message>
        <source>Go to a logical sector (decimal) or to a byte offset (hexadecimal, as the dump shows it)</source>
        <translation>Zu einem logischen Sektor (dezimal) oder zu einem Byte-Offset (hexadezimal, wie ihn der Dump zeigt) gehen</translation>
    </message>
    <message>
        <source>Sector</source>
        <translation>Sektor</translation>
    </message>
    <message>
        <source>Offset</source>
        <translation>Offset</translation>
    </message>
    <message>
        <source>number</source>
        <translation>Zahl</translation>
    </message>
    <message>
        <source>Go</source>
        <translation>Los</translation>
    </message>
    <message>
        <source>Sector map</source>
        <translation>Sektorkarte</translation>
    </message>
    <message>
        <source>Open &amp;recent</source>
        <translation>&amp;Zuletzt geöffnet</translation>
    </message>
    <message>
        <source>&amp;Go</source>
        <translation>&amp;Gehe zu</translation>
    </message>
    <message>
        <source>&amp;Rescue</source>
        <translation>&amp;Rettung</translation>
    </message>
    <message>
        <source>A&amp;dd images...</source>
        <translation type="vanished">Abbilder &amp;hinzufügen...</translation>
    </message>
    <message>
        <source>Add images</source>
        <translation>Abbilder hinzufügen</translation>
    </message>
    <message>
        <source>Add DSK file(s) to the list</source>
        <translation>DSK-Datei(en) zur Liste hinzufügen</translation>
    </message>
    <message>
        <source>&amp;Remove</source>
        <translation type="vanished">&amp;Entfernen</translation>
    </message>
    <message>
        <source>Remove</source>
        <translation>Entfernen</translation>
    </message>
    <message>
        <source>Remove the selected images from the list</source>
        <translation>Die ausgewählten Abbilder aus der Liste entfernen</translation>
    </message>
    <message>
        <source>C&amp;lear</source>
        <translation>&amp;Leeren</translation>
    </message>
    <message>
        <source>Clear</source>
        <translation>Leeren</translation>
    </message>
    <message>
        <source>Remove every image from the list</source>
        <translation>Alle Abbilder aus der Liste entfernen</translation>
    </message>
    <message>
        <source>&amp;Output folder...</source>
        <translation type="vanished">&amp;Ausgabeordner...</translation>
    </message>
    <message>
        <source>Output folder</source>
        <translation>Ausgabeordner</translation>
    </message>
    <message>
        <source>Choose the folder the rescued files go into</source>
        <translation>Den Ordner wählen, in den die geretteten Dateien kommen</translation>
    </message>
    <message>
        <source>Open output &amp;folder</source>
        <translation>Ausgabe&amp;ordner öffnen</translation>
    </message>
    <message>
        <source>Open output folder</source>
        <translation>Ausgabeordner öffnen</translation>
    </message>
    <message>
        <source>Show the output folder in the file manager</source>
        <translation>Den Ausgabeordner in der Dateiverwaltung zeigen</translation>
    </message>
    <message>
        <source>&amp;Go to sector or offset...</source>
        <translation type="vanished">&amp;Gehe zu Sektor oder Offset...</translation>
    </message>
    <message>
        <source>Go to sector or offset</source>
        <translation>Gehe zu Sektor oder Offset</translation>
    </message>
    <message>
        <source>Go to a sector or an offset in the hex view</source>
        <translation>In der Hex-Ansicht zu einem Sektor oder Offset gehen</translation>
    </message>
    <message>
        <source>&amp;Next damaged sector</source>
        <translation>&amp;Nächster beschädigter Sektor</translation>
    </message>
    <message>
        <source>Next missing or suspect sector</source>
        <translation>Nächster fehlender oder verdächtiger Sektor</translation>
    </message>
    <message>
        <source>Go to the next missing or suspect sector in the hex view</source>
        <translation>In der Hex-Ansicht zum nächsten fehlenden oder verdächtigen Sektor gehen</translation>
    </message>
    <message>
        <source>&amp;Previous damaged sector</source>
        <translation>&amp;Vorheriger beschädigter Sektor</translation>
    </message>
    <message>
        <source>Previous missing or suspect sector</source>
        <translation>Vorheriger fehlender oder verdächtiger Sektor</translation>
    </message>
    <message>
        <source>Go to the previous missing or suspect sector in the hex view</source>
        <translation>In der Hex-Ansicht zum vorherigen fehlenden oder verdächtigen Sektor gehen</translation>
    </message>
    <message>
        <source>&amp;Sector map</source>
        <translation>&amp;Sektorkarte</translation>
    </message>
    <message>
        <source>Show the sectors of the selected image</source>
        <translation>Die Sektoren des ausgewählten Abbilds zeigen</translation>
    </message>
    <message>
        <source>Press %1 to quit</source>
        <translation>%1 drücken zum Beenden</translation>
    </message>
    <message>
        <source>TOS Malvore %1
Rescues files from TOS floppy-disk images.

(c) 2026 the TOS Malvore developers
Licence: GNU General Public License, version 3 or later (GPL-3.0-or-later)
https://kestrin.org/malvore

Icons: drawn for this program, https://kestrin.org/malvore/icons</source>
        <translation>TOS Malvore %1
Rettet Dateien aus Abbildern von TOS-Disketten.

(c) 2026 die Entwickler von TOS Malvore
Lizenz: GNU General Public License, Version 3 oder später (GPL-3.0-or-later)
https://kestrin.org/malvore

Symbole: für dieses Programm gezeichnet, https://kestrin.org/malvore/icons</translation>
    </message>
    <message>
        <source>Disk images (*.dsk *.DSK *.edsk *.scp *.SCP)</source>
        <translation>Disketten-Abbilder (*.dsk *.DSK *.edsk *.scp *.SCP)</translation>
    </message>
    <message>
        <source>All files (*)</source>
        <translation>Alle Dateien (*)</translation>
    </message>
    <message>
        <source>Add DSK files</source>
        <translation>DSK-Dateien hinzufügen</translation>
    </message>
    <message>
        <source>the file cannot be read</source>
        <translation>die Datei kann nicht gelesen werden</translation>
    </message>
    <message>
        <source>Refused %1: %2</source>
        <translation>Abgelehnt %1: %2</translation>
    </message>
    <message numerus="yes">
        <source>%n image(s) opened</source>
        <translation>
            <numerusform>%n Abbild geöffnet</numerusform>
            <numerusform>%n Abbilder geöffnet</numerusform>
        </translation>
    </message>
    <message>
        <source>%1: %2</source>
        <translation>%1: %2</translation>
    </message>
    <message numerus="yes">
        <source>... and %n more; the log names them all.</source>
        <translation>
            <numerusform>... und %n weitere; das Protokoll nennt alle.</numerusform>
            <numerusform>... und %n weitere; das Protokoll nennt alle.</numerusform>
        </translation>
    </message>
    <message>
        <source>Files not opened</source>
        <translation>Nicht geöffnete Dateien</translation>
    </message>
    <message numerus="yes">
        <source>%n file(s) could not be opened.</source>
        <translation>
            <numerusform>%n Datei konnte nicht geöffnet werden.</numerusform>
            <numerusform>%n Dateien konnten nicht geöffnet werden.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n image(s) removed from the list</source>
        <translation>
            <numerusform>%n Abbild aus der Liste entfernt</numerusform>
            <numerusform>%n Abbilder aus der Liste entfernt</numerusform>
        </translation>
    </message>
    <message>
        <source>The list is empty</source>
        <translation>Die Liste ist leer</translation>
    </message>
    <message>
        <source>No recent files</source>
        <translation>Keine zuletzt geöffneten Dateien</translation>
    </message>
    <message>
        <source>&amp;Clear recent files</source>
        <translation>Liste &amp;leeren</translation>
    </message>
    <message numerus="yes">
        <source>Saving the files of %n image(s)...</source>
        <translation>
            <numerusform>Die Dateien von %n Abbild werden gespeichert...</numerusform>
            <numerusform>Die Dateien von %n Abbildern werden gespeichert...</numerusform>
        </translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message numerus="yes">
        <source>%n file(s) rescued into %1, %2 damaged</source>
        <translation>
            <numerusform>%n Datei nach %1 gerettet, %2 beschädigt</numerusform>
            <numerusform>%n Dateien nach %1 gerettet, %2 beschädigt</numerusform>
        </translation>
    </message>
    <message>
        <source>Output: %1</source>
        <translation>Ausgabe: %1</translation>
    </message>
    <message>
        <source>Rescued files go into %1. Click to choose another folder.</source>
        <translation>Gerettete Dateien kommen nach %1. Klicken, um einen anderen Ordner zu wählen.</translation>
    </message>
    <message>
        <source>Rescued files go into %1</source>
        <translation>Gerettete Dateien kommen nach %1</translation>
    </message>
    <message>
        <source>%1 does not exist yet; Save makes it.</source>
        <translation>%1 gibt es noch nicht; Speichern legt ihn an.</translation>
    </message>
    <message>
        <source>No program could show %1</source>
        <translation>Kein Programm konnte %1 zeigen</translation>
    </message>
    <message>
        <source>Sector %1: track %2, side %3, sector id %4</source>
        <translation>Sektor %1: Spur %2, Seite %3, Sektor-ID %4</translation>
    </message>
    <message>
        <source>No missing or suspect sector after this one</source>
        <translation>Kein fehlender oder verdächtiger Sektor nach diesem</translation>
    </message>
    <message>
        <source>No missing or suspect sector before this one</source>
        <translation>Kein fehlender oder verdächtiger Sektor vor diesem</translation>
    </message>
    <message>
        <source>Not an offset: %1</source>
        <translation>Kein Offset: %1</translation>
    </message>
    <message>
        <source>Not a sector number: %1</source>
        <translation>Keine Sektornummer: %1</translation>
    </message>
    <message>
        <source>The image has no offset %1</source>
        <translation>Das Abbild hat keinen Offset %1</translation>
    </message>
    <message>
        <source>The image has no sector %1</source>
        <translation>Das Abbild hat keinen Sektor %1</translation>
    </message>
    <message>
        <source>Salvage damaged sectors</source>
        <translation type="vanished">Beschädigte Sektoren retten</translation>
    </message>
    <message>
        <source>Read weak sectors by the majority of their copies and mark sectors with data errors as suspect</source>
        <translation>Schwache Sektoren nach der Mehrheit ihrer Kopien lesen und Sektoren mit Datenfehlern als verdächtig markieren</translation>
    </message>
    <message>
        <source>Merge reads</source>
        <translation>Lesevorgänge zusammenführen</translation>
    </message>
    <message>
        <source>Merge the selected reads of one disk into a new row</source>
        <translation>Die gewählten Lesevorgänge einer Diskette in einer neuen Zeile zusammenführen</translation>
    </message>
    <message>
        <source>Save merged image...</source>
        <translation type="vanished">Zusammengeführtes Abbild speichern...</translation>
    </message>
    <message>
        <source>Export sector report...</source>
        <translation type="vanished">Sektorbericht exportieren...</translation>
    </message>
    <message>
        <source>Save merged image</source>
        <translation>Zusammengeführtes Abbild speichern</translation>
    </message>
    <message>
        <source>Export sector report</source>
        <translation>Sektorbericht exportieren</translation>
    </message>
    <message>
        <source>Salvage mode on</source>
        <translation>Bergungsmodus an</translation>
    </message>
    <message>
        <source>Salvage mode off</source>
        <translation>Bergungsmodus aus</translation>
    </message>
    <message>
        <source>Merge needs reads of one geometry</source>
        <translation>Zusammenführen braucht Lesevorgänge gleicher Geometrie</translation>
    </message>
    <message>
        <source>Select two or more reads of one disk to merge</source>
        <translation>Zwei oder mehr Lesevorgänge einer Diskette zum Zusammenführen wählen</translation>
    </message>
    <message>
        <source>The reads could not be merged</source>
        <translation>Die Lesevorgänge konnten nicht zusammengeführt werden</translation>
    </message>
    <message>
        <source>Image saved to %1</source>
        <translation>Abbild gespeichert unter %1</translation>
    </message>
    <message>
        <source>Sector report written to %1</source>
        <translation>Sektorbericht geschrieben nach %1</translation>
    </message>
    <message>
        <source>No sector report: the disk&apos;s layout is unknown or a file could not be written</source>
        <translation>Kein Sektorbericht: das Format der Diskette ist unbekannt oder eine Datei konnte nicht geschrieben werden</translation>
    </message>
    <message>
        <source>%1 + %2 suspect</source>
        <translation>%1 + %2 verdächtig</translation>
    </message>
    <message>
        <source>Salvage mode</source>
        <translation>Bergungsmodus</translation>
    </message>
    <message>
        <source>Weak sectors are read by the majority of their copies and sectors with data errors are suspect. Rescue &gt; Salvage damaged sectors turns it off.</source>
        <translation>Schwache Sektoren werden nach der Mehrheit ihrer Kopien gelesen, Sektoren mit Datenfehlern sind verdächtig. Rettung &gt; Beschädigte Sektoren bergen schaltet den Modus aus.</translation>
    </message>
    <message numerus="yes">
        <source>%n file(s) rescued into %1, %2 damaged, %3 suspect, %4 unverified</source>
        <translation>
            <numerusform>%n Datei nach %1 gerettet, %2 beschädigt, %3 verdächtig, %4 ungeprüft</numerusform>
            <numerusform>%n Dateien nach %1 gerettet, %2 beschädigt, %3 verdächtig, %4 ungeprüft</numerusform>
        </translation>
    </message>
    <message>
        <source>These reads look like different disks: the good sectors they share differ. Merge anyway?</source>
        <translation>Diese Lesungen scheinen von verschiedenen Disketten zu stammen: ihre gemeinsamen guten Sektoren unterscheiden sich. Trotzdem zusammenführen?</translation>
    </message>
    <message>
        <source>Not saved: %1 is one of the reads of this image</source>
        <translation>Nicht gespeichert: %1 ist eine der Lesungen dieses Abbilds</translation>
    </message>
    <message numerus="yes">
        <source>; %n left out by choice</source>
        <translation>
            <numerusform>; %n auf Wunsch ausgelassen</numerusform>
            <numerusform>; %n auf Wunsch ausgelassen</numerusform>
        </translation>
    </message>
    <message>
        <source>Shifts the cell grid by 0 to 7 bytes, so that graphics that do not start on an 8-byte boundary fill whole cells</source>
        <translation>Verschiebt das Zellenraster um 0 bis 7 Bytes, damit Grafik, die nicht an einer 8-Byte-Grenze beginnt, ganze Zellen füllt</translation>
    </message>
    <message>
        <source>&amp;Help</source>
        <translation>&amp;Hilfe</translation>
    </message>
    <message>
        <source>&amp;Open…</source>
        <translation>Ö&amp;ffnen…</translation>
    </message>
    <message>
        <source>Ctrl+Shift+S</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;About…</source>
        <translation>Ü&amp;ber…</translation>
    </message>
    <message>
        <source>A&amp;dd images…</source>
        <translation>Abbilder &amp;hinzufügen…</translation>
    </message>
    <message>
        <source>Re&amp;move</source>
        <translation>&amp;Entfernen</translation>
    </message>
    <message>
        <source>&amp;Output folder…</source>
        <translation>&amp;Ausgabeordner…</translation>
    </message>
    <message>
        <source>&amp;Go to sector or offset…</source>
        <translation>&amp;Gehe zu Sektor oder Offset…</translation>
    </message>
    <message>
        <source>Unknown file format.</source>
        <translation>Unbekanntes Dateiformat.</translation>
    </message>
    <message>
        <source>File too large for a disk image.</source>
        <translation>Zu groß für ein Diskettenabbild.</translation>
    </message>
    <message>
        <source>CPM disks are not supported</source>
        <translation>CP/M-Disketten werden nicht unterstützt</translation>
    </message>
    <message>
        <source>Not a TOS disk : more than 2 sides</source>
        <translation>Keine TOS-Diskette: mehr als 2 Seiten</translation>
    </message>
    <message>
        <source>Not a TOS disk : one side and more than 42 tracks...</source>
        <translation>Keine TOS-Diskette: eine Seite und mehr als 42 Spuren</translation>
    </message>
    <message>
        <source>Not a TOS disk : track size != 4096</source>
        <translation>Keine TOS-Diskette: Spurgröße nicht 4096</translation>
    </message>
    <message>
        <source>Not a TOS disk : found track &gt; 4096B</source>
        <translation>Keine TOS-Diskette: Spur größer als 4096 Byte</translation>
    </message>
    <message>
        <source>Not a TOS disk : no MFM sector found in the flux</source>
        <translation>Keine TOS-Diskette: kein MFM-Sektor im Fluss gefunden</translation>
    </message>
    <message>
        <source>a folder</source>
        <translation>ein Ordner</translation>
    </message>
    <message>
        <source>a FIFO</source>
        <translation>ein FIFO</translation>
    </message>
    <message>
        <source>a socket</source>
        <translation>ein Socket</translation>
    </message>
    <message>
        <source>a device</source>
        <translation>ein Gerät</translation>
    </message>
    <message>
        <source>Not a regular file (%1); not read.</source>
        <translation>Keine reguläre Datei (%1); nicht gelesen.</translation>
    </message>
    <message numerus="yes">
        <source>%n already in the list</source>
        <translation>
            <numerusform>%n bereits in der Liste</numerusform>
            <numerusform>%n bereits in der Liste</numerusform>
        </translation>
    </message>
    <message>
        <source>Where should the rescued files go?</source>
        <translation>Wohin sollen die geretteten Dateien?</translation>
    </message>
    <message>
        <source>Nothing saved: no output folder chosen</source>
        <translation>Nichts gespeichert: kein Ausgabeordner gewählt</translation>
    </message>
    <message>
        <source>No program could show the output folder %1.</source>
        <translation>Kein Programm konnte den Ausgabeordner %1 zeigen.</translation>
    </message>
    <message>
        <source>Copy its path to open it in another program.</source>
        <translation>Kopieren Sie seinen Pfad, um ihn in einem anderen Programm zu öffnen.</translation>
    </message>
    <message>
        <source>&amp;Copy path</source>
        <translation>Pfad &amp;kopieren</translation>
    </message>
    <message>
        <source>Copied %1</source>
        <translation>%1 kopiert</translation>
    </message>
    <message numerus="yes">
        <source>%n disk image(s) in %1</source>
        <translation>
            <numerusform>%n Diskettenabbild in %1</numerusform>
            <numerusform>%n Diskettenabbilder in %1</numerusform>
        </translation>
    </message>
    <message>
        <source>&amp;Salvage damaged sectors</source>
        <translation>Beschädigte Sektoren &amp;bergen</translation>
    </message>
    <message>
        <source>&amp;Merge reads</source>
        <translation>Lesevorgänge &amp;zusammenführen</translation>
    </message>
    <message>
        <source>Save merged &amp;image…</source>
        <translation>Zusammengeführtes &amp;Abbild speichern…</translation>
    </message>
    <message>
        <source>&amp;Export sector report…</source>
        <translation>Sektorbericht &amp;exportieren…</translation>
    </message>
    <message>
        <source>Rescue as A.&amp;2</source>
        <translation>Als A.&amp;2 retten</translation>
    </message>
    <message>
        <source>Rescue as A.&amp;4</source>
        <translation>Als A.&amp;4 retten</translation>
    </message>
    <message>
        <source>&amp;Undelete files</source>
        <translation>Gelöschte Dateien &amp;wiederherstellen</translation>
    </message>
    <message>
        <source>Rescue the selected image, whose layout could not be told, as TOS A.2</source>
        <translation>Das gewählte Abbild, dessen Aufbau nicht zu erkennen war, als TOS A.2 retten</translation>
    </message>
    <message>
        <source>Rescue the selected image, whose layout could not be told, as TOS A.4</source>
        <translation>Das gewählte Abbild, dessen Aufbau nicht zu erkennen war, als TOS A.4 retten</translation>
    </message>
    <message>
        <source>In salvage mode, also rescue the files of catalog entries marked deleted, into the folder deleted</source>
        <translation>Bei der Bergung auch die Dateien gelöscht markierter Katalogeinträge retten, in den Ordner deleted</translation>
    </message>
    <message>
        <source>%1 will be rescued as %2</source>
        <translation>%1 wird als %2 gerettet</translation>
    </message>
</context>
<context>
    <name>PreviewPanel</name>
    <message>
        <source>Export &amp;listing…</source>
        <translation>&amp;Listing exportieren…</translation>
    </message>
    <message>
        <source>Export &amp;picture…</source>
        <translation>&amp;Bild exportieren…</translation>
    </message>
    <message>
        <source>Select a file to see what it holds.</source>
        <translation>Wählen Sie eine Datei, um zu sehen, was sie enthält.</translation>
    </message>
    <message>
        <source>Export listing</source>
        <translation>Listing exportieren</translation>
    </message>
    <message>
        <source>Text files (*.txt);;All files (*)</source>
        <translation>Textdateien (*.txt);;Alle Dateien (*)</translation>
    </message>
    <message>
        <source>Export picture</source>
        <translation>Bild exportieren</translation>
    </message>
    <message>
        <source>PNG pictures (*.png)</source>
        <translation>PNG-Bilder (*.png)</translation>
    </message>
    <message>
        <source>This line comes from a missing or suspect sector.</source>
        <translation>Diese Zeile stammt aus einem fehlenden oder verdächtigen Sektor.</translation>
    </message>
    <message numerus="yes">
        <source>%n pixel row(s), marked in red, come from missing or suspect sectors.</source>
        <translation>
            <numerusform>%n Pixelzeile, rot markiert, stammt aus fehlenden oder verdächtigen Sektoren.</numerusform>
            <numerusform>%n Pixelzeilen, rot markiert, stammen aus fehlenden oder verdächtigen Sektoren.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n line(s), marked in red, come from missing or suspect sectors.</source>
        <translation>
            <numerusform>%n Zeile, rot markiert, stammt aus fehlenden oder verdächtigen Sektoren.</numerusform>
            <numerusform>%n Zeilen, rot markiert, stammen aus fehlenden oder verdächtigen Sektoren.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n line(s) of BASIC.</source>
        <translation>
            <numerusform>%n Zeile BASIC.</numerusform>
            <numerusform>%n Zeilen BASIC.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n byte(s) of variables after the program are not listed.</source>
        <translation>
            <numerusform>%n Byte Variablen nach dem Programm wird nicht gelistet.</numerusform>
            <numerusform>%n Bytes Variablen nach dem Programm werden nicht gelistet.</numerusform>
        </translation>
    </message>
    <message>
        <source>A screen picture, 256 × 192 pixels; flashing cells are shown in their first phase.</source>
        <translation>Ein Bildschirmbild, 256 × 192 Pixel; blinkende Zellen in ihrer ersten Phase.</translation>
    </message>
    <message numerus="yes">
        <source>%n byte(s).</source>
        <translation>
            <numerusform>%n Byte.</numerusform>
            <numerusform>%n Bytes.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Text, %n line(s).</source>
        <translation>
            <numerusform>Text, %n Zeile.</numerusform>
            <numerusform>Text, %n Zeilen.</numerusform>
        </translation>
    </message>
    <message>
        <source>Could not write %1</source>
        <translation>%1 konnte nicht geschrieben werden</translation>
    </message>
</context>
<context>
    <name>SectorMapView</name>
    <message>
        <source>Side %1</source>
        <translation>Seite %1</translation>
    </message>
    <message>
        <source>good</source>
        <translation>gut</translation>
    </message>
    <message>
        <source>suspect</source>
        <translation>verdächtig</translation>
    </message>
    <message>
        <source>missing</source>
        <translation>fehlt</translation>
    </message>
    <message>
        <source>Track %1, side %2, sector id %3</source>
        <translation>Spur %1, Seite %2, Sektor-ID %3</translation>
    </message>
    <message>
        <source>Logical sector %1, offset %2</source>
        <translation>Logischer Sektor %1, Offset %2</translation>
    </message>
    <message>
        <source>State: %1</source>
        <translation>Zustand: %1</translation>
    </message>
    <message>
        <source>In no file</source>
        <translation>In keiner Datei</translation>
    </message>
    <message>
        <source>File: %1</source>
        <translation>Datei: %1</translation>
    </message>
    <message>
        <source>Good</source>
        <translation type="vanished">Gut</translation>
    </message>
    <message>
        <source>Suspect</source>
        <translation type="vanished">Verdächtig</translation>
    </message>
    <message>
        <source>Missing</source>
        <translation type="vanished">Fehlt</translation>
    </message>
    <message>
        <source>%1: %2</source>
        <translation type="vanished">%1: %2</translation>
    </message>
    <message>
        <source>Select an image to see its sectors.</source>
        <translation>Ein Abbild auswählen, um seine Sektoren zu sehen.</translation>
    </message>
    <message>
        <source>repaired</source>
        <translation>repariert</translation>
    </message>
    <message>
        <source>Repaired</source>
        <translation type="vanished">Repariert</translation>
    </message>
    <message>
        <source>The whole disk: red where a track has a missing sector, amber where it has a suspect one. Click to go there.</source>
        <translation>Die ganze Diskette: rot, wo einer Spur ein Sektor fehlt, gelb, wo sie einen verdächtigen hat. Ein Klick springt dorthin.</translation>
    </message>
    <message>
        <source>By &amp;file</source>
        <translation>Nach &amp;Datei</translation>
    </message>
    <message>
        <source>Colour the sectors by the file they belong to, their health drawn on top</source>
        <translation>Die Sektoren nach ihrer Datei färben, ihr Zustand darübergezeichnet</translation>
    </message>
    <message>
        <source>The size of a sector&apos;s cell</source>
        <translation>Die Größe der Zelle eines Sektors</translation>
    </message>
    <message>
        <source>&amp;Zoom</source>
        <translation>&amp;Zoom</translation>
    </message>
    <message>
        <source>Fit</source>
        <translation>Einpassen</translation>
    </message>
    <message>
        <source>Fit the grid to the page, keeping cells large enough to see</source>
        <translation>Das Raster in die Seite einpassen, mit Zellen, die groß genug zum Sehen bleiben</translation>
    </message>
    <message>
        <source>Good: %1</source>
        <translation>Gut: %1</translation>
    </message>
    <message>
        <source>Catalog: %1</source>
        <translation>Katalog: %1</translation>
    </message>
    <message>
        <source>Files: %1</source>
        <translation>Dateien: %1</translation>
    </message>
    <message>
        <source>Lost: %1</source>
        <translation>Verloren: %1</translation>
    </message>
    <message>
        <source>Free: %1</source>
        <translation>Frei: %1</translation>
    </message>
    <message>
        <source>Repaired: %1</source>
        <translation>Repariert: %1</translation>
    </message>
    <message>
        <source>Suspect: %1</source>
        <translation>Verdächtig: %1</translation>
    </message>
    <message>
        <source>Missing: %1</source>
        <translation>Fehlt: %1</translation>
    </message>
</context>
<context>
    <name>WindowCommandLine</name>
    <message>
        <source>Usage: malvore [FILE...]
Shows TOS disk images (DSK or Extended DSK) in the window and rescues
their files. Each FILE is opened as the Open command does.
  -h, --help     show this help and exit
  --version      show the version and exit
</source>
        <translation>Aufruf: malvore [DATEI...]
Zeigt TOS-Disketten-Abbilder (DSK oder Extended DSK) im Fenster und rettet
ihre Dateien. Jede DATEI wird geöffnet wie mit dem Befehl Öffnen.
  -h, --help     diese Hilfe zeigen und beenden
  --version      die Version zeigen und beenden
</translation>
    </message>
</context>
<context>
    <name>Workbench</name>
    <message>
        <source>&amp;Files</source>
        <translation>&amp;Dateien</translation>
    </message>
    <message>
        <source>The catalog layout of %1 is unknown: it has no files to list.</source>
        <translation>Das Katalogformat von %1 ist unbekannt: Es gibt keine Dateien aufzulisten.</translation>
    </message>
</context>
</TS>
