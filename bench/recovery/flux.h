#pragma once

#include <QString>

// The flux levels of the recovery benchmark: known 80-track two-sided disks
// written as SCP flux (5 revolutions) at rising damage, read by the core and
// rescued by malvore-rescue, scored against the clean disk. Prints one table
// and its goals; false when a run of the rescue failed or a goal was missed.
// RECOVERY_FLUX=0 skips the levels, RECOVERY_FLUX_DISKS sets their disk count.
bool runFluxLevels(const QString &rescue, const QString &work, int disks, quint32 seed);
