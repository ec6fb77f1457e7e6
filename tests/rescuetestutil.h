#pragma once

// Helpers shared by the rescue tests: expected TAP records built straight
// from the tape format, catalog entries for a given byte length, image data
// in logical order and a log collector.

#include "disk/libdsk.h"
#include "imagebuilder.h"
#include "imagelist/imagerow.h"
#include "logrender.h"
#include "rescue/conversion.h"
#include "rescue/session.h"

#include <QByteArray>
#include <algorithm>
#include <QDir>
#include <QFile>
#include <QString>
#include <QStringList>

// A conversion as the tests set it up: a row's sectors given as bytes and a
// read map, its geometry and the options, in one value.
struct ConversionJob
{
    QString imageName;
    int tracks = 0;
    int sides = 0;
    DiskFormat format = DiskFormat::Unknown;
    QByteArray data;
    QByteArray map; // 1 read, 0 missing
    QString outputRoot = QStringLiteral(".");
    QString folderName;
    bool salvage = false;
    QByteArray states; // SectorState per sector; empty: from the map
    bool writeReport = false;
    QStringList readNames;

    ImageRow row() const
    {
        ImageRow row;
        row.name = imageName;
        row.tracks = tracks;
        row.sides = sides;
        row.format = format;
        row.salvage = salvage;
        row.reads = readNames;
        row.sectors = SectorTable(map.size());
        for (int i = 0; i < map.size(); ++i) {
            const QByteArray bytes = data.mid(i * 256, 256);
            std::copy(bytes.constBegin(), bytes.constEnd(), row.sectors.sectorDataForWrite(i));
            const SectorState state = i < states.size() ? SectorState(states.at(i))
                                      : map.at(i) != 0  ? SectorState::Good
                                                        : SectorState::Missing;
            row.sectors.setRead(i, state, state == SectorState::Missing ? 0 : 1, 1);
        }
        return row;
    }
    ConversionOptions options() const
    {
        ConversionOptions options;
        options.outputRoot = outputRoot;
        options.folderName = folderName;
        options.writeReport = writeReport;
        return options;
    }
};

inline ConversionReport convertImage(const ConversionJob &job, const LogSink &log)
{
    return convertImage(job.row(), job.options(), log);
}

namespace rescuetest {

inline QByteArray readFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray("<missing file>");
    return file.readAll();
}

inline bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// Every entry of a folder except "." and "..", hidden ones included, by name.
inline QStringList entriesIn(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                                  QDir::Name);
}

inline void putWord(QByteArray &bytes, int pos, int value)
{
    bytes[pos] = char(value & 0xFF);
    bytes[pos + 1] = char((value >> 8) & 0xFF);
}

inline QByteArray word(int value)
{
    QByteArray bytes(2, '\0');
    putWord(bytes, 0, value);
    return bytes;
}

// One TAP record: length (payload + 2) low byte first, flag, payload, XOR.
inline QByteArray tapRecord(quint8 flag, const QByteArray &payload)
{
    quint8 sum = flag;
    for (char c : payload)
        sum ^= quint8(c);
    return word(payload.size() + 2) + char(flag) + payload + char(sum);
}

// The 17-byte Spectrum header; name10 must already be the 10 stored bytes.
inline QByteArray headerPayload(quint8 type, const QByteArray &name10, int length, int param1, int param2)
{
    Q_ASSERT(name10.size() == 10);
    return char(type) + name10 + word(length) + word(param1) + word(param2);
}

// A header record followed by its data record.
inline QByteArray tapPair(quint8 type, const QByteArray &name10, const QByteArray &data, int param1,
                          int param2)
{
    return tapRecord(0x00, headerPayload(type, name10, data.size(), param1, param2))
        + tapRecord(0xFF, data);
}

// A catalog extent entry whose byte length is exactly length.
inline QByteArray extentEntry(quint8 owner, const QByteArray &name, const QByteArray &extension,
                              quint8 extent, int length, const QByteArray &blocks)
{
    const int records = (length + 127) / 128;
    const int shortBy = records * 128 - length;
    const quint8 last = shortBy ? quint8(256 - shortBy) : 0;
    return ImageBuilder::catalogEntry(owner, name, extension, extent, last, records, blocks);
}

// A recognisable byte pattern of the given length.
inline QByteArray pattern(int length, int seed)
{
    QByteArray bytes(length, '\0');
    for (int i = 0; i < length; ++i)
        bytes[i] = char((i * 7 + seed * 13 + (i >> 8)) & 0xFF);
    return bytes;
}

// A tokenised BASIC program: 10 PRINT "HELLO" / 20 GO TO 10. Line numbers
// are big-endian, line lengths little-endian; numbers carry their hidden
// five-byte form after 0x0E.
inline QByteArray basicProgram()
{
    return QByteArray("\x00\x0a\x09\x00\xf5\"HELLO\"\x0d"
                      "\x00\x14\x0a\x00\xec" "10\x0e\x00\x00\x0a\x00\x00\x0d",
                      27);
}

// Image data and status map in logical order, as an image-table row holds
// them, built directly so a test controls every sector.
class LogicalImage
{
public:
    explicit LogicalImage(int sectors, char fill = char(0xE5))
        : data(sectors * 256, fill), map(sectors, char(1))
    {
    }

    void setBytes(int offset, const QByteArray &bytes) { data.replace(offset, bytes.size(), bytes); }
    void setSector(int n, const QByteArray &bytes) { setBytes(n * 256, bytes.left(256)); }
    // A sector the image lacks: zeros in the data, 0 in the map.
    void setBad(int n)
    {
        data.replace(n * 256, 256, QByteArray(256, '\0'));
        map[n] = char(0);
    }
    // Catalog entry index of variant 2 (sectors 64..79) or 4 (sectors 0..15).
    void setEntry(int variant, int index, const QByteArray &entry)
    {
        setBytes((variant == 2 ? 64 * 256 : 0) + index * 32, entry);
    }
    // Empties the catalog area: every entry free.
    void clearCatalog(int variant)
    {
        setBytes(variant == 2 ? 64 * 256 : 0, QByteArray(4096, '\0'));
    }

    ConversionJob job(const QString &name, int tracks, DiskFormat format, const QString &root) const
    {
        ConversionJob job;
        job.imageName = name;
        job.tracks = tracks;
        job.format = format;
        job.data = data;
        job.map = map;
        job.outputRoot = root;
        return job;
    }

    QByteArray data;
    QByteArray map;
};

// Loads built image bytes the way Open does and returns the row contents.
inline ImageRow loadRow(const QByteArray &imageBytes, const QString &name)
{
    return loadImageData(imageBytes, name, ReadOptions()).row;
}

inline ConversionJob jobFromRow(const ImageRow &row, const QString &root)
{
    ConversionJob job;
    job.imageName = row.name;
    job.tracks = row.tracks;
    job.sides = row.sides;
    job.format = row.format;
    job.data = row.sectors.bytes();
    job.map = row.sectors.statusMap();
    job.outputRoot = root;
    job.salvage = row.salvage;
    for (int i = 0; i < row.sectorCount(); ++i)
        job.states.append(char(row.state(i)));
    job.readNames = row.reads;
    return job;
}

// Log lines with the reason of each "Cannot write PATH: REASON" cut off,
// so that a test can compare the paths; a failure line without a reason
// stays whole and so fails the comparison.
inline QStringList withoutReasons(const QStringList &lines)
{
    QStringList cut;
    for (const QString &line : lines) {
        const int colon = line.lastIndexOf(QLatin1String(": "));
        const bool failure = line.startsWith(QLatin1String("Cannot write ")) && colon > 0
                             && colon + 2 < line.size();
        cut << (failure ? line.left(colon) : line);
    }
    return cut;
}

struct LogLines
{
    QStringList lines;
    LogSink sink()
    {
        return [this](const LogEntry &entry) { lines.append(logEntryHtml(entry)); };
    }
};

} // namespace rescuetest
