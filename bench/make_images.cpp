// Writes the benchmark's disk images: 80-track double-sided TOS disks about
// 70% full, A.2 and A.4 alternating, each with its own contents. Standard DSK
// with every track block of the header's size, as other readers (dsktrans)
// expect; a track that lost a sector is padded.
#include "tosdisk.h"

#include <QDir>
#include <QFile>
#include <QString>

#include <cstdio>
#include <cstdlib>

int main(int argc, char *argv[])
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: bench_makeimages FOLDER COUNT [TRACKS SIDES FILL%%]\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const int count = std::atoi(argv[2]);
    const int tracks = argc > 3 ? std::atoi(argv[3]) : 80;
    const int sides = argc > 4 ? std::atoi(argv[4]) : 2;
    const int fill = argc > 5 ? std::atoi(argv[5]) : 70;
    QDir().mkpath(folder);
    for (int i = 0; i < count; ++i) {
        tosdisk::Disk disk = tosdisk::sampleDisk(tracks, sides, i % 2 == 0, quint32(1000 + i), fill);
        disk.padTracks = true;
        const QByteArray bytes = tosdisk::build(disk);
        QFile file(QDir(folder).filePath(QStringLiteral("bench-%1.dsk").arg(i, 3, 10, QLatin1Char('0'))));
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size()) {
            std::fprintf(stderr, "bench_makeimages: cannot write %s\n", qPrintable(file.fileName()));
            return 1;
        }
    }
    return 0;
}
