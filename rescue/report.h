#pragma once

#include "conversion.h"

#include <QByteArray>

// The sector report of a conversion as RFC 4180 CSV with a header row:
// one row per logical sector (where it lies, its state, how many reads or
// copies agreed, which read supplied it, what owns it) and one row per
// rescued file (its sector counts and whether it is complete).
QByteArray sectorsCsv(const ImageRow &row, const ConversionReport &report);
QByteArray filesCsv(const ConversionReport &report);

// A sector state as the sector report writes it.
QString sectorStateName(SectorState state);

// One CSV field: quoted when it holds a comma, a quote or a line break.
QString csvField(const QString &text);
