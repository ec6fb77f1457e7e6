#pragma once

#include <QImage>

struct ImageRow;

// The 86 x 36 sector map of a table row, in the colours of sectorLook():
// green for sectors the image holds, red marks for missing ones and, for a
// row read in salvage mode, a checker of amber and its hatch colour for
// suspect ones.
QImage mapPicture(const ImageRow &row);
