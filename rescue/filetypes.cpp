#include "filetypes.h"

FileType fileTypeOf(int typeByte)
{
    switch (typeByte) {
    case 0:
        return {QStringLiteral("basic"), QStringLiteral(".bas"), 7};
    case 1:
        return {QStringLiteral("num array"), QStringLiteral(".num"), 5};
    case 2:
        return {QStringLiteral("char array"), QStringLiteral(".chr"), 5};
    case 3:
        return {QStringLiteral("code"), QStringLiteral(".cod"), 5};
    default:
        return {QStringLiteral("data"), QStringLiteral(".dat"), 0};
    }
}
