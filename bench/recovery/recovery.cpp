// How many files the rescue gets back from damaged reads, against what the
// reads allow. Builds 80-track double-sided TOS disks with a dozen known
// files as Extended DSK, makes several independently damaged reads of each
// (missing sectors, data errors, weak sectors stored as differing copies,
// short sectors; most of the damage on a few bad tracks that tend to fail
// again on the next read, plus scattered single errors), runs malvore-rescue
// with --report in its default mode and with --salvage on the first read and
// with --merge on all reads, compares every rescued file with the known one
// and prints one table row per damage level.
//
// The limit counts the files whose every sector either some read holds good
// or, where none does, whose damaged values (a weak read taken as the
// byte-wise majority of its copies) have the right byte-wise majority,
// ties going to the earliest read. It is worked out from the damage made
// here, not from anything the rescue says.
#include "imagebuilder.h"
#include "tosdisk.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QStringList>
#include <QVector>

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

enum class Kind { Good, Missing, DataError, Weak, Short };

struct Read
{
    QVector<Kind> kind = QVector<Kind>(places, Kind::Good);
    QVector<QByteArray> stored = QVector<QByteArray>(places); // bytes written for damaged sectors
    QVector<quint8> st1 = QVector<quint8>(places, 0);
    QVector<quint8> st2 = QVector<quint8>(places, 0);

    bool suspect(int p) const { return kind.at(p) == Kind::DataError || kind.at(p) == Kind::Weak || kind.at(p) == Kind::Short; }
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
    QByteArray name;      // as the catalog and files.csv give it: NAME.EXT
    QByteArray contents;  // header included
    QByteArray body;      // what the rescue should write
    QVector<int> places;  // the sectors the contents lie in
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
    QVector<QByteArray> truth = QVector<QByteArray>(places); // each sector's true bytes
    QVector<KnownFile> files;
    QVector<int> catalogPlaces;
    QVector<QByteArray> reads; // Extended DSK bytes
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

tosdisk::Disk knownDisk(Dice &dice, bool a2)
{
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
            add(name, "C", tosdisk::codeFile(dice.between(24000, 40000), size, seed));
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
    }
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

Disk makeDisk(const Level &level, int reads, quint32 seed, bool a2, QString &error)
{
    Dice dice(seed);
    Disk disk;
    const tosdisk::Disk layout = knownDisk(dice, a2);
    if (!readClean(tosdisk::build(layout), disk.truth)) {
        error = QStringLiteral("the clean image could not be read back");
        return disk;
    }

    // Where each file lies: block after block from the first free one.
    const ImageBuilder geometry(tracks, sides);
    const int perBlock = tosdisk::sectorsPerBlock(layout);
    int sector = tosdisk::firstFreeSector(layout);
    auto placeOfLogical = [&](int logical) {
        int t, s, id;
        geometry.logicalToPhysical(logical, a2, t, s, id);
        return placeOf(t, s, id);
    };
    for (const tosdisk::File &file : layout.files) {
        KnownFile known;
        known.name = file.name + "." + file.extension;
        known.contents = file.contents;
        known.body = bodyOf(file.contents);
        QByteArray laid;
        for (int i = 0; i < (file.contents.size() + sectorSize - 1) / sectorSize; ++i) {
            known.places << placeOfLogical(sector + i);
            laid += disk.truth.at(known.places.last());
        }
        if (laid.left(file.contents.size()) != file.contents) {
            error = QStringLiteral("file %1 is not where it should be").arg(QString::fromLatin1(known.name));
            return disk;
        }
        disk.files << known;
        const int blocks = qMax(1, (file.contents.size() + perBlock * sectorSize - 1) / (perBlock * sectorSize));
        sector += blocks * perBlock;
    }
    const int catalog = a2 ? 64 : 0;
    for (int i = 0; i < 16; ++i)
        disk.catalogPlaces << placeOfLogical(catalog + i);

    // Damage falls on the track sides that hold files, never on the catalog's.
    QVector<int> trackSides;
    const int catalogTrackSide = disk.catalogPlaces.first() / perSide;
    for (const KnownFile &file : disk.files)
        for (int p : file.places)
            if (p / perSide != catalogTrackSide && !trackSides.contains(p / perSide))
                trackSides << p / perSide;
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

        ImageBuilder image(tracks, sides);
        image.setCreator("RecoveryBench");
        for (int p = 0; p < places; ++p) {
            const int t = p / (sides * perSide);
            const int s = (p / perSide) % sides;
            const int id = p % perSide;
            if (read.kind.at(p) == Kind::Missing) {
                image.removeSector(t, s, id);
                continue;
            }
            ImageBuilder::Sector *target = image.sector(t, s, id);
            target->data = read.kind.at(p) == Kind::Good ? disk.truth.at(p) : read.stored.at(p);
            target->st1 = read.st1.at(p);
            target->st2 = read.st2.at(p);
        }
        for (int t = 0; t < tracks; ++t)
            for (int s = 0; s < sides; ++s)
                if (image.track(t, s).sectors.isEmpty())
                    image.removeTrack(t, s);
        disk.reads << image.edsk();
        disk.damage << read;
    }
    return disk;
}

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

// files.csv rows by name: the written file and whether it is complete.
struct Claim
{
    QString file;
    bool complete = false;
};

QMap<QString, Claim> claims(const QString &csv)
{
    QMap<QString, Claim> out;
    const QStringList lines = QString::fromUtf8(readFile(csv)).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    for (int i = 1; i < lines.size(); ++i) {
        // Our names carry no commas or quotes.
        const QStringList fields = lines.at(i).split(QLatin1Char(','));
        if (fields.size() == 8)
            out.insert(fields.at(0), Claim{fields.at(1), fields.at(7) == QLatin1String("yes")});
    }
    return out;
}

struct Tally
{
    int exact = 0;
    int falseConfidence = 0;
};

struct Row
{
    int disks = 0;
    int files = 0;
    int damaged = 0;
    int limit = 0;
    int firstLimit = 0;
    Tally modes[3]; // default, salvage, merge
    int failures = 0;
};

const char *const modeNames[3] = {"default", "salvage", "merge"};

// The first sector (of the file) where the rescued bytes differ.
int firstWrongSector(const QByteArray &got, const QByteArray &want, int header)
{
    for (int i = 0; i < qMax(got.size(), want.size()); ++i)
        if (i >= got.size() || i >= want.size() || got.at(i) != want.at(i))
            return (i + header) / sectorSize;
    return -1;
}

const char *kindName(Kind kind)
{
    switch (kind) {
    case Kind::Good: return "good";
    case Kind::Missing: return "missing";
    case Kind::DataError: return "data error";
    case Kind::Weak: return "weak";
    case Kind::Short: return "short";
    }
    return "";
}

void explain(const Disk &disk, const KnownFile &file, const QByteArray &got, const char *what, const QString &image)
{
    const int header = file.contents.size() - file.body.size();
    const int s = firstWrongSector(got, file.body, header);
    std::fprintf(stderr, "  %s: %s in %s", what, file.name.constData(), qPrintable(image));
    if (s >= 0 && s < file.places.size()) {
        const int p = file.places.at(s);
        std::fprintf(stderr, ", first wrong at file sector %d (track %d side %d id %d):", s, p / (sides * perSide),
                     (p / perSide) % sides, p % perSide);
        for (const Read &read : disk.damage)
            std::fprintf(stderr, " %s", kindName(read.kind.at(p)));
    }
    std::fprintf(stderr, "\n");
}

int runRescue(const QString &rescue, const QStringList &arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.setStandardOutputFile(QProcess::nullDevice());
    process.start(rescue, arguments);
    if (!process.waitForFinished(-1) || process.exitStatus() != QProcess::NormalExit)
        return -1;
    return process.exitCode();
}

struct Options
{
    QString rescue;
    QString work;
    int disks = 10;
    int reads = 3;
    quint32 seed = 1;
    QVector<Level> levels;
    bool imagesOnly = false;
    bool verbose = false;
};

int usage()
{
    std::fprintf(stderr,
                 "usage: bench_recovery --work DIR [--rescue PROGRAM] [--disks N] [--reads K] [--seed S]\n"
                 "                      [--level clean|light|medium|heavy]... [--images-only] [--verbose]\n"
                 "  --images-only  write the reads and the known files of each disk (DIR/LEVEL/dNN-rK.dsk,\n"
                 "                 DIR/LEVEL/dNN/NAME.EXT) and stop\n");
    return 2;
}

bool parse(const QStringList &args, Options &options)
{
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
            ++i;
        } else
            return false;
    }
    if (options.levels.isEmpty())
        options.levels = levels;
    return !options.work.isEmpty() && options.disks > 0 && options.reads > 0 && options.reads < 100
           && (options.imagesOnly || !options.rescue.isEmpty());
}

void printRow(const Level &level, const Row &row)
{
    auto share = [&](int n) { return QStringLiteral("%1 %").arg(100.0 * n / qMax(1, row.files), 5, 'f', 1); };
    std::printf("%-7s %5d %7d | %7s %7s %7s | %7s %7s | %7.1f %% | %7d %7d %7d\n", level.name.constData(), row.files,
                row.damaged, qPrintable(share(row.modes[0].exact)), qPrintable(share(row.modes[1].exact)),
                qPrintable(share(row.modes[2].exact)), qPrintable(share(row.firstLimit)), qPrintable(share(row.limit)),
                100.0 * row.modes[2].exact / qMax(1, row.limit), row.modes[0].falseConfidence,
                row.modes[1].falseConfidence, row.modes[2].falseConfidence);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    Options options;
    if (!parse(app.arguments(), options))
        return usage();

    if (!options.imagesOnly) {
        std::printf("%d disks per level, 80 tracks x 2 sides, 12 files each, %d reads per disk (seed %u)\n",
                    options.disks, options.reads, options.seed);
        std::printf("files byte-exact: default and salvage rescue read 1, merge rescues all reads;\n"
                    "limit: right from read 1 alone, right from all reads; merge/limit: merge against the limit;\n"
                    "false confidence: files.csv says complete=yes, the bytes are wrong\n\n");
        std::printf("%-7s %5s %7s | %-23s | %-15s | %9s | %s\n", "", "", "damaged", "          byte-exact", "     limit",
                    "merge /", "     false confidence");
        std::printf("%-7s %5s %7s | %7s %7s %7s | %7s %7s | %9s | %7s %7s %7s\n", "level", "files", "read 1",
                    "default", "salvage", "merge", "read 1", "reads", "limit", "default", "salvage", "merge");
    }

    bool goalsMet = true;
    bool runsFailed = false;
    for (int l = 0; l < options.levels.size(); ++l) {
        const Level &level = options.levels.at(l);
        const QString folder = QDir(options.work).filePath(QString::fromLatin1(level.name));
        QDir(folder).removeRecursively();
        QDir().mkpath(folder);
        Row row;
        QVector<Disk> disks;
        QStringList firstReads;
        for (int d = 0; d < options.disks; ++d) {
            QString error;
            const quint32 seed = options.seed * 100003u + quint32(l) * 1009u + quint32(d);
            Disk disk = makeDisk(level, options.reads, seed, d % 2 == 0, error);
            if (!error.isEmpty()) {
                std::fprintf(stderr, "bench_recovery: disk %d of %s: %s\n", d, level.name.constData(), qPrintable(error));
                return 1;
            }
            const QString stem = QStringLiteral("d%1").arg(d, 2, 10, QLatin1Char('0'));
            for (int r = 0; r < disk.reads.size(); ++r) {
                const QString path = QDir(folder).filePath(QStringLiteral("%1-r%2.dsk").arg(stem).arg(r + 1));
                if (!writeFile(path, disk.reads.at(r))) {
                    std::fprintf(stderr, "bench_recovery: cannot write %s\n", qPrintable(path));
                    return 1;
                }
                if (r == 0)
                    firstReads << path;
            }
            if (options.imagesOnly) {
                QDir().mkpath(QDir(folder).filePath(stem));
                for (const KnownFile &file : disk.files)
                    writeFile(QDir(folder).filePath(stem + QLatin1Char('/') + QString::fromLatin1(file.name)), file.contents);
            }
            disks << disk;
        }
        if (options.imagesOnly)
            continue;

        const QString outs[3] = {folder + QStringLiteral("/out-default"), folder + QStringLiteral("/out-salvage"),
                                 folder + QStringLiteral("/out-merge")};
        auto check = [&](int status, const QString &what) {
            if (status != 0) {
                std::fprintf(stderr, "bench_recovery: malvore-rescue %s ended with status %d\n", qPrintable(what), status);
                runsFailed = true;
            }
        };
        check(runRescue(options.rescue, QStringList{"--report", "--quiet", "--output", outs[0]} + firstReads), "(default)");
        check(runRescue(options.rescue, QStringList{"--salvage", "--report", "--quiet", "--output", outs[1]} + firstReads),
              "--salvage");
        for (int d = 0; d < disks.size(); ++d) {
            QStringList reads;
            for (int r = 0; r < options.reads; ++r)
                reads << QDir(folder).filePath(QStringLiteral("d%1-r%2.dsk").arg(d, 2, 10, QLatin1Char('0')).arg(r + 1));
            check(runRescue(options.rescue, QStringList{"--merge", "--report", "--quiet", "--output", outs[2]} + reads),
                  QStringLiteral("--merge d%1").arg(d, 2, 10, QLatin1Char('0')));
        }

        for (int d = 0; d < disks.size(); ++d) {
            const Disk &disk = disks.at(d);
            const QString image = QStringLiteral("d%1-r1").arg(d, 2, 10, QLatin1Char('0'));
            ++row.disks;
            QMap<QString, Claim> said[3];
            for (int m = 0; m < 3; ++m)
                said[m] = claims(outs[m] + QLatin1Char('/') + image + QLatin1Char('/') + image + QStringLiteral(".files.csv"));
            for (const KnownFile &file : disk.files) {
                ++row.files;
                row.damaged += damagedInFirst(disk, file);
                bool first = true;
                bool all = true;
                for (int i = 0; i < file.places.size(); ++i) {
                    const int used = qMin(sectorSize, file.contents.size() - i * sectorSize);
                    first = first && rightFromFirst(disk, file.places.at(i), used);
                    all = all && rightFromAll(disk, file.places.at(i), used);
                }
                row.firstLimit += first;
                row.limit += all;
                for (int m = 0; m < 3; ++m) {
                    const QString name = QString::fromLatin1(file.name);
                    const bool listed = said[m].contains(name);
                    const QByteArray got = listed ? readFile(outs[m] + QLatin1Char('/') + image + QLatin1Char('/') + said[m].value(name).file)
                                                  : QByteArray();
                    const bool exact = listed && got == file.body;
                    row.modes[m].exact += exact;
                    if (listed && said[m].value(name).complete && !exact) {
                        ++row.modes[m].falseConfidence;
                        if (m > 0 || options.verbose)
                            explain(disk, file, got, qPrintable(QStringLiteral("%1: complete=yes but wrong").arg(QLatin1String(modeNames[m]))), image);
                    }
                    if (!listed)
                        std::fprintf(stderr, "  %s: %s missing from %s's files.csv\n", modeNames[m], file.name.constData(), qPrintable(image));
                    if (m == 2 && all && !exact)
                        explain(disk, file, got, "merge: wrong though the reads allow it", image);
                    if (m == 2 && !all && exact && options.verbose)
                        explain(disk, file, got, "merge: right beyond the limit", image);
                }
            }
        }
        printRow(level, row);
        goalsMet = goalsMet && row.modes[2].exact * 100 >= row.limit * 99 && row.modes[1].falseConfidence == 0
                   && row.modes[2].falseConfidence == 0;
    }
    if (options.imagesOnly)
        return 0;
    std::printf("\ngoals (merge at least 99 %% of the limit at every level, no false confidence in salvage or merge): %s\n",
                goalsMet ? "met" : "NOT met");
    return runsFailed ? 1 : 0;
}
