#include "tosdisk.h"

#include "imagebuilder.h"

namespace tosdisk {

namespace {
constexpr int sectorSize = 256;
constexpr int catalogSectors = 16;
constexpr int blocksPerExtent = 16;
constexpr int firstScannedSector = 80; // lost blocks are looked for from here on

// xorshift32: the same seed gives the same disk on every machine.
class Random
{
public:
    explicit Random(quint32 seed)
        : state(seed ? seed : 0x9E3779B9u)
    {
    }
    quint32 next()
    {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state;
    }
    int between(int low, int high) { return low + int(next() % quint32(high - low + 1)); }
    QByteArray bytes(int length)
    {
        QByteArray out(length, '\0');
        for (char &c : out)
            c = char(next() >> 24);
        return out;
    }

private:
    quint32 state;
};

struct Geometry
{
    int sectors = 0;   // logical sectors of the image data
    int perBlock = 4;  // sectors per block
    int base = 0;      // sector of block 0
    int catalog = 0;   // first catalog sector
    int firstBlock = 0;
    int blockCount = 0; // usable block numbers: firstBlock .. blockCount - 1

    int sectorOf(int block) const { return base + block * perBlock; }
};

Geometry geometryOf(const Disk &disk)
{
    Geometry g;
    const bool large = disk.tracks > 50;
    g.sectors = disk.tracks * ImageBuilder::sidesWalked(disk.tracks, disk.sides) * 16;
    g.perBlock = large ? 16 : 4;
    g.base = (large || disk.a2) ? 64 : 0;
    g.catalog = disk.a2 ? 64 : 0;
    // Block numbers are single bytes and 0 ends a block list.
    g.firstBlock = 1;
    while (g.sectorOf(g.firstBlock) < g.catalog + catalogSectors)
        ++g.firstBlock;
    g.blockCount = qMin(256, qMax(0, (g.sectors - g.base) / g.perBlock));
    return g;
}

// Length bytes of one extent: records of 128 bytes, the last one shortened.
void extentLength(int length, int &records, quint8 &lastBytes)
{
    records = (length + 127) / 128;
    lastBytes = length % 128 == 0 ? 0 : quint8(128 + length % 128);
}

// The first bytes of the 64 system sectors of an A.2 disk.
const quint8 systemFirstBytes[64] = {
    0xFE, 0xFE, 0x7B, 0xFE, 0xCD, 0xFE, 0x7F, 0xBB, 0x25, 0xFE, 0xFE, 0xCB, 0xFE, 0xFE, 0x77, 0xF5,
    0xD9, 0x2D, 0xC2, 0xFE, 0xFE, 0x81, 0x7E, 0xFE, 0x32, 0x1E, 0xD4, 0xC7, 0xA1, 0xA3, 0xB0, 0xC1,
    0xC9, 0x2A, 0x5B, 0x65, 0x2C, 0xFE, 0xFE, 0x4E, 0xFE, 0x1B, 0xFA, 0xCD, 0x18, 0xFD, 0x32, 0xFD,
    0xFE, 0xFE, 0xCD, 0xC2, 0x33, 0xFE, 0xA2, 0x4B, 0xFE, 0x25, 0x1F, 0xCD, 0x64, 0x54, 0x2F, 0xE1,
};

int blocksFor(const Geometry &g, const File &file)
{
    const int blockBytes = g.perBlock * sectorSize;
    return qMax(1, (file.contents.size() + blockBytes - 1) / blockBytes);
}

// Where the build puts each file: its own block list where it has a valid
// one, else the next blocks behind the files before it; a file that does not
// fit, or whose entries do not, gets none. nextBlock ends behind the last
// block given out.
QVector<QVector<int>> allocate(const Disk &disk, const Geometry &g, int &nextBlock)
{
    QVector<QVector<int>> placed;
    int entries = 1; // the label
    nextBlock = g.firstBlock;
    for (const File &file : disk.files) {
        const int blocks = blocksFor(g, file);
        const int extents = (blocks + blocksPerExtent - 1) / blocksPerExtent;
        QVector<int> list;
        if (extents <= catalogSectors * sectorSize / 32 - entries) {
            if (file.blocks.isEmpty()) {
                if (nextBlock + blocks <= g.blockCount) {
                    for (int b = 0; b < blocks; ++b)
                        list << nextBlock + b;
                    nextBlock += blocks;
                }
            } else if (file.blocks.size() == blocks) {
                list = file.blocks;
                for (int block : list)
                    if (block < g.firstBlock || block >= g.blockCount)
                        list.clear();
                for (int block : list)
                    nextBlock = qMax(nextBlock, block + 1);
            }
        }
        if (!list.isEmpty())
            entries += extents;
        placed << list;
    }
    return placed;
}

class DiskWriter
{
public:
    explicit DiskWriter(const Disk &disk)
        : disk(disk)
        , g(geometryOf(disk))
        , image(disk.tracks, disk.sides)
        , catalog(catalogSectors * sectorSize, char(0xE5))
        , nextBlock(g.firstBlock)
    {
        addLabel();
    }

    QByteArray build()
    {
        if (disk.a2 && disk.systemCode)
            addSystemCode();
        const QVector<QVector<int>> placed = allocate(disk, g, nextBlock);
        for (int f = 0; f < disk.files.size(); ++f)
            addFile(disk.files.at(f), placed.at(f));
        for (const auto &lost : disk.lostData)
            addLostData(lost.first, lost.second);
        image.setLogicalBytes(g.catalog * sectorSize, catalog, disk.a2);
        for (int sector : disk.badSectors)
            image.removeLogicalSector(sector, disk.a2);
        for (int sector : removedSectors)
            image.removeLogicalSector(sector, disk.a2);
        if (disk.storedTracks >= 0) {
            for (int t = disk.storedTracks; t < disk.tracks; ++t)
                for (int s = 0; s < disk.sides; ++s)
                    image.removeTrack(t, s);
        }
        image.setPadTracks(disk.padTracks);
        return disk.extended ? image.edsk() : image.dsk();
    }

private:
    void addLabel()
    {
        QByteArray entry = ImageBuilder::catalogEntry(0, disk.label, "DIR", 0, 0, 0, QByteArray());
        entry[0] = char(0xFF);
        putEntry(entry);
    }

    bool putEntry(const QByteArray &entry)
    {
        if (nextEntry >= catalogSectors * sectorSize / 32)
            return false;
        catalog.replace(nextEntry * 32, 32, entry);
        ++nextEntry;
        return true;
    }

    void addSystemCode()
    {
        Random random(0x5157C0DEu);
        for (int sector = 0; sector < 64; ++sector) {
            QByteArray bytes = random.bytes(sectorSize);
            bytes[0] = char(systemFirstBytes[sector]);
            image.setLogicalSector(sector, bytes, true);
        }
    }

    void addFile(const File &file, const QVector<int> &blocks)
    {
        if (blocks.isEmpty())
            return;
        const int blockBytes = g.perBlock * sectorSize;
        const int extents = (blocks.size() + blocksPerExtent - 1) / blocksPerExtent;
        int remaining = file.contents.size();
        for (int extent = 0; extent < extents; ++extent) {
            QByteArray list;
            for (int block : blocks.mid(extent * blocksPerExtent, blocksPerExtent))
                list.append(char(block));
            const int length = qMin(remaining, list.size() * blockBytes);
            remaining -= length;
            int records;
            quint8 lastBytes;
            extentLength(length, records, lastBytes);
            QByteArray entry = ImageBuilder::catalogEntry(file.owner, file.name, file.extension, quint8(extent),
                                                          lastBytes, records, list);
            if (file.deleted)
                entry[1] = char(0xE5);
            putEntry(entry);
        }

        // The file's n-th sector (0 = its first); outside the file, counted
        // on from its first or last block.
        auto sectorOf = [&](int n) {
            const int index = qBound(0, n / g.perBlock, int(blocks.size()) - 1);
            return g.sectorOf(blocks.at(index)) + n - index * g.perBlock;
        };
        for (int n = 0; n * sectorSize < file.contents.size(); ++n)
            image.setLogicalBytes(sectorOf(n) * sectorSize, file.contents.mid(n * sectorSize, sectorSize), disk.a2);
        for (int n : file.zeroSectors)
            image.setLogicalSector(sectorOf(n), QByteArray(sectorSize, '\0'), disk.a2);
        for (int n : file.badSectors)
            removedSectors.append(sectorOf(n));
    }

    // A negative sector puts the data in the next free block behind the
    // files, where the lost-block scan will find it.
    void addLostData(int sector, const QByteArray &bytes)
    {
        if (sector < 0) {
            while (g.sectorOf(nextBlock) < firstScannedSector)
                ++nextBlock;
            const int blockBytes = g.perBlock * sectorSize;
            const int blocks = qMax(1, (bytes.size() + blockBytes - 1) / blockBytes);
            if (nextBlock + blocks > g.blockCount)
                return;
            sector = g.sectorOf(nextBlock);
            nextBlock += blocks;
        }
        if ((sector * sectorSize) + bytes.size() <= g.sectors * sectorSize)
            image.setLogicalBytes(sector * sectorSize, bytes, disk.a2);
    }

    const Disk &disk;
    Geometry g;
    ImageBuilder image;
    QByteArray catalog;
    int nextEntry = 0;
    int nextBlock;
    QVector<int> removedSectors;
};

QByteArray spectrumHeader5(quint8 type, int length, int start)
{
    QByteArray header(5, '\0');
    header[0] = char(type);
    header[1] = char(length & 0xFF);
    header[2] = char((length >> 8) & 0xFF);
    header[3] = char(start & 0xFF);
    header[4] = char((start >> 8) & 0xFF);
    return header;
}

} // namespace

QByteArray build(const Disk &disk)
{
    return DiskWriter(disk).build();
}

QVector<QVector<int>> blocksOf(const Disk &disk)
{
    int next = 0;
    return allocate(disk, geometryOf(disk), next);
}

int sectorOfBlock(const Disk &disk, int block)
{
    return geometryOf(disk).sectorOf(block);
}

void deleteAndRefill(Disk &disk, const QVector<int> &deleted, const QVector<File> &added)
{
    const Geometry g = geometryOf(disk);
    const QVector<QVector<int>> placed = blocksOf(disk);
    QVector<bool> used(g.blockCount, false);
    int entries = 1;
    for (int f = 0; f < disk.files.size(); ++f) {
        disk.files[f].blocks = placed.at(f);
        disk.files[f].deleted = disk.files.at(f).deleted || deleted.contains(f);
        const int extents = (placed.at(f).size() + blocksPerExtent - 1) / blocksPerExtent;
        entries += extents;
        if (!disk.files.at(f).deleted)
            for (int block : placed.at(f))
                used[block] = true;
    }
    for (File file : added) {
        const int blocks = blocksFor(g, file);
        const int extents = (blocks + blocksPerExtent - 1) / blocksPerExtent;
        QVector<int> list;
        for (int block = g.firstBlock; block < g.blockCount && list.size() < blocks; ++block)
            if (!used.at(block))
                list << block;
        if (list.size() < blocks || extents > catalogSectors * sectorSize / 32 - entries)
            continue;
        for (int block : list)
            used[block] = true;
        entries += extents;
        file.blocks = list;
        disk.files << file;
    }
}

int firstFreeSector(const Disk &disk)
{
    const Geometry g = geometryOf(disk);
    return g.sectorOf(g.firstBlock);
}

int sectorsPerBlock(const Disk &disk)
{
    return geometryOf(disk).perBlock;
}

QByteArray basicProgram(int autostart, int bodyLength, quint32 seed)
{
    Random random(seed);
    QByteArray body;
    // Lines of tokenised BASIC: line number, length, tokens, ENTER.
    for (int line = 10; body.size() < bodyLength; line += 10) {
        QByteArray text = random.bytes(random.between(4, 40));
        body.append(char((line >> 8) & 0xFF)).append(char(line & 0xFF));
        body.append(char((text.size() + 1) & 0xFF)).append('\0');
        body.append(text).append('\x0D');
    }
    body.truncate(bodyLength);
    return ImageBuilder::withHeader7(autostart, bodyLength, body);
}

QByteArray codeFile(int start, int bodyLength, quint32 seed)
{
    return spectrumHeader5(3, bodyLength, start) + Random(seed).bytes(bodyLength);
}

QByteArray numberArray(int bodyLength, quint32 seed)
{
    return spectrumHeader5(1, bodyLength, 0) + Random(seed).bytes(bodyLength);
}

QByteArray plainData(int length, quint32 seed)
{
    QByteArray data = Random(seed).bytes(length);
    if (!data.isEmpty())
        data[0] = char(0x40 + (static_cast<quint8>(data.at(0)) & 0x3F));
    return data;
}

Disk sampleDisk(int tracks, int sides, bool a2, quint32 seed, int fillPercent)
{
    Random random(seed);
    Disk disk;
    disk.tracks = tracks;
    disk.sides = sides;
    disk.a2 = a2;

    const Geometry g = geometryOf(disk);
    const qint64 capacity = qint64(g.blockCount - g.firstBlock - 2) * g.perBlock * sectorSize;
    const qint64 wanted = capacity * fillPercent / 100;
    const int blockBytes = g.perBlock * sectorSize;
    qint64 used = 0;

    auto add = [&](const QByteArray &name, const QByteArray &ext, const QByteArray &contents) {
        const int blocks = qMax(1, (contents.size() + blockBytes - 1) / blockBytes);
        if (used + qint64(blocks) * blockBytes > wanted && !disk.files.isEmpty())
            return false;
        File file;
        file.name = name;
        file.extension = ext;
        file.contents = contents;
        disk.files.append(file);
        used += qint64(blocks) * blockBytes;
        return true;
    };

    add("BOOT", "B", basicProgram(10, random.between(300, 2000), random.next()));
    add("SCREEN", "C", codeFile(16384, 6912, random.next()));
    for (int n = 1; n < 100; ++n) {
        const QByteArray name = "PART" + QByteArray::number(n);
        bool added = false;
        switch (random.between(0, 3)) {
        case 0:
            added = add(name, "C", codeFile(random.between(24000, 40000), random.between(500, 30000),
                                            random.next()));
            break;
        case 1:
            added = add(name, "B", basicProgram(random.between(1, 9999), random.between(200, 4000),
                                                random.next()));
            break;
        case 2:
            added = add(name, "D", plainData(random.between(256, 8000), random.next()));
            break;
        default:
            added = add(name, "N", numberArray(random.between(100, 2000), random.next()));
            break;
        }
        if (!added)
            break;
    }

    // The screen (file 1) loses a sector, file 2 has a zeroed one.
    if (disk.files.size() > 1 && disk.files.at(1).contents.size() > 3 * sectorSize)
        disk.files[1].badSectors.append(2);
    if (disk.files.size() > 2)
        disk.files[2].zeroSectors.append(qMax(1, (disk.files.at(2).contents.size() / sectorSize) - 1));
    if (disk.files.size() > 3)
        disk.files[3].owner = 3;

    disk.lostData.append({-1, codeFile(32768, random.between(300, 3000), random.next())});
    disk.lostData.append({-1, plainData(200, random.next())});
    return disk;
}

QByteArray cpmDisk()
{
    // First bytes that only the CP/M reference matches.
    const QPair<int, char> firstBytes[] = {{17, 0x20}, {19, 0x32}, {25, 0x77},
                                           {29, 0x38}, {53, 0x3D}, {58, 0x13}};
    ImageBuilder image(40, 1);
    for (const auto &first : firstBytes) {
        QByteArray sector(sectorSize, char(0xE5));
        sector[0] = first.second;
        image.setSector(first.first / 16, 0, first.first % 16, sector);
    }
    return image.dsk();
}

QByteArray blankDisk(int tracks, int sides)
{
    return ImageBuilder(tracks, sides).dsk();
}

} // namespace tosdisk
