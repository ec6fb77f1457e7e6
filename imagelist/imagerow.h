#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

class libdsk;

// Everything an image-table row holds about one accepted image.
struct ImageRow
{
    QString name;
    int tracks = 0;
    int sides = 0;
    int badSectors = 0;
    int format = 0;
    QByteArray data; // 256 bytes per sector, logical order, zeros if not read
    QByteArray map;  // one byte per sector: 1 read, 0 not read
    QImage picture;  // 86 x 36 sector map
};

// Number of sides that enter the logical order: images of fewer than
// 50 tracks contribute side 0 only.
int sidesWalked(int tracks, int sides);

// Reads every sector of the loaded image in logical order and draws the map.
ImageRow buildImageRow(const libdsk &dsk, const QString &name, int badSectors, int format);

// "A.2", "A.4" or "unknown", as the TOS column shows the format.
QString formatText(int format);

// The outcome of loading and classifying one image file, as the Open
// command and the batch tool report it. The reader's own lines go through its
// message signal; a refusal of the image itself (CP/M) comes back as text.
struct LoadOutcome
{
    bool accepted = false;
    QString refusal; // log line for a loaded but refused image
    ImageRow row;
};

LoadOutcome loadImage(libdsk &dsk, const QString &path);
LoadOutcome loadImageData(libdsk &dsk, const QByteArray &bytes, const QString &name);
