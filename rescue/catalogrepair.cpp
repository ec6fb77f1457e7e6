#include "catalogrepair.h"

#include <algorithm>

#include "disk/geometry.h"
#include "extraction.h"
#include "filetypes.h"
#include "imagelist/imagerow.h"
#include "tap/libtap.h"

using geometry::sectorSize;

namespace {

constexpr char formatted = char(0xE5);
// Program lines are numbered up to 9999; an autostart of 32768 or more
// means none.
constexpr int lastLine = 9999;
constexpr int noAutostart = 0x8000;
constexpr int romSize = 0x4000;
// A run of data without a header ends in a block whose last bytes (at least
// this many) are the formatting filler: the end of a file.
constexpr int fillerTail = 2;

bool isBlankSector(const char *sector)
{
    const char first = sector[0];
    return (first == '\0' || first == formatted) && isFilledWith(sector, sectorSize, first);
}

// Bytes from the end of the sector that equal value.
int tailOf(const char *sector, char value)
{
    int n = 0;
    while (n < sectorSize && sector[sectorSize - 1 - n] == value)
        ++n;
    return n;
}

int fillerBytes(const RescueState &state, int sector)
{
    const char *bytes = state.sectors.sectorData(sector);
    return int(std::count(bytes, bytes + sectorSize, formatted));
}

bool cleanFiller(const RescueState &state, int sector)
{
    return isClean(state.sectors.state(sector)) && fillerBytes(state, sector) == sectorSize;
}

// The allocation blocks of the data area as the layout numbers them, and
// what each holds now.
class BlockMap
{
public:
    BlockMap(const RescueState &state, const CatalogLayout &layout)
        : state(state)
        , perBlock(layout.sectorsPerBlock())
        , base(layout.firstBlockSector())
    {
        const int count = state.sectors.count();
        blockCount = count > base ? (count - base + perBlock - 1) / perBlock : 0;
        // Blocks before the end of the catalog are the system's and the
        // catalog's own.
        const int catalogEnd = layout.catalogFirstSector() + geometry::catalogSectors;
        while (firstData < blockCount && firstSector(firstData) < catalogEnd)
            ++firstData;
    }

    int count() const { return blockCount; }
    int first() const { return firstData; }
    int firstSector(int block) const { return base + block * perBlock; }
    int sectors() const { return perBlock; }
    int number(int sector) const { return (sector - base) / perBlock; }

    bool owned(int block) const
    {
        for (int s = firstSector(block); s < firstSector(block) + perBlock; ++s)
            if (state.sectors.owner(s).kind != SectorOwner::Kind::None)
                return true;
        return false;
    }
    // Nothing to save: every sector missing, empty or formatted.
    bool blank(int block) const
    {
        for (int s = firstSector(block); s < firstSector(block) + perBlock; ++s)
            if (state.sectors.isRead(s) && !isBlankSector(state.sectors.sectorData(s)))
                return false;
        return true;
    }
    bool free(int block) const { return !owned(block) && !blank(block); }
    // The block before this one is free and does not end a file: a header
    // here lies inside a run of data without one.
    bool continuesRun(int block) const
    {
        return block > firstData && free(block - 1) && !endsInFiller(block - 1);
    }
    // Every sector read cleanly as formatting filler: no file's block.
    bool formattedClean(int block) const
    {
        for (int s = firstSector(block); s < firstSector(block) + perBlock; ++s)
            if (s >= state.sectors.count() || !cleanFiller(state, s))
                return false;
        return true;
    }
    // Keeps block out of every chain: another file's, known before the
    // chains are put together.
    void reserve(int block)
    {
        if (!reserved.contains(block))
            reserved.append(block);
    }
    // The last sector of the block that was read ends in formatting filler
    // (a sector not read cannot say otherwise).
    bool endsInFiller(int block) const
    {
        for (int s = qMin(firstSector(block) + perBlock, state.sectors.count()) - 1; s >= firstSector(block); --s)
            if (state.sectors.isRead(s))
                return tailOf(state.sectors.sectorData(s), formatted) >= fillerTail;
        return false;
    }

    // A header at the block's start that a file really begins with: one
    // whose fields say so on their own (see SpectrumHeader::strong), or whose
    // end confirms it: after the file its last block holds filler, or the
    // next block no file claims is empty or begins another file. The file
    // takes the blocks no file claims up to its length, written first fit
    // into the gaps other files left: it skips blocks that are claimed or
    // empty, blocks of another file that begins after it (its end proven)
    // or of data a deleted entry names, and a run of free blocks that ends
    // a file (its last block ends in filler) while it still needs more;
    // where that leaves its end unproven, a chain that leaves such runs to
    // the files they end and proves it is taken (see takeFirstFit). A file
    // that skipped free blocks is confirmed by its end (see below).
    // chain: those blocks, when asked.
    // nested: a look-ahead from another file's blocks, which takes free
    // blocks as they come (one level deep).
    bool fileStart(int block, SpectrumHeader &header, QVector<int> *chain = nullptr, bool nested = false) const
    {
        const int sector = firstSector(block);
        if (!state.sectors.isRead(sector))
            return false;
        const qint64 room = qint64(state.sectors.count() - sector) * sectorSize;
        if (!plausibleHeader(state.sectors.bytes(), qint64(sector) * sectorSize, room, header))
            return false;
        const int blockBytes = perBlock * sectorSize;
        const int needed = (header.total() + blockBytes - 1) / blockBytes;
        const int used = header.total() - (needed - 1) * blockBytes;
        bool skippedFree = false;
        const QVector<int> taken = nested ? takeInOrder(block, needed) : takeFirstFit(block, needed, used, skippedFree);
        if (chain)
            *chain = taken;
        if (taken.size() < needed)
            return false;
        // A file's blocks before its last never end in formatting filler:
        // a length that runs past such a block runs past a file's end.
        for (int i = 0; i + 1 < taken.size(); ++i)
            if (endsInFiller(taken.at(i)))
                return false;
        // A file that skipped free blocks: its exact end confirms it; so does
        // a header strong on its own when the last block holds other bytes
        // after the file (a block taken from a deleted file keeps that file's
        // bytes there), but not filler that begins elsewhere.
        if (skippedFree && endProven(taken, header))
            return true;
        if (skippedFree && (!header.strong || fillerAfter(taken.last(), used)))
            return false;
        // Looked ahead from another file's blocks, a header is another file
        // only when its end is proven: data (number arrays above all) holds
        // header look-alikes.
        if (nested)
            return endProven(taken, header);
        if (header.strong)
            return true;
        if (used < blockBytes && fillerAfter(taken.last(), used))
            return true;
        int next = taken.last() + 1;
        while (next < blockCount && owned(next))
            ++next;
        return next >= blockCount || blank(next) || plausibleStart(next);
    }

    // The file's chain ends where its header says: its last byte read
    // cleanly in the last block, filler after it. Otherwise the header may
    // be a look-alike inside other data, or right while the blocks after its
    // first are another file's.
    bool endProven(const QVector<int> &chain, const SpectrumHeader &header) const
    {
        const int blockBytes = perBlock * sectorSize;
        const qint64 used = header.total() - qint64(chain.size() - 1) * blockBytes;
        return !chain.isEmpty() && used > 0 && used < blockBytes && endsExactlyAt(chain.last(), int(used));
    }

private:
    // The blocks no file claims, in order from block on, needed of them.
    QVector<int> takeInOrder(int block, int needed) const
    {
        QVector<int> taken{block};
        for (int next = block + 1; taken.size() < needed && next < blockCount; ++next)
            if (!owned(next) && !reserved.contains(next))
                taken.append(next);
        return taken;
    }

    // A stretch of free blocks a chain may take from, in order: it ends at
    // a block that ends in filler (a file's end) or before a claimed block
    // or another file's.
    struct Stretch
    {
        int first;
        int last;
        bool fillerEnd;
        bool afterOther; // another lost file lies between the chain's start and it
    };

    // The stretches after block, as many as a chain of needed blocks can
    // use: those that end a file may be left out whole.
    QVector<Stretch> stretchesAfter(int block, int needed) const
    {
        // Each free block is looked ahead from at most once; the bounds keep
        // a disk full of header-like blocks from costing the square.
        int lookAheads = 256;
        QVector<Stretch> stretches;
        QVector<int> others; // blocks of files that begin after this one
        bool afterOther = false;
        // Enough stretches: the chain can be whole without a block of those
        // that end a file. The last one may still grow into one.
        int usable = 1;
        auto closeBefore = [&stretches, &usable](int next) {
            if (!stretches.isEmpty() && !stretches.last().fillerEnd && stretches.last().last == next - 1)
                usable += stretches.last().last - stretches.last().first + 1;
        };
        for (int next = block + 1; next < blockCount && usable < needed && stretches.size() < 64; ++next) {
            if (owned(next) || others.contains(next) || reserved.contains(next) || formattedClean(next)) {
                closeBefore(next);
                continue;
            }
            SpectrumHeader other;
            QVector<int> otherChain;
            if (lookAheads-- <= 0)
                break;
            if (fileStart(next, other, &otherChain, true)) {
                closeBefore(next);
                others += otherChain;
                afterOther = true;
                continue;
            }
            if (stretches.isEmpty() || stretches.last().last != next - 1 || stretches.last().fillerEnd)
                stretches.append({next, next, false, afterOther});
            stretches.last().last = next;
            stretches.last().fillerEnd = endsInFiller(next);
        }
        return stretches;
    }

    // The blocks a file written first fit takes from block on, needed of
    // them, lastUsed bytes of the last. A stretch that ends another file
    // (in filler, before this one could end) is left to it. Where a chain
    // that takes the first free blocks ends unproven, the stretches that
    // end files are given, whole or in part, to those files, as long as
    // that proves the chain's end.
    QVector<int> takeFirstFit(int block, int needed, int lastUsed, bool &skippedFree) const
    {
        const QVector<Stretch> stretches = stretchesAfter(block, needed);
        ChainSearch search(stretches, needed, lastUsed);
        QVector<int> taken{block};
        chainFrom(search, 0, taken, false);
        skippedFree = search.fallbackSkipped;
        if (search.proven) {
            skippedFree = search.provenSkipped;
            return search.provenChain;
        }
        return search.fallback;
    }

    struct ChainSearch
    {
        ChainSearch(const QVector<Stretch> &stretches, int needed, int lastUsed)
            : stretches(stretches)
            , needed(needed)
            , lastUsed(lastUsed)
        {
        }
        const QVector<Stretch> &stretches;
        int needed;
        int lastUsed;
        int tries = 64;
        bool proven = false;
        QVector<int> provenChain;
        bool provenSkipped = false;
        bool haveFallback = false;
        QVector<int> fallback; // the first chain: the first free blocks
        bool fallbackSkipped = false;
    };

    void endChain(ChainSearch &search, const QVector<int> &taken, bool skipped) const
    {
        --search.tries;
        if (!search.haveFallback) {
            search.haveFallback = true;
            search.fallback = taken;
            search.fallbackSkipped = skipped;
        }
        if (int(taken.size()) == search.needed && search.lastUsed < perBlock * sectorSize
            && endsExactlyAt(taken.last(), search.lastUsed)) {
            search.proven = true;
            search.provenChain = taken;
            search.provenSkipped = skipped;
        }
    }

    // Takes k blocks of stretch i and goes on from the next stretch.
    void takeFrom(ChainSearch &search, int i, int k, QVector<int> &taken, bool skipped) const
    {
        const Stretch &stretch = search.stretches.at(i);
        const int size = taken.size();
        for (int b = stretch.first; b < stretch.first + k; ++b)
            taken.append(b);
        // Free blocks passed over: another lost file's before this stretch,
        // or the rest of the stretch while the chain goes on.
        const bool more = int(taken.size()) < search.needed;
        const bool passes = (k > 0 && stretch.afterOther) || (more && k < stretch.last - stretch.first + 1);
        chainFrom(search, i + 1, taken, skipped || passes);
        taken.resize(size);
    }

    void chainFrom(ChainSearch &search, int i, QVector<int> &taken, bool skipped) const
    {
        if (search.proven || search.tries <= 0)
            return;
        const int wanted = search.needed - taken.size();
        if (wanted == 0 || i >= search.stretches.size()) {
            endChain(search, taken, skipped);
            return;
        }
        const Stretch &stretch = search.stretches.at(i);
        const int length = stretch.last - stretch.first + 1;
        if (!stretch.fillerEnd) {
            takeFrom(search, i, qMin(wanted, length), taken, skipped);
            return;
        }
        // The file may end in the stretch's last block, where its filler
        // begins; a stretch longer than what it still needs, it leaves
        // after its last block; one that ends another file it leaves alone,
        // and so one that, after a gap, begins with a header whose end
        // cannot be proven, or with a sector not read that may hold one.
        const bool endsHere = length == wanted && !endsBefore(stretch.last, search.lastUsed);
        const bool mayBeginFile = stretch.first != taken.last() + 1
            && (!state.sectors.isRead(firstSector(stretch.first)) || plausibleStart(stretch.first));
        const int first = endsHere ? length : (length > wanted && !mayBeginFile ? wanted : 0);
        takeFrom(search, i, first, taken, skipped);
        for (int k = qMin(wanted, length - 1); k >= 0; --k)
            if (k != first)
                takeFrom(search, i, k, taken, skipped);
    }

    // The byte at offset of the block, read cleanly, is (or is not) the
    // formatting filler.
    bool cleanByteIs(int block, int offset, bool filler) const
    {
        const int sector = firstSector(block) + offset / sectorSize;
        return sector < state.sectors.count() && isClean(state.sectors.state(sector))
            && (state.sectors.bytes().at(sector * sectorSize + offset % sectorSize) == formatted) == filler;
    }
    // The block's data ends well before offset: the bytes before it, read
    // cleanly, are filler (a file may end in a filler byte or two).
    bool endsBefore(int block, int offset) const
    {
        constexpr int margin = 16;
        for (int i = qMax(0, offset - margin); i < offset; ++i)
            if (!cleanByteIs(block, i, true))
                return false;
        return offset > 0;
    }
    // The file's last byte lies at used - 1 of the block: read cleanly, not
    // filler, and only filler after it.
    bool endsExactlyAt(int block, int used) const
    {
        return cleanByteIs(block, used - 1, false) && fillerAfter(block, used);
    }

    bool plausibleStart(int block) const
    {
        const int sector = firstSector(block);
        SpectrumHeader header;
        return state.sectors.isRead(sector)
            && plausibleHeader(state.sectors.bytes(), qint64(sector) * sectorSize,
                               qint64(state.sectors.count() - sector) * sectorSize, header);
    }
    // The block's bytes from offset on are filler, where sectors read
    // cleanly can say.
    bool fillerAfter(int block, int offset) const
    {
        const QByteArray &bytes = state.sectors.bytes();
        for (int i = offset; i < perBlock * sectorSize; ++i) {
            const int sector = firstSector(block) + i / sectorSize;
            if (!isClean(state.sectors.state(sector)))
                continue;
            const char c = bytes.at(sector * sectorSize + i % sectorSize);
            if (c != formatted && c != '\0')
                return false;
        }
        return true;
    }

    const RescueState &state;
    int perBlock;
    int base;
    int blockCount = 0;
    int firstData = 0;
    QVector<int> reserved; // blocks of a file no chain may take
};

QString sectorNumber(int sector)
{
    return QStringLiteral("%1").arg(sector, 4, 16, QLatin1Char('0'));
}

// One piece of lost data: its sectors in order, and what is known of it.
struct LostPiece
{
    QVector<int> sectors;
    QString name;       // from a deleted entry, or empty
    SpectrumHeader header;
    bool headered = false;
    bool jumped = false; // its blocks are not one run
    bool cut = false;    // fewer blocks than its header's length needs
    int length = -1;     // headerless: the length a deleted entry gives
    bool endGuessed = false; // its end is not proven by filler after it
};

// The piece's sectors that hold its data; the rest of its last block is not
// the file's, as a catalog file owns no sector past its length.
void claimPiece(RescueState &state, const QVector<int> &sectors, const QString &owner)
{
    const SectorOwner mark{SectorOwner::Kind::File, state.ownerNames.size()};
    state.ownerNames.append(owner);
    for (int s : sectors)
        state.sectors.claim(s, mark);
}

// Cuts the formatting filler after the data's last byte. In a last sector
// not read cleanly, a wrong byte or three among filler are damaged filler,
// not the file's: random data holds no run of four filler bytes by chance.
void trimFiller(const RescueState &state, const QVector<int> &sectors, QByteArray &body)
{
    auto chopFiller = [&body]() {
        while (body.endsWith(formatted))
            body.chop(1);
    };
    chopFiller();
    if (body.isEmpty() || isClean(state.sectors.state(sectors.value((body.size() - 1) / sectorSize))))
        return;
    constexpr int damagedBytes = 3;
    constexpr int fillerRun = 4;
    const int sectorStart = (body.size() - 1) / sectorSize * sectorSize;
    int end = body.size();
    for (;;) {
        int cluster = end;
        while (cluster > sectorStart && body.at(cluster - 1) != formatted)
            --cluster;
        int filler = cluster;
        while (filler > sectorStart && body.at(filler - 1) == formatted)
            --filler;
        if (end - cluster > damagedBytes || cluster - filler < fillerRun)
            break;
        end = filler;
    }
    body.truncate(end);
    chopFiller();
}

// Claims and writes a lost piece: raw body, for a headered one its ".inf",
// and its own tape archive; logs it with its verdict. bytesWanted: how much
// of its sectors the piece's data fills (the rest is its last block's tail).
void savePiece(RescueState &state, const LostPiece &piece, int bytesWanted)
{
    state.beginFile();
    const int first = piece.sectors.value(0);
    const int dataSectors = qMin(piece.sectors.size(), (bytesWanted + sectorSize - 1) / sectorSize);
    QByteArray data;
    int bad = 0;
    int suspect = 0;
    int flagged = 0;
    int zero = 0;
    for (int i = 0; i < piece.sectors.size(); ++i) {
        const int s = piece.sectors.at(i);
        const bool read = state.sectors.isRead(s);
        data.append(read ? state.sectors.sectorData(s) : QByteArray(sectorSize, '\0').constData(), sectorSize);
        if (i >= dataSectors)
            continue;
        bad += !read;
        zero += read && isFilledWith(state.sectors.sectorData(s), sectorSize, '\0');
        suspect += state.isSuspect(s);
        flagged += state.sectors.state(s) == SectorState::Suspect;
    }
    const FileType type = fileTypeOf(piece.headered ? piece.header.typeByte : 4);
    const QString stem = piece.name.isEmpty() ? QStringLiteral("sector_%1").arg(sectorNumber(first))
                                              : safeFileName(piece.name);
    const QString folder = piece.name.isEmpty() ? state.folder : state.folder + QStringLiteral("lost/");
    if (!piece.name.isEmpty())
        state.out.makeFolder(folder);
    const QString extension = piece.headered ? type.extension : QStringLiteral(".dat");
    const QStringList companions = piece.headered ? QStringList{QStringLiteral(".inf"), QStringLiteral(".tap")}
                                                  : QStringList{QStringLiteral(".tap")};
    const QString file = state.out.claim(folder, stem, extension, companions);
    const QString tapeName = piece.name.isEmpty() ? QStringLiteral("sector%1").arg(sectorNumber(first)) : piece.name;
    // The sectors' owner is the name the sector report lists the piece by.
    const QVector<int> dataSectorList = piece.sectors.mid(0, dataSectors);
    claimPiece(state, dataSectorList, piece.name.isEmpty() ? file : piece.name);

    QByteArray body;
    libtap tap;
    if (piece.headered) {
        const SpectrumHeader &h = piece.header;
        const QString hex = headerHex(data, 0, h.size, false);
        const QString shown = (piece.name.isEmpty() ? stem : piece.name) + extension;
        HeaderInfo info = h.size == 7 ? describeBasic(shown, hex, h.word1, h.length, h.word5, "vars   : ")
                                      : describeHeader5(shown, type.word, hex, h.word3, h.length);
        body = data.mid(h.size, h.length);
        state.out.writeFile(folder + file + QStringLiteral(".inf"), info.text.toUtf8());
        state.out.writeFile(folder + file, body);
        addToArchive(state, tap, tapeName, body, h.typeByte, info);
    } else {
        body = data;
        // The formatting filler after the last file's byte is not the file's.
        if (piece.length >= 0)
            body.truncate(piece.length);
        if (piece.length < 0)
            trimFiller(state, piece.sectors, body);
        state.out.writeFile(folder + file, body);
        tap.addCode(tapeName, body, 0x8000);
    }
    state.out.writeTap(tap, folder + file + QStringLiteral(".tap"));

    Verdict verdict = verdictOf(bad, suspect, flagged, piece.jumped || piece.endGuessed || !piece.name.isEmpty(),
                                state.salvage);
    if (piece.cut)
        verdict = Verdict::Damaged;
    const QString shownPath = (piece.name.isEmpty() ? QString() : QStringLiteral("lost/")) + file;
    QString line = piece.headered
        ? QStringLiteral("lost file %1 put together from %2 sector(s)").arg(shownPath).arg(piece.sectors.size())
        : QStringLiteral("lost data %1: %2 sector(s)").arg(shownPath).arg(piece.sectors.size());
    if (!piece.name.isEmpty())
        line += QStringLiteral(", named after a deleted entry");
    if (piece.jumped)
        line += QStringLiteral(", across blocks other files hold");
    if (piece.endGuessed && !piece.cut)
        line += QStringLiteral(", its end not proven");
    if (piece.cut)
        line += piece.headered ? QStringLiteral(", cut short: its header asks for more")
                               : QStringLiteral(", cut short: its entry asks for more");
    if (bad > 0)
        line += QStringLiteral(", %1 bad sector(s)").arg(bad);
    line += QStringLiteral(": %1").arg(verdictName(verdict));
    state.log((verdict == Verdict::Complete ? LogEntry::info() : LogEntry::warning()).text(line));

    if (state.files) {
        FileSummary summary;
        summary.name = piece.name.isEmpty() ? file : piece.name;
        summary.file = shownPath;
        summary.type = piece.headered ? type.word : QStringLiteral("data");
        summary.length = body.size();
        summary.bodyLength = body.size();
        summary.bad = bad;
        summary.suspect = suspect;
        summary.zero = zero;
        summary.verdict = verdict;
        summary.origin = FileOrigin::Lost;
        summary.headerSize = piece.headered ? piece.header.size : 0;
        summary.start = piece.headered ? piece.header.start() : -1;
        summary.sectors = dataSectorList;
        summary.leftOut = state.leaveOut.contains(state.currentFile());
        state.files->append(summary);
    }
}

QVector<int> sectorsOfBlocks(const BlockMap &blocks, const QVector<int> &chain)
{
    QVector<int> sectors;
    for (int b : chain)
        for (int s = blocks.firstSector(b); s < blocks.firstSector(b) + blocks.sectors(); ++s)
            sectors.append(s);
    return sectors;
}

// The deleted entry whose first block is this one and whose length is the
// header's: the file as it was written, under its name.
const TosFile *deletedEntryAt(const QVector<TosFile> &deleted, const BlockMap &blocks, int block, int total)
{
    for (const TosFile &file : deleted)
        if (!file.sectors.isEmpty() && blocks.number(int(file.sectors.first())) == block && file.length == total
            && int(file.sectors.first()) == blocks.firstSector(block))
            return &file;
    return nullptr;
}

int saveHeaderedFiles(RescueState &state, const BlockMap &blocks, const QVector<TosFile> &deleted, bool undelete)
{
    int found = 0;
    for (int b = blocks.first(); b < blocks.count(); ++b) {
        SpectrumHeader header;
        QVector<int> chain;
        if (!blocks.free(b) || !blocks.fileStart(b, header, &chain))
            continue;
        const TosFile *entry = deletedEntryAt(deleted, blocks, b, header.total());
        // Inside a run of data, a header is a file's only when its end is
        // proven (or a deleted entry names it): data holds look-alikes.
        if (!entry && blocks.continuesRun(b) && !blocks.endProven(chain, header))
            continue;
        LostPiece piece;
        piece.headered = true;
        piece.header = header;
        if (entry) {
            if (undelete)
                continue; // rescued with the deleted files, under their name
            piece.name = entry->catalogName;
            for (quint32 s : entry->sectors)
                if (state.sectors.owner(s).kind == SectorOwner::Kind::None)
                    piece.sectors.append(int(s));
            piece.cut = piece.sectors.size() < int(entry->sectors.size());
        } else {
            piece.sectors = sectorsOfBlocks(blocks, chain);
            for (int i = 1; i < chain.size(); ++i)
                piece.jumped = piece.jumped || chain.at(i) != chain.at(i - 1) + 1;
            piece.cut = qint64(piece.sectors.size()) * sectorSize < header.total();
            piece.endGuessed = !blocks.endProven(chain, header);
        }
        savePiece(state, piece, header.total());
        ++found;
    }
    return found;
}

// A deleted entry of data without a header whose first block is this one,
// when the data still ends where the entry's length says: its last byte
// read cleanly and no formatting filler, filler after it.
const TosFile *deletedDataAt(const RescueState &state, const QVector<TosFile> &deleted, const BlockMap &blocks, int block)
{
    const int first = blocks.firstSector(block);
    for (const TosFile &file : deleted) {
        const int last = (file.length - 1) / sectorSize;
        if (file.length <= 0 || file.sectors.isEmpty() || int(file.sectors.first()) != first
            || last >= file.sectors.size() || !state.sectors.isRead(first)
            || fileTypeOf(quint8(state.sectors.sectorData(first)[0])).headerSize != 0)
            continue;
        const int s = int(file.sectors.at(last));
        if (s >= state.sectors.count() || !isClean(state.sectors.state(s)))
            continue;
        const char *bytes = state.sectors.sectorData(s);
        const int end = (file.length - 1) % sectorSize;
        if (bytes[end] == formatted || tailOf(bytes, formatted) != sectorSize - 1 - end)
            continue;
        // Data that fills its last sector proves its end by the filler that
        // begins the entry's next sector; without one, nothing proves it.
        const int next = last + 1 < file.sectors.size() ? int(file.sectors.at(last + 1)) : -1;
        if (end == sectorSize - 1
            && (next < 0 || next >= state.sectors.count() || !isClean(state.sectors.state(next))
                || state.sectors.sectorData(next)[0] != formatted))
            continue;
        return &file;
    }
    return nullptr;
}

// Headerless data that a deleted entry names (see deletedDataAt) keeps its
// blocks: a lost file put together first fit does not run into them.
void reserveDeletedData(const RescueState &state, BlockMap &blocks, const QVector<TosFile> &deleted)
{
    for (int b = blocks.first(); b < blocks.count(); ++b) {
        const TosFile *entry = blocks.free(b) ? deletedDataAt(state, deleted, blocks, b) : nullptr;
        if (!entry)
            continue;
        for (quint32 s : entry->sectors)
            if (state.sectors.owner(s).kind == SectorOwner::Kind::None)
                blocks.reserve(blocks.number(int(s)));
    }
}

// The sector is not read, or read as filler: cleanly, or damaged with all
// but a few bytes still filler (a damaged copy of filler, most likely).
bool heldAsFiller(const RescueState &state, int sector)
{
    if (!state.sectors.isRead(sector))
        return true;
    return isClean(state.sectors.state(sector)) ? cleanFiller(state, sector)
                                                : fillerBytes(state, sector) >= sectorSize - 8;
}

void saveHeaderlessRuns(RescueState &state, const BlockMap &blocks, const QVector<TosFile> &deleted, bool undelete)
{
    SpectrumHeader header;
    for (int b = blocks.first(); b < blocks.count(); ++b) {
        if (!blocks.free(b))
            continue;
        const TosFile *entry = undelete ? nullptr : deletedDataAt(state, deleted, blocks, b);
        if (entry) {
            LostPiece piece;
            piece.name = entry->catalogName;
            piece.length = entry->length;
            for (quint32 s : entry->sectors)
                if (state.sectors.owner(s).kind == SectorOwner::Kind::None)
                    piece.sectors.append(int(s));
            piece.cut = piece.sectors.size() < int(entry->sectors.size());
            savePiece(state, piece, entry->length);
            continue;
        }
        QVector<int> run{b};
        QVector<int> chain;
        while (!blocks.endsInFiller(run.last()) && run.last() + 1 < blocks.count() && blocks.free(run.last() + 1)
               && !(blocks.fileStart(run.last() + 1, header, &chain) && blocks.endProven(chain, header))
               && (undelete || !deletedDataAt(state, deleted, blocks, run.last() + 1)))
            run.append(run.last() + 1);
        LostPiece piece;
        piece.sectors = sectorsOfBlocks(blocks, run);
        // What follows the file's end is filler: trailing sectors that the run
        // does not hold, holds as filler, or holds as a damaged copy of
        // filler are not part of it; nor are damaged ones after a clean
        // sector that ends the file in filler.
        // A sector read cleanly as nothing but filler ends the file before it.
        int end = 1;
        while (end < piece.sectors.size() && !cleanFiller(state, piece.sectors.at(end)))
            ++end;
        int kept = end;
        while (kept > 0 && heldAsFiller(state, piece.sectors.at(kept - 1)))
            --kept;
        // Nothing but filler and its damaged copies before it: the run is
        // kept as it was read, since no end can be told.
        if (kept == 0)
            kept = end = piece.sectors.size();
        for (int i = kept; i < end; ++i)
            piece.endGuessed = piece.endGuessed || state.sectors.state(piece.sectors.at(i)) == SectorState::Suspect;
        end = kept;
        piece.sectors.resize(end);
        while (end > 0 && !isClean(state.sectors.state(piece.sectors.at(end - 1))))
            --end;
        const bool endsFile = end > 0 && end < piece.sectors.size()
            && tailOf(state.sectors.sectorData(piece.sectors.at(end - 1)), formatted) >= fillerTail;
        if (endsFile)
            piece.sectors.resize(end);
        while (!piece.sectors.isEmpty() && !state.sectors.isRead(piece.sectors.last()))
            piece.sectors.removeLast();
        savePiece(state, piece, piece.sectors.size() * sectorSize);
        b = run.last();
    }
}

} // namespace

bool plausibleHeader(const QByteArray &bytes, qint64 offset, qint64 room, SpectrumHeader &header)
{
    if (offset < 0 || offset >= bytes.size())
        return false;
    header.typeByte = static_cast<quint8>(bytes.at(int(offset)));
    if (header.typeByte > 3)
        return false;
    header.size = header.typeByte == 0 ? 7 : 5;
    header.word1 = wordAt(bytes, offset + 1);
    header.word3 = wordAt(bytes, offset + 3);
    header.word5 = wordAt(bytes, offset + 5);
    header.length = header.typeByte == 0 ? header.word3 : header.word1;
    if (header.length == 0 || header.total() > room)
        return false;
    if (header.typeByte == 0) {
        const bool autostart = header.word1 <= lastLine || header.word1 >= noAutostart;
        // The program's first line: its number, stored high byte first, and
        // its length, after which it ends in ENTER.
        const qint64 body = offset + header.size;
        const int firstLine = (wordAt(bytes, body) >> 8) | ((wordAt(bytes, body) & 0xFF) << 8);
        const int lineLength = wordAt(bytes, body + 2);
        if (!autostart || header.word5 > header.length || (header.length >= 2 && firstLine > lastLine))
            return false;
        header.strong = lineLength > 0 && 4 + lineLength <= header.length
            && body + 3 + lineLength < bytes.size() && bytes.at(int(body + 3 + lineLength)) == '\x0D';
        return true;
    }
    // Code is loaded into the 64 KB the processor addresses, and fits
    // above the ROM; arrays carry no address.
    if (header.typeByte == 3 && header.word3 + header.length > 0x10000)
        return false;
    header.strong = header.typeByte == 3 ? header.word3 >= romSize : header.word3 == 0;
    return true;
}

DiskFormat guessLayout(const ImageRow &row, QString &evidence)
{
    // A.4 numbers 1 KB blocks from sector 0 and its files begin at 16; an
    // A.2 disk holds its system and catalog in sectors 0..79.
    constexpr int perBlock = 4;
    constexpr int a2FirstFile = geometry::systemSectors + geometry::catalogSectors;
    const SectorTable &sectors = row.sectors;
    auto headerAt = [&sectors](int sector) {
        SpectrumHeader header;
        return sectors.isRead(sector)
            && plausibleHeader(sectors.bytes(), qint64(sector) * sectorSize,
                               qint64(sectors.count() - sector) * sectorSize, header);
    };
    int a4Files = 0;
    for (int s = geometry::catalogSectors; s < a2FirstFile; s += perBlock)
        a4Files += headerAt(s);
    if (a4Files >= 2 || (a4Files == 1 && headerAt(geometry::catalogSectors))) {
        evidence = QStringLiteral("%1 file header(s) at block starts in sectors 16..79, where an A.2 disk keeps "
                                  "its system and catalog")
                       .arg(a4Files);
        return DiskFormat::TosA4;
    }
    // A disk of more than 50 tracks numbers 4 KB blocks from sector 64 in
    // either layout: an A.4 disk's first file begins there, where an A.2
    // disk keeps its catalog.
    if (geometry::isLargeDisk(row.tracks) && a4Files == 1 && headerAt(geometry::systemSectors)) {
        evidence = QStringLiteral("one file header in sectors 16..79, at sector 64, where the first file of an A.4 "
                                  "disk of this size begins and an A.2 disk keeps its catalog");
        return DiskFormat::TosA4;
    }
    if (a4Files == 0 && headerAt(a2FirstFile)) {
        evidence = QStringLiteral("no file header in sectors 16..79, and one at sector 80, where an A.2 disk's "
                                  "first file begins");
        return DiskFormat::TosA2;
    }
    // The first file's header may be the sector a damaged disk lost: then
    // the files after it, at the block starts an A.2 disk gives them.
    if (a4Files == 0 && !sectors.isRead(a2FirstFile)) {
        const int a2Block = geometry::sectorsPerBlock(geometry::isLargeDisk(row.tracks));
        int later = 0;
        for (int s = a2FirstFile + a2Block; s < sectors.count(); s += a2Block)
            later += headerAt(s);
        if (later >= 2) {
            evidence = QStringLiteral("no file header in sectors 16..79, sector 80 not read, and %1 file header(s) "
                                      "at the block starts after it")
                           .arg(later);
            return DiskFormat::TosA2;
        }
    }
    evidence = QStringLiteral("no file header where either layout begins its files");
    return DiskFormat::Unknown;
}

DiskFormat rescueFormat(const ImageRow &row, DiskFormat asked, QString &evidence)
{
    evidence.clear();
    if (row.format != DiskFormat::Unknown || !row.salvage)
        return row.format;
    if (asked == DiskFormat::TosA2 || asked == DiskFormat::TosA4) {
        evidence = QStringLiteral("as asked");
        return asked;
    }
    return guessLayout(row, evidence);
}

int recoverLostFiles(RescueState &state, const CatalogLayout &layout, QVector<TosFile> deleted, bool undelete,
                     int &deletedCount)
{
    BlockMap blocks(state, layout);
    for (TosFile &file : deleted)
        file.sectors = blockSectors(file.blocks, layout);
    reserveDeletedData(state, blocks, deleted);
    const int found = saveHeaderedFiles(state, blocks, deleted, undelete);
    deletedCount = 0;
    if (undelete && !deleted.isEmpty()) {
        const QString imageFolder = state.folder;
        state.folder += QStringLiteral("deleted/");
        state.out.makeFolder(state.folder);
        libtap tap;
        for (TosFile &file : deleted) {
            file.doubt = QStringLiteral("its entry is marked deleted: its blocks may have been written again");
            extractFile(state, file, tap);
            file.data = QByteArray();
            ++deletedCount;
        }
        state.endFiles();
        const QString archive = imageFolder.section(QLatin1Char('/'), -2, -2);
        state.out.writeTap(tap, state.folder + state.out.claim(state.folder, archive, QStringLiteral(".tap"), {}));
        state.folder = imageFolder;
    }
    saveHeaderlessRuns(state, blocks, deleted, undelete);
    state.endFiles();
    state.log(LogEntry::info().text(QStringLiteral("Found %1 lost block(s)").arg(found)));
    return found;
}
