#pragma once

#include "diskread.h"

#include <QByteArray>

// Reads an SCP flux image as a disk: every revolution of every track side is
// decoded as MFM and is one read of its sectors. A sector is good when any
// revolution read it cleanly (the value most good revolutions agree on);
// without one, its data-error copies are repaired and proven by their CRC
// (fluxrepair.h), or else kept as suspect (their byte-wise majority), or
// missing when no revolution found it. The log tells per image the
// revolutions, the sectors good in the first revolution, good after all of
// them, repaired, and still bad.
DiskRead readFluxBytes(const QByteArray &bytes, const QString &baseName, const ReadOptions &options,
                       const LogEntry &opening);

// Flux images are larger than sector images: five revolutions of an
// 84-track two-sided disk take about 65 MB.
constexpr qint64 maxFluxImageSize = 256 * 1024 * 1024;
