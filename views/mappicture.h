#pragma once

#include <QImage>

struct ImageRow;

// The 86 x 36 sector map of a table row: green for sectors the image
// holds, red marks for missing ones.
QImage mapPicture(const ImageRow &row);
