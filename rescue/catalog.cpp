#include "catalog.h"

#include "disk/geometry.h"
#include "outputwriter.h"

#include <QHash>
#include <QSet>

namespace {

quint8 entryByte(const QByteArray &catalog, int entry, int offset)
{
    const int pos = entry * catalogEntrySize + offset;
    return pos < catalog.size() ? static_cast<quint8>(catalog.at(pos)) : 0;
}

QByteArray entryBytes(const QByteArray &catalog, int entry, int offset, int count)
{
    QByteArray bytes;
    for (int i = 0; i < count; ++i)
        bytes.append(char(entryByte(catalog, entry, offset + i)));
    return bytes;
}

QByteArray withoutBit7(QByteArray bytes)
{
    for (char &c : bytes)
        c = char(static_cast<quint8>(c) & 0x7F);
    return bytes;
}

// Trimmed as bytes, then decoded as UTF-8 up to the first zero byte.
QString decodeField(const QByteArray &bytes)
{
    QByteArray text = bytes.trimmed();
    const int zero = text.indexOf('\0');
    if (zero >= 0)
        text.truncate(zero);
    return QString::fromUtf8(text);
}

int extentLength(const QByteArray &catalog, int entry)
{
    const int records = entryByte(catalog, entry, 14) * 256 + entryByte(catalog, entry, 15);
    int length = records * 128;
    const int last = entryByte(catalog, entry, 13);
    if (last != 0)
        length += last - 256;
    return length;
}

} // namespace

QByteArray catalogBytes(const QByteArray &imageData, const CatalogLayout &layout)
{
    const int start = layout.catalogFirstSector() * geometry::sectorSize;
    QByteArray catalog = imageData.mid(start, catalogSize);
    if (catalog.size() < catalogSize)
        catalog.append(QByteArray(catalogSize - catalog.size(), '\0'));
    return catalog;
}

QVector<TosFile> catalogFiles(const QByteArray &catalog)
{
    QVector<TosFile> files;
    for (int entry = 0; entry < catalogEntries; ++entry) {
        const quint8 first = entryByte(catalog, entry, 1);
        if (first == 0x00 || first == 0xE5 || entryByte(catalog, entry, 12) != 0)
            continue;
        const QString extension = decodeField(withoutBit7(entryBytes(catalog, entry, 9, 3)));
        if (extension == QLatin1String("DIR"))
            continue;
        QString name = decodeField(entryBytes(catalog, entry, 1, 8));
        if (!extension.isEmpty())
            name += QLatin1Char('.') + extension;
        const quint8 owner = entryByte(catalog, entry, 0);
        if (owner >= 1 && owner <= 15)
            name = QStringLiteral("%1_").arg(owner, 2, 16, QLatin1Char('0')) + name;
        TosFile file;
        file.entries.append(entry);
        file.catalogName = name;
        file.name = safeFileName(name);
        file.key = withoutBit7(entryBytes(catalog, entry, 1, 11));
        files.append(file);
    }
    return files;
}

// Entry bytes 1..11 with bit 7 cleared against the key, byte by byte.
static bool entryHasKey(const QByteArray &catalog, int entry, const QByteArray &key)
{
    if (key.size() != 11)
        return false;
    for (int i = 0; i < 11; ++i) {
        const int wanted = static_cast<quint8>(key.at(i)) & 0x7F;
        if ((entryByte(catalog, entry, 1 + i) & 0x7F) != wanted)
            return false;
    }
    return true;
}

QByteArray fileBlocks(const QByteArray &catalog, const QByteArray &key, int &length, QVector<int> *entries)
{
    length = 0;
    QByteArray blocks;
    for (int extent = 0;; ++extent) {
        int found = -1;
        for (int entry = 1; entry < catalogEntries && found < 0; ++entry) {
            if (entryByte(catalog, entry, 12) == extent && entryHasKey(catalog, entry, key))
                found = entry;
        }
        if (found < 0)
            break;
        if (entries)
            entries->append(found);
        length += extentLength(catalog, found);
        for (int i = 16; i < 32; ++i) {
            const quint8 block = entryByte(catalog, found, i);
            if (block == 0)
                break;
            blocks.append(char(block));
        }
    }
    return blocks;
}

namespace {

constexpr quint8 deletedMark = 0xE5;

// A deleted entry with these name bytes 2..11 (bit 7 cleared) and extent.
bool isDeletedExtent(const QByteArray &catalog, int entry, const QByteArray &rest, int extent)
{
    if (entryByte(catalog, entry, 1) != deletedMark || entryByte(catalog, entry, 12) != extent)
        return false;
    return withoutBit7(entryBytes(catalog, entry, 2, 10)) == rest;
}

void appendExtent(const QByteArray &catalog, int entry, TosFile &file)
{
    file.entries.append(entry);
    file.length += extentLength(catalog, entry);
    for (int i = 16; i < 32; ++i) {
        const quint8 block = entryByte(catalog, entry, i);
        if (block == 0)
            break;
        file.blocks.append(char(block));
    }
}

bool printable(const QByteArray &bytes)
{
    for (char c : bytes)
        if (quint8(c) < 0x20 || quint8(c) == 0x7F)
            return false;
    return true;
}

} // namespace

QVector<TosFile> deletedFiles(const QByteArray &catalog)
{
    QVector<TosFile> files;
    for (int entry = 1; entry < catalogEntries; ++entry) {
        if (entryByte(catalog, entry, 1) != deletedMark || entryByte(catalog, entry, 12) != 0)
            continue;
        const QByteArray rest = withoutBit7(entryBytes(catalog, entry, 2, 10));
        // A formatted entry is 0xE5 throughout: only names that can be
        // printed are taken for a file's.
        if (!printable(rest))
            continue;
        const QString extension = decodeField(rest.mid(7, 3));
        if (extension == QLatin1String("DIR"))
            continue;
        TosFile file;
        file.origin = FileOrigin::Deleted;
        // The mark took the name's first character: "?" stands for it.
        file.catalogName = QLatin1Char('?') + decodeField(entryBytes(catalog, entry, 2, 7));
        if (!extension.isEmpty())
            file.catalogName += QLatin1Char('.') + extension;
        file.name = safeFileName(file.catalogName);
        file.key = char(deletedMark) + rest;
        appendExtent(catalog, entry, file);
        for (int extent = 1;; ++extent) {
            int found = -1;
            for (int other = 1; other < catalogEntries && found < 0; ++other)
                if (isDeletedExtent(catalog, other, rest, extent))
                    found = other;
            if (found < 0)
                break;
            appendExtent(catalog, found, file);
        }
        if (file.length > 0 && !file.blocks.isEmpty())
            files.append(file);
    }
    return files;
}

QVector<quint32> blockSectors(const QByteArray &blocks, const CatalogLayout &layout)
{
    const quint32 perBlock = quint32(layout.sectorsPerBlock());
    const quint32 base = quint32(layout.firstBlockSector());
    QVector<quint32> sectors;
    sectors.reserve(blocks.size() * int(perBlock));
    for (char b : blocks) {
        const quint32 first = base + static_cast<quint8>(b) * perBlock;
        for (quint32 k = 0; k < perBlock; ++k)
            sectors.append(first + k);
    }
    return sectors;
}

QString safeFileName(QString name)
{
    // Never a path separator, nor a character that a memory card's or USB
    // stick's file system refuses. (An extension always follows a catalog
    // name, so a final dot does no harm.)
    return portableCharacters(std::move(name));
}

namespace {

int extentBlockCount(const QByteArray &catalog, int entry)
{
    int count = 0;
    while (count < 16 && entryByte(catalog, entry, 16 + count) != 0)
        ++count;
    return count;
}

QString firstDoubt(const TosFile &file, const QByteArray &catalog, const CatalogLayout &layout,
                   const SectorTable &sectors, const QHash<quint8, int> &blockUsers)
{
    const int blockBytes = layout.sectorsPerBlock() * geometry::sectorSize;
    for (int entry : file.entries) {
        const int sector = layout.catalogFirstSector() + entry * catalogEntrySize / geometry::sectorSize;
        if (!isClean(sectors.state(sector)))
            return QStringLiteral("its catalog entry lies in a sector that was not read cleanly");
    }
    // A last extent with every block slot used may have a next one, which a
    // catalog sector that was not read cleanly could have held.
    if (!file.entries.isEmpty() && extentBlockCount(catalog, file.entries.last()) == 16) {
        for (int s = 0; s < geometry::catalogSectors; ++s)
            if (!isClean(sectors.state(layout.catalogFirstSector() + s)))
                return QStringLiteral("a later extent may have been in a catalog sector that was not read cleanly");
    }
    for (int i = 1; i < 12; ++i) {
        const int c = entryByte(catalog, file.entries.value(0), i) & 0x7F;
        if (c < 0x20 || c == 0x7F)
            return QStringLiteral("its name holds bytes that cannot be printed");
    }
    if (qint64(file.length) > qint64(file.blocks.size()) * blockBytes)
        return QStringLiteral("its length is more than its blocks hold");
    if (qint64(file.length) > qint64(sectors.count()) * geometry::sectorSize)
        return QStringLiteral("its length is more than the disk holds");
    for (int entry : file.entries) {
        const int length = qMax(0, extentLength(catalog, entry));
        if ((length + blockBytes - 1) / blockBytes != extentBlockCount(catalog, entry))
            return QStringLiteral("its record count does not match its block list");
    }
    for (char b : file.blocks) {
        const quint8 block = quint8(b);
        if (qint64(layout.firstBlockSector()) + qint64(block + 1) * layout.sectorsPerBlock() > sectors.count())
            return QStringLiteral("a block lies beyond the disk");
        if (blockUsers.value(block) > 1)
            return QStringLiteral("a block is shared with another file");
    }
    return QString();
}

} // namespace

void checkEntries(QVector<TosFile> &files, const QByteArray &catalog, const CatalogLayout &layout,
                  const SectorTable &sectors)
{
    // How many files name each block (a file naming one twice counts once).
    QHash<quint8, int> blockUsers;
    for (const TosFile &file : files) {
        QSet<quint8> own;
        for (char b : file.blocks)
            own.insert(quint8(b));
        for (quint8 block : own)
            ++blockUsers[block];
    }
    for (TosFile &file : files)
        file.doubt = firstDoubt(file, catalog, layout, sectors, blockUsers);
}
