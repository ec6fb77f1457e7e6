#include "catalog.h"

#include "disk/geometry.h"

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

QByteArray fileBlocks(const QByteArray &catalog, const QByteArray &key, int &length)
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
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    name.replace(QLatin1Char('\\'), QLatin1Char('_'));
    return name;
}
