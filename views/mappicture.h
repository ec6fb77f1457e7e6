#pragma once

#include <QImage>

struct ImageRow;

// The 86 x 36 sector map of a table row: green for sectors the image
// holds, red marks for missing ones and, for a row read in salvage mode,
// an amber and black checker for suspect ones.
QImage mapPicture(const ImageRow &row);
