#include "imagebuilder.h"

#include <QFile>

namespace {
const int skew[16] = {0, 7, 14, 5, 12, 3, 10, 1, 8, 15, 6, 13, 4, 11, 2, 9};

void putWord(QByteArray &bytes, int pos, int value)
{
    bytes[pos] = char(value & 0xFF);
    bytes[pos + 1] = char((value >> 8) & 0xFF);
}

QByteArray diskHeader(const char *signature, const QByteArray &creator, int tracks, int sides)
{
    QByteArray header(256, '\0');
    const QByteArray sig(signature);
    header.replace(0, sig.size(), sig);
    header.replace(0x22, qMin(14, creator.size()), creator.left(14));
    header[0x30] = char(tracks);
    header[0x31] = char(sides);
    return header;
}

QByteArray trackHeader(const ImageBuilder::Track &t)
{
    QByteArray header(256, '\0');
    header.replace(0, 12, QByteArray("Track-Info\r\n"));
    header[0x10] = char(t.track);
    header[0x11] = char(t.side);
    header[0x14] = char(t.sizeCode);
    header[0x15] = char(t.sectors.size());
    for (int j = 0; j < t.sectors.size(); ++j) {
        const ImageBuilder::Sector &s = t.sectors.at(j);
        const int e = 0x18 + 8 * j;
        if (e + 8 > header.size())
            header.append(QByteArray(e + 8 - header.size(), '\0'));
        header[e] = char(t.track);
        header[e + 1] = char(t.side);
        header[e + 2] = char(s.id);
        header[e + 3] = char(s.sizeCode);
        header[e + 4] = char(s.st1);
        header[e + 5] = char(s.st2);
        putWord(header, e + 6, s.storedLength >= 0 ? s.storedLength : s.data.size());
    }
    if (header.size() % 256)
        header.append(QByteArray(256 - header.size() % 256, '\0'));
    return header;
}
} // namespace

ImageBuilder::ImageBuilder(int tracks, int sides, char fill)
    : trackCount(tracks)
    , sideCount(sides)
    , headerTracks(tracks)
    , headerSides(sides)
{
    for (int t = 0; t < tracks; ++t) {
        for (int s = 0; s < sides; ++s) {
            Track track;
            track.track = t;
            track.side = s;
            for (int id = 0; id < 16; ++id) {
                Sector sector;
                sector.id = id;
                sector.data = QByteArray(256, fill);
                track.sectors.append(sector);
            }
            trackList.append(track);
        }
    }
}

ImageBuilder::Track &ImageBuilder::track(int track, int side)
{
    return trackList[track * sideCount + side];
}

ImageBuilder::Sector *ImageBuilder::sector(int t, int side, int id)
{
    for (Sector &s : track(t, side).sectors)
        if (s.id == id)
            return &s;
    return nullptr;
}

QByteArray ImageBuilder::sectorBytes(const QByteArray &bytes) const
{
    QByteArray data = bytes.left(256);
    if (data.size() < 256)
        data.append(QByteArray(256 - data.size(), '\0'));
    return data;
}

void ImageBuilder::setSector(int t, int side, int id, const QByteArray &bytes)
{
    if (Sector *s = sector(t, side, id))
        s->data = sectorBytes(bytes);
}

void ImageBuilder::removeSector(int t, int side, int id)
{
    QVector<Sector> &list = track(t, side).sectors;
    for (int j = 0; j < list.size(); ++j) {
        if (list.at(j).id == id) {
            list.remove(j);
            return;
        }
    }
}

void ImageBuilder::removeTrack(int t, int side)
{
    track(t, side).present = false;
}

QByteArray ImageBuilder::dsk() const
{
    QByteArray image = diskHeader("MV - CPCEMU Disk-File\r\nDisk-Info\r\n", creatorName, headerTracks, headerSides);
    putWord(image, 0x32, dskTrackSize);
    for (const Track &t : trackList) {
        if (!t.present)
            continue;
        QByteArray block = trackHeader(t).left(256);
        for (const Sector &s : t.sectors)
            block.append(s.data);
        if (padTracks && block.size() < dskTrackSize)
            block.append(QByteArray(dskTrackSize - block.size(), '\0'));
        image.append(block);
    }
    return image;
}

QByteArray ImageBuilder::edsk() const
{
    QByteArray image = diskHeader("EXTENDED CPC DSK File\r\nDisk-Info\r\n", creatorName, headerTracks, headerSides);
    int index = 0;
    for (const Track &t : trackList) {
        QByteArray block;
        if (t.present) {
            block = trackHeader(t);
            for (const Sector &s : t.sectors)
                block.append(s.data);
            if (block.size() % 256)
                block.append(QByteArray(256 - block.size() % 256, '\0'));
        }
        if (0x34 + index < 256)
            image[0x34 + index] = char(block.size() / 256);
        ++index;
        image.append(block);
    }
    return image;
}

int ImageBuilder::sidesWalked(int tracks, int sides)
{
    if (tracks >= 50)
        return sides;
    return sides > 0 ? 1 : 0;
}

void ImageBuilder::logicalToPhysical(int logical, bool a2, int &t, int &side, int &id) const
{
    const int walked = sidesWalked(trackCount, sideCount);
    t = logical / (16 * walked);
    side = (logical / 16) % walked;
    const int position = logical % 16;
    id = (a2 && logical < 64) ? position : skew[position];
}

void ImageBuilder::setLogicalSector(int logical, const QByteArray &bytes, bool a2)
{
    int t, side, id;
    logicalToPhysical(logical, a2, t, side, id);
    setSector(t, side, id, bytes);
}

void ImageBuilder::removeLogicalSector(int logical, bool a2)
{
    int t, side, id;
    logicalToPhysical(logical, a2, t, side, id);
    removeSector(t, side, id);
}

void ImageBuilder::setLogicalBytes(int offset, const QByteArray &bytes, bool a2)
{
    int pos = 0;
    while (pos < bytes.size()) {
        const int logical = (offset + pos) / 256;
        const int within = (offset + pos) % 256;
        const int n = qMin(256 - within, bytes.size() - pos);
        int t, side, id;
        logicalToPhysical(logical, a2, t, side, id);
        Sector *s = sector(t, side, id);
        if (s)
            s->data.replace(within, n, bytes.mid(pos, n));
        pos += n;
    }
}

QByteArray ImageBuilder::catalogEntry(quint8 owner, const QByteArray &name, const QByteArray &extension,
                                      quint8 extent, quint8 lastBytes, int records,
                                      const QByteArray &blocks)
{
    QByteArray e(32, '\0');
    e[0] = char(owner);
    e.replace(1, 8, name.leftJustified(8, ' ', true));
    e.replace(9, 3, extension.leftJustified(3, ' ', true));
    e[12] = char(extent);
    e[13] = char(lastBytes);
    e[14] = char((records >> 8) & 0xFF);
    e[15] = char(records & 0xFF);
    e.replace(16, qMin(16, blocks.size()), blocks.left(16));
    return e;
}

QByteArray ImageBuilder::withHeader5(quint8 type, int word1, int word3, const QByteArray &body)
{
    QByteArray bytes(5, '\0');
    bytes[0] = char(type);
    putWord(bytes, 1, word1);
    putWord(bytes, 3, word3);
    return bytes + body;
}

QByteArray ImageBuilder::withHeader7(int start, int variables, const QByteArray &body)
{
    QByteArray bytes(7, '\0');
    bytes[0] = 0;
    putWord(bytes, 1, start);
    putWord(bytes, 3, body.size());
    putWord(bytes, 5, variables);
    return bytes + body;
}

bool writeTestFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}
