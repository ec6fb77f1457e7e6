#pragma once

#include <QString>

// What a ZX Spectrum style type byte means for the rescue.
struct FileType
{
    QString word;      // "basic", "num array", "char array", "code", "data"
    QString extension; // ".bas", ".num", ".chr", ".cod", ".dat"
    int headerSize;    // 7, 5, 5, 5, 0
};

FileType fileTypeOf(int typeByte);
