#pragma once

#include "geometry.h"

#include <QByteArray>
#include <QMetaType>
#include <QVector>

#include <limits>

// What the controller's record and the reads say of one sector.
enum class SectorState : char {
    Missing = 0,
    Good = 1,
    Suspect = 2, // data present, but a data error was reported, copies differ or it is partial
    Repaired = 3, // no copy read cleanly, but one made of their bytes passed the sector's CRC (flux images)
};

// Good and repaired sectors are both proven by their CRC: they count alike.
inline bool isClean(SectorState state)
{
    return state == SectorState::Good || state == SectorState::Repaired;
}

// Who a sector belongs to, as a conversion finds out.
struct SectorOwner
{
    enum class Kind : char { None, Catalog, File };
    Kind kind = Kind::None;
    int index = -1; // File: the position of its name in the conversion's list
};

// The sectors of one disk, in whatever order the holder gives them (logical
// order in an image row, place order in a disk read): per sector its 256
// bytes (zeros where missing), its state, how many copies or reads agreed on
// its value, which read supplied it (1 = the first, 0 where missing) and its
// owner. The bytes lie end to end, so views and the catalog see one buffer.
class SectorTable
{
public:
    SectorTable() = default;
    explicit SectorTable(int count)
        : data(qint64(count) * geometry::sectorSize <= std::numeric_limits<int>::max()
                   ? count * geometry::sectorSize
                   : 0,
               '\0')
        , entries(count)
    {
    }

    int count() const { return entries.size(); }
    bool isEmpty() const { return entries.isEmpty(); }
    bool contains(qint64 sector) const { return sector >= 0 && sector < entries.size(); }

    // Every sector's bytes, end to end.
    const QByteArray &bytes() const { return data; }
    const char *sectorData(int sector) const { return data.constData() + qint64(sector) * geometry::sectorSize; }
    char *sectorDataForWrite(int sector) { return data.data() + qint64(sector) * geometry::sectorSize; }
    QByteArray sectorBytes(int sector) const { return data.mid(sector * geometry::sectorSize, geometry::sectorSize); }

    SectorState state(qint64 sector) const { return contains(sector) ? entries.at(int(sector)).state : SectorState::Missing; }
    bool isRead(qint64 sector) const { return state(sector) != SectorState::Missing; }
    int agreeing(int sector) const { return contains(sector) ? entries.at(sector).agreeing : 0; }
    int supplier(int sector) const { return contains(sector) ? entries.at(sector).supplier : 0; }
    SectorOwner owner(qint64 sector) const { return contains(sector) ? entries.at(int(sector)).owner : SectorOwner(); }

    // Records a read sector: its state, agreeing copies and supplying read.
    void setRead(int sector, SectorState state, int agreeing, int supplier)
    {
        Entry &entry = entries[sector];
        entry.state = state;
        entry.agreeing = agreeing;
        entry.supplier = state == SectorState::Missing ? 0 : supplier;
    }
    void setState(int sector, SectorState state) { entries[sector].state = state; }
    // The first owner stays: a sector two files claim is the first file's.
    bool claim(qint64 sector, SectorOwner owner)
    {
        if (!contains(sector) || entries.at(int(sector)).owner.kind != SectorOwner::Kind::None)
            return false;
        entries[int(sector)].owner = owner;
        return true;
    }

    int countOf(SectorState state) const
    {
        int n = 0;
        for (const Entry &entry : entries)
            n += entry.state == state;
        return n;
    }

    // One byte per sector: 1 read, 0 not read.
    QByteArray statusMap() const
    {
        QByteArray map(entries.size(), '\0');
        for (int i = 0; i < entries.size(); ++i)
            map[i] = char(entries.at(i).state != SectorState::Missing);
        return map;
    }

    bool operator==(const SectorTable &other) const
    {
        if (data != other.data || entries.size() != other.entries.size())
            return false;
        for (int i = 0; i < entries.size(); ++i)
            if (entries.at(i).state != other.entries.at(i).state)
                return false;
        return true;
    }

private:
    struct Entry
    {
        SectorState state = SectorState::Missing;
        int agreeing = 0;
        int supplier = 0;
        SectorOwner owner;
    };

    QByteArray data;
    QVector<Entry> entries;
};

Q_DECLARE_METATYPE(SectorTable)
