#include "libdsk.h"

#include "geometry.h"
#include "physicaldisk.h"

#include <QFile>
#include <QFileInfo>

#include <cstring>
#include <sys/stat.h>

using geometry::sectorSize;
using geometry::sectorsPerSide;

namespace {
const char dskSignature[] = "MV - CPCEMU Disk-File";
const char edskSignature[] = "EXTENDED CPC DSK File";
const char trackSignature[] = "Track-Info";
constexpr int headerSize = 256;
constexpr int tosTrackBlockSize = 0x1100;
constexpr int maxSingleSidedTracks = 42;
} // namespace

libdsk::libdsk(QObject *parent)
    : QObject(parent)
{
    // Entries travel through the message signal, also to signal spies.
    qRegisterMetaType<LogEntry>();
}

namespace {

// What a path names when it is not a regular file (following links), or an
// empty string. A FIFO or a device is never opened: opening or reading one
// can wait forever.
QString irregularKind(const QString &path)
{
    struct stat status;
    if (::stat(QFile::encodeName(path).constData(), &status) != 0 || S_ISREG(status.st_mode))
        return QString();
    if (S_ISDIR(status.st_mode))
        return QStringLiteral("a folder");
    if (S_ISFIFO(status.st_mode))
        return QStringLiteral("a FIFO");
    if (S_ISSOCK(status.st_mode))
        return QStringLiteral("a socket");
    return QStringLiteral("a device");
}

} // namespace

int libdsk::open(const QString &path)
{
    const QString irregular = irregularKind(path);
    if (!irregular.isEmpty()) {
        reset();
        reportOpening(QFileInfo(path).completeBaseName());
        report(LogEntry::error().text(QStringLiteral("Not a regular file (%1); not read.").arg(irregular)));
        return -6;
    }
    QByteArray bytes;
    QFile file(path);
    bool tooLarge = false;
    if (file.open(QIODevice::ReadOnly)) {
        // An unreadable file simply reads as empty; an oversized one is not
        // read at all, so no file can make us allocate without bound.
        tooLarge = file.size() > maxFileSize;
        if (!tooLarge) {
            // Devices and pipes report no size and may never end: read at
            // most one byte more than the limit from them.
            bytes = file.isSequential() ? file.read(maxFileSize + 1) : file.readAll();
            tooLarge = bytes.size() > maxFileSize;
        }
        file.close();
    }
    return load(tooLarge ? QByteArray() : bytes, QFileInfo(path).completeBaseName(), tooLarge);
}

int libdsk::openData(const QByteArray &bytes, const QString &baseName)
{
    return load(bytes, baseName, bytes.size() > maxFileSize);
}

int libdsk::openPhysical(const PhysicalDisk &disk)
{
    reset();
    if (disk.sides < 1 || disk.sides > 2 || disk.tracks < 1 || disk.tracks > 255)
        return -6;
    rawData = disk.data;
    tracks = disk.tracks;
    sides = disk.sides;
    sectorCount = tracks * sides * sectorsPerSide;
    diskType = tracks > 50 ? 3 : (sides == 1 ? 1 : 2);
    sectorTable = QVector<SectorRef>(sectorCount);
    int taken = 0;
    for (int t = 0; t < tracks; ++t) {
        for (int s = 0; s < sides; ++s) {
            for (int id = 0; id < sectorsPerSide; ++id) {
                const int state = disk.state(t, s, id);
                if (state == 0)
                    continue;
                const int n = linearNumber(t, s, id);
                if (n < 0 || n >= sectorCount)
                    continue;
                SectorRef &ref = sectorTable[n];
                ref.offset = PhysicalDisk::place(t, s, id) * sectorSize;
                ref.length = sectorSize;
                ref.dataError = state == 2;
                ++taken;
            }
        }
    }
    return sectorCount - taken;
}

void libdsk::reportOpening(const QString &baseName)
{
    report(LogEntry::info().lineBreak().rule().text(QStringLiteral("Opening file \"")).strongEmphasis(baseName).text(
        QStringLiteral("\"")));
}

int libdsk::load(const QByteArray &bytes, const QString &baseName, bool tooLarge)
{
    reportOpening(baseName);
    reset();
    if (tooLarge) {
        report(LogEntry::error().text(QStringLiteral("File too large for a disk image.")));
        report(LogEntry::error().text(QStringLiteral("Unknown file format.")));
        return -6;
    }
    rawData = bytes;
    int result = parseDsk();
    if (result >= 0)
        return result;
    result = parseEdsk();
    if (result >= 0)
        return result;
    report(LogEntry::error().text(QStringLiteral("Unknown file format.")));
    reset();
    return -6;
}

QByteArray libdsk::sector(int n) const
{
    if (n < 0 || n >= sectorCount || n >= sectorTable.size())
        return QByteArray();
    const SectorRef &ref = sectorTable.at(n);
    if (ref.offset < 0)
        return QByteArray();
    QByteArray bytes(sectorSize, '\0');
    copyStored(ref, bytes.data());
    return bytes;
}

int libdsk::linearNumber(int track, int side, int sectorId) const
{
    switch (diskType) {
    case 1:
        return track * sectorsPerSide + sectorId;
    case 2:
    case 3:
        return track * 2 * sectorsPerSide + side * sectorsPerSide + sectorId;
    default:
        return -1;
    }
}

QByteArray libdsk::sector(int track, int side, int sectorId) const
{
    const int n = linearNumber(track, side, sectorId);
    return n < 0 ? QByteArray() : sector(n);
}

bool libdsk::copySector(int track, int side, int sectorId, char *out) const
{
    const int n = linearNumber(track, side, sectorId);
    if (n < 0 || n >= sectorCount || n >= sectorTable.size())
        return false;
    const SectorRef &ref = sectorTable.at(n);
    if (ref.offset < 0)
        return false;
    copyStored(ref, out);
    return true;
}

void libdsk::copyStored(const SectorRef &ref, char *out) const
{
    // storeSector keeps only references that lie inside the file bytes.
    if (ref.copies > 1) {
        for (int i = 0; i < sectorSize; ++i)
            out[i] = char(majorityByte(ref, i));
        return;
    }
    std::memcpy(out, rawData.constData() + ref.offset, size_t(ref.length));
    std::memset(out + ref.length, 0, size_t(sectorSize - ref.length));
}

int libdsk::majorityByte(const SectorRef &ref, int position) const
{
    // The value most copies hold; of values held equally often, the one the
    // earliest copy holds.
    const char *bytes = rawData.constData() + ref.offset + position;
    int best = 0;
    int bestCount = 0;
    for (int c = 0; c < ref.copies; ++c) {
        int count = 0;
        for (int d = 0; d < ref.copies; ++d)
            count += bytes[d * sectorSize] == bytes[c * sectorSize];
        if (count > bestCount) {
            bestCount = count;
            best = c;
        }
    }
    return static_cast<quint8>(bytes[best * sectorSize]);
}

int libdsk::sectorState(int track, int side, int sectorId) const
{
    const int n = linearNumber(track, side, sectorId);
    if (n < 0 || n >= sectorCount || n >= sectorTable.size() || sectorTable.at(n).offset < 0)
        return 0;
    const SectorRef &ref = sectorTable.at(n);
    const bool suspect = ref.dataError || ref.copiesDiffer || ref.length < sectorSize;
    return suspect ? 2 : 1;
}

int libdsk::agreeingCopies(int track, int side, int sectorId) const
{
    const int n = linearNumber(track, side, sectorId);
    if (n < 0 || n >= sectorCount || n >= sectorTable.size() || sectorTable.at(n).offset < 0)
        return 0;
    const SectorRef &ref = sectorTable.at(n);
    if (ref.copies == 1)
        return 1;
    char value[sectorSize];
    copySector(track, side, sectorId, value);
    int agreeing = 0;
    for (int c = 0; c < ref.copies; ++c)
        agreeing += std::memcmp(rawData.constData() + ref.offset + c * sectorSize, value, sectorSize) == 0;
    return agreeing;
}

void libdsk::reset()
{
    rawData.clear();
    sectorTable.clear();
    tracks = 0;
    sides = 0;
    diskType = 0;
    sectorCount = 0;
}

QByteArray libdsk::storedBytes(int offset, int length) const
{
    QByteArray bytes = rawData.mid(offset, length);
    if (bytes.size() < sectorSize)
        bytes.append(QByteArray(sectorSize - bytes.size(), '\0'));
    return bytes;
}

quint8 libdsk::byteAt(int pos) const
{
    // Header bytes beyond the end of a short file read as zero.
    if (pos < 0 || pos >= rawData.size())
        return 0;
    return static_cast<quint8>(rawData.at(pos));
}

QString libdsk::textAt(int pos, int maxLength) const
{
    QByteArray text;
    for (int i = 0; i < maxLength && pos + i < rawData.size(); ++i) {
        const char c = rawData.at(pos + i);
        if (c == '\0')
            break;
        text.append(c);
    }
    return QString::fromLatin1(text);
}

int libdsk::checkCommonGeometry()
{
    const int headerTracks = byteAt(0x30);
    const int headerSides = byteAt(0x31);
    if (headerTracks > maxSingleSidedTracks && headerSides == 1) {
        report(LogEntry::error().text(QStringLiteral("Not a TOS disk : one side and more than 42 tracks...")));
        return -3;
    }
    // The format has one or two sides; more would make the geometry accessor
    // read the wrong sectors and let a tiny file claim a huge sector table.
    if (headerSides > 2) {
        report(LogEntry::error().text(QStringLiteral("Not a TOS disk : more than 2 sides")));
        return -3;
    }
    return 0;
}

void libdsk::emitCreator(const char *container)
{
    QString creator = textAt(0x22, 14);
    if (creator.isEmpty())
        creator = QStringLiteral("?");
    report(LogEntry::info()
               .text(QStringLiteral("Detected "))
               .strong(QLatin1String(container))
               .text(QStringLiteral(" file, created by \""))
               .emphasis(creator)
               .text(QStringLiteral("\"")));
}

void libdsk::reportGeometry(const QString &trackSizeLine)
{
    report(LogEntry::info()
               .text(QStringLiteral("tracks: %1").arg(byteAt(0x30)))
               .lineBreak()
               .text(QStringLiteral("sides: %1").arg(byteAt(0x31)))
               .lineBreak()
               .text(trackSizeLine));
}

void libdsk::setGeometry()
{
    tracks = byteAt(0x30);
    sides = byteAt(0x31);
    sectorCount = tracks * sides * sectorsPerSide;
    if (tracks > 50)
        diskType = 3;
    else
        diskType = sides == 1 ? 1 : 2;
    sectorTable = QVector<SectorRef>(sectorCount);
    report(LogEntry::info().text(QStringLiteral("sectors (calculated): %1").arg(sectorCount)));
}

bool libdsk::trackHeaderAt(int pos) const
{
    return textAt(pos, 10) == QLatin1String(trackSignature);
}

bool libdsk::storeSector(int track, int side, int sectorId, int offset, int length, int copies, bool dataError)
{
    // An entry whose linear number falls outside the table (an id of 16 or
    // more, a track or side beyond the header) is ignored: not stored, not
    // counted as taken.
    const int n = (track * sides + side) * sectorsPerSide + sectorId;
    if (n < 0 || n >= sectorCount)
        return false;
    // Nothing is read beyond the end of the file: such a sector stays bad.
    if (offset < 0 || length <= 0 || qint64(offset) + qint64(length) * copies > rawData.size())
        return false;
    // A sector listed twice counts once and keeps its first copy; a copy
    // with other data is a misread id, which the log must tell.
    if (sectorTable[n].offset >= 0) {
        if (storedBytes(sectorTable[n].offset, sectorTable[n].length) != storedBytes(offset, length))
            report(LogEntry::warning().text(
                QStringLiteral("Track %1 side %2: sector id %3 is listed twice with different data; the first copy is kept")
                    .arg(track)
                    .arg(side)
                    .arg(sectorId)));
        return false;
    }
    SectorRef &ref = sectorTable[n];
    ref.offset = offset;
    ref.length = length;
    ref.copies = copies;
    ref.dataError = dataError;
    for (int c = 1; c < copies && !ref.copiesDiffer; ++c)
        ref.copiesDiffer = std::memcmp(rawData.constData() + offset, rawData.constData() + offset + c * sectorSize,
                                       sectorSize) != 0;
    return true;
}

int libdsk::parseDsk()
{
    if (textAt(0, 21) != QLatin1String(dskSignature))
        return -1;
    const int trackSize = byteAt(0x32) | (byteAt(0x33) << 8);
    if (trackSize != tosTrackBlockSize) {
        report(LogEntry::error().text(QStringLiteral("Not a TOS disk : track size != 4096")));
        return -2;
    }
    if (int refused = checkCommonGeometry())
        return refused;

    emitCreator("DSK");
    reportGeometry(QStringLiteral("track size: %1").arg(trackSize - headerSize));
    setGeometry();

    const int fileSize = rawData.size();
    int taken = 0;
    int pos = headerSize;
    while (pos < fileSize) {
        // A track header that would pass the end of the file ends the walk
        // as the end of the file does.
        if (pos + headerSize > fileSize)
            break;
        if (!trackHeaderAt(pos)) {
            report(LogEntry::error().text(QStringLiteral("No track header. Funny, it shouldn't happen. Cancelling...")));
            return -4;
        }
        const int track = byteAt(pos + 0x10);
        const int side = byteAt(pos + 0x11);
        const int sizeCode = byteAt(pos + 0x14);
        const int count = byteAt(pos + 0x15);
        for (int j = 0; j < count; ++j) {
            const int entry = pos + 0x18 + 8 * j;
            if (entry + 8 > fileSize)
                break;
            if (byteAt(entry + 3) != 1)
                continue;
            const int dataPos = pos + headerSize + j * sizeCode * sectorSize;
            if (storeSector(track, side, byteAt(entry + 2), dataPos, sectorSize))
                ++taken;
        }
        const int listedStep = headerSize + count * sizeCode * sectorSize;
        int next = pos + listedStep;
        // Writers pad a short track to the header's track size. When the
        // listed length leads into padding but the track size leads to the
        // next block (or to the end of the file), step by the track size.
        if (next < fileSize && !trackHeaderAt(next)) {
            const int padded = pos + trackSize;
            if (padded >= fileSize || trackHeaderAt(padded))
                next = padded;
        }
        pos = next;
    }
    report(LogEntry::info().text(QStringLiteral("sectors (imported)  : %1").arg(taken)));
    return sectorCount - taken;
}

bool libdsk::weakTracksAcceptable(int blockCount) const
{
    int pos = headerSize;
    for (int i = 0; i < blockCount && 0x34 + i < headerSize; ++i) {
        const int entry = byteAt(0x34 + i);
        if (entry > 17) {
            if (!trackHeaderAt(pos))
                return false;
            // Large because of weak sectors: at least one, and no sector of
            // another size.
            const int count = byteAt(pos + 0x15);
            bool weakSeen = false;
            for (int j = 0; j < count; ++j) {
                const int info = pos + 0x18 + 8 * j;
                const int length = byteAt(info + 6) | (byteAt(info + 7) << 8);
                if (length > sectorSize && (byteAt(info + 3) != 1 || length % sectorSize != 0))
                    return false;
                weakSeen = weakSeen || length > sectorSize;
            }
            if (!weakSeen)
                return false;
        }
        pos += entry * sectorSize;
    }
    return true;
}

int libdsk::parseEdsk()
{
    if (textAt(0, 21) != QLatin1String(edskSignature))
        return -1;
    const int blockCount = byteAt(0x30) * byteAt(0x31);
    // The track size table ends with the 256-byte header: entries that would
    // lie past offset 0xFF are never read from track data; they count as 0,
    // so those track blocks are absent and their sectors bad.
    auto tableEntry = [this](int i) -> int {
        const int offset = 0x34 + i;
        return offset < headerSize ? byteAt(offset) : 0;
    };
    int largest = 0;
    for (int i = 0; i < blockCount; ++i)
        largest = qMax(largest, tableEntry(i));
    // A track block above 4352 bytes is refused unless what makes it large
    // are weak sectors: several 256-byte copies of one sector.
    if (blockCount > 0 && largest - 1 > 16 && !weakTracksAcceptable(blockCount)) {
        report(LogEntry::error().text(QStringLiteral("Not a TOS disk : found track > 4096B")));
        return -2;
    }
    if (int refused = checkCommonGeometry())
        return refused;

    emitCreator("EDSK");
    // Without any table entry (or with only absent tracks) there is no
    // largest track: the line shows 0.
    reportGeometry(QStringLiteral("max track size: %1").arg(qMax(0, largest - 1) * sectorSize));
    setGeometry();

    const int fileSize = rawData.size();
    int taken = 0;
    int pos = headerSize;
    for (int i = 0; i < blockCount; ++i) {
        const int entry = tableEntry(i);
        if (entry == 0)
            continue;
        if (pos + headerSize > fileSize)
            break;
        if (!trackHeaderAt(pos)) {
            report(LogEntry::error().text(QStringLiteral("No track header. Funny, it shouldn't happen. Cancelling...")));
            return -4;
        }
        const int track = byteAt(pos + 0x10);
        const int side = byteAt(pos + 0x11);
        const int count = byteAt(pos + 0x15);
        // Each sector's data is stored with its own length; a list longer
        // than the header (more than 29 sectors) moves the data to the next
        // 256-byte boundary after the list.
        const int listEnd = 0x18 + 8 * count;
        int dataPos = pos + (listEnd <= headerSize ? headerSize : (listEnd + 255) / 256 * 256);
        for (int j = 0; j < count; ++j) {
            const int info = pos + 0x18 + 8 * j;
            if (info + 8 > fileSize)
                break;
            const int length = byteAt(info + 6) | (byteAt(info + 7) << 8);
            // ST1 bit 5 and ST2 bit 5: the data failed its CRC.
            const bool dataError = (byteAt(info + 4) & 0x20) || (byteAt(info + 5) & 0x20);
            // Length 0: the sector has no data. Up to 256: taken, a short
            // one padded with zeros. Above 256: bad, but in salvage mode a
            // multiple of 256 with N = 1 holds copies of a weak sector.
            const bool weak = salvage && length > sectorSize && length % sectorSize == 0 && byteAt(info + 3) == 1;
            if (length > 0 && length <= sectorSize
                && storeSector(track, side, byteAt(info + 2), dataPos, length, 1, dataError))
                ++taken;
            else if (weak && storeSector(track, side, byteAt(info + 2), dataPos, sectorSize, length / sectorSize, dataError))
                ++taken;
            dataPos += length;
        }
        pos += entry * sectorSize;
    }
    report(LogEntry::info().text(QStringLiteral("sectors (imported)  : %1").arg(taken)));
    return sectorCount - taken;
}
