#include "scpread.h"

namespace {

constexpr int headerSize = 0x10;
constexpr int tableEnd = headerSize + 4 * scpTableEntries;
constexpr int revolutionEntrySize = 12;

quint32 le32(const QByteArray &bytes, qint64 at)
{
    // Callers check that the four bytes lie inside the file.
    const auto *p = reinterpret_cast<const uchar *>(bytes.constData() + at);
    return quint32(p[0]) | quint32(p[1]) << 8 | quint32(p[2]) << 16 | quint32(p[3]) << 24;
}

ScpImage refused(ScpImage image, ScpProblem problem, const QString &reason)
{
    image.problem = problem;
    image.reason = reason;
    image.tracks.clear();
    return image;
}

} // namespace

bool looksLikeScp(const QByteArray &bytes)
{
    return bytes.startsWith(scpSignature);
}

ScpImage readScp(const QByteArray &bytes)
{
    ScpImage image;
    image.bytes = bytes;
    const qint64 size = bytes.size();
    if (!looksLikeScp(bytes))
        return refused(image, ScpProblem::NotScp, QStringLiteral("no SCP signature"));
    if (size < tableEnd)
        return refused(image, ScpProblem::Truncated,
                       QStringLiteral("the header and track table end at byte %1, the file has %2 bytes")
                           .arg(tableEnd)
                           .arg(size));
    const auto byte = [&bytes](int at) { return quint8(bytes.at(at)); };
    image.revolutions = byte(5);
    const int flags = byte(8);
    const int cellWidth = byte(9);
    image.heads = byte(10);
    image.tickNs = 25.0 * (byte(11) + 1);
    if (image.revolutions == 0)
        return refused(image, ScpProblem::NoRevolutions, QStringLiteral("the header gives 0 revolutions"));
    if (cellWidth != 0 && cellWidth != 16)
        return refused(image, ScpProblem::UnsupportedCells,
                       QStringLiteral("flux cells of %1 bits; only 16-bit cells are read").arg(cellWidth));
    if (flags & 0x40)
        return refused(image, ScpProblem::ExtendedHeader, QStringLiteral("the extended header layout is not read"));
    if (image.heads > 2)
        return refused(image, ScpProblem::UnsupportedHeads, QStringLiteral("heads value %1").arg(image.heads));

    // Which entries hold a track: a one-sided image keeps every other entry
    // (the cylinder times two, plus its head) or, written densely, one entry
    // per cylinder.
    QVector<int> used;
    bool otherParity = false;
    for (int i = 0; i < scpTableEntries; ++i) {
        if (le32(bytes, headerSize + 4 * i) == 0)
            continue;
        used << i;
        otherParity = otherParity || (i % 2) != (image.heads == 2 ? 1 : 0);
    }
    const bool dense = image.heads != 0 && otherParity;

    const qint64 revolutionTable = qint64(revolutionEntrySize) * image.revolutions;
    // Revolutions of one file never share flux: more cells than the file
    // holds would only make the decoding run long.
    qint64 claimed = 0;
    for (const int i : used) {
        const qint64 at = le32(bytes, headerSize + 4 * i);
        if (at < tableEnd || at + 4 + revolutionTable > size)
            return refused(image, ScpProblem::Truncated,
                           QStringLiteral("the header of track entry %1 at byte %2 runs past the end of the file "
                                          "(%3 bytes)")
                               .arg(i)
                               .arg(at)
                               .arg(size));
        if (!bytes.mid(int(at), 3).startsWith("TRK"))
            return refused(image, ScpProblem::BadTrackHeader,
                           QStringLiteral("track entry %1 points to byte %2, where no track header is").arg(i).arg(at));
        ScpTrack track;
        if (image.heads == 0) {
            track.cylinder = i / 2;
            track.side = i % 2;
        } else {
            track.cylinder = dense ? i : i / 2;
            track.side = image.heads - 1;
        }
        for (int r = 0; r < image.revolutions; ++r) {
            const qint64 entry = at + 4 + qint64(revolutionEntrySize) * r;
            ScpRevolution rev;
            rev.indexTicks = le32(bytes, entry);
            rev.cells = le32(bytes, entry + 4);
            rev.dataOffset = at + le32(bytes, entry + 8);
            if (rev.dataOffset + 2 * rev.cells > size)
                return refused(image, ScpProblem::Truncated,
                               QStringLiteral("the flux of track entry %1, revolution %2 ends at byte %3, past the "
                                              "end of the file (%4 bytes)")
                                   .arg(i)
                                   .arg(r + 1)
                                   .arg(rev.dataOffset + 2 * rev.cells)
                                   .arg(size));
            claimed += 2 * rev.cells;
            if (claimed > size)
                return refused(image, ScpProblem::OverlappingFlux,
                               QStringLiteral("the revolutions claim more flux (%1 bytes by track entry %2) than the "
                                              "file holds (%3 bytes)")
                                   .arg(claimed)
                                   .arg(i)
                                   .arg(size));
            track.revolutions << rev;
        }
        image.tracks << track;
    }
    if (image.tracks.isEmpty())
        return refused(image, ScpProblem::NoTracks, QStringLiteral("no track holds flux"));

    quint32 sum = 0;
    const auto *data = reinterpret_cast<const uchar *>(bytes.constData());
    for (qint64 i = headerSize; i < size; ++i)
        sum += data[i];
    const quint32 stored = le32(bytes, 0x0C);
    if (stored != 0 && stored != sum)
        image.warning = QStringLiteral("the checksum of the file does not match (stored %1, computed %2)")
                            .arg(stored, 8, 16, QLatin1Char('0'))
                            .arg(sum, 8, 16, QLatin1Char('0'));
    image.problem = ScpProblem::None;
    return image;
}

void scpIntervals(const ScpImage &image, const ScpRevolution &revolution, std::vector<quint32> &out)
{
    out.clear();
    // readScp checked that the cells lie inside the file.
    const auto *p = reinterpret_cast<const uchar *>(image.bytes.constData() + revolution.dataOffset);
    out.reserve(size_t(revolution.cells));
    quint64 carry = 0;
    for (qint64 c = 0; c < revolution.cells; ++c) {
        const quint32 cell = quint32(p[2 * c]) << 8 | p[2 * c + 1];
        if (cell == 0) {
            carry += 0x10000;
            continue;
        }
        const quint64 ticks = carry + cell;
        out.push_back(ticks > 0xFFFFFFFFu ? 0xFFFFFFFFu : quint32(ticks));
        carry = 0;
    }
}
