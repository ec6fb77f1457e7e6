#include "diskread.h"

#include <QFile>
#include <QFileInfo>

#include "fluxdisk.h"
#include "scpread.h"

#include "rescue/pathidentity.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using geometry::sectorSize;
using geometry::sectorsPerSide;

namespace {
const char dskSignature[] = "MV - CPCEMU Disk-File";
const char edskSignature[] = "EXTENDED CPC DSK File";
const char trackSignature[] = "Track-Info";
constexpr int headerSize = 256;
constexpr int tosTrackBlockSize = 0x1100;
constexpr int maxSingleSidedTracks = 42;

// What a file is when it is not a regular one, or an empty string.
// Opening or reading a FIFO or a device can wait forever.
QString irregularKind(const struct stat &status)
{
    if (S_ISREG(status.st_mode))
        return QString();
    if (S_ISDIR(status.st_mode))
        return QStringLiteral("a folder");
    if (S_ISFIFO(status.st_mode))
        return QStringLiteral("a FIFO");
    if (S_ISSOCK(status.st_mode))
        return QStringLiteral("a socket");
    return QStringLiteral("a device");
}

LogEntry openingEntry(const QString &baseName)
{
    return LogEntry::info().lineBreak().rule().text(QStringLiteral("Opening file \"")).strongEmphasis(baseName).text(
        QStringLiteral("\""));
}

// Where one sector lies inside the file bytes.
struct SectorRef
{
    int offset = -1; // -1: absent
    int length = 0;  // stored bytes of one copy, 1..256; the rest reads as zeros
    int copies = 1;  // a weak sector is stored as several 256-byte copies
    bool dataError = false;    // the controller reported a data error
    bool copiesDiffer = false; // the copies of a weak sector are not all alike
};

// One sector entry of a track block's list, as either container gives it.
struct ListedSector
{
    int sectorId = 0;
    int track = 0;         // the track the entry itself names
    int side = 0;          // the side the entry itself names
    bool notFound = false; // the controller found no address mark or no data
    int dataPos = 0;
    int length = 0;
    int copies = 1;
    bool dataError = false;
};

// Walks the file bytes of one DSK or Extended DSK container into a linear
// sector table; bounds-checked at every byte.
class ContainerParser
{
public:
    ContainerParser(const QByteArray &bytes, bool salvage, QVector<LogEntry> &entries)
        : rawData(bytes)
        , salvage(salvage)
        , entries(entries)
    {
    }

    // Sectors taken, or the refusal of this container; NotThisContainer
    // when the signature is another's.
    enum Result { NotThisContainer = -1 };
    int parseDsk(DiskRead::Refusal &refusal);
    int parseEdsk(DiskRead::Refusal &refusal);
    PhysicalDisk disk(int supplier) const;

    int tracks = 0;
    int sides = 0;
    int sectorCount = 0;

private:
    enum class Container { Dsk, Edsk };

    void report(const LogEntry &entry) { entries.append(entry); }
    bool checkCommonGeometry(DiskRead::Refusal &refusal);
    void reportCreator(const char *container);
    void reportGeometry(const QString &trackSizeLine);
    void setGeometry();
    bool trackHeaderAt(int pos) const;
    // The sectors of the track block at pos; false when there is none.
    bool walkTrack(int pos, Container container, int &taken, DiskRead::Refusal &refusal);
    ListedSector listedSector(int pos, int j, Container container, int &edskDataPos) const;
    bool storeSector(int track, int side, const ListedSector &sector);
    bool weakTracksAcceptable(int blockCount) const;
    int majorityByte(const SectorRef &ref, int position) const;
    void copyStored(const SectorRef &ref, char *out) const;
    int agreeingCopies(const SectorRef &ref, const char *value) const;
    quint8 byteAt(int pos) const;
    QByteArray storedBytes(int offset, int length) const;
    QString textAt(int pos, int maxLength) const;

    const QByteArray rawData;
    const bool salvage;
    QVector<LogEntry> &entries;
    QVector<SectorRef> sectorTable;
};

quint8 ContainerParser::byteAt(int pos) const
{
    // Header bytes beyond the end of a short file read as zero.
    if (pos < 0 || pos >= rawData.size())
        return 0;
    return static_cast<quint8>(rawData.at(pos));
}

QString ContainerParser::textAt(int pos, int maxLength) const
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

QByteArray ContainerParser::storedBytes(int offset, int length) const
{
    QByteArray bytes = rawData.mid(offset, length);
    if (bytes.size() < sectorSize)
        bytes.append(QByteArray(sectorSize - bytes.size(), '\0'));
    return bytes;
}

bool ContainerParser::checkCommonGeometry(DiskRead::Refusal &refusal)
{
    const int headerTracks = byteAt(0x30);
    const int headerSides = byteAt(0x31);
    refusal = DiskRead::Refusal::NotTos;
    if (headerTracks > maxSingleSidedTracks && headerSides == 1) {
        report(LogEntry::error().text(QStringLiteral("Not a TOS disk : one side and more than 42 tracks...")));
        return false;
    }
    // The format has one or two sides; more would make the geometry accessor
    // read the wrong sectors and let a tiny file claim a huge sector table.
    if (headerSides > geometry::maxSides) {
        report(LogEntry::error().text(QStringLiteral("Not a TOS disk : more than 2 sides")));
        return false;
    }
    refusal = DiskRead::Refusal::None;
    return true;
}

void ContainerParser::reportCreator(const char *container)
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

void ContainerParser::reportGeometry(const QString &trackSizeLine)
{
    report(LogEntry::info()
               .text(QStringLiteral("tracks: %1").arg(byteAt(0x30)))
               .lineBreak()
               .text(QStringLiteral("sides: %1").arg(byteAt(0x31)))
               .lineBreak()
               .text(trackSizeLine));
}

void ContainerParser::setGeometry()
{
    tracks = byteAt(0x30);
    sides = byteAt(0x31);
    sectorCount = tracks * sides * sectorsPerSide;
    sectorTable = QVector<SectorRef>(sectorCount);
    report(LogEntry::info().text(QStringLiteral("sectors (calculated): %1").arg(sectorCount)));
}

bool ContainerParser::trackHeaderAt(int pos) const
{
    return textAt(pos, 10) == QLatin1String(trackSignature);
}

bool ContainerParser::storeSector(int track, int side, const ListedSector &sector)
{
    // An entry whose linear number falls outside the table (a track or side
    // beyond the header) is ignored: not stored, not counted as taken.
    const int n = geometry::listedNumber(track, side, sector.sectorId, sides);
    if (n < 0 || n >= sectorCount)
        return false;
    const int offset = sector.dataPos;
    const int length = sector.length;
    // Nothing is read beyond the end of the file: such a sector stays bad.
    if (offset < 0 || length <= 0 || qint64(offset) + qint64(length) * sector.copies > rawData.size())
        return false;
    // A sector listed twice counts once and keeps its first copy; a copy
    // with other data is a misread id, which the log must tell.
    // Copies that differ leave the kept one unproven: it is suspect.
    if (sectorTable[n].offset >= 0) {
        if (storedBytes(sectorTable[n].offset, sectorTable[n].length) != storedBytes(offset, length)) {
            sectorTable[n].copiesDiffer = true;
            report(LogEntry::warning().text(
                QStringLiteral("Track %1 side %2: sector id %3 is listed twice with different data; the first copy is kept")
                    .arg(track)
                    .arg(side)
                    .arg(sector.sectorId)));
        }
        return false;
    }
    SectorRef &ref = sectorTable[n];
    ref.offset = offset;
    ref.length = length;
    ref.copies = sector.copies;
    ref.dataError = sector.dataError;
    for (int c = 1; c < sector.copies && !ref.copiesDiffer; ++c)
        ref.copiesDiffer = std::memcmp(rawData.constData() + offset, rawData.constData() + offset + c * sectorSize,
                                       sectorSize) != 0;
    return true;
}

ListedSector ContainerParser::listedSector(int pos, int j, Container container, int &edskDataPos) const
{
    const int info = pos + 0x18 + 8 * j;
    ListedSector sector;
    sector.track = byteAt(info);
    sector.side = byteAt(info + 1);
    sector.sectorId = byteAt(info + 2);
    if (container == Container::Dsk) {
        // Plain DSK: every sector of the block has the header's size; only
        // 256-byte ones (N = 1) are taken.
        const int sizeCode = byteAt(pos + 0x14);
        sector.dataPos = pos + headerSize + j * sizeCode * sectorSize;
        sector.length = byteAt(info + 3) == 1 ? sectorSize : 0;
        return sector;
    }
    // Extended DSK: each sector's data is stored with its own length.
    const int length = byteAt(info + 6) | (byteAt(info + 7) << 8);
    sector.dataPos = edskDataPos;
    edskDataPos += length;
    // ST1 bit 5 and ST2 bit 5: the data failed its CRC.
    sector.dataError = (byteAt(info + 4) & 0x20) || (byteAt(info + 5) & 0x20);
    // ST1 bit 0 or ST2 bit 0: no address mark; ST1 bit 2: no data. What is
    // stored is the writer's filler, never the sector.
    sector.notFound = (byteAt(info + 4) & 0x05) || (byteAt(info + 5) & 0x01);
    // Length 0: the sector has no data. Up to 256: taken, a short one
    // padded with zeros. Above 256: bad, but in salvage mode a multiple of
    // 256 with N = 1 holds copies of a weak sector.
    if (length > 0 && length <= sectorSize) {
        sector.length = length;
    } else if (salvage && length > sectorSize && length % sectorSize == 0 && byteAt(info + 3) == 1) {
        sector.length = sectorSize;
        sector.copies = length / sectorSize;
    }
    return sector;
}

bool ContainerParser::walkTrack(int pos, Container container, int &taken, DiskRead::Refusal &refusal)
{
    if (!trackHeaderAt(pos)) {
        report(LogEntry::error().text(QStringLiteral("No track header. Funny, it shouldn't happen. Cancelling...")));
        refusal = DiskRead::Refusal::NoTrackHeader;
        return false;
    }
    const int track = byteAt(pos + 0x10);
    const int side = byteAt(pos + 0x11);
    const int count = byteAt(pos + 0x15);
    // A list longer than the header (more than 29 sectors) moves the data
    // of an Extended DSK block to the next 256-byte boundary after the list.
    const int listEnd = 0x18 + 8 * count;
    int edskDataPos = pos + (listEnd <= headerSize ? headerSize : (listEnd + 255) / 256 * 256);
    for (int j = 0; j < count; ++j) {
        if (pos + 0x18 + 8 * j + 8 > rawData.size())
            break;
        const ListedSector sector = listedSector(pos, j, container, edskDataPos);
        if (sector.length <= 0)
            continue;
        // An entry that names another side or an id beyond the track would
        // land on another track's sector: it is told here, where it was
        // listed, and displaces nothing.
        if (sector.sectorId >= sectorsPerSide || sector.side != side) {
            report(LogEntry::warning().text(
                QStringLiteral("Track %1 side %2: an entry names sector id %3 of side %4, which this track cannot hold; "
                               "left out")
                    .arg(track)
                    .arg(side)
                    .arg(sector.sectorId)
                    .arg(sector.side)));
            continue;
        }
        // An entry naming another track is what a seek error reads: the
        // bytes are that track's, not this one's.
        if (sector.track != track) {
            report(LogEntry::warning().text(
                QStringLiteral("Track %1 side %2: an entry names track %3 (sector id %4); read from the wrong track, "
                               "left out")
                    .arg(track)
                    .arg(side)
                    .arg(sector.track)
                    .arg(sector.sectorId)));
            continue;
        }
        if (sector.notFound) {
            report(LogEntry::warning().text(
                QStringLiteral("Track %1 side %2: sector id %3 was not found by the controller; its stored bytes are "
                               "filler, taken as missing")
                    .arg(track)
                    .arg(side)
                    .arg(sector.sectorId)));
            continue;
        }
        if (storeSector(track, side, sector))
            ++taken;
    }
    return true;
}

int ContainerParser::parseDsk(DiskRead::Refusal &refusal)
{
    if (textAt(0, 21) != QLatin1String(dskSignature))
        return NotThisContainer;
    const int trackSize = byteAt(0x32) | (byteAt(0x33) << 8);
    if (trackSize != tosTrackBlockSize) {
        report(LogEntry::error().text(QStringLiteral("Not a TOS disk : track size != 4096")));
        refusal = DiskRead::Refusal::NotTos;
        return NotThisContainer;
    }
    if (!checkCommonGeometry(refusal))
        return NotThisContainer;

    reportCreator("DSK");
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
        if (!walkTrack(pos, Container::Dsk, taken, refusal))
            return NotThisContainer;
        const int count = byteAt(pos + 0x15);
        const int listedStep = headerSize + count * byteAt(pos + 0x14) * sectorSize;
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
    return taken;
}

bool ContainerParser::weakTracksAcceptable(int blockCount) const
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

int ContainerParser::parseEdsk(DiskRead::Refusal &refusal)
{
    if (textAt(0, 21) != QLatin1String(edskSignature))
        return NotThisContainer;
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
    if (blockCount > 0 && largest - 1 > sectorsPerSide && !weakTracksAcceptable(blockCount)) {
        report(LogEntry::error().text(QStringLiteral("Not a TOS disk : found track > 4096B")));
        refusal = DiskRead::Refusal::NotTos;
        return NotThisContainer;
    }
    if (!checkCommonGeometry(refusal))
        return NotThisContainer;

    reportCreator("EDSK");
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
        if (!walkTrack(pos, Container::Edsk, taken, refusal))
            return NotThisContainer;
        pos += entry * sectorSize;
    }
    report(LogEntry::info().text(QStringLiteral("sectors (imported)  : %1").arg(taken)));
    return taken;
}

int ContainerParser::majorityByte(const SectorRef &ref, int position) const
{
    // The value most copies hold; of values held equally often, the one the
    // earliest copy holds. Counted once per copy: linear in the copies.
    const auto *bytes = reinterpret_cast<const quint8 *>(rawData.constData() + ref.offset + position);
    int counts[256] = {};
    int most = 0;
    for (int c = 0; c < ref.copies; ++c)
        most = qMax(most, ++counts[bytes[c * sectorSize]]);
    for (int c = 0; c < ref.copies; ++c)
        if (counts[bytes[c * sectorSize]] == most)
            return bytes[c * sectorSize];
    return 0;
}

void ContainerParser::copyStored(const SectorRef &ref, char *out) const
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

int ContainerParser::agreeingCopies(const SectorRef &ref, const char *value) const
{
    if (ref.copies == 1)
        return 1;
    int agreeing = 0;
    for (int c = 0; c < ref.copies; ++c)
        agreeing += std::memcmp(rawData.constData() + ref.offset + c * sectorSize, value, sectorSize) == 0;
    return agreeing;
}

PhysicalDisk ContainerParser::disk(int supplier) const
{
    PhysicalDisk disk(tracks, sides);
    for (int n = 0; n < sectorTable.size(); ++n) {
        const SectorRef &ref = sectorTable.at(n);
        if (ref.offset < 0)
            continue;
        const int place = geometry::placeOfNumber(n, sides);
        char *out = disk.sectors.sectorDataForWrite(place);
        copyStored(ref, out);
        const bool suspect = ref.dataError || ref.copiesDiffer || ref.length < sectorSize;
        disk.sectors.setRead(place, suspect ? SectorState::Suspect : SectorState::Good, agreeingCopies(ref, out),
                             supplier);
    }
    return disk;
}

DiskRead readParsed(const QByteArray &bytes, const QString &baseName, bool tooLarge, const ReadOptions &options)
{
    DiskRead read;
    read.entries.append(openingEntry(baseName));
    if (tooLarge) {
        read.refusal = DiskRead::Refusal::TooLarge;
        read.entries.append(LogEntry::error().text(QStringLiteral("File too large for a disk image.")));
        read.entries.append(LogEntry::error().text(QStringLiteral("Unknown file format.")));
        return read;
    }
    if (looksLikeScp(bytes))
        return readFluxBytes(bytes, baseName, options, read.entries.first());
    ContainerParser parser(bytes, options.salvage, read.entries);
    DiskRead::Refusal refusal = DiskRead::Refusal::UnknownFormat;
    int taken = parser.parseDsk(refusal);
    if (taken < 0)
        taken = parser.parseEdsk(refusal);
    if (taken < 0) {
        read.entries.append(LogEntry::error().text(QStringLiteral("Unknown file format.")));
        read.refusal = refusal == DiskRead::Refusal::None ? DiskRead::Refusal::UnknownFormat : refusal;
        return read;
    }
    read.refusal = DiskRead::Refusal::None;
    read.disk = parser.disk(options.supplier);
    read.missing = parser.sectorCount - taken;
    return read;
}

} // namespace

DiskRead readDiskFile(const QString &path, const ReadOptions &options)
{
    const QString baseName = QFileInfo(path).completeBaseName();
    const QByteArray native = nativePath(path);
    const auto refused = [&baseName](const QString &irregular) {
        DiskRead read;
        read.refusal = DiskRead::Refusal::NotRegularFile;
        read.entries.append(openingEntry(baseName));
        read.entries.append(
            LogEntry::error().text(QStringLiteral("Not a regular file (%1); not read.").arg(irregular)));
        return read;
    };
    // A look first, so that a FIFO or a device named as an image is not
    // even opened (opening some devices acts on them).
    struct stat status;
    if (::stat(native.constData(), &status) == 0 && !irregularKind(status).isEmpty())
        return refused(irregularKind(status));
    // The file may be swapped after the look: it is opened without waiting
    // and judged again by what was opened, and only that is read.
    QByteArray bytes;
    bool tooLarge = false;
    const int fd = ::open(native.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd >= 0) {
        // An unreadable file simply reads as empty; an oversized one is not
        // read at all, so no file can make us allocate without bound.
        const bool opened = ::fstat(fd, &status) == 0;
        const QString irregular = opened ? irregularKind(status) : QString();
        if (!irregular.isEmpty()) {
            ::close(fd);
            return refused(irregular);
        }
        // Flux images, told by their signature, may be larger.
        char signature[3] = {};
        const bool flux = opened && ::pread(fd, signature, sizeof signature, 0) == sizeof signature
                          && looksLikeScp(QByteArray::fromRawData(signature, sizeof signature));
        const qint64 limit = flux ? maxFluxImageSize : maxDiskImageSize;
        tooLarge = opened && status.st_size > limit;
        if (opened && !tooLarge) {
            // A file growing while it is read stops at one chunk past the
            // limit.
            bytes.reserve(int(status.st_size) + 1);
            char chunk[65536];
            while (bytes.size() <= limit) {
                const ssize_t got = ::read(fd, chunk, sizeof chunk);
                if (got < 0 && errno == EINTR)
                    continue;
                if (got <= 0)
                    break;
                bytes.append(chunk, int(got));
            }
            tooLarge = bytes.size() > limit;
        }
        ::close(fd);
    }
    DiskRead read = readParsed(tooLarge ? QByteArray() : bytes, baseName, tooLarge, options);
    QByteArray named;
    if (read.accepted() && hasMendedName(path, &named)) {
        // The log shows the name's bytes as they are, and the text that
        // stands for them.
        QString bytesShown;
        for (const char c : named.mid(named.lastIndexOf('/') + 1))
            bytesShown += c >= 0x20 && c < 0x7f ? QString(QLatin1Char(c))
                                                 : QStringLiteral("\\x%1").arg(uchar(c), 2, 16, QLatin1Char('0'));
        read.entries.insert(1, LogEntry::warning().text(
                                   QStringLiteral("The file name \"%1\" is not valid UTF-8: the image is known as "
                                                  "\"%2\" in the log and in the name of its folder")
                                       .arg(bytesShown, QFileInfo(path).fileName())));
    }
    return read;
}

DiskRead readDiskBytes(const QByteArray &bytes, const QString &baseName, const ReadOptions &options)
{
    const qint64 limit = looksLikeScp(bytes) ? maxFluxImageSize : maxDiskImageSize;
    return readParsed(bytes, baseName, bytes.size() > limit, options);
}
