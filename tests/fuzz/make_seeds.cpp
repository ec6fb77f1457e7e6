// Writes the seed corpus of the fuzz target: small TOS disks of every layout
// and container, damaged ones, refused ones and the geometry extremes.
#include "fluxwriter.h"
#include "imagebuilder.h"
#include "tosdisk.h"

#include <QByteArray>
#include <QDir>
#include <QFile>

#include <cstdio>
#include <functional>

namespace {

bool writeSeed(const QString &folder, const QString &name, const QByteArray &bytes)
{
    QFile file(QDir(folder).filePath(name));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size()) {
        std::fprintf(stderr, "make_seeds: cannot write %s\n", qPrintable(file.fileName()));
        return false;
    }
    return true;
}

// A disk of few tracks keeps inputs small; header claims of more tracks than
// the file holds reach the large-disk paths without megabytes of input.
tosdisk::Disk smallDisk(int tracks, int sides, bool a2, int stored, quint32 seed)
{
    tosdisk::Disk disk;
    disk.tracks = tracks;
    disk.sides = sides;
    disk.a2 = a2;
    disk.storedTracks = stored;
    disk.files.append({0, "LOADER", "B", tosdisk::basicProgram(10, 700, seed), {}, {}});
    disk.files.append({0, "GAME", "C", tosdisk::codeFile(32768, 2500, seed + 1), {2}, {}});
    disk.files.append({5, "SCORES", "D", tosdisk::plainData(900, seed + 2), {}, {1}});
    disk.files.append({0, "TABLE", "N", tosdisk::numberArray(300, seed + 3), {}, {}});
    disk.lostData.append({-1, tosdisk::codeFile(40000, 600, seed + 4)});
    disk.lostData.append({-1, tosdisk::plainData(100, seed + 5)});
    return disk;
}

// The sectors of a plain DSK image by track, side and id, for the flux
// writer.
fluxwriter::KnownDisk sectorsOf(const QByteArray &dsk)
{
    const int tracks = quint8(dsk.at(0x30));
    const int sides = quint8(dsk.at(0x31));
    fluxwriter::KnownDisk disk(tracks, sides);
    for (int block = 0; block < tracks * sides; ++block) {
        const int at = 256 + block * 0x1100;
        if (at + 0x1100 > dsk.size())
            break;
        for (int j = 0; j < fluxwriter::sectorsPerSide; ++j) {
            const int id = quint8(dsk.at(at + 0x18 + 8 * j + 2));
            if (id < fluxwriter::sectorsPerSide)
                disk.sector(block / sides, block % sides, id) = dsk.mid(at + 256 + 256 * j, 256);
        }
    }
    return disk;
}

// Flux images: whole tracks are large, so most seeds hold short tracks of
// a few sectors; one holds a whole TOS catalog track.
void fluxSeeds(const std::function<void(const char *, const QByteArray &)> &seed)
{
    fluxwriter::KnownDisk small(2, 2);
    for (int t = 0; t < 2; ++t)
        for (int s = 0; s < 2; ++s)
            for (int id = 0; id < fluxwriter::sectorsPerSide; ++id)
                if (id > 1)
                    small.sector(t, s, id).clear();
                else
                    small.sector(t, s, id) = tosdisk::plainData(256, quint32(t * 4 + s * 2 + id));
    fluxwriter::Options options;
    options.trackBytes = 900;
    options.revolutions = 2;
    options.jitter = 0.05;
    options.drift = 0.02;
    seed("flux-2t2s-short.scp", fluxwriter::writeScp(small, options));
    options.damage = {{fluxwriter::Damage::Kind::Weak, 0, 0, 1, 10, 6, 0.3},
                      {fluxwriter::Damage::Kind::Defect, 1, 1, 0, 3, 2, 0}};
    options.revolutions = 3;
    seed("flux-2t2s-damaged.scp", fluxwriter::writeScp(small, options));
    fluxwriter::KnownDisk oneSided(2, 1);
    for (int t = 0; t < 2; ++t)
        for (int id = 0; id < fluxwriter::sectorsPerSide; ++id)
            oneSided.sector(t, 0, id) = id < 2 ? tosdisk::plainData(256, quint32(id + 9)) : QByteArray();
    options.damage.clear();
    options.revolutions = 1;
    options.denseOneSided = true;
    seed("flux-2t1s-dense.scp", fluxwriter::writeScp(oneSided, options));
    tosdisk::Disk tos = smallDisk(2, 1, false, -1, 61);
    tos.files = {{0, "NOTE", "D", tosdisk::plainData(300, 62), {}, {}}};
    tos.lostData.clear();
    options = fluxwriter::Options();
    options.revolutions = 1;
    seed("flux-tos-2t.scp", fluxwriter::writeScp(sectorsOf(tosdisk::build(tos)), options));
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_seeds FOLDER\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(folder);
    bool ok = true;
    auto seed = [&](const char *name, const QByteArray &bytes) { ok = writeSeed(folder, name, bytes) && ok; };

    tosdisk::Disk disk = smallDisk(8, 1, false, -1, 11);
    seed("a4-8t.dsk", tosdisk::build(disk));
    disk.extended = true;
    seed("a4-8t-ext.dsk", tosdisk::build(disk));
    disk = smallDisk(10, 1, true, -1, 21);
    seed("a2-10t.dsk", tosdisk::build(disk));
    disk.extended = true;
    seed("a2-10t-ext.dsk", tosdisk::build(disk));
    disk = smallDisk(80, 2, true, 4, 31);
    seed("a2-80t2s-4stored.dsk", tosdisk::build(disk));
    disk = smallDisk(80, 2, false, 4, 41);
    disk.extended = true;
    seed("a4-80t2s-4stored-ext.dsk", tosdisk::build(disk));
    disk = smallDisk(50, 2, true, 3, 51);
    seed("a2-50t2s-3stored.dsk", tosdisk::build(disk));
    seed("cpm.dsk", tosdisk::cpmDisk().left(256 + 5 * 4352));
    seed("blank-4t.dsk", tosdisk::blankDisk(4, 2));

    // Geometry extremes: the header claims the most, the body holds little.
    ImageBuilder wide(2, 2);
    wide.setHeaderTracks(255);
    seed("extreme-255t2s.dsk", wide.dsk());
    seed("extreme-255t2s-ext.dsk", wide.edsk());
    // 510 track blocks: the size table runs past the 256-byte header.
    QByteArray fullTable = wide.edsk();
    for (int i = 0x34; i < 256; ++i)
        fullTable[i] = char(0x11);
    seed("extreme-ext-full-table.dsk", fullTable);
    ImageBuilder crowded(2, 2);
    ImageBuilder::Track &track = crowded.track(0, 0);
    track.sizeCode = 255;
    for (int id = 16; id < 255; ++id) {
        ImageBuilder::Sector sector;
        sector.id = id;
        sector.sizeCode = 255;
        sector.data = QByteArray(16, char(id));
        track.sectors.append(sector);
    }
    seed("extreme-255sectors-n255.dsk", crowded.dsk());
    fluxSeeds(seed);
    return ok ? 0 : 1;
}
