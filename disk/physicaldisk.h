#pragma once

#include <QByteArray>
#include <QMetaType>
#include <QString>

class libdsk;

// The sectors of a disk by place: track, side and sector id 0..15, each
// with its 256 bytes, its state (the values of SectorState: 0 missing,
// 1 good, 2 suspect), how many reads or copies agreed on its value and
// which read supplied it (1 = the first). The form in which several reads
// of one disk are merged and the best image is written.
struct PhysicalDisk
{
    int tracks = 0;
    int sides = 0;
    QByteArray data;      // 256 bytes per place, zeros where missing
    QByteArray states;    // one state per place
    QByteArray agreement; // reads or copies that agreed, capped at 255
    QByteArray supplier;  // read that supplied the value, 0 where missing

    static int place(int track, int side, int sectorId) { return track * 32 + side * 16 + sectorId; }
    int places() const { return tracks * 32; }
    int state(int track, int side, int sectorId) const;
};

Q_DECLARE_METATYPE(PhysicalDisk)

// Every place of the loaded image (read in salvage mode, so weak sectors
// hold the majority of their copies); supplier is the number given.
PhysicalDisk readPhysical(const libdsk &dsk, int supplier = 1);

// The disk as an Extended DSK image: good sectors with a clean status,
// suspect ones with the data-error bits set (ST1 and ST2 bit 5), missing
// ones left out of their track's sector list.
QByteArray extendedDskImage(const PhysicalDisk &disk, const QByteArray &creator);
