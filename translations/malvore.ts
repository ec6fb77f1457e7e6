<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" sourcelanguage="en">
<context>
    <name>FilesModel</name>
    <message>
        <source>BASIC program</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Code (screen)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Code</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Number array</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Character array</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Data</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>complete</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>damaged</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>suspect</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>unverified</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>catalog</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>deleted entry</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>recovered (lost block)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>line %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>no autostart</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 (%2 missing, %3 suspect)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 (%2 missing)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 (%2 suspect)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Saved as %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Left out of Save; saved as %1 when checked</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Logical sectors: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Every sector was read cleanly.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>A sector is missing: its bytes are zeros.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>A sector is suspect, or the catalog entry cannot be trusted.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>A sector was read with an error and taken as read: its bytes may be wrong.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Name</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Type</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Length</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Start / line</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Sectors</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Verdict</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Found in</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>FilesPage</name>
    <message>
        <source>Filter by name</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No files.</source>
        <translation type="unfinished"></translation>
    </message>
    <message numerus="yes">
        <source>%n file(s): %1.</source>
        <translation type="unfinished">
            <numerusform></numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n from deleted entries.</source>
        <translation type="unfinished">
            <numerusform></numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n recovered from lost blocks.</source>
        <translation type="unfinished">
            <numerusform></numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n left out of Save.</source>
        <translation type="unfinished">
            <numerusform></numerusform>
        </translation>
    </message>
</context>
<context>
    <name>GfxView</name>
    <message>
        <source>Go &amp;to</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>offset</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>A byte offset in hex, as the labels show it; Enter goes there</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Not an offset in hex: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The image has no offset %1</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>HexView</name>
    <message>
        <source>Copy as &amp;hex</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Copy as &amp;text</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Select &amp;all</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Find…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Not hex bytes: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Not found</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Started over at the top</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Started over at the bottom</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Find</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Text</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Hex bytes</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Look for text, or for bytes typed in hex such as fe 01</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>text or bytes</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Previous</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Previous match (Shift+F3)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Next</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Next match (F3)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Close the find bar (Escape)</source>
        <translation type="unfinished"></translation>
    </message>
</context>
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
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>About</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Open</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Open DSK file(s)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Ctrl+O</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Save</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Save</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Save files from current image</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Ctrl+S</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Save &amp;All</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Save All</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Process all opened files</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Quit</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Quit</source>
        <translation type="unfinished"></translation>
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
        <source>Open DSK files</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Not everything was saved</source>
        <translation type="unfinished"></translation>
    </message>
    <message numerus="yes">
        <source>%n output(s) could not be written.</source>
        <translation type="unfinished">
            <numerusform></numerusform>
        </translation>
    </message>
    <message>
        <source>The first: %1
%2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Go to</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Go to a logical sector (decimal) or to a byte offset (hexadecimal, as the dump shows it)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Sector</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Offset</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>number</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Go</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Sector map</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Open &amp;recent</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Go</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Rescue</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Add images</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Add DSK file(s) to the list</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Remove</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Remove the selected images from the list</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>C&amp;lear</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Clear</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Remove every image from the list</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Output folder</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Choose the folder the rescued files go into</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Open output &amp;folder</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Open output folder</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Show the output folder in the file manager</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Go to sector or offset</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Go to a sector or an offset in the hex view</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Next damaged sector</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Next missing or suspect sector</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Go to the next missing or suspect sector in the hex view</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Previous damaged sector</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Previous missing or suspect sector</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Go to the previous missing or suspect sector in the hex view</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Sector map</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Show the sectors of the selected image</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Press %1 to quit</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>TOS Malvore %1
Rescues files from TOS floppy-disk images.

(c) 2026 the TOS Malvore developers
Licence: GNU General Public License, version 3 or later (GPL-3.0-or-later)
https://kestrin.org/malvore

Icons: drawn for this program, https://kestrin.org/malvore/icons</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Disk images (*.dsk *.DSK *.edsk *.scp *.SCP)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>All files (*)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Add DSK files</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the file cannot be read</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Refused %1: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message numerus="yes">
        <source>%n image(s) opened</source>
        <translation type="unfinished">
            <numerusform></numerusform>
        </translation>
    </message>
    <message>
        <source>%1: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message numerus="yes">
        <source>... and %n more; the log names them all.</source>
        <translation type="unfinished">
            <numerusform></numerusform>
        </translation>
    </message>
    <message>
        <source>Files not opened</source>
        <translation type="unfinished"></translation>
    </message>
    <message numerus="yes">
        <source>%n file(s) could not be opened.</source>
        <translation type="unfinished">
            <numerusform></numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n image(s) removed from the list</source>
        <translation type="unfinished">
            <numerusform></numerusform>
        </translation>
    </message>
    <message>
        <source>The list is empty</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No recent files</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Clear recent files</source>
        <translation type="unfinished"></translation>
    </message>
    <message numerus="yes">
        <source>Saving the files of %n image(s)...</source>
        <translation type="unfinished">
            <numerusform></numerusform>
        </translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation type="unfinished"></translation>
    </message>
    <message numerus="yes">
        <source>%n file(s) rescued into %1, %2 damaged</source>
        <translation type="unfinished">
            <numerusform></numerusform>
        </translation>
    </message>
    <message>
        <source>Output: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Rescued files go into %1. Click to choose another folder.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Rescued files go into %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 does not exist yet; Save makes it.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No program could show %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Sector %1: track %2, side %3, sector id %4</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No missing or suspect sector after this one</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No missing or suspect sector before this one</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Not an offset: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Not a sector number: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The image has no offset %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The image has no sector %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Read weak sectors by the majority of their copies and mark sectors with data errors as suspect</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Merge reads</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Merge the selected reads of one disk into a new row</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Save merged image</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Export sector report</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Salvage mode on</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Salvage mode off</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Merge needs reads of one geometry</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Select two or more reads of one disk to merge</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The reads could not be merged</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Image saved to %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Sector report written to %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No sector report: the disk&apos;s layout is unknown or a file could not be written</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 + %2 suspect</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Salvage mode</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Weak sectors are read by the majority of their copies and sectors with data errors are suspect. Rescue &gt; Salvage damaged sectors turns it off.</source>
        <translation type="unfinished"></translation>
    </message>
    <message numerus="yes">
        <source>%n file(s) rescued into %1, %2 damaged, %3 suspect, %4 unverified</source>
        <translation type="unfinished">
            <numerusform></numerusform>
        </translation>
    </message>
    <message>
        <source>These reads look like different disks: the good sectors they share differ. Merge anyway?</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Not saved: %1 is one of the reads of this image</source>
        <translation type="unfinished"></translation>
    </message>
    <message numerus="yes">
        <source>; %n left out by choice</source>
        <translation type="unfinished">
            <numerusform></numerusform>
        </translation>
    </message>
    <message>
        <source>Shifts the cell grid by 0 to 7 bytes, so that graphics that do not start on an 8-byte boundary fill whole cells</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Help</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Open…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Ctrl+Shift+S</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;About…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>A&amp;dd images…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Re&amp;move</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Output folder…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Go to sector or offset…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Unknown file format.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>File too large for a disk image.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>CPM disks are not supported</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Not a TOS disk : more than 2 sides</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Not a TOS disk : one side and more than 42 tracks...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Not a TOS disk : track size != 4096</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Not a TOS disk : found track &gt; 4096B</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Not a TOS disk : no MFM sector found in the flux</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>a folder</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>a FIFO</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>a socket</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>a device</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Not a regular file (%1); not read.</source>
        <translation type="unfinished"></translation>
    </message>
    <message numerus="yes">
        <source>%n already in the list</source>
        <translation type="unfinished">
            <numerusform></numerusform>
        </translation>
    </message>
    <message>
        <source>Where should the rescued files go?</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Nothing saved: no output folder chosen</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No program could show the output folder %1.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Copy its path to open it in another program.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Copy path</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Copied %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message numerus="yes">
        <source>%n disk image(s) in %1</source>
        <translation type="unfinished">
            <numerusform></numerusform>
        </translation>
    </message>
    <message>
        <source>&amp;Salvage damaged sectors</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Merge reads</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Save merged &amp;image…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Export sector report…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Rescue as A.&amp;2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Rescue as A.&amp;4</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Undelete files</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Rescue the selected image, whose layout could not be told, as TOS A.2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Rescue the selected image, whose layout could not be told, as TOS A.4</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>In salvage mode, also rescue the files of catalog entries marked deleted, into the folder deleted</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 will be rescued as %2</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>PreviewPanel</name>
    <message>
        <source>Export &amp;listing…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Export &amp;picture…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Select a file to see what it holds.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Export listing</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Text files (*.txt);;All files (*)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Export picture</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>PNG pictures (*.png)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>This line comes from a missing or suspect sector.</source>
        <translation type="unfinished"></translation>
    </message>
    <message numerus="yes">
        <source>%n pixel row(s), marked in red, come from missing or suspect sectors.</source>
        <translation type="unfinished">
            <numerusform></numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n line(s), marked in red, come from missing or suspect sectors.</source>
        <translation type="unfinished">
            <numerusform></numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n line(s) of BASIC.</source>
        <translation type="unfinished">
            <numerusform></numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n byte(s) of variables after the program are not listed.</source>
        <translation type="unfinished">
            <numerusform></numerusform>
        </translation>
    </message>
    <message>
        <source>A screen picture, 256 × 192 pixels; flashing cells are shown in their first phase.</source>
        <translation type="unfinished"></translation>
    </message>
    <message numerus="yes">
        <source>%n byte(s).</source>
        <translation type="unfinished">
            <numerusform></numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Text, %n line(s).</source>
        <translation type="unfinished">
            <numerusform></numerusform>
        </translation>
    </message>
    <message>
        <source>Could not write %1</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>SectorMapView</name>
    <message>
        <source>Side %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>good</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>suspect</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>missing</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Track %1, side %2, sector id %3</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Logical sector %1, offset %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>State: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>In no file</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>File: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Select an image to see its sectors.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>repaired</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The whole disk: red where a track has a missing sector, amber where it has a suspect one. Click to go there.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>By &amp;file</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Colour the sectors by the file they belong to, their health drawn on top</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The size of a sector&apos;s cell</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Zoom</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Fit</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Fit the grid to the page, keeping cells large enough to see</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Good: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Catalog: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Files: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Lost: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Free: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Repaired: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Suspect: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Missing: %1</source>
        <translation type="unfinished"></translation>
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
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>Workbench</name>
    <message>
        <source>&amp;Files</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The catalog layout of %1 is unknown: it has no files to list.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
</TS>
