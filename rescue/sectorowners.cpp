#include "sectorowners.h"

#include "catalog.h"
#include "conversion.h"
#include "disk/geometry.h"
#include "imagelist/imagerow.h"

QStringList sectorOwners(const ImageRow &row)
{
    QStringList owners;
    const int count = row.map.size();
    owners.reserve(count);
    for (int i = 0; i < count; ++i)
        owners << QString();
    const int variant = catalogVariant(row.format);
    if (variant == 0)
        return owners;
    const int catalogStart = catalogFirstSector(variant);
    for (int i = catalogStart; i < catalogStart + geometry::catalogSectors && i < count; ++i)
        owners[i] = QStringLiteral("catalog");
    const QByteArray catalog = catalogBytes(row.data, variant);
    const bool large = geometry::isLargeDisk(row.tracks);
    for (TosFile &file : catalogFiles(catalog)) {
        file.blocks = fileBlocks(catalog, file.key, file.length);
        for (quint32 sector : blockSectors(file.blocks, variant, large))
            if (sector < quint32(count) && owners.at(int(sector)).isEmpty())
                owners[int(sector)] = file.catalogName;
    }
    return owners;
}
