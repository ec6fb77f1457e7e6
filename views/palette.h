#pragma once

#include "disk/logentry.h"
#include "imagelist/imagerow.h"

#include <QColor>

class QPainter;
class QRect;

// How a sector state looks wherever sectors are drawn: the table's map
// picture, the sector map page and the hex view. Good, suspect and missing
// sectors differ in pattern as well as in colour, so that they can be told
// apart without telling green from red.
struct SectorLook
{
    enum Pattern {
        Plain, // the colour alone
        Hatch, // diagonal lines of the pattern colour over the colour
        Cross, // a cross of the pattern colour over the colour
    };

    QColor colour;
    Pattern pattern = Plain;
    QColor patternColour;
    // The faint background of the sector's lines in the hex view.
    QColor hexTint;
};

const SectorLook &sectorLook(SectorState state);

// One sector of state filling box: its colour, then its pattern. For boxes
// of at least a few pixels; the map picture sets its one- and two-pixel
// marks itself.
void paintSector(QPainter &painter, const QRect &box, SectorState state);

// The colour of a log entry's text in the window; invalid for information,
// which keeps the text colour of the log.
QColor logKindColour(LogEntry::Kind kind);

enum class Verdict;

// How a rescued file's verdict looks in the files page: a symbol in its
// colour on a faint tint of it, so that verdicts differ by shape as well as
// by colour. One table, as for the sector states.
struct VerdictLook
{
    QColor colour;  // the symbol's and the text's colour
    QColor tint;    // the cell's background
    QChar symbol;
};

const VerdictLook &verdictLook(Verdict verdict);

// Who owns a sector, as the sector map by file colours it.
enum class SectorOwnerKind { Free, Catalog, File, Lost };

// The colour of a sector's owner on the sector map by file: one for the
// catalog, one for lost data, a pale one for free sectors and one per file,
// files told apart by hue and, beyond a dozen, by lightness too. No file
// takes the red of missing sectors.
QColor ownerColour(SectorOwnerKind kind, int file = -1);

// A sector of state on the colour of its owner: the owner's colour, then the
// state's pattern in black or white, whichever stands out on it. A missing
// sector gets a red cross with a light halo, seen on every owner colour;
// in a small cell it looks as it does by health, red with its cross.
void paintOwnedSector(QPainter &painter, const QRect &box, const QColor &owner, SectorState state);
