#pragma once

#include <QByteArray>
#include <QColor>
#include <QString>

class QTextEdit;

extern const QColor goodSectorColour;
extern const QColor badSectorColour;

// One 16-byte line of the dump at offset, "%1 þ %2 ... þ %18".
QString hexDumpLine(const QByteArray &data, int offset);
// The character shown for a byte in the dump's character column.
QChar hexDumpChar(quint8 byte);

// Replaces the view's content with the dump of data, one tinted block per
// sector, and scrolls to the top.
void fillHexView(QTextEdit *view, const QByteArray &data, const QByteArray &map);
