// How many files the rescue gets back from damaged reads, against what the
// reads allow, and whether files.csv ever calls a wrong file complete.
//
// Builds 80-track double-sided TOS disks with a dozen known files as
// Extended DSK and makes several damaged reads of each, then runs
// malvore-rescue with --report in its default mode and with --salvage on the
// first read and with --merge on all reads, and compares every rescued file
// with the known one.
//
// Three tables. Damage levels: independent random damage (missing sectors,
// data errors, weak sectors stored as differing copies, short sectors; most
// of it on a few bad tracks that tend to fail again on the next read, plus
// scattered single errors), never on the catalog. Scenarios: one kind of
// trouble each, over a light background of that random damage: a damaged
// or lost catalog (on disks with the system code the layout detection knows,
// and on disks without), a read of another disk among the merged ones, stray
// sector entries, sectors the controller did not find, sectors listed twice,
// a track side read from the wrong track, deleted files, and deleted files
// whose blocks new files took first fit (fragmented), with and without a
// catalog sector lost. For each mode the scenario table counts the files
// called complete whose bytes are wrong, the files called complete, and all
// known files. The third table takes the catalog and deleted-file scenarios
// mode by mode (with --salvage --undelete and --merge --undelete where the
// rescue offers it and files were deleted): files byte-exact under their own
// name (a deleted file's first character shown as '?'), under any name,
// pieces per file, the files whose catalog entries the reads do not give,
// the files only a deleted entry names, and false confidence. A lost file
// called complete must be the disk's bytes of the sectors sectors.csv gives
// it, in order, after a header of 0, 5 or 7 bytes. The last lines say which
// goals are met.
//
// The limit counts the files whose every sector either some read holds good
// or, where none does, whose damaged values (a weak read taken as the
// byte-wise majority of its copies) have the right byte-wise majority,
// ties going to the earliest read. It is worked out from the damage made
// here, not from anything the rescue says.
#include "flux.h"
#include "imagebuilder.h"
#include "tosdisk.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QProcess>
#include <QSet>
#include <QStringList>
#include <QVector>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>

namespace {

constexpr int tracks = 80;
constexpr int sides = 2;
constexpr int perSide = 16;
constexpr int sectorSize = 256;
constexpr int places = tracks * sides * perSide;

int placeOf(int track, int side, int id) { return (track * sides + side) * perSide + id; }
int trackOfPlace(int p) { return p / (sides * perSide); }
int sideOfPlace(int p) { return (p / perSide) % sides; }

// mt19937 gives the same numbers everywhere; the ranges are taken by hand
// because the standard distributions may differ between libraries.
class Dice
{
public:
    explicit Dice(quint32 seed)
        : engine(seed)
    {
    }
    int below(int n) { return n <= 1 ? 0 : int(engine() % quint32(n)); }
    int between(int low, int high) { return low + below(high - low + 1); }
    bool chance(double p) { return engine() < p * 4294967296.0; }
    char otherThan(char value) { return char(quint8(value) ^ quint8(between(1, 255))); }
    QByteArray bytes(int n)
    {
        QByteArray out(n, '\0');
        for (char &c : out)
            c = char(engine() >> 24);
        return out;
    }

private:
    std::mt19937 engine;
};

struct Level
{
    QByteArray name;
    int areas;        // bad track sides of the disk, active in a read with areaActive
    double areaActive;
    double areaMissing;   // in an active area: sector not found
    double defectByte;    // in an active area: each byte of the sector's defect misread
    int weakSpots;        // sectors with weak bytes
    double transient;     // expected bad track sides of one read only
    int scattered;        // single damaged sectors per read
};

const QVector<Level> levels = {
    {"clean", 0, 0, 0, 0, 0, 0, 0},
    {"light", 1, 0.7, 0.25, 0.3, 3, 0.3, 3},
    {"medium", 3, 0.75, 0.3, 0.4, 6, 0.7, 8},
    {"heavy", 6, 0.8, 0.4, 0.5, 12, 1.5, 20},
};

// What a read holds at a place.
enum class Kind {
    Good,
    Missing,
    DataError,
    Weak,
    Short,
    NotFound,  // listed with "not found" status bits; the stored bytes are filler
    Misplaced, // the track side was read on the wrong track: its entries name that track
    Duplicate, // listed twice with different data; stored: the first copy
};

// An entry added to a track side's list besides its own sectors: a stray
// id, an entry naming the other side, the second copy of a duplicate.
struct Extra
{
    int trackSide = 0; // track * sides + side of the block that lists it
    int index = 0;     // position in the block's list (clamped to its end)
    int c = 0;         // the track, side and id the entry names
    int h = 0;
    int r = 0;
    QByteArray data;
    QByteArray what; // for explanations
};

struct Read
{
    QVector<Kind> kind = QVector<Kind>(places, Kind::Good);
    QVector<QByteArray> stored = QVector<QByteArray>(places); // bytes written for damaged sectors
    QVector<quint8> st1 = QVector<quint8>(places, 0);
    QVector<quint8> st2 = QVector<quint8>(places, 0);
    QVector<int> namedTrack = QVector<int>(places, -1); // the track a misplaced entry names
    QVector<Extra> extras;

    bool suspect(int p) const
    {
        const Kind k = kind.at(p);
        return k == Kind::DataError || k == Kind::Weak || k == Kind::Short || k == Kind::Duplicate;
    }
};

// Of equally frequent values the earliest one, byte by byte.
QByteArray byteMajority(const QVector<QByteArray> &copies)
{
    QByteArray out(sectorSize, '\0');
    for (int i = 0; i < sectorSize; ++i) {
        int bestCount = 0;
        for (const QByteArray &copy : copies) {
            int count = 0;
            for (const QByteArray &other : copies)
                count += other.at(i) == copy.at(i);
            if (count > bestCount) {
                bestCount = count;
                out[i] = copy.at(i);
            }
        }
    }
    return out;
}

// The 256 bytes a salvaging reader takes for a damaged sector.
QByteArray salvagedValue(const Read &read, int p)
{
    const QByteArray &bytes = read.stored.at(p);
    switch (read.kind.at(p)) {
    case Kind::Weak: {
        QVector<QByteArray> copies;
        for (int c = 0; c < bytes.size() / sectorSize; ++c)
            copies << bytes.mid(c * sectorSize, sectorSize);
        return byteMajority(copies);
    }
    case Kind::Short:
        return bytes + QByteArray(sectorSize - bytes.size(), '\0');
    default:
        return bytes;
    }
}

struct KnownFile
{
    QByteArray name;      // as the catalog gives it: NAME.EXT
    QByteArray contents;  // header included
    QByteArray body;      // what the rescue should write
    QVector<int> places;  // the sectors the contents lie in, in order
    QVector<int> entries; // its catalog entries (0 = the label's)
    int firstBlock = 0;
    QVector<int> blocks;  // its allocation blocks, in order
    bool deleted = false; // its entries are marked deleted
    bool intact = true;   // its sectors still hold it (a deleted file's may not)
    bool fragmented = false; // its blocks do not follow one another

    // The name files.csv gives it: a deleted file's first character,
    // which the mark took, is shown as '?'.
    QByteArray rescuedName() const { return deleted ? deletedName() : name; }
    QByteArray deletedName() const { return "?" + name.mid(1); }
    // Whether the rescue should get it back: a live file, or a deleted one
    // whose blocks no later file took.
    bool recoverable() const { return intact; }
};

struct Weakness
{
    int place;
    QVector<int> offsets; // its weak bytes
    QVector<char> other;  // the value each weak byte reads as when it reads wrong
    double right;         // chance that one reading of a weak byte is right
};

struct Disk
{
    bool a2 = true;
    QVector<QByteArray> truth = QVector<QByteArray>(places); // each sector's true bytes
    QVector<KnownFile> files;
    QVector<int> catalogPlaces; // the 16 catalog sectors in logical order
    int entrySectors = 0;       // of those, how many hold entries
    QVector<int> trackSides;    // track sides holding files, the catalog's left out
    QVector<QByteArray> reads;  // Extended DSK bytes
    QVector<Read> damage;
};

QByteArray bodyOf(const QByteArray &contents)
{
    switch (contents.isEmpty() ? -1 : quint8(contents.at(0))) {
    case 0:
        return contents.mid(7);
    case 1:
    case 2:
    case 3:
        return contents.mid(5);
    default:
        return contents;
    }
}

// Sizes from a couple of hundred bytes to tens of kilobytes, mostly small.
int fileSize(Dice &dice)
{
    static const int sizes[] = {200, 600, 1500, 3000, 6000, 12000, 24000, 40000};
    const int band = dice.below(7);
    return dice.between(sizes[band], sizes[band + 1]);
}

// What a known disk holds besides its dozen files, one after another.
enum class Shape {
    Plain,
    TwoExtents, // FILE5 is plain data of 70 to 90 KB: its two catalog entries
                // are the 8th and 9th, one in each of the first two catalog sectors
    SystemCode, // A.2 with its system in sectors 0..63, which the layout detection knows
    Deleted,    // three files deleted: entries marked, blocks as they were
    Reused,     // a file deleted and saved again at its length (it takes its old
                // blocks), three more deleted, then new files written first fit
                // into the gaps: fragmented, over the deleted files' blocks;
                // then two more deleted and a few more new files
};

// A file of the type its extension says, bodyLength bytes of body.
QByteArray contentsOfType(Dice &dice, char type, int bodyLength, quint32 seed)
{
    switch (type) {
    case 'C':
        // Code is saved from the 64 KB of memory: it ends by address 65535.
        return tosdisk::codeFile(qMin(dice.between(24000, 40000), 65536 - bodyLength), bodyLength, seed);
    case 'B':
        return tosdisk::basicProgram(dice.between(1, 9999), bodyLength, seed);
    case 'N':
        return tosdisk::numberArray(bodyLength, seed);
    default:
        return tosdisk::plainData(bodyLength, seed);
    }
}

// Deletes three of FILE1..FILE10; with reuse four, the first of them saved
// again at once with new bytes of its length, and new files follow the
// deletions, twice.
void deleteFiles(Dice &dice, tosdisk::Disk &disk, bool reuse)
{
    // The file saved again has its entry in the first catalog sector, the
    // new files theirs in the second.
    QVector<int> chosen;
    while (chosen.size() < (reuse ? 4 : 3)) {
        const int f = dice.between(2, reuse && chosen.isEmpty() ? 6 : disk.files.size() - 1);
        if (!chosen.contains(f))
            chosen << f;
    }
    if (!reuse) {
        tosdisk::deleteAndRefill(disk, chosen, {});
        return;
    }
    tosdisk::File again = disk.files.at(chosen.first());
    again.contents = contentsOfType(dice, again.extension.at(0), bodyOf(again.contents).size(),
                                    quint32(dice.below(1 << 30)));
    tosdisk::deleteAndRefill(disk, {chosen.first()}, {again});
    // New files, mostly of several blocks, so that they do not fit into
    // one gap; then two more files deleted (new ones among them, whose
    // blocks are scattered) and a few more new files.
    int made = 0;
    auto newFiles = [&](int count) {
        QVector<tosdisk::File> added;
        for (int n = 0; n < count; ++n) {
            tosdisk::File file;
            file.name = "NEW" + QByteArray::number(++made);
            file.extension = QByteArray(1, "CBDN"[dice.below(4)]);
            file.contents = contentsOfType(dice, file.extension.at(0), dice.between(3000, 40000), quint32(dice.below(1 << 30)));
            added << file;
        }
        return added;
    };
    tosdisk::deleteAndRefill(disk, chosen.mid(1), newFiles(dice.between(3, 5)));
    QVector<int> later;
    while (later.size() < 2) {
        const int f = dice.between(2, disk.files.size() - 1);
        if (!disk.files.at(f).deleted && disk.files.at(f).name != again.name && !later.contains(f))
            later << f;
    }
    tosdisk::deleteAndRefill(disk, later, newFiles(dice.between(2, 3)));
}

// The known files.
tosdisk::Disk knownDisk(Dice &dice, bool a2, Shape shape)
{
    const bool twoExtents = shape == Shape::TwoExtents;
    tosdisk::Disk disk;
    disk.tracks = tracks;
    disk.sides = sides;
    disk.a2 = a2;
    disk.extended = true;
    auto add = [&](const QByteArray &name, const QByteArray &extension, const QByteArray &contents) {
        tosdisk::File file;
        file.name = name;
        file.extension = extension;
        file.contents = contents;
        disk.files << file;
    };
    add("BOOT", "B", tosdisk::basicProgram(10, dice.between(300, 3000), quint32(dice.below(1 << 30))));
    add("SCREEN", "C", tosdisk::codeFile(16384, 6912, quint32(dice.below(1 << 30))));
    for (int n = 1; n <= 10; ++n) {
        const QByteArray name = "FILE" + QByteArray::number(n);
        const int size = fileSize(dice);
        const quint32 seed = quint32(dice.below(1 << 30));
        switch (dice.below(4)) {
        case 0:
            add(name, "C", tosdisk::codeFile(qMin(dice.between(24000, 40000), 65536 - size), size, seed));
            break;
        case 1:
            add(name, "B", tosdisk::basicProgram(dice.between(1, 9999), size, seed));
            break;
        case 2:
            add(name, "D", tosdisk::plainData(size, seed));
            break;
        default:
            add(name, "N", tosdisk::numberArray(size, seed));
            break;
        }
        if (twoExtents && n == 5) {
            disk.files.last().extension = "D";
            disk.files.last().contents = tosdisk::plainData(70000 + int(seed % 20000), seed);
        }
    }
    disk.systemCode = shape == Shape::SystemCode;
    if (shape == Shape::Deleted || shape == Shape::Reused)
        deleteFiles(dice, disk, shape == Shape::Reused);
    return disk;
}

quint8 byteAt(const QByteArray &bytes, int pos) { return quint8(bytes.at(pos)); }

// The sectors of a clean Extended DSK image by place.
bool readClean(const QByteArray &image, QVector<QByteArray> &truth)
{
    int pos = 256;
    for (int block = 0; block < tracks * sides; ++block) {
        const int size = byteAt(image, 0x34 + block) * 256;
        const int track = byteAt(image, pos + 0x10);
        const int side = byteAt(image, pos + 0x11);
        const int count = byteAt(image, pos + 0x15);
        int data = pos + 256;
        for (int j = 0; j < count; ++j) {
            const int id = byteAt(image, pos + 0x18 + 8 * j + 2);
            if (id >= perSide || track >= tracks || side >= sides)
                return false;
            truth[placeOf(track, side, id)] = image.mid(data, sectorSize);
            data += sectorSize;
        }
        pos += size;
    }
    for (const QByteArray &sector : truth)
        if (sector.size() != sectorSize)
            return false;
    return true;
}

// A misread of the given bytes: each one wrong with chance p, at least one.
QByteArray misread(Dice &dice, const QByteArray &truth, const QVector<int> &offsets, double p)
{
    QByteArray bytes = truth;
    bool changed = false;
    for (int offset : offsets)
        if (dice.chance(p)) {
            bytes[offset] = dice.otherThan(truth.at(offset));
            changed = true;
        }
    if (!changed) {
        const int offset = offsets.at(dice.below(offsets.size()));
        bytes[offset] = dice.otherThan(truth.at(offset));
    }
    return bytes;
}

QVector<int> run(int start, int length)
{
    QVector<int> offsets;
    for (int i = start; i < qMin(sectorSize, start + length); ++i)
        offsets << i;
    return offsets;
}

void setDataError(Dice &dice, Read &read, int p, const QByteArray &bytes)
{
    read.kind[p] = Kind::DataError;
    read.stored[p] = bytes;
    const int bits = dice.between(1, 3); // ST1, ST2 or both
    read.st1[p] = (bits & 1) ? 0x20 : 0;
    read.st2[p] = (bits & 2) ? 0x20 : 0;
}

// One read of a weak sector: a few copies, each weak byte right with the
// spot's chance. Copies that all agree are what a drive returns once: good
// when right, a data error when not.
void readWeak(Dice &dice, Read &read, const Weakness &weak, const QByteArray &truth)
{
    const int roll = dice.below(10);
    const int copies = roll < 8 ? 3 : (roll == 8 ? 4 : 5);
    QByteArray stored;
    for (int c = 0; c < copies; ++c) {
        QByteArray copy = truth;
        for (int i = 0; i < weak.offsets.size(); ++i)
            if (!dice.chance(weak.right))
                copy[weak.offsets.at(i)] = weak.other.at(i);
        stored += copy;
    }
    bool differ = false;
    for (int c = 1; c < copies; ++c)
        differ = differ || stored.mid(c * sectorSize, sectorSize) != stored.left(sectorSize);
    const int p = weak.place;
    if (differ) {
        read.kind[p] = Kind::Weak;
        read.stored[p] = stored;
        if (dice.chance(0.5)) {
            read.st1[p] = 0x20;
            read.st2[p] = 0x20;
        }
    } else if (stored.left(sectorSize) != truth) {
        setDataError(dice, read, p, stored.left(sectorSize));
    }
}

// A weak read whose copies always differ: a few bytes of a short run flip
// in some copies.
void makeWeak(Dice &dice, Read &read, int p, const QByteArray &truth)
{
    const int copies = dice.between(3, 5);
    const QVector<int> offsets = run(dice.below(sectorSize - 8), dice.between(1, 8));
    QVector<QByteArray> copy(copies, truth);
    for (QByteArray &one : copy)
        for (int offset : offsets)
            if (dice.chance(0.4))
                one[offset] = char(truth.at(offset) ^ char(1 << dice.below(8)));
    if (copy.at(0) == copy.at(1))
        copy[1][offsets.first()] = char(copy.at(0).at(offsets.first()) ^ 0x10);
    read.kind[p] = Kind::Weak;
    read.stored[p].clear();
    for (const QByteArray &one : copy)
        read.stored[p] += one;
    const bool flagged = dice.chance(0.5);
    read.st1[p] = flagged ? 0x20 : 0;
    read.st2[p] = flagged ? 0x20 : 0;
}

// A read of a sector on a bad track: not found, or read with errors in its
// defect, or now and then read right.
void readDefect(Dice &dice, Read &read, int p, const QByteArray &truth, const QVector<int> &defect, const Level &level)
{
    read.kind[p] = Kind::Good;
    read.st1[p] = 0;
    read.st2[p] = 0;
    if (dice.chance(level.areaMissing)) {
        read.kind[p] = Kind::Missing;
        return;
    }
    if (dice.chance(0.15))
        return;
    if (dice.chance(0.08)) {
        read.kind[p] = Kind::Short;
        read.stored[p] = truth.left(dice.between(1, sectorSize - 1));
        read.st1[p] = dice.chance(0.5) ? 0x20 : 0;
        return;
    }
    setDataError(dice, read, p, misread(dice, truth, defect, level.defectByte));
}

// The known disk: its true sectors, where each file and the catalog lie.
Disk knownSectors(Dice &dice, bool a2, Shape shape, QString &error)
{
    Disk disk;
    disk.a2 = a2;
    const tosdisk::Disk layout = knownDisk(dice, a2, shape);
    if (!readClean(tosdisk::build(layout), disk.truth)) {
        error = QStringLiteral("the clean image could not be read back");
        return disk;
    }

    const ImageBuilder geometry(tracks, sides);
    const int perBlock = tosdisk::sectorsPerBlock(layout);
    const QVector<QVector<int>> blocks = tosdisk::blocksOf(layout);
    auto placeOfLogical = [&](int logical) {
        int t, s, id;
        geometry.logicalToPhysical(logical, a2, t, s, id);
        return placeOf(t, s, id);
    };
    int entries = 1; // the disk's label
    for (int f = 0; f < layout.files.size(); ++f) {
        const tosdisk::File &file = layout.files.at(f);
        if (blocks.at(f).isEmpty()) {
            error = QStringLiteral("file %1 does not fit").arg(QString::fromLatin1(file.name));
            return disk;
        }
        KnownFile known;
        known.name = file.name + "." + file.extension;
        known.contents = file.contents;
        known.body = bodyOf(file.contents);
        known.deleted = file.deleted;
        known.firstBlock = blocks.at(f).first();
        known.blocks = blocks.at(f);
        known.fragmented = blocks.at(f).last() - blocks.at(f).first() + 1 != blocks.at(f).size();
        QByteArray laid;
        for (int i = 0; i < (file.contents.size() + sectorSize - 1) / sectorSize; ++i) {
            const int block = blocks.at(f).at(i / perBlock);
            known.places << placeOfLogical(tosdisk::sectorOfBlock(layout, block) + i % perBlock);
            laid += disk.truth.at(known.places.last());
        }
        known.intact = laid.left(file.contents.size()) == file.contents;
        if (!known.intact && !known.deleted) {
            error = QStringLiteral("file %1 is not where it should be").arg(QString::fromLatin1(known.name));
            return disk;
        }
        for (int e = 0; e < (blocks.at(f).size() + 15) / 16; ++e)
            known.entries << entries++;
        disk.files << known;
    }
    disk.entrySectors = (entries * 32 + sectorSize - 1) / sectorSize;
    const int catalog = a2 ? 64 : 0;
    for (int i = 0; i < 16; ++i)
        disk.catalogPlaces << placeOfLogical(catalog + i);

    const int catalogTrackSide = disk.catalogPlaces.first() / perSide;
    for (const KnownFile &file : disk.files)
        for (int p : file.places)
            if (p / perSide != catalogTrackSide && !disk.trackSides.contains(p / perSide))
                disk.trackSides << p / perSide;
    return disk;
}

// Damaged reads of the disk at a level. The damage falls on the track
// sides that hold files, never on the catalog's.
void damageReads(Disk &disk, const Level &level, int reads, Dice &dice)
{
    const QVector<int> &trackSides = disk.trackSides;
    auto anyTrackSide = [&]() { return trackSides.at(dice.below(trackSides.size())); };
    auto anyPlace = [&]() { return anyTrackSide() * perSide + dice.below(perSide); };

    // What belongs to the disk: bad areas with a fixed defect per sector,
    // and weak sectors, some of them inside the bad areas.
    QVector<int> areas;
    while (areas.size() < qMin(level.areas, trackSides.size())) {
        const int area = anyTrackSide();
        if (!areas.contains(area))
            areas << area;
    }
    QMap<int, QVector<int>> defects;
    for (int area : areas)
        for (int id = 0; id < perSide; ++id)
            defects[area * perSide + id] = run(dice.below(sectorSize), dice.between(1, 8));
    QVector<Weakness> weak;
    while (weak.size() < level.weakSpots) {
        Weakness spot;
        spot.place = (!areas.isEmpty() && dice.chance(0.5)) ? areas.at(dice.below(areas.size())) * perSide + dice.below(perSide)
                                                            : anyPlace();
        bool taken = false;
        for (const Weakness &other : weak)
            taken = taken || other.place == spot.place;
        if (taken)
            continue;
        const int count = dice.between(1, 4);
        const int start = dice.below(sectorSize - 8);
        for (int i = 0; i < count; ++i) {
            const int offset = start + dice.below(8);
            if (spot.offsets.contains(offset))
                continue;
            spot.offsets << offset;
            spot.other << char(disk.truth.at(spot.place).at(offset) ^ char(1 << dice.below(8)));
        }
        spot.right = 0.55 + 0.4 * dice.below(1000) / 1000.0;
        weak << spot;
    }

    for (int r = 0; r < reads; ++r) {
        Read read;
        for (const Weakness &spot : weak)
            readWeak(dice, read, spot, disk.truth.at(spot.place));
        for (int area : areas) {
            if (!dice.chance(level.areaActive))
                continue;
            for (int id = 0; id < perSide; ++id) {
                const int p = area * perSide + id;
                bool isWeak = false;
                for (const Weakness &spot : weak)
                    isWeak = isWeak || spot.place == p;
                if (isWeak && read.kind.at(p) != Kind::Good && !dice.chance(level.areaMissing))
                    continue; // the weak read stands
                readDefect(dice, read, p, disk.truth.at(p), defects.value(p), level);
            }
        }
        // A track side that fails in this read only: its sectors mostly not
        // found, now and then none of them (the track is left out).
        double transient = level.transient;
        while (transient > 0 && dice.chance(qMin(1.0, transient))) {
            transient -= 1.0;
            const int area = anyTrackSide();
            const bool lost = dice.chance(0.3);
            for (int id = 0; id < perSide; ++id) {
                const int p = area * perSide + id;
                if (lost || dice.chance(0.7))
                    read.kind[p] = Kind::Missing;
                else
                    readDefect(dice, read, p, disk.truth.at(p), run(dice.below(sectorSize), dice.between(1, 16)), level);
            }
        }
        for (int n = 0; n < level.scattered; ++n) {
            const int p = anyPlace();
            const int roll = dice.below(10);
            if (roll < 4)
                read.kind[p] = Kind::Missing;
            else if (roll < 9)
                setDataError(dice, read, p, misread(dice, disk.truth.at(p), run(dice.below(sectorSize), dice.between(1, 3)), 0.5));
            else {
                read.kind[p] = Kind::Short;
                read.stored[p] = disk.truth.at(p).left(dice.between(1, sectorSize - 1));
                read.st1[p] = 0;
                read.st2[p] = dice.chance(0.5) ? 0x20 : 0;
            }
        }
        disk.damage << read;
    }
}

// The Extended DSK bytes of a read: each place as its kind says, the extra
// entries at their positions, then the track and side fields of entries
// that name another track or side.
QByteArray imageOf(const QVector<QByteArray> &truth, const Read &read)
{
    struct Entry
    {
        ImageBuilder::Sector sector;
        int c;
        int h;
    };
    ImageBuilder image(tracks, sides);
    image.setCreator("RecoveryBench");
    QVector<QVector<Entry>> lists(tracks * sides);
    for (int ts = 0; ts < tracks * sides; ++ts) {
        const int t = ts / sides;
        const int s = ts % sides;
        QVector<Entry> &list = lists[ts];
        for (int id = 0; id < perSide; ++id) {
            const int p = ts * perSide + id;
            if (read.kind.at(p) == Kind::Missing)
                continue;
            Entry entry{ImageBuilder::Sector(), read.namedTrack.at(p) >= 0 ? read.namedTrack.at(p) : t, s};
            entry.sector.id = id;
            entry.sector.data = read.kind.at(p) == Kind::Good ? truth.at(p) : read.stored.at(p);
            entry.sector.st1 = read.st1.at(p);
            entry.sector.st2 = read.st2.at(p);
            list << entry;
        }
        for (const Extra &extra : read.extras) {
            if (extra.trackSide != ts)
                continue;
            Entry entry{ImageBuilder::Sector(), extra.c, extra.h};
            entry.sector.id = extra.r;
            entry.sector.data = extra.data;
            list.insert(qBound(0, extra.index, list.size()), entry);
        }
        ImageBuilder::Track &track = image.track(t, s);
        track.sectors.clear();
        for (const Entry &entry : list)
            track.sectors << entry.sector;
        if (list.isEmpty())
            image.removeTrack(t, s);
    }
    QByteArray bytes = image.edsk();
    int pos = 256;
    for (int ts = 0; ts < tracks * sides; ++ts) {
        const QVector<Entry> &list = lists.at(ts);
        for (int j = 0; j < list.size(); ++j) {
            bytes[pos + 0x18 + 8 * j] = char(list.at(j).c);
            bytes[pos + 0x18 + 8 * j + 1] = char(list.at(j).h);
        }
        pos += byteAt(bytes, 0x34 + ts) * 256;
    }
    return bytes;
}

void makeImages(Disk &disk)
{
    disk.reads.clear();
    for (const Read &read : disk.damage)
        disk.reads << imageOf(disk.truth, read);
}

Disk makeDisk(const Level &level, int reads, quint32 seed, bool a2, QString &error)
{
    Dice dice(seed);
    Disk disk = knownSectors(dice, a2, Shape::Plain, error);
    if (!error.isEmpty())
        return disk;
    damageReads(disk, level, reads, dice);
    makeImages(disk);
    return disk;
}

// ---- scenarios: one kind of trouble each, on top of light damage ----

int anyTrackSideOf(const Disk &disk, Dice &dice) { return disk.trackSides.at(dice.below(disk.trackSides.size())); }

int anyPlaceOf(const Disk &disk, Dice &dice) { return anyTrackSideOf(disk, dice) * perSide + dice.below(perSide); }

// What a read holds at p, as the data written for it.
QByteArray heldAt(const Disk &disk, const Read &read, int p)
{
    return read.kind.at(p) == Kind::Good ? disk.truth.at(p) : read.stored.at(p);
}

// A track block of more than 16 entries of 256 bytes is not a TOS track:
// an added entry takes the place of one of the block's own sectors (not
// keep), which that read then lacks.
void makeRoom(Read &read, int ts, int keep, Dice &dice)
{
    for (;;) {
        int entries = 0;
        for (int id = 0; id < perSide; ++id)
            entries += read.kind.at(ts * perSide + id) != Kind::Missing;
        for (const Extra &extra : read.extras)
            entries += extra.trackSide == ts;
        if (entries < perSide)
            return;
        const int id = dice.below(perSide);
        if (id != keep)
            read.kind[ts * perSide + id] = Kind::Missing;
    }
}

// Every catalog sector missing from the first read; the others hold it.
void catalogGoneFromFirst(Disk &disk, int, Dice &)
{
    for (int p : disk.catalogPlaces)
        disk.damage[0].kind[p] = Kind::Missing;
}

// Every catalog sector missing, read with a data error (now and then with
// the right bytes) or weak, in every read.
void catalogDamagedEverywhere(Disk &disk, int, Dice &dice)
{
    for (Read &read : disk.damage)
        for (int p : disk.catalogPlaces) {
            const QByteArray &truth = disk.truth.at(p);
            switch (dice.below(3)) {
            case 0:
                read.kind[p] = Kind::Missing;
                break;
            case 1:
                setDataError(dice, read, p,
                             dice.chance(0.3) ? truth : misread(dice, truth, run(dice.below(sectorSize), dice.between(1, 8)), 0.5));
                break;
            default:
                makeWeak(dice, read, p, truth);
                break;
            }
        }
}

// One catalog sector holding entries lost in every read: the second on
// even disks (it holds FILE5's second extent), the first on odd ones.
// FILE5 itself reads cleanly, so that only its catalog can fail it.
void catalogSectorLost(Disk &disk, int d, Dice &)
{
    const int lost = qMin(disk.entrySectors - 1, d % 2 == 0 ? 1 : 0);
    for (Read &read : disk.damage) {
        read.kind[disk.catalogPlaces.at(lost)] = Kind::Missing;
        for (const KnownFile &file : disk.files)
            if (file.name == "FILE5.D")
                for (int p : file.places) {
                    read.kind[p] = Kind::Good;
                    read.st1[p] = 0;
                    read.st2[p] = 0;
                }
    }
}

// Entries naming sector ids 16 and above: additional ones with other data,
// and sectors of the track whose own entry names such an id.
void strayIds(Disk &disk, int, Dice &dice)
{
    for (Read &read : disk.damage)
        for (int n = 0; n < 4; ++n) {
            const int ts = anyTrackSideOf(disk, dice);
            const int id = dice.below(perSide);
            const int p = ts * perSide + id;
            Extra extra;
            extra.trackSide = ts;
            extra.c = ts / sides;
            extra.h = ts % sides;
            if (dice.chance(0.5)) {
                makeRoom(read, ts, id, dice);
                extra.index = dice.below(perSide + 1);
                extra.r = dice.between(perSide, 255);
                extra.data = dice.chance(0.5) ? dice.bytes(sectorSize) : disk.truth.at(anyPlaceOf(disk, dice));
                extra.what = "stray id";
            } else {
                extra.index = id;
                extra.r = id + perSide * dice.between(1, 15);
                extra.data = heldAt(disk, read, p).left(sectorSize);
                extra.data += QByteArray(sectorSize - extra.data.size(), '\0');
                extra.what = "own id misread";
                read.kind[p] = Kind::Missing;
            }
            read.extras << extra;
        }
}

// Entries naming the other side: listed before the block's own sector with
// that id (the other side's data), or a sector of the block whose own entry
// names the other side.
void straySides(Disk &disk, int, Dice &dice)
{
    for (Read &read : disk.damage)
        for (int n = 0; n < 4; ++n) {
            const int ts = anyTrackSideOf(disk, dice);
            const int t = ts / sides;
            const int s = ts % sides;
            const int id = dice.below(perSide);
            const int p = ts * perSide + id;
            Extra extra;
            extra.trackSide = ts;
            extra.c = t;
            extra.h = 1 - s;
            extra.r = id;
            if (dice.chance(0.5)) {
                makeRoom(read, ts, id, dice);
                extra.index = 0;
                extra.data = disk.truth.at(placeOf(t, 1 - s, id));
                if (extra.data == disk.truth.at(p))
                    extra.data = dice.bytes(sectorSize);
                extra.what = "other side's entry first";
            } else {
                extra.index = id;
                extra.data = heldAt(disk, read, p).left(sectorSize);
                extra.data += QByteArray(sectorSize - extra.data.size(), '\0');
                extra.what = "own side misread";
                read.kind[p] = Kind::Missing;
            }
            read.extras << extra;
        }
}

// Sectors listed with "not found" status bits (ST1 bit 0 or 2, ST2 bit 0)
// and 256 bytes of filler: formatting bytes, zeros, noise, the previous
// sector of the track (a stale buffer), or by chance the sector itself.
// Scattered ones, and now and then most of a track side.
void notFound(Disk &disk, int, Dice &dice)
{
    for (Read &read : disk.damage) {
        QVector<int> hit;
        for (int n = 0; n < 6; ++n)
            hit << anyPlaceOf(disk, dice);
        if (dice.chance(0.5)) {
            const int ts = anyTrackSideOf(disk, dice);
            for (int id = 0; id < perSide; ++id)
                if (dice.chance(0.7))
                    hit << ts * perSide + id;
        }
        for (int p : hit) {
            read.kind[p] = Kind::NotFound;
            switch (dice.below(5)) {
            case 0:
                read.stored[p] = QByteArray(sectorSize, char(0xE5));
                break;
            case 1:
                read.stored[p] = QByteArray(sectorSize, '\0');
                break;
            case 2:
                read.stored[p] = dice.bytes(sectorSize);
                break;
            case 3:
                read.stored[p] = disk.truth.at(p % perSide == 0 ? p + 1 : p - 1);
                break;
            default:
                read.stored[p] = disk.truth.at(p);
                break;
            }
            static const quint8 bits[][2] = {{0x01, 0x00}, {0x04, 0x00}, {0x00, 0x01}, {0x05, 0x01}, {0x21, 0x20}};
            const int b = dice.below(5);
            read.st1[p] = bits[b][0];
            read.st2[p] = bits[b][1];
        }
    }
}

// Sectors listed twice with different data: a misread first and the right
// copy after it, the right copy first and a misread after it, another
// sector's data under this id first; and now and then two equal copies.
void duplicates(Disk &disk, int, Dice &dice)
{
    for (Read &read : disk.damage)
        for (int n = 0; n < 6; ++n) {
            const int p = anyPlaceOf(disk, dice);
            const QByteArray &truth = disk.truth.at(p);
            const QByteArray wrong = misread(dice, truth, run(dice.below(sectorSize), dice.between(1, 8)), 0.5);
            Extra extra;
            extra.trackSide = p / perSide;
            extra.index = 99; // after the block's own entry
            extra.c = trackOfPlace(p);
            extra.h = sideOfPlace(p);
            extra.r = p % perSide;
            read.st1[p] = 0;
            read.st2[p] = 0;
            switch (dice.below(4)) {
            case 0:
                read.kind[p] = Kind::Duplicate;
                read.stored[p] = wrong;
                extra.data = truth;
                extra.what = "second copy (right; first misread)";
                break;
            case 1:
                read.kind[p] = Kind::Duplicate;
                read.stored[p] = truth;
                extra.data = wrong;
                extra.what = "second copy (misread)";
                break;
            case 2: {
                const int other = (p / perSide) * perSide + (p % perSide + dice.between(1, perSide - 1)) % perSide;
                read.kind[p] = Kind::Duplicate;
                read.stored[p] = disk.truth.at(other) == truth ? wrong : disk.truth.at(other);
                extra.data = truth;
                extra.what = "second copy (right; first another sector's)";
                break;
            }
            default:
                read.kind[p] = Kind::Good;
                extra.data = truth;
                extra.what = "equal second copy";
                break;
            }
            makeRoom(read, p / perSide, p % perSide, dice);
            read.extras << extra;
        }
}

// A seek error in the first read: one or two track sides hold the sectors
// of the next track, and their entries name that track.
void wrongTrack(Disk &disk, int, Dice &dice)
{
    Read &read = disk.damage[0];
    const int count = dice.between(1, 2);
    for (int n = 0; n < count; ++n) {
        const int ts = anyTrackSideOf(disk, dice);
        const int t = ts / sides;
        const int s = ts % sides;
        const int other = t + 1 < tracks ? t + 1 : t - 1;
        for (int id = 0; id < perSide; ++id) {
            const int p = ts * perSide + id;
            read.kind[p] = Kind::Misplaced;
            read.stored[p] = disk.truth.at(placeOf(other, s, id));
            read.st1[p] = 0;
            read.st2[p] = 0;
            read.namedTrack[p] = other;
        }
    }
}

// Every catalog sector missing in every read.
void catalogLostEverywhere(Disk &disk, int, Dice &)
{
    for (Read &read : disk.damage)
        for (int p : disk.catalogPlaces)
            read.kind[p] = Kind::Missing;
}

// On a disk whose deleted files' blocks were reused, one catalog sector
// holding entries lost in every read: on even disks the one holding the
// entry of the file saved again (with the new, fragmented files' first
// entries), on odd ones the first (the label and the first files, whose
// blocks lie among the deleted files' stale ones).
void reusedSectorLost(Disk &disk, int d, Dice &)
{
    int lost = 0;
    for (const KnownFile &file : disk.files)
        for (const KnownFile &old : disk.files)
            if (d % 2 == 0 && !file.deleted && old.deleted && old.name == file.name)
                lost = file.entries.first() / 8;
    for (Read &read : disk.damage)
        read.kind[disk.catalogPlaces.at(lost)] = Kind::Missing;
}

void noTrouble(Disk &, int, Dice &) {}

enum class Other {
    None,
    Another, // a read of another disk of the same layout joins the merge
    Sibling, // a read of a copy of the disk with one file changed where the disk's reads fail
};

struct Scenario
{
    QByteArray name;  // on the command line
    QByteArray title; // in the table
    Shape shape;
    Other other;
    void (*apply)(Disk &disk, int d, Dice &dice);
};

const QVector<Scenario> scenarios = {
    {"catalog-gone", "catalog: all sectors missing in read 1", Shape::Plain, Other::None, catalogGoneFromFirst},
    {"catalog-damaged", "catalog: missing/data error/weak in all reads", Shape::Plain, Other::None, catalogDamagedEverywhere},
    {"catalog-sector", "catalog: one sector lost in all reads", Shape::TwoExtents, Other::None, catalogSectorLost},
    {"other-disk", "merge with a read of another disk", Shape::Plain, Other::Another, noTrouble},
    {"sibling-disk", "merge with a changed copy of the disk", Shape::Plain, Other::Sibling, noTrouble},
    {"stray-id", "stray entries: sector id >= 16", Shape::Plain, Other::None, strayIds},
    {"stray-side", "stray entries: the other side", Shape::Plain, Other::None, straySides},
    {"not-found", "not found (ST1 bit 0/2, ST2 bit 0), filler", Shape::Plain, Other::None, notFound},
    {"duplicate", "sector ids listed twice, data differs", Shape::Plain, Other::None, duplicates},
    {"wrong-track", "track side read from the next track", Shape::Plain, Other::None, wrongTrack},
    // Added after the others: a scenario's disks come from its place here.
    {"catalog-lost", "catalog: all lost in all reads, system code", Shape::SystemCode, Other::None, catalogLostEverywhere},
    {"catalog-unknown", "catalog: all lost in all reads, no system code", Shape::Plain, Other::None, catalogLostEverywhere},
    {"deleted", "three files deleted, blocks kept", Shape::Deleted, Other::None, noTrouble},
    {"reused", "deleted files' blocks reused first fit", Shape::Reused, Other::None, noTrouble},
    {"reused-sector", "reused: one catalog sector lost in all reads", Shape::Reused, Other::None, reusedSectorLost},
};

// The other disk of a scenario, as one read. A sibling is the disk itself
// with a few bytes changed in one to three sectors of one file, sectors
// that every read of the disk lacks: a copy that was changed afterwards.
Disk otherDisk(Disk &disk, Other kind, quint32 seed, QString &error)
{
    Dice dice(seed);
    Disk other;
    if (kind == Other::Another) {
        other = knownSectors(dice, disk.a2, Shape::Plain, error);
        if (!error.isEmpty())
            return other;
        damageReads(other, levels.at(1), 1, dice);
    } else {
        other = disk;
        other.damage = {Read()};
        const KnownFile &file = disk.files.at(dice.between(2, disk.files.size() - 1));
        const int count = qMin(file.places.size(), dice.between(1, 3));
        const int first = dice.below(file.places.size() - count + 1);
        for (int i = first; i < first + count; ++i) {
            const int p = file.places.at(i);
            const int used = qMin(sectorSize, file.contents.size() - i * sectorSize);
            other.truth[p] = misread(dice, disk.truth.at(p), run(dice.below(used), qMin(used, 4)), 0.5);
            for (Read &read : disk.damage)
                read.kind[p] = Kind::Missing;
        }
    }
    makeImages(other);
    return other;
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The rows of a CSV file the report writes (quoted fields allowed), each
// as a map from the header's column names.
QVector<QMap<QString, QString>> csvRows(const QString &path)
{
    const QString text = QString::fromUtf8(readFile(path));
    QVector<QStringList> lines;
    QStringList fields;
    QString field;
    bool quoted = false;
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (quoted) {
            if (c == QLatin1Char('"') && i + 1 < text.size() && text.at(i + 1) == QLatin1Char('"'))
                field += c, ++i;
            else if (c == QLatin1Char('"'))
                quoted = false;
            else
                field += c;
        } else if (c == QLatin1Char('"')) {
            quoted = true;
        } else if (c == QLatin1Char(',')) {
            fields << field;
            field.clear();
        } else if (c == QLatin1Char('\n')) {
            fields << field;
            field.clear();
            lines << fields;
            fields.clear();
        } else if (c != QLatin1Char('\r')) {
            field += c;
        }
    }
    QVector<QMap<QString, QString>> rows;
    for (int i = 1; i < lines.size(); ++i) {
        QMap<QString, QString> row;
        for (int f = 0; f < lines.first().size() && f < lines.at(i).size(); ++f)
            row.insert(lines.first().at(f), lines.at(i).at(f));
        rows << row;
    }
    return rows;
}

// What one rescue of an image says about it.
struct Rescued
{
    bool converted = false; // files.csv was written
    QString folder;
    QVector<QMap<QString, QString>> rows; // files.csv
    QVector<QByteArray> bytes;            // each row's file
    QMultiMap<QString, int> byName;       // rows by name
    QStringList absent;                   // files.csv's files that are not there
    QVector<int> placeOfLogical;          // from sectors.csv
    QMap<QString, QVector<int>> owned;    // logical sectors by owner, in order
};

// The folder, and the files' stem, of a merge: named after its first read
// as mergedImageName (rescue/session.h) names it, or, by a rescue that
// names a merge as its first read, that read's name.
QString mergedFolder(const QString &out, const QString &firstRead)
{
    const QString merged = firstRead + QStringLiteral("-merged");
    return QFile::exists(out + QLatin1Char('/') + merged) ? merged : firstRead;
}

Rescued rescued(const QString &out, const QString &image)
{
    Rescued r;
    r.folder = out + QLatin1Char('/') + image + QLatin1Char('/');
    const QString files = r.folder + image + QStringLiteral(".files.csv");
    r.converted = QFile::exists(files);
    for (const auto &row : csvRows(files)) {
        r.byName.insert(row.value(QStringLiteral("name")), r.rows.size());
        r.rows << row;
        const QString file = r.folder + row.value(QStringLiteral("file"));
        r.bytes << readFile(file);
        if (!QFileInfo(file).isFile())
            r.absent << row.value(QStringLiteral("file"));
    }
    for (const auto &row : csvRows(r.folder + image + QStringLiteral(".sectors.csv"))) {
        const int logical = row.value(QStringLiteral("logical")).toInt();
        if (r.placeOfLogical.size() <= logical)
            r.placeOfLogical.resize(logical + 1);
        r.placeOfLogical[logical] = placeOf(row.value(QStringLiteral("track")).toInt(),
                                            row.value(QStringLiteral("side")).toInt(),
                                            row.value(QStringLiteral("sector_id")).toInt());
        r.owned[row.value(QStringLiteral("owner"))] << logical;
    }
    return r;
}

// A read given to a rescue, for explanations.
struct Source
{
    const Disk *disk;
    int read;
    QByteArray label;
};

const char *kindName(Kind kind)
{
    switch (kind) {
    case Kind::Good: return "good";
    case Kind::Missing: return "missing";
    case Kind::DataError: return "data error";
    case Kind::Weak: return "weak";
    case Kind::Short: return "short";
    case Kind::NotFound: return "not found";
    case Kind::Misplaced: return "read from another track";
    case Kind::Duplicate: return "listed twice";
    }
    return "";
}

// What each read held at p, with the entries added around it.
QString heldText(const Disk &disk, int p, const QVector<Source> &sources)
{
    QStringList parts;
    for (const Source &source : sources) {
        const Read &read = source.disk->damage.at(source.read);
        QString part = QStringLiteral("%1 %2").arg(QLatin1String(source.label), QLatin1String(kindName(read.kind.at(p))));
        if (source.disk != &disk && source.disk->truth.at(p) != disk.truth.at(p))
            part += QStringLiteral(" (other bytes)");
        for (const Extra &extra : read.extras)
            if (extra.trackSide == p / perSide && (extra.r == p % perSide || extra.r % perSide == p % perSide))
                part += QStringLiteral(" +%1 [c%2 h%3 r%4]").arg(QLatin1String(extra.what)).arg(extra.c).arg(extra.h).arg(extra.r);
        parts << part;
    }
    return parts.join(QStringLiteral(", "));
}

// The first sector (of the file) where the rescued bytes differ.
int firstWrongSector(const QByteArray &got, const QByteArray &want, int header)
{
    for (int i = 0; i < qMax(got.size(), want.size()); ++i)
        if (i >= got.size() || i >= want.size() || got.at(i) != want.at(i))
            return (i + header) / sectorSize;
    return -1;
}

void explain(const Disk &disk, const KnownFile &file, const QByteArray &got, const QString &what, const QString &image,
             const QVector<Source> &sources)
{
    const int header = file.contents.size() - file.body.size();
    const int s = firstWrongSector(got, file.body, header);
    std::fprintf(stderr, "  %s: %s in %s", qPrintable(what), file.name.constData(), qPrintable(image));
    if (got.size() != file.body.size())
        std::fprintf(stderr, ", %d bytes instead of %d", int(got.size()), int(file.body.size()));
    if (s >= 0 && s < file.places.size()) {
        const int p = file.places.at(s);
        std::fprintf(stderr, ", first wrong at file sector %d (track %d side %d id %d): %s", s, trackOfPlace(p),
                     sideOfPlace(p), p % perSide, qPrintable(heldText(disk, p, sources)));
    }
    std::fprintf(stderr, "\n");
}

// A file the reads allow that no rescued file matches: what became of its
// first sector (the row that owns it), and where that row's bytes differ.
void explainMissed(const Disk &disk, const KnownFile &file, const Rescued &said, const QString &mode,
                   const QString &image, const QVector<Source> &sources)
{
    const int logical = said.placeOfLogical.indexOf(file.places.first());
    QString owner;
    for (auto it = said.owned.cbegin(); it != said.owned.cend() && owner.isEmpty(); ++it)
        if (it.value().contains(logical))
            owner = it.key();
    QByteArray got;
    for (int r = 0; r < said.rows.size(); ++r)
        if (!owner.isEmpty()
            && (said.rows.at(r).value(QStringLiteral("name")) == owner || said.rows.at(r).value(QStringLiteral("file")) == owner))
            got = said.bytes.at(r);
    explain(disk, file, got,
            QStringLiteral("%1: within the limit, no file byte-exact (its first sector, logical %2, in %3)")
                .arg(mode)
                .arg(logical)
                .arg(owner.isEmpty() ? QStringLiteral("no file") : owner),
            image, sources);
}

// How one mode did on a set of files.
struct Tally
{
    int files = 0;    // known files the rescue should get back (live ones, deleted ones still whole)
    int exact = 0;    // byte-exact under their own name (a deleted one's with '?' first)
    int exactAny = 0; // byte-exact under any name
    int limit = 0;    // files the reads allow
    int complete = 0;
    int pieces = 0;          // rows of files.csv
    int falseConfidence = 0; // called complete, bytes wrong: known files and lost blocks
    int lostComplete = 0;    // lost blocks called complete
    int notConverted = 0;    // images without files.csv
    int inconsistent = 0;    // rows whose complete column disagrees with the verdict
    // Live files with a catalog entry in a sector the reads do not give:
    // how many, within the limit, byte-exact under any name.
    int entriesLost = 0;
    int entriesLostLimit = 0;
    int entriesLostExact = 0;
    // Files within the limit whose name only a deleted entry the reads give
    // holds (deleted files, and files with entries lost where a deleted
    // entry of their first block and length remains), and of them those
    // byte-exact under that name; the second pair for files with entries
    // lost only.
    int nameable = 0;
    int named = 0;
    int nameableLost = 0;
    int namedLost = 0;
};

// What the reads a mode is given allow: per known file whether it is within
// the limit, per catalog sector (logical order) whether it comes out right.
struct Allowed
{
    QVector<bool> file;
    QVector<bool> catalog;
};

bool rightFromFirst(const Disk &disk, int p, int used);
bool rightFromAll(const Disk &disk, int p, int used);

Allowed allowed(const Disk &disk, bool allReads)
{
    auto right = [&](int p, int used) { return allReads ? rightFromAll(disk, p, used) : rightFromFirst(disk, p, used); };
    Allowed a;
    for (const KnownFile &file : disk.files) {
        bool within = true;
        for (int i = 0; i < file.places.size(); ++i)
            within = within && right(file.places.at(i), qMin(sectorSize, file.contents.size() - i * sectorSize));
        a.file << within;
    }
    for (int p : disk.catalogPlaces)
        a.catalog << right(p, sectorSize);
    return a;
}

// The names a known file may have in files.csv: its own, and for a live
// file the one a deleted entry of its blocks gives.
QStringList namesOf(const KnownFile &file)
{
    QStringList names{QString::fromLatin1(file.rescuedName())};
    if (!file.deleted)
        names << QString::fromLatin1(file.deletedName());
    return names;
}

bool entryGiven(const Allowed &allowed, int entry) { return allowed.catalog.value(entry / 8); }

// Compares one rescue of a disk with the known files; returns, per known
// file, the bytes rescued for it under its own name (none when files.csv
// does not list it).
QVector<QByteArray> evaluate(const Disk &disk, const Rescued &said, const Allowed &allowed, const QString &image,
                             const QString &mode, const QVector<Source> &sources, bool explainWrong, Tally &tally,
                             bool explainMissing = false)
{
    const QString verdict = QStringLiteral("verdict");
    QVector<QByteArray> rescuedBytes;
    tally.notConverted += !said.converted;
    tally.pieces += said.rows.size();
    for (const QString &file : said.absent)
        std::fprintf(stderr, "  %s: files.csv of %s names %s, which is not in the image folder\n", qPrintable(mode),
                     qPrintable(image), qPrintable(file));
    QSet<QByteArray> bodies;
    for (int r = 0; r < said.rows.size(); ++r) {
        const QMap<QString, QString> &row = said.rows.at(r);
        bodies.insert(said.bytes.at(r));
        const bool complete = row.value(verdict) == QLatin1String("complete");
        if (complete != (row.value(QStringLiteral("complete")) == QLatin1String("yes"))) {
            ++tally.inconsistent;
            std::fprintf(stderr, "  %s: %s in %s: complete=%s but verdict %s\n", qPrintable(mode),
                         qPrintable(row.value(QStringLiteral("name"))), qPrintable(image),
                         qPrintable(row.value(QStringLiteral("complete"))), qPrintable(row.value(verdict)));
        }
    }
    for (int f = 0; f < disk.files.size(); ++f) {
        const KnownFile &file = disk.files.at(f);
        const QList<int> own = said.byName.values(QString::fromLatin1(file.rescuedName()));
        rescuedBytes << (own.isEmpty() ? QByteArray() : said.bytes.at(own.last()));
        if (!file.recoverable())
            continue;
        ++tally.files;
        bool right = false;
        bool complete = false;
        for (const QString &name : namesOf(file))
            for (int r : said.byName.values(name)) {
                right = right || said.bytes.at(r) == file.body;
                complete = complete || said.rows.at(r).value(verdict) == QLatin1String("complete");
            }
        const bool any = bodies.contains(file.body);
        tally.exact += right;
        tally.exactAny += any;
        tally.complete += complete;
        tally.limit += allowed.file.at(f);
        if (explainMissing && allowed.file.at(f) && !any)
            explainMissed(disk, file, said, mode, image, sources);

        bool entriesLost = false;
        for (int e : file.entries)
            entriesLost = entriesLost || !entryGiven(allowed, e);
        entriesLost = entriesLost && !file.deleted;
        if (entriesLost) {
            ++tally.entriesLost;
            tally.entriesLostLimit += allowed.file.at(f);
            tally.entriesLostExact += any;
        }
        bool nameable = allowed.file.at(f) && file.deleted && entryGiven(allowed, file.entries.first());
        for (const KnownFile &other : disk.files)
            nameable = nameable
                       || (allowed.file.at(f) && entriesLost && other.deleted && other.firstBlock == file.firstBlock
                           && other.contents.size() == file.contents.size() && entryGiven(allowed, other.entries.first()));
        tally.nameable += nameable;
        tally.named += nameable && right;
        tally.nameableLost += nameable && entriesLost;
        tally.namedLost += nameable && entriesLost && right;
    }

    // Rows called complete: under a known file's name its bytes; otherwise
    // (lost data) the disk's bytes of the sectors sectors.csv gives it, in
    // order, after a header of 0, 5 or 7 bytes.
    for (int r = 0; r < said.rows.size(); ++r) {
        const QMap<QString, QString> &row = said.rows.at(r);
        if (row.value(verdict) != QLatin1String("complete"))
            continue;
        const QString name = row.value(QStringLiteral("name"));
        const QByteArray &got = said.bytes.at(r);
        const KnownFile *namedAfter = nullptr;
        bool right = false;
        for (const KnownFile &file : disk.files)
            if (namesOf(file).contains(name)) {
                namedAfter = namedAfter ? namedAfter : &file;
                right = right || got == file.body;
            }
        if (namedAfter) {
            if (!right) {
                ++tally.falseConfidence;
                if (explainWrong)
                    explain(disk, *namedAfter, got, mode + QStringLiteral(": complete but wrong"), image, sources);
            }
            continue;
        }
        ++tally.lostComplete;
        // Salvage puts lost files together: one with a header promises a
        // whole file, whose body is a known file's (live, or deleted with its
        // blocks kept). The default mode's lost block promises the disk's
        // bytes from its header on, as below.
        if (!mode.endsWith(QLatin1String("default")) && row.value(QStringLiteral("type")) != QLatin1String("data")) {
            bool known = false;
            for (const KnownFile &file : disk.files)
                known = known || (file.intact && got == file.body);
            if (!known) {
                ++tally.falseConfidence;
                if (explainWrong)
                    std::fprintf(stderr, "  %s: complete but wrong: lost file %s in %s is no known file\n",
                                 qPrintable(mode), qPrintable(name), qPrintable(image));
            }
            continue;
        }
        QVector<int> logicals = said.owned.value(name);
        if (logicals.isEmpty())
            logicals = said.owned.value(row.value(QStringLiteral("file")));
        QByteArray truth;
        for (int l : logicals)
            if (l < said.placeOfLogical.size())
                truth += disk.truth.at(said.placeOfLogical.at(l));
        for (int header : {0, 5, 7})
            right = right || (!logicals.isEmpty() && truth.mid(header, got.size()) == got);
        if (!right) {
            ++tally.falseConfidence;
            if (explainWrong)
                std::fprintf(stderr, "  %s: complete but wrong: %s in %s (%s)\n", qPrintable(mode), qPrintable(name),
                             qPrintable(image), logicals.isEmpty() ? "owns no sector" : "not the disk's bytes");
        }
    }
    return rescuedBytes;
}

// Runs the rescue; what it writes to standard error is passed on and, with
// errors, kept.
int runRescue(const QString &rescue, const QStringList &arguments, QByteArray *errors = nullptr)
{
    QProcess process;
    process.setStandardOutputFile(QProcess::nullDevice());
    process.start(rescue, arguments);
    const bool finished = process.waitForFinished(-1);
    const QByteArray text = process.readAllStandardError();
    std::fwrite(text.constData(), 1, size_t(text.size()), stderr);
    if (errors)
        *errors = text;
    if (!finished || process.exitStatus() != QProcess::NormalExit)
        return -1;
    return process.exitCode();
}

// Whether the rescue program knows an option.
bool knowsOption(const QString &rescue, const QString &option)
{
    QProcess process;
    process.start(rescue, {QStringLiteral("--help")});
    return process.waitForFinished(-1) && QString::fromUtf8(process.readAllStandardOutput()).contains(option);
}

struct Options
{
    QString rescue;
    QString work;
    int disks = 10;
    int reads = 3;
    quint32 seed = 1;
    QVector<Level> levels;
    QVector<Scenario> scenarios;
    bool imagesOnly = false;
    bool verbose = false;
};

int usage()
{
    std::fprintf(stderr,
                 "usage: bench_recovery --work DIR [--rescue PROGRAM] [--disks N] [--reads K] [--seed S]\n"
                 "                      [--level clean|light|medium|heavy]... [--scenario NAME|none]...\n"
                 "                      [--images-only] [--verbose]\n"
                 "  --level, --scenario  run only these (by default every level and every scenario;\n"
                 "                       naming only levels runs no scenario and the other way round)\n"
                 "  --images-only  write the reads and the known files of each disk (DIR/LEVEL/dNN-rK.dsk,\n"
                 "                 DIR/LEVEL/dNN/NAME.EXT, DIR/scenarios/NAME/...), with each file's length\n"
                 "                 and blocks in DIR/.../dNN.layout, and stop\n"
                 "scenarios:");
    for (const Scenario &scenario : scenarios)
        std::fprintf(stderr, " %s", scenario.name.constData());
    std::fprintf(stderr, "\n");
    return 2;
}

bool parse(const QStringList &args, Options &options)
{
    bool levelsNamed = false;
    bool scenariosNamed = false;
    for (int i = 1; i < args.size(); ++i) {
        const QString &a = args.at(i);
        const QString value = args.value(i + 1);
        if (a == QLatin1String("--images-only"))
            options.imagesOnly = true;
        else if (a == QLatin1String("--verbose"))
            options.verbose = true;
        else if (i + 1 >= args.size())
            return false;
        else if (a == QLatin1String("--work"))
            options.work = value, ++i;
        else if (a == QLatin1String("--rescue"))
            options.rescue = value, ++i;
        else if (a == QLatin1String("--disks"))
            options.disks = value.toInt(), ++i;
        else if (a == QLatin1String("--reads"))
            options.reads = value.toInt(), ++i;
        else if (a == QLatin1String("--seed"))
            options.seed = value.toUInt(), ++i;
        else if (a == QLatin1String("--level")) {
            bool found = false;
            for (const Level &level : levels)
                if (value == QLatin1String(level.name)) {
                    options.levels << level;
                    found = true;
                }
            if (!found)
                return false;
            levelsNamed = true;
            ++i;
        } else if (a == QLatin1String("--scenario")) {
            bool found = value == QLatin1String("none");
            for (const Scenario &scenario : scenarios)
                if (value == QLatin1String(scenario.name)) {
                    options.scenarios << scenario;
                    found = true;
                }
            if (!found)
                return false;
            scenariosNamed = true;
            ++i;
        } else
            return false;
    }
    if (!levelsNamed && !scenariosNamed) {
        options.levels = levels;
        options.scenarios = scenarios;
    }
    return !options.work.isEmpty() && options.disks > 0 && options.reads > 0 && options.reads < 100
           && (options.imagesOnly || !options.rescue.isEmpty());
}

QString readPath(const QString &folder, int d, int r)
{
    return QDir(folder).filePath(QStringLiteral("d%1-r%2.dsk").arg(d, 2, 10, QLatin1Char('0')).arg(r + 1));
}

QString imageStem(int d) { return QStringLiteral("d%1-r1").arg(d, 2, 10, QLatin1Char('0')); }

// "?ILE5.D deleted overwritten 8579 bytes entries 7 blocks 13-18 24":
// its blocks as runs.
QByteArray layoutLine(const KnownFile &file)
{
    QByteArray line = file.rescuedName() + (file.deleted ? " deleted" : "") + (file.intact ? "" : " overwritten")
                      + ' ' + QByteArray::number(file.contents.size()) + " bytes entries";
    for (int entry : file.entries)
        line += ' ' + QByteArray::number(entry);
    line += " blocks";
    for (int i = 0; i < file.blocks.size();) {
        int j = i;
        while (j + 1 < file.blocks.size() && file.blocks.at(j + 1) == file.blocks.at(j) + 1)
            ++j;
        line += ' ' + QByteArray::number(file.blocks.at(i));
        if (j > i)
            line += '-' + QByteArray::number(file.blocks.at(j));
        i = j + 1;
    }
    return line + '\n';
}

bool writeDisk(const QString &folder, int d, const Disk &disk, bool knownFiles)
{
    for (int r = 0; r < disk.reads.size(); ++r)
        if (!writeFile(readPath(folder, d, r), disk.reads.at(r))) {
            std::fprintf(stderr, "bench_recovery: cannot write %s\n", qPrintable(readPath(folder, d, r)));
            return false;
        }
    if (knownFiles) {
        const QString stem = QStringLiteral("d%1").arg(d, 2, 10, QLatin1Char('0'));
        QDir().mkpath(QDir(folder).filePath(stem));
        QByteArray layout;
        for (const KnownFile &file : disk.files) {
            writeFile(QDir(folder).filePath(stem + QLatin1Char('/') + QString::fromLatin1(file.rescuedName())), file.contents);
            layout += layoutLine(file);
        }
        // Where each file lies, for looking at a miss by hand.
        writeFile(QDir(folder).filePath(stem + QStringLiteral(".layout")), layout);
    }
    return true;
}

// ---- the damage levels ----

struct LevelRow
{
    int files = 0;
    int damaged = 0;
    int limit = 0;
    int firstLimit = 0;
    Tally modes[3]; // default, salvage, merge
};

const char *const modeNames[6] = {"default", "salvage", "merge", "forced merge", "salvage --undelete", "merge --undelete"};

// Modes that rescue all reads of a disk rather than the first.
bool allReadsMode(int m) { return m == 2 || m == 3 || m == 5; }

// Whether a sector comes out right: from the first read alone in salvage
// mode, or from all reads as the limit of a merge.
// Only the first used bytes of a sector count: a file's last sector is
// not all its own.
bool rightFromFirst(const Disk &disk, int p, int used)
{
    const Read &read = disk.damage.first();
    return read.kind.at(p) == Kind::Good
           || (read.suspect(p) && salvagedValue(read, p).left(used) == disk.truth.at(p).left(used));
}

bool rightFromAll(const Disk &disk, int p, int used)
{
    QVector<QByteArray> suspect;
    for (const Read &read : disk.damage) {
        if (read.kind.at(p) == Kind::Good)
            return true;
        if (read.suspect(p))
            suspect << salvagedValue(read, p);
    }
    return !suspect.isEmpty() && byteMajority(suspect).left(used) == disk.truth.at(p).left(used);
}

bool damagedInFirst(const Disk &disk, const KnownFile &file)
{
    for (int p : file.places)
        if (disk.damage.first().kind.at(p) != Kind::Good)
            return true;
    return false;
}

void printLevelHeader(const Options &options)
{
    std::printf("Damage levels: %d disks per level, 80 tracks x 2 sides, 12 files each, %d reads per disk (seed %u)\n",
                options.disks, options.reads, options.seed);
    std::printf("files byte-exact: default and salvage rescue read 1, merge rescues all reads;\n"
                "limit: right from read 1 alone, right from all reads; merge/limit: merge against the limit;\n"
                "false confidence: files.csv calls the file complete, the bytes are wrong\n\n");
    std::printf("%-7s %5s %7s | %-23s | %-15s | %9s | %s\n", "", "", "damaged", "          byte-exact", "     limit",
                "merge /", "     false confidence");
    std::printf("%-7s %5s %7s | %7s %7s %7s | %7s %7s | %9s | %7s %7s %7s\n", "level", "files", "read 1", "default",
                "salvage", "merge", "read 1", "reads", "limit", "default", "salvage", "merge");
}

void printLevelRow(const Level &level, const LevelRow &row)
{
    auto share = [&](int n) { return QStringLiteral("%1 %").arg(100.0 * n / qMax(1, row.files), 5, 'f', 1); };
    std::printf("%-7s %5d %7d | %7s %7s %7s | %7s %7s | %7.1f %% | %7d %7d %7d\n", level.name.constData(), row.files,
                row.damaged, qPrintable(share(row.modes[0].exact)), qPrintable(share(row.modes[1].exact)),
                qPrintable(share(row.modes[2].exact)), qPrintable(share(row.firstLimit)), qPrintable(share(row.limit)),
                100.0 * row.modes[2].exact / qMax(1, row.limit), row.modes[0].falseConfidence,
                row.modes[1].falseConfidence, row.modes[2].falseConfidence);
    std::fflush(stdout);
}

// One scenario's tallies by mode, for the table of catalog damage and
// deleted files and for the goals.
struct ScenarioResult
{
    QByteArray name;
    QByteArray title;
    bool ran[6] = {};
    int refused[6] = {};
    Tally tallies[6];
    int deleted = 0;     // deleted files on its disks
    int overwritten = 0; // of them, those a later file took blocks of
    int fragmented = 0;  // live files in more than one run of blocks
};

struct Outcome
{
    bool runsFailed = false;
    bool fatal = false;
    bool levelsRun = false;
    double lowestMergeShare = 100.0; // merge against the limit, over the levels
    QStringList wrong;               // "where: count" of files called complete with wrong bytes
    QVector<ScenarioResult> scenarios;
};

void noteWrong(Outcome &outcome, const QString &where, const Tally &tally)
{
    if (tally.falseConfidence > 0)
        outcome.wrong << QStringLiteral("%1: %2").arg(where).arg(tally.falseConfidence);
    if (tally.inconsistent > 0)
        outcome.wrong << QStringLiteral("%1: %2 rows whose complete disagrees with the verdict").arg(where).arg(tally.inconsistent);
}

void checkStatus(int status, const QString &what, Outcome &outcome)
{
    if (status != 0) {
        std::fprintf(stderr, "bench_recovery: malvore-rescue %s ended with status %d\n", qPrintable(what), status);
        outcome.runsFailed = true;
    }
}

void runLevel(const Options &options, int l, Outcome &outcome)
{
    const Level &level = options.levels.at(l);
    const QString folder = QDir(options.work).filePath(QString::fromLatin1(level.name));
    QDir(folder).removeRecursively();
    QDir().mkpath(folder);
    LevelRow row;
    QVector<Disk> disks;
    QStringList firstReads;
    for (int d = 0; d < options.disks; ++d) {
        QString error;
        int index = 0;
        while (levels.at(index).name != level.name)
            ++index;
        const quint32 seed = options.seed * 100003u + quint32(index) * 1009u + quint32(d);
        Disk disk = makeDisk(level, options.reads, seed, d % 2 == 0, error);
        if (!error.isEmpty()) {
            std::fprintf(stderr, "bench_recovery: disk %d of %s: %s\n", d, level.name.constData(), qPrintable(error));
            outcome.fatal = true;
            return;
        }
        if (!writeDisk(folder, d, disk, options.imagesOnly)) {
            outcome.fatal = true;
            return;
        }
        firstReads << readPath(folder, d, 0);
        disks << disk;
    }
    if (options.imagesOnly)
        return;

    const QString outs[3] = {folder + QStringLiteral("/out-default"), folder + QStringLiteral("/out-salvage"),
                             folder + QStringLiteral("/out-merge")};
    checkStatus(runRescue(options.rescue, QStringList{"--report", "--quiet", "--output", outs[0]} + firstReads),
                QStringLiteral("(default)"), outcome);
    checkStatus(runRescue(options.rescue, QStringList{"--salvage", "--report", "--quiet", "--output", outs[1]} + firstReads),
                QStringLiteral("--salvage"), outcome);
    for (int d = 0; d < disks.size(); ++d) {
        QStringList reads;
        for (int r = 0; r < options.reads; ++r)
            reads << readPath(folder, d, r);
        checkStatus(runRescue(options.rescue, QStringList{"--merge", "--report", "--quiet", "--output", outs[2]} + reads),
                    QStringLiteral("--merge d%1").arg(d, 2, 10, QLatin1Char('0')), outcome);
    }

    for (int d = 0; d < disks.size(); ++d) {
        const Disk &disk = disks.at(d);
        const QString image = imageStem(d);
        QVector<Source> first{{&disk, 0, "r1"}};
        QVector<Source> all;
        for (int r = 0; r < disk.damage.size(); ++r)
            all << Source{&disk, r, "r" + QByteArray::number(r + 1)};
        QVector<QByteArray> got[3];
        for (int m = 0; m < 3; ++m) {
            const QString mode = QStringLiteral("%1 %2").arg(QLatin1String(level.name), QLatin1String(modeNames[m]));
            got[m] = evaluate(disk, rescued(outs[m], m == 2 ? mergedFolder(outs[m], image) : image), allowed(disk, m == 2),
                              image, mode, m == 2 ? all : first, true, row.modes[m]);
        }
        for (int f = 0; f < disk.files.size(); ++f) {
            const KnownFile &file = disk.files.at(f);
            ++row.files;
            row.damaged += damagedInFirst(disk, file);
            bool fromFirst = true;
            bool fromAll = true;
            for (int i = 0; i < file.places.size(); ++i) {
                const int used = qMin(sectorSize, file.contents.size() - i * sectorSize);
                fromFirst = fromFirst && rightFromFirst(disk, file.places.at(i), used);
                fromAll = fromAll && rightFromAll(disk, file.places.at(i), used);
            }
            row.firstLimit += fromFirst;
            row.limit += fromAll;
            const bool exact = got[2].at(f) == file.body;
            const QString levelName = QString::fromLatin1(level.name);
            if (fromAll && !exact)
                explain(disk, file, got[2].at(f), levelName + QStringLiteral(" merge: wrong though the reads allow it"), image, all);
            if (!fromAll && exact && options.verbose)
                explain(disk, file, got[2].at(f), levelName + QStringLiteral(" merge: right beyond the limit"), image, all);
        }
    }
    printLevelRow(level, row);
    outcome.levelsRun = true;
    if (row.limit > 0)
        outcome.lowestMergeShare = qMin(outcome.lowestMergeShare, 100.0 * row.modes[2].exact / row.limit);
    for (int m = 0; m < 3; ++m)
        noteWrong(outcome, QString::fromLatin1(level.name) + QLatin1Char(' ') + QLatin1String(modeNames[m]), row.modes[m]);
}

// ---- the scenarios ----

QString cell(const Tally &tally)
{
    return QStringLiteral("%1 / %2 / %3").arg(tally.falseConfidence).arg(tally.complete).arg(tally.files);
}

void printScenarioHeader(const Options &options, bool forced)
{
    std::printf("\nScenarios: %d disks each, %d reads per disk over light damage (seed %u); per mode:\n"
                "complete and wrong / called complete / all known files (lost blocks called complete count as\n"
                "wrong when their bytes are not the disk's); default and salvage rescue read 1, merge all reads\n"
                "(and the other disk's read), forced merge the same with --force-merge%s\n\n",
                options.disks, options.reads, options.seed, forced ? "" : " (not offered by this malvore-rescue)");
    std::printf("%-46s | %-26s | %-26s | %-26s | %s\n", "scenario", "default", "salvage", "merge", "forced merge");
}

// The scenarios of the table of catalog damage and deleted files.
bool detailed(const QByteArray &scenario)
{
    return scenario.startsWith("catalog-") || scenario == "deleted" || scenario.startsWith("reused");
}

bool hasDeletedFiles(const QVector<Disk> &disks)
{
    for (const Disk &disk : disks)
        for (const KnownFile &file : disk.files)
            if (file.deleted)
                return true;
    return false;
}

void runScenario(const Options &options, int s, bool forceOffered, bool undeleteOffered, Outcome &outcome)
{
    const Scenario &scenario = options.scenarios.at(s);
    int index = 0;
    while (scenarios.at(index).name != scenario.name)
        ++index;
    const QString folder = QDir(options.work).filePath(QStringLiteral("scenarios/") + QString::fromLatin1(scenario.name));
    QDir(folder).removeRecursively();
    QDir().mkpath(folder);
    QVector<Disk> disks;
    QVector<Disk> others;
    QStringList firstReads;
    for (int d = 0; d < options.disks; ++d) {
        QString error;
        const quint32 seed = options.seed * 100003u + 7919u * quint32(index + 1) + quint32(d) * 31u + 500009u;
        Dice dice(seed);
        Disk disk = knownSectors(dice, scenario.shape == Shape::SystemCode || d % 2 == 0, scenario.shape, error);
        if (error.isEmpty()) {
            damageReads(disk, levels.at(1), options.reads, dice);
            scenario.apply(disk, d, dice);
        }
        Disk other;
        if (error.isEmpty() && scenario.other != Other::None)
            other = otherDisk(disk, scenario.other, seed ^ 0x5bd1e995u, error);
        if (!error.isEmpty()) {
            std::fprintf(stderr, "bench_recovery: disk %d of %s: %s\n", d, scenario.name.constData(), qPrintable(error));
            outcome.fatal = true;
            return;
        }
        makeImages(disk);
        if (!writeDisk(folder, d, disk, options.imagesOnly)) {
            outcome.fatal = true;
            return;
        }
        if (scenario.other != Other::None
            && !writeFile(QDir(folder).filePath(QStringLiteral("d%1-other.dsk").arg(d, 2, 10, QLatin1Char('0'))),
                          other.reads.first())) {
            outcome.fatal = true;
            return;
        }
        firstReads << readPath(folder, d, 0);
        disks << disk;
        others << other;
    }
    if (options.imagesOnly)
        return;

    QString outs[6];
    for (int m = 0; m < 6; ++m)
        outs[m] = folder + QStringLiteral("/out-") + QString::fromLatin1(modeNames[m]).remove(QStringLiteral("--")).replace(QLatin1Char(' '), QLatin1Char('-'));
    ScenarioResult result;
    result.name = scenario.name;
    result.title = scenario.title;
    const QString name = QString::fromLatin1(scenario.name);
    // Status 1 with an image left unconverted (its layout could not be
    // told) is a result the table shows, not a failure.
    auto unconverted = [&](const QString &out) {
        for (int d = 0; d < disks.size(); ++d)
            if (!QFile::exists(out + QLatin1Char('/') + imageStem(d) + QLatin1Char('/') + imageStem(d) + QStringLiteral(".files.csv")))
                return true;
        return false;
    };
    result.ran[0] = result.ran[1] = true;
    int status = runRescue(options.rescue, QStringList{"--report", "--quiet", "--output", outs[0]} + firstReads);
    checkStatus(status == 1 && unconverted(outs[0]) ? 0 : status, QStringLiteral("%1 (default)").arg(name), outcome);
    status = runRescue(options.rescue, QStringList{"--salvage", "--report", "--quiet", "--output", outs[1]} + firstReads);
    checkStatus(status == 1 && unconverted(outs[1]) ? 0 : status, QStringLiteral("%1 --salvage").arg(name), outcome);
    QVector<QStringList> merged;
    for (int d = 0; d < disks.size(); ++d) {
        QStringList reads;
        for (int r = 0; r < options.reads; ++r)
            reads << readPath(folder, d, r);
        if (scenario.other != Other::None)
            reads << QDir(folder).filePath(QStringLiteral("d%1-other.dsk").arg(d, 2, 10, QLatin1Char('0')));
        merged << reads;
    }
    // A merge of reads that look like reads of different disks is refused:
    // status 1, nothing written. That is a result, not a failure.
    auto merge = [&](int m, const QStringList &arguments) {
        result.ran[m] = true;
        for (int d = 0; d < disks.size(); ++d) {
            QByteArray errors;
            const int status = runRescue(options.rescue, arguments + QStringList{"--report", "--quiet", "--output", outs[m]} + merged.at(d),
                                         &errors);
            const bool written = QFile::exists(outs[m] + QLatin1Char('/') + mergedFolder(outs[m], imageStem(d)));
            if (status == 1 && !written && errors.contains("not converted"))
                continue; // the layout could not be told: counted as not converted
            if (m != 3 && status == 1 && !written)
                ++result.refused[m];
            else
                checkStatus(status, QStringLiteral("%1 %2 d%3").arg(name, arguments.join(QLatin1Char(' '))).arg(d, 2, 10, QLatin1Char('0')),
                            outcome);
        }
    };
    merge(2, {QStringLiteral("--merge")});
    // Forced merges where another disk joins or a merge was refused.
    if (forceOffered && (scenario.other != Other::None || result.refused[2] > 0))
        merge(3, {QStringLiteral("--force-merge")});
    if (undeleteOffered && hasDeletedFiles(disks)) {
        result.ran[4] = true;
        status = runRescue(options.rescue, QStringList{"--salvage", "--undelete", "--report", "--quiet", "--output", outs[4]} + firstReads);
        checkStatus(status == 1 && unconverted(outs[4]) ? 0 : status, QStringLiteral("%1 --salvage --undelete").arg(name), outcome);
        merge(5, {QStringLiteral("--merge"), QStringLiteral("--undelete")});
    }

    for (int d = 0; d < disks.size(); ++d) {
        const Disk &disk = disks.at(d);
        const QString image = imageStem(d);
        for (const KnownFile &file : disk.files) {
            result.deleted += file.deleted;
            result.overwritten += file.deleted && !file.intact;
            result.fragmented += !file.deleted && file.fragmented;
        }
        QVector<Source> first{{&disk, 0, "r1"}};
        QVector<Source> all;
        for (int r = 0; r < disk.damage.size(); ++r)
            all << Source{&disk, r, "r" + QByteArray::number(r + 1)};
        if (scenario.other != Other::None)
            all << Source{&others.at(d), 0, "other"};
        for (int m = 0; m < 6; ++m) {
            if (!result.ran[m])
                continue;
            const QString mode = QStringLiteral("%1 %2").arg(name, QLatin1String(modeNames[m]));
            const QString stem = allReadsMode(m) ? mergedFolder(outs[m], image) : image;
            evaluate(disk, rescued(outs[m], stem), allowed(disk, allReadsMode(m)), image, mode, allReadsMode(m) ? all : first,
                     true, result.tallies[m], m != 0 && m != 3 && detailed(scenario.name));
        }
    }
    auto note = [&](int m) {
        if (!result.ran[m])
            return QStringLiteral("-");
        QString text = cell(result.tallies[m]);
        if (result.refused[m] > 0)
            text += QStringLiteral(" (%1 refused)").arg(result.refused[m]);
        else if (result.tallies[m].notConverted > 0)
            text += QStringLiteral(" (%1 not converted)").arg(result.tallies[m].notConverted);
        return text;
    };
    std::printf("%-46s | %-26s | %-26s | %-26s | %s\n", scenario.title.constData(), qPrintable(note(0)), qPrintable(note(1)),
                qPrintable(note(2)), qPrintable(note(3)));
    std::fflush(stdout);
    for (int m : {0, 1, 2, 4, 5})
        if (result.ran[m])
            noteWrong(outcome, name + QLatin1Char(' ') + QLatin1String(modeNames[m]), result.tallies[m]);
    outcome.scenarios << result;
}

// ---- catalog damage and deleted files: per scenario and mode ----

QString percent(int n, int of) { return of > 0 ? QStringLiteral("%1 %").arg(100.0 * n / of, 0, 'f', 1) : QStringLiteral("-"); }

void printDetails(const Options &options, const Outcome &outcome, bool undeleteOffered)
{
    bool any = false;
    for (const ScenarioResult &result : outcome.scenarios)
        any = any || detailed(result.name);
    if (!any)
        return;
    std::printf("\nCatalog damage and deleted files: %d disks each, %d reads per disk over light damage (seed %u).\n"
                "files: known files to get back (live ones, deleted ones whose blocks no later file took);\n"
                "limit: of those, the ones the reads allow (each sector good in some read or its damaged\n"
                "copies right by majority; read 1 for default and salvage, all reads for merges);\n"
                "own name: byte-exact under its name (a deleted file's with '?' for its first character);\n"
                "any name: byte-exact under some name; pieces: rows of files.csv per file;\n"
                "entries lost: live files with a catalog entry in a sector the reads do not give:\n"
                "byte-exact under any name / within the limit / all;\n"
                "named: files within the limit whose name only a deleted entry holds, byte-exact under it / all;\n"
                "false confidence: called complete, bytes wrong (lost data: not the disk's bytes of the\n"
                "sectors sectors.csv gives it, after a header of 0, 5 or 7 bytes)%s\n\n",
                options.disks, options.reads, options.seed,
                undeleteOffered ? "" : "; --undelete is not offered by this malvore-rescue");
    std::printf("| scenario | mode | files | limit | own name | any name | any / limit | pieces / file | entries lost | named | false confidence |\n");
    std::printf("|---|---|---|---|---|---|---|---|---|---|---|\n");
    for (const ScenarioResult &result : outcome.scenarios) {
        if (!detailed(result.name))
            continue;
        for (int m : {0, 1, 4, 2, 5}) {
            if (!result.ran[m])
                continue;
            const Tally &t = result.tallies[m];
            QString mode = QLatin1String(modeNames[m]);
            if (result.refused[m] > 0)
                mode += QStringLiteral(" (%1 refused)").arg(result.refused[m]);
            else if (t.notConverted > 0)
                mode += QStringLiteral(" (%1 not converted)").arg(t.notConverted);
            const QString lost = t.entriesLost > 0
                ? QStringLiteral("%1 / %2 / %3").arg(t.entriesLostExact).arg(t.entriesLostLimit).arg(t.entriesLost)
                : QStringLiteral("-");
            const QString named = t.nameable > 0 ? QStringLiteral("%1 / %2").arg(t.named).arg(t.nameable) : QStringLiteral("-");
            std::printf("| %s | %s | %d | %d | %d | %d | %s | %.2f | %s | %s | %d |\n", result.title.constData(),
                        qPrintable(mode), t.files, t.limit, t.exact, t.exactAny, qPrintable(percent(t.exactAny, t.limit)),
                        double(t.pieces) / qMax(1, t.files), qPrintable(lost), qPrintable(named), t.falseConfidence);
        }
    }
    std::printf("\n");
    for (const ScenarioResult &result : outcome.scenarios)
        if (detailed(result.name) && (result.deleted > 0 || result.fragmented > 0))
            std::printf("%s: %d files deleted, %d of them overwritten in part; %d live files fragmented\n",
                        result.title.constData(), result.deleted, result.overwritten, result.fragmented);
}

const ScenarioResult *resultOf(const Outcome &outcome, const char *name)
{
    for (const ScenarioResult &result : outcome.scenarios)
        if (result.name == name)
            return &result;
    return nullptr;
}

// The goals for salvage and the merge of all reads: one line each with
// the figures, then a line naming the goals met and those not.
void printGoals(const Outcome &outcome)
{
    QStringList met;
    QStringList missed;
    QStringList notRun;
    // A goal's line: what it asks, the figures, 1 met, 0 not, -1 not run.
    auto judge = [&](const QString &goal, const QString &short_, const QString &figures, int state) {
        std::printf("  %s: %s: %s\n", qPrintable(goal), qPrintable(figures), state < 0 ? "not run" : state ? "met" : "NOT met");
        (state < 0 ? notRun : state ? met : missed) << short_;
    };
    std::printf("\ngoals (salvage of read 1 and merge of all reads, each against its own limit):\n");

    auto bodies = [&](const char *scenario, const QString &goal, const QString &short_, bool pieces) {
        const ScenarioResult *result = resultOf(outcome, scenario);
        if (!result)
            return judge(goal, short_, QStringLiteral("scenario %1").arg(QLatin1String(scenario)), -1);
        QStringList figures;
        bool ok = true;
        for (int m : {1, 2}) {
            const Tally &t = result->tallies[m];
            const double perFile = double(t.pieces) / qMax(1, t.files);
            figures << QStringLiteral("%1 %2 of the limit%3").arg(QLatin1String(modeNames[m]), percent(t.exactAny, t.limit),
                                                                  pieces ? QStringLiteral(", %1 pieces per file").arg(perFile, 0, 'f', 2) : QString());
            ok = ok && t.exactAny * 100 >= t.limit * 99 && (!pieces || t.pieces * 10 <= t.files * 11);
        }
        judge(goal, short_, figures.join(QStringLiteral("; ")), ok);
    };
    bodies("catalog-lost", QStringLiteral("catalog gone, contiguous files: >= 99 % byte-exact, <= 1.1 pieces per file"),
           QStringLiteral("catalog gone"), true);
    bodies("catalog-unknown", QStringLiteral("no system code and no catalog: >= 99 % byte-exact"),
           QStringLiteral("no system code"), false);

    const QString fragmented = QStringLiteral("one catalog sector lost on fragmented disks: >= 95 % of its files byte-exact, named where a deleted entry holds the name");
    if (const ScenarioResult *result = resultOf(outcome, "reused-sector")) {
        QStringList figures;
        bool ok = true;
        for (int m : {1, 2}) {
            const Tally &t = result->tallies[m];
            figures << QStringLiteral("%1 %2 of %3 in the limit (%4 files), named %5 of %6")
                           .arg(QLatin1String(modeNames[m]))
                           .arg(t.entriesLostExact)
                           .arg(t.entriesLostLimit)
                           .arg(t.entriesLost)
                           .arg(t.namedLost)
                           .arg(t.nameableLost);
            ok = ok && t.entriesLostExact * 100 >= t.entriesLostLimit * 95 && t.namedLost * 100 >= t.nameableLost * 95;
        }
        judge(fragmented, QStringLiteral("fragmented"), figures.join(QStringLiteral("; ")), ok);
    } else {
        judge(fragmented, QStringLiteral("fragmented"), QStringLiteral("scenario reused-sector"), -1);
    }

    const QString data = QStringLiteral("merge of data damage: >= 99.5 % of the limit at every level");
    if (outcome.levelsRun)
        judge(data, QStringLiteral("data damage"), QStringLiteral("lowest %1 %").arg(outcome.lowestMergeShare, 0, 'f', 1),
              outcome.lowestMergeShare >= 99.5);
    else
        judge(data, QStringLiteral("data damage"), QStringLiteral("levels"), -1);
    // A merge with a changed copy of the disk is wrong where no merge can
    // tell; the line says whether anything else is.
    int others = 0;
    for (const QString &where : outcome.wrong)
        others += !where.startsWith(QLatin1String("sibling-disk "));
    QString wrong = outcome.wrong.isEmpty() ? QStringLiteral("none") : outcome.wrong.join(QStringLiteral(", "));
    if (others == 0 && !outcome.wrong.isEmpty())
        wrong += QStringLiteral(" (nothing else)");
    judge(QStringLiteral("false confidence 0 everywhere (forced merges apart)"), QStringLiteral("false confidence"), wrong,
          outcome.wrong.isEmpty());
    auto list = [](const QStringList &goals) { return goals.isEmpty() ? QStringLiteral("none") : goals.join(QStringLiteral(", ")); };
    std::printf("goals met: %s; NOT met: %s%s\n", qPrintable(list(met)), qPrintable(list(missed)),
                notRun.isEmpty() ? "" : qPrintable(QStringLiteral("; not run: ") + list(notRun)));
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    Options options;
    if (!parse(app.arguments(), options))
        return usage();

    Outcome outcome;
    if (!options.levels.isEmpty() && !options.imagesOnly)
        printLevelHeader(options);
    for (int l = 0; l < options.levels.size() && !outcome.fatal; ++l)
        runLevel(options, l, outcome);

    const bool forceOffered = !options.imagesOnly && knowsOption(options.rescue, QStringLiteral("--force-merge"));
    const bool undeleteOffered = !options.imagesOnly && knowsOption(options.rescue, QStringLiteral("--undelete"));
    if (!options.scenarios.isEmpty() && !options.imagesOnly)
        printScenarioHeader(options, forceOffered);
    for (int s = 0; s < options.scenarios.size() && !outcome.fatal; ++s)
        runScenario(options, s, forceOffered, undeleteOffered, outcome);
    if (!options.imagesOnly && !outcome.fatal && !runFluxLevels(options.rescue, options.work, options.disks, options.seed))
        outcome.runsFailed = true;
    if (outcome.fatal)
        return 1;
    if (options.imagesOnly)
        return 0;
    printDetails(options, outcome, undeleteOffered);
    printGoals(outcome);
    return outcome.runsFailed ? 1 : 0;
}
