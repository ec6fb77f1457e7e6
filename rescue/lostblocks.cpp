#include "lostblocks.h"

#include "disk/geometry.h"
#include "extraction.h"
#include "filetypes.h"
#include "tap/libtap.h"

using geometry::sectorSize;

namespace {
constexpr int firstScannedSector = geometry::systemSectors + geometry::catalogSectors;

// All zeros or all 0xE5 (a formatted, never written sector).
bool isBlank(const char *sector)
{
    const char first = sector[0];
    return (first == '\0' || first == char(0xE5)) && isFilledWith(sector, sectorSize, first);
}

QString sectorNumber(int sector)
{
    return QStringLiteral("%1").arg(sector, 4, 16, QLatin1Char('0'));
}

// The lost block's line of the sector report, and its sectors' owner.
void summarise(RescueState &state, int first, int count, const QString &file, const QString &type, int length,
               int headerSize = 0, int start = -1)
{
    state.own(first, count, file);
    if (!state.files)
        return;
    FileSummary summary;
    summary.name = file;
    summary.file = file;
    summary.type = type;
    summary.length = length;
    summary.bodyLength = length;
    summary.origin = FileOrigin::Lost;
    summary.headerSize = headerSize;
    summary.start = start;
    summary.leftOut = state.leaveOut.contains(state.currentFile());
    for (int s = first; s < first + count && state.sectors.contains(s); ++s)
        summary.sectors.append(s);
    int flagged = 0;
    for (int s = first; s < first + count && state.sectors.contains(s); ++s) {
        if (!state.sectors.isRead(s))
            ++summary.bad;
        else if (isFilledWith(state.sectors.sectorData(s), sectorSize, '\0'))
            ++summary.zero;
        summary.suspect += state.isSuspect(s);
        flagged += state.sectors.state(s) == SectorState::Suspect;
    }
    // Bytes taken across sectors that catalog files claim are a guess.
    bool crossesFiles = false;
    for (int s = first; s < first + count && state.sectors.contains(s); ++s)
        crossesFiles = crossesFiles
            || (state.sectors.owner(s).kind == SectorOwner::Kind::File
                && state.ownerNames.value(state.sectors.owner(s).index) != file);
    summary.verdict = verdictOf(summary.bad, summary.suspect, flagged, crossesFiles, state.salvage);
    state.files->append(summary);
}

void saveSingleSector(RescueState &state, int sector, const QByteArray &bytes)
{
    state.beginFile();
    const QString name = state.out.claim(state.folder, QStringLiteral("sector_%1").arg(sectorNumber(sector)),
                                         QStringLiteral(".dat"), {QStringLiteral(".tap")});
    const QString path = state.folder + name;
    summarise(state, sector, 1, name, QStringLiteral("data"), bytes.size());
    state.out.writeFile(path, bytes);
    libtap tap;
    tap.addCode(QStringLiteral("sector%1").arg(sectorNumber(sector)), bytes, 0x8000);
    state.out.writeTap(tap, path + QStringLiteral(".tap"));
}

void saveLostFile(RescueState &state, int sector, int typeByte, int headerSize, int length)
{
    state.beginFile();
    const qint64 off = qint64(sector) * sectorSize;
    const FileType type = fileTypeOf(typeByte);
    const QString stem = QStringLiteral("sector_%1").arg(sectorNumber(sector));
    const QString name = stem + type.extension;
    const QByteArray &data = state.sectors.bytes();
    const QString hex = headerHex(data, off, headerSize, false);
    const int word1 = wordAt(data, off + 1);
    const int word3 = wordAt(data, off + 3);
    const int word5 = wordAt(data, off + 5);

    const HeaderInfo header = typeByte == 0
        ? describeBasic(name, hex, word1, length, word5, "vars   : ")
        : describeHeader5(name, type.word, hex, word3, length);
    const QString file = state.out.claim(state.folder, stem, type.extension, {QStringLiteral(".inf"), QStringLiteral(".tap")});
    const QString path = state.folder + file;
    summarise(state, sector, int((headerSize + length + sectorSize - 1) / sectorSize), file, type.word, length,
              headerSize, typeByte == 0 ? word1 : word3);
    state.out.writeFile(path + QStringLiteral(".inf"), header.text.toUtf8());
    const QByteArray body = data.mid(int(off) + headerSize, length);
    state.out.writeFile(path, body);
    libtap tap;
    addToArchive(state, tap, QStringLiteral("sector%1").arg(sectorNumber(sector)), body, typeByte, header);
    state.out.writeTap(tap, path + QStringLiteral(".tap"));
}

} // namespace

int recoverLostBlocks(RescueState &state)
{
    int found = 0;
    int i = firstScannedSector;
    const QByteArray &data = state.sectors.bytes();
    while (i < state.sectors.count()) {
        if (!state.isUnclaimed(i) || isBlank(state.sectors.sectorData(i))) {
            ++i;
            continue;
        }
        const QByteArray sector = state.sectors.sectorBytes(i);
        const qint64 off = qint64(i) * sectorSize;
        const int typeByte = static_cast<quint8>(sector.at(0));
        int headerSize = 0;
        int length = 0;
        if (typeByte == 0) {
            headerSize = 7;
            length = wordAt(data, off + 3);
        } else if (typeByte <= 3) {
            headerSize = 5;
            length = wordAt(data, off + 1);
        }
        if (off + headerSize + length > data.size())
            length = 0;

        if (length == 0) {
            saveSingleSector(state, i, sector);
            ++i;
            continue;
        }
        saveLostFile(state, i, typeByte, headerSize, length);
        ++found;
        i += (headerSize + length + sectorSize - 1) / sectorSize;
    }
    state.endFiles();
    state.log(LogEntry::info().text(QStringLiteral("Found %1 lost block(s)").arg(found)));
    return found;
}
