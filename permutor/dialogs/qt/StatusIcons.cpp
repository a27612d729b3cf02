#include "permutor/dialogs/qt/StatusIcons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace permutor::dialogs::qt {

QColor StatusIconColor(TSwapStatusIcon icon) {
    switch (icon) {
    case TSwapStatusIcon::eIcon_Modified:
        return QColor(0xE0, 0x8A, 0x00);
    case TSwapStatusIcon::eIcon_Added:
        return QColor(0x2E, 0x9E, 0x3E);
    case TSwapStatusIcon::eIcon_Removed:
        return QColor(0xD0, 0x30, 0x30);
    case TSwapStatusIcon::eIcon_None:
        break;
    }
    return {};
}

namespace {

QPixmap Paint(TSwapStatusIcon icon, int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal s = size;
    painter.setPen(Qt::NoPen);
    painter.setBrush(StatusIconColor(icon));
    painter.drawEllipse(QRectF(0.5, 0.5, s - 1, s - 1));
    QPen mark(Qt::white, s / 7.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    painter.setPen(mark);
    painter.setBrush(Qt::NoBrush);
    const qreal lo = s * 0.28;
    const qreal hi = s * 0.72;
    const qreal mid = s / 2;
    switch (icon) {
    case TSwapStatusIcon::eIcon_Added: // a plus
        painter.drawLine(QPointF(lo, mid), QPointF(hi, mid));
        painter.drawLine(QPointF(mid, lo), QPointF(mid, hi));
        break;
    case TSwapStatusIcon::eIcon_Removed: // a cross
        painter.drawLine(QPointF(lo + 1, lo + 1), QPointF(hi - 1, hi - 1));
        painter.drawLine(QPointF(lo + 1, hi - 1), QPointF(hi - 1, lo + 1));
        break;
    case TSwapStatusIcon::eIcon_Modified: { // a pencil stroke with its tip
        painter.drawLine(QPointF(hi, lo), QPointF(lo + s * 0.08, hi - s * 0.08));
        QPainterPath tip;
        tip.moveTo(lo - s * 0.02, hi + s * 0.02);
        tip.lineTo(lo + s * 0.14, hi - s * 0.02);
        tip.lineTo(lo + s * 0.02, hi - s * 0.14);
        tip.closeSubpath();
        painter.setBrush(Qt::white);
        painter.drawPath(tip);
        break;
    }
    case TSwapStatusIcon::eIcon_None:
        break;
    }
    return pixmap;
}

} // namespace

QIcon StatusIcon(TSwapStatusIcon icon) {
    if (icon == TSwapStatusIcon::eIcon_None)
        return {};
    QIcon result;
    for (const int size : {16, 24, 32})
        result.addPixmap(Paint(icon, size));
    return result;
}

} // namespace permutor::dialogs::qt
