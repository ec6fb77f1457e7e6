#include "palette.h"

#include "rescue/conversion.h"

#include <QPainter>

const SectorLook &sectorLook(SectorState state)
{
    // Built on first use: other files' constants may ask for it while the
    // program's globals are still being set up.
    static const SectorLook missing{QColor(255, 0, 0), SectorLook::Cross, QColor(255, 255, 255),
                                    QColor(255, 128, 128, 32)};
    static const SectorLook good{QColor(0, 255, 0), SectorLook::Plain, QColor(), QColor(64, 255, 64, 16)};
    static const SectorLook suspect{QColor(255, 191, 0), SectorLook::Hatch, QColor(0, 0, 0),
                                    QColor(255, 191, 0, 40)};
    static const SectorLook repaired{QColor(0, 160, 255), SectorLook::Plain, QColor(), QColor(0, 160, 255, 28)};
    switch (state) {
    case SectorState::Good:
        return good;
    case SectorState::Suspect:
        return suspect;
    case SectorState::Repaired:
        return repaired;
    case SectorState::Missing:
        break;
    }
    return missing;
}

void paintSector(QPainter &painter, const QRect &box, SectorState state)
{
    const SectorLook &look = sectorLook(state);
    painter.fillRect(box, look.colour);
    switch (look.pattern) {
    case SectorLook::Plain:
        break;
    case SectorLook::Hatch:
        painter.fillRect(box, QBrush(look.patternColour, Qt::BDiagPattern));
        break;
    case SectorLook::Cross: {
        const int inset = qMax(1, qMin(box.width(), box.height()) / 6);
        const QRect cross = box.adjusted(inset, inset, -inset, -inset);
        painter.save();
        painter.setRenderHint(QPainter::Antialiasing, true);
        painter.setPen(QPen(look.patternColour, qMax(1.0, qMin(box.width(), box.height()) / 8.0)));
        painter.drawLine(cross.topLeft(), cross.bottomRight());
        painter.drawLine(cross.topRight(), cross.bottomLeft());
        painter.restore();
        break;
    }
    }
}

QColor logKindColour(LogEntry::Kind kind)
{
    switch (kind) {
    case LogEntry::Kind::Warning:
        return QColor(138, 90, 0); // a dark amber, readable on white
    case LogEntry::Kind::Error:
        return QColor(192, 0, 0);
    case LogEntry::Kind::Info:
        break;
    }
    return QColor();
}

const VerdictLook &verdictLook(Verdict verdict)
{
    // The sector states' colours, darkened to be read as text on white.
    static const VerdictLook complete{QColor(0, 128, 0), QColor(64, 255, 64, 40), QChar(0x2714)};   // ✔
    static const VerdictLook damaged{QColor(192, 0, 0), QColor(255, 128, 128, 64), QChar(0x2716)};  // ✖
    static const VerdictLook suspect{QColor(138, 90, 0), QColor(255, 191, 0, 64), QChar(0x26A0)};   // ⚠
    static const VerdictLook unverified{QColor(0, 80, 170), QColor(96, 160, 255, 48), QChar(0x003F)}; // ?
    switch (verdict) {
    case Verdict::Complete:
        return complete;
    case Verdict::Damaged:
        return damaged;
    case Verdict::Suspect:
        return suspect;
    case Verdict::Unverified:
        break;
    }
    return unverified;
}

QColor ownerColour(SectorOwnerKind kind, int file)
{
    switch (kind) {
    case SectorOwnerKind::Free:
        return QColor(232, 232, 232);
    case SectorOwnerKind::Catalog:
        return QColor(64, 64, 64);
    case SectorOwnerKind::Lost:
        return QColor(140, 90, 40);
    case SectorOwnerKind::File:
        break;
    }
    // Hues far from red, taken in an order that keeps neighbours apart.
    static const int hues[] = {210, 50, 130, 280, 180, 30, 310, 95, 240, 160, 65, 265};
    constexpr int hueCount = int(sizeof hues / sizeof hues[0]);
    const int index = qMax(0, file);
    const int round = index / hueCount % 3;
    static const int saturations[] = {170, 90, 255};
    static const int values[] = {235, 255, 170};
    return QColor::fromHsv(hues[index % hueCount], saturations[round], values[round]).toRgb();
}

void paintOwnedSector(QPainter &painter, const QRect &box, const QColor &owner, SectorState state)
{
    const int size = qMin(box.width(), box.height());
    const bool missing = state == SectorState::Missing;
    if (missing && size < 12) {
        paintSector(painter, box, state); // red with its cross: seen before its owner
        return;
    }
    painter.fillRect(box, owner);
    const QColor contrast = owner.lightness() > 140 ? QColor(0, 0, 0) : QColor(255, 255, 255);
    if (state == SectorState::Suspect) {
        painter.fillRect(box, QBrush(contrast, Qt::BDiagPattern));
    } else if (missing) {
        const qreal width = qMax(2.0, size / 5.0);
        const int inset = qMax(1, size / 8);
        const QRectF cross = QRectF(box).adjusted(inset + 0.5, inset + 0.5, -inset - 0.5, -inset - 0.5);
        painter.save();
        painter.setRenderHint(QPainter::Antialiasing, true);
        for (const QPen &pen : {QPen(QColor(255, 255, 255), width + 2, Qt::SolidLine, Qt::FlatCap),
                                QPen(sectorLook(SectorState::Missing).colour, width, Qt::SolidLine, Qt::FlatCap)}) {
            painter.setPen(pen);
            painter.drawLine(cross.topLeft(), cross.bottomRight());
            painter.drawLine(cross.topRight(), cross.bottomLeft());
        }
        painter.restore();
    }
}
