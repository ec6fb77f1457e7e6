#pragma once

#include <QStringList>

struct ImageRow;

// Which catalog file owns each logical sector of a row: the file's name as
// the catalog gives it, "catalog" for the catalog's own sectors, or an
// empty string. A sector two files claim belongs to the first in catalog
// order, as the conversion takes it.
QStringList sectorOwners(const ImageRow &row);
