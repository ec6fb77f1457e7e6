// fluxwriter: writes a DSK or Extended DSK image as an SCP flux image, with
// timing noise and damage, for tests and benchmarks of the flux reader.
#include "fluxwriter.h"

#include "disk/diskread.h"

#include <QCoreApplication>
#include <QFile>
#include <QStringList>

#include <cstdio>

namespace {

int usage()
{
    std::fprintf(stderr,
                 "usage: fluxwriter [--revolutions N] [--seed N] [--jitter F] [--speed F] [--drift F]\n"
                 "                  [--dropouts F] [--dense] [--weak T:S:ID:OFFSET:LENGTH[:CHANCE]]...\n"
                 "                  [--dropout T:S:ID:OFFSET:LENGTH]... [--defect T:S:ID:OFFSET:LENGTH]...\n"
                 "                  IMAGE.dsk OUT.scp\n"
                 "  --jitter F    transition jitter, fraction of a 2 us half-cell (e.g. 0.06)\n"
                 "  --speed F     reading speed against writing (e.g. 1.03)\n"
                 "  --drift F     speed wobble through a revolution (e.g. 0.02 for +-2 %%)\n"
                 "  --dropouts F  chance per track side and revolution of a random dropout\n"
                 "  --dense       one-sided image: one track table entry per cylinder\n"
                 "Sectors missing from IMAGE are not written; suspect ones are written as read.\n");
    return 2;
}

bool parseDamage(const QString &text, fluxwriter::Damage::Kind kind, fluxwriter::Damage &damage)
{
    const QStringList parts = text.split(QLatin1Char(':'));
    if (parts.size() < 5 || parts.size() > 6)
        return false;
    bool ok = true;
    int values[5];
    for (int i = 0; i < 5 && ok; ++i)
        values[i] = parts.at(i).toInt(&ok);
    if (!ok)
        return false;
    damage.kind = kind;
    damage.track = values[0];
    damage.side = values[1];
    damage.sectorId = values[2];
    damage.offset = values[3];
    damage.length = values[4];
    if (parts.size() == 6)
        damage.chance = parts.at(5).toDouble(&ok);
    return ok;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    fluxwriter::Options options;
    QStringList files;
    while (!args.isEmpty()) {
        const QString a = args.takeFirst();
        if (!a.startsWith(QLatin1String("--"))) {
            files << a;
            continue;
        }
        if (a == QLatin1String("--dense")) {
            options.denseOneSided = true;
            continue;
        }
        if (args.isEmpty())
            return usage();
        const QString value = args.takeFirst();
        bool ok = true;
        fluxwriter::Damage damage;
        if (a == QLatin1String("--revolutions"))
            options.revolutions = value.toInt(&ok);
        else if (a == QLatin1String("--seed"))
            options.seed = value.toUInt(&ok);
        else if (a == QLatin1String("--jitter"))
            options.jitter = value.toDouble(&ok);
        else if (a == QLatin1String("--speed"))
            options.speed = value.toDouble(&ok);
        else if (a == QLatin1String("--drift"))
            options.drift = value.toDouble(&ok);
        else if (a == QLatin1String("--dropouts"))
            options.dropoutChance = value.toDouble(&ok);
        else if (a == QLatin1String("--weak") || a == QLatin1String("--dropout") || a == QLatin1String("--defect")) {
            const auto kind = a == QLatin1String("--weak")      ? fluxwriter::Damage::Kind::Weak
                              : a == QLatin1String("--dropout") ? fluxwriter::Damage::Kind::Dropout
                                                                : fluxwriter::Damage::Kind::Defect;
            ok = parseDamage(value, kind, damage);
            options.damage << damage;
        } else
            return usage();
        if (!ok)
            return usage();
    }
    if (files.size() != 2 || options.speed <= 0.5 || options.speed > 2)
        return usage();
    const DiskRead read = readDiskFile(files.at(0));
    if (!read.accepted()) {
        std::fprintf(stderr, "fluxwriter: %s is not a disk image the reader takes\n", qPrintable(files.at(0)));
        return 1;
    }
    fluxwriter::KnownDisk disk(read.disk.tracks, read.disk.sides);
    for (int t = 0; t < disk.tracks; ++t)
        for (int s = 0; s < disk.sides; ++s)
            for (int id = 0; id < fluxwriter::sectorsPerSide; ++id) {
                const int place = PhysicalDisk::place(t, s, id);
                disk.sector(t, s, id) = read.disk.sectors.isRead(place) ? read.disk.sectors.sectorBytes(place)
                                                                        : QByteArray();
            }
    QFile out(files.at(1));
    const QByteArray image = fluxwriter::writeScp(disk, options);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) || out.write(image) != image.size()) {
        std::fprintf(stderr, "fluxwriter: cannot write %s\n", qPrintable(files.at(1)));
        return 1;
    }
    return 0;
}
