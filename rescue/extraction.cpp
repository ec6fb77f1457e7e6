#include "extraction.h"

#include "disk/geometry.h"
#include "filetypes.h"
#include "tap/libtap.h"

using geometry::sectorSize;

namespace {

void assemble(RescueState &state, TosFile &file)
{
    const quint32 first = file.sectors.isEmpty() ? 0 : file.sectors.first();
    const SectorOwner owner{SectorOwner::Kind::File, state.ownerNames.size()};
    state.ownerNames.append(file.catalogName);
    file.data.reserve(file.sectors.size() * sectorSize);
    for (quint32 s : file.sectors) {
        // A deleted file's block that another file has claimed holds that
        // file's bytes now: it is not the deleted file's to take.
        const bool taken = !state.sectors.claim(s, owner) && file.origin != FileOrigin::Catalog;
        file.reused += taken && state.sectors.contains(s);
        if (state.sectors.isRead(s) && !taken) {
            const char *sector = state.sectors.sectorData(int(s));
            file.data.append(sector, sectorSize);
            if (isFilledWith(sector, sectorSize, '\0'))
                ++file.falsePositives;
            file.flaggedCount += state.sectors.state(s) == SectorState::Suspect;
            if (state.isSuspect(s)) {
                ++file.suspectCount;
                file.suspectList += QStringLiteral("%1,").arg(s - first);
            }
        } else {
            file.data.append(QByteArray(sectorSize, '\0'));
            ++file.badCount;
            file.badList += QStringLiteral("%1,").arg(s - first);
        }
    }
}

void logFile(const RescueState &state, const TosFile &file)
{
    if (file.reused > 0)
        state.log(LogEntry::warning().text(QStringLiteral("deleted file %1: %2 sector(s) now belong to other files")
                                               .arg(file.catalogName)
                                               .arg(file.reused)));
    const QString falsePositives = file.falsePositives == 0
        ? QString()
        : QStringLiteral(" %1 possible false-positive(s) sector(s)").arg(file.falsePositives);
    if (file.suspectCount > 0) {
        state.log(LogEntry::warning().text(QStringLiteral("file %1 has %2 bad sector(s) %3 suspect sector(s)%4")
                                               .arg(file.catalogName, QString::number(file.badCount),
                                                    QString::number(file.suspectCount), falsePositives)));
        return;
    }
    if (file.badCount > 0)
        state.log(LogEntry::warning().text(QStringLiteral("file %1 has %2 bad sector(s) %3")
                                               .arg(file.catalogName, QString::number(file.badCount), falsePositives)));
    else
        state.log(LogEntry::info().text(QStringLiteral("file %1 %2").arg(file.catalogName, falsePositives)));
}

} // namespace

void addToArchive(RescueState &state, libtap &tap, const QString &name, const QByteArray &body, int typeByte,
                  const HeaderInfo &header)
{
    // Programs and code go to the tape; a body longer than a tape block is
    // left out of it, and the log says so.
    const bool tapeType = typeByte == 0 || typeByte == 3;
    if (tap.addFile(name, body, typeByte, header.param1, header.param2) < 0 && tapeType)
        state.log(LogEntry::warning().text(
            QStringLiteral("%1 left out of the tape archive: %2 bytes are too long for a tape block")
                .arg(name)
                .arg(body.size())));
}

bool isFilledWith(const char *bytes, int size, char value)
{
    for (int i = 0; i < size; ++i)
        if (bytes[i] != value)
            return false;
    return true;
}

int wordAt(const QByteArray &bytes, qint64 pos)
{
    auto at = [&bytes](qint64 p) -> int {
        return p >= 0 && p < bytes.size() ? static_cast<quint8>(bytes.at(int(p))) : 0;
    };
    return at(pos) | (at(pos + 1) << 8);
}

QString headerHex(const QByteArray &bytes, qint64 pos, int count, bool clip)
{
    QByteArray header;
    for (int i = 0; i < count; ++i) {
        const qint64 p = pos + i;
        if (p < bytes.size())
            header.append(bytes.at(int(p)));
        else if (!clip)
            header.append('\0');
    }
    return QString::fromLatin1(header.toHex());
}

HeaderInfo describeBasic(const QString &name, const QString &hex, int start, int length, int variables,
                         const char *variablesLabel)
{
    const QString text = QStringLiteral("File   : %1\ntype   : basic\nheader : %2\nstart  : %3\nlen    : %4\n")
                             .arg(name, hex, QString::number(start), QString::number(length))
                         + QLatin1String(variablesLabel) + QString::number(variables);
    return {text, start, variables};
}

HeaderInfo describeHeader5(const QString &name, const QString &typeWord, const QString &hex, int start,
                           int length)
{
    const QString text = QStringLiteral("File   : %1\ntype   : %2\nheader : %3\nstart  : %4\nlen    : %5")
                             .arg(name, typeWord, hex, QString::number(start), QString::number(length));
    return {text, start, -1};
}

Verdict verdictOf(int bad, int suspect, int flagged, bool doubtful, bool salvage)
{
    if (bad > 0)
        return Verdict::Damaged;
    if (doubtful || (salvage && suspect > 0))
        return Verdict::Suspect;
    if (flagged > 0)
        return Verdict::Unverified;
    return Verdict::Complete;
}

Verdict extractFile(RescueState &state, TosFile &file, libtap &tap)
{
    const bool wanted = state.beginFile();
    assemble(state, file);
    logFile(state, file);

    file.typeByte = file.data.isEmpty() ? 0 : static_cast<quint8>(file.data.at(0));
    const FileType type = fileTypeOf(file.typeByte);
    // The catalog's own name is data: the header and the tape show it as it
    // is; only the path on disk is mended.
    const QString shownName = file.catalogName + type.extension;
    const int word1 = wordAt(file.data, 1);
    const int word3 = wordAt(file.data, 3);
    const int word5 = wordAt(file.data, 5);

    if (file.length == word1 + 5)
        file.headerSize = 5;
    else
        file.headerSize = type.headerSize;

    const QStringList companions = file.headerSize > 0 ? QStringList{QStringLiteral(".inf")} : QStringList();
    const QString outputName = state.out.claim(state.folder, file.name, type.extension, companions);

    HeaderInfo header{QString(), 0, 0};
    if (file.headerSize > 0) {
        const QString hex = headerHex(file.data, 0, file.headerSize, true);
        header = file.headerSize == 7
            ? describeBasic(shownName, hex, word1, word3, word5, "varaddr: ")
            : describeHeader5(shownName, type.word, hex, word3, word1);
        if (!file.badList.isEmpty())
            header.text += QStringLiteral("\nbad sec : ") + file.badList;
        if (!file.suspectList.isEmpty())
            header.text += QStringLiteral("\nsuspect : ") + file.suspectList;
        state.out.writeFile(state.folder + outputName + QStringLiteral(".inf"), header.text.toUtf8());
    }

    // A length its blocks cannot hold comes from a damaged entry: only what
    // the blocks hold is written.
    if (file.length > file.data.size()) {
        state.log(LogEntry::warning().text(QStringLiteral("file %1: its catalog length %2 is more than its blocks hold; "
                                                          "cut to %3 bytes")
                                               .arg(file.catalogName)
                                               .arg(file.length)
                                               .arg(file.data.size())));
        file.length = file.data.size();
    }
    const qint64 bodyLength = qint64(file.length) - file.headerSize;
    const QByteArray body = bodyLength < 0 ? file.data.mid(file.headerSize)
                                           : file.data.mid(file.headerSize, int(bodyLength));
    state.out.writeFile(state.folder + outputName, body);
    if (wanted)
        addToArchive(state, tap, file.catalogName, body, file.typeByte, header);
    else
        state.log(LogEntry::info().text(QStringLiteral("file %1 not written: left out by choice").arg(file.catalogName)));
    const Verdict verdict
        = verdictOf(file.badCount, file.suspectCount, file.flaggedCount, !file.doubt.isEmpty(), state.salvage);
    if (state.files) {
        FileSummary summary;
        summary.name = file.catalogName;
        // A deleted file lies in the image folder's "deleted" folder.
        summary.file = file.origin == FileOrigin::Deleted ? QStringLiteral("deleted/") + outputName : outputName;
        summary.type = type.word;
        summary.length = file.length;
        summary.bodyLength = body.size();
        summary.bad = file.badCount;
        summary.suspect = file.suspectCount;
        summary.zero = file.falsePositives;
        summary.verdict = verdict;
        summary.origin = file.origin;
        summary.headerSize = file.headerSize;
        if (file.headerSize > 0)
            summary.start = file.headerSize == 7 ? word1 : word3;
        summary.sectors.reserve(file.sectors.size());
        for (quint32 s : file.sectors)
            summary.sectors.append(int(s));
        summary.leftOut = !wanted;
        state.files->append(summary);
    }
    return verdict;
}
