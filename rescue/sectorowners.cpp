#include "sectorowners.h"

#include "catalog.h"
#include "conversion.h"
#include "disk/geometry.h"
#include "imagelist/imagerow.h"

QStringList sectorOwners(const ImageRow &row)
{
    QStringList owners;
    const int count = row.sectorCount();
    owners.reserve(count);
    for (int i = 0; i < count; ++i)
        owners << QString();
    CatalogLayout layout;
    if (!catalogLayout(row.format, row.tracks, layout))
        return owners;
    const int catalogStart = layout.catalogFirstSector();
    for (int i = catalogStart; i < catalogStart + geometry::catalogSectors && i < count; ++i)
        owners[i] = QStringLiteral("catalog");
    const QByteArray catalog = catalogBytes(row.sectors.bytes(), layout);
    for (TosFile &file : catalogFiles(catalog)) {
        file.blocks = fileBlocks(catalog, file.key, file.length);
        for (quint32 sector : blockSectors(file.blocks, layout))
            if (sector < quint32(count) && owners.at(int(sector)).isEmpty())
                owners[int(sector)] = file.catalogName;
    }
    return owners;
}
