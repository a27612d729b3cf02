#include "permutor/dialogs/qt/BandedHeader.h"

#include "permutor/dialogs/qt/TableModel.h"

#include <QPainter>
#include <QStyleOptionHeader>

namespace permutor::dialogs::qt {

TBandedHeader::TBandedHeader(QWidget* parent) : QHeaderView(Qt::Horizontal, parent) {
    setSectionsMovable(true);
    setSectionsClickable(true);
    setHighlightSections(false);
    setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    connect(this, &QHeaderView::sectionMoved, this, &TBandedHeader::KeepBandsTogether);
}

QSize TBandedHeader::sizeHint() const {
    QSize size = QHeaderView::sizeHint();
    const int row = qMax(size.height(), fontMetrics().height() + 8);
    size.setHeight(2 * row);
    return size;
}

int TBandedHeader::BandOf(int logical) const {
    if (!model())
        return -1;
    const QVariant band = model()->headerData(logical, Qt::Horizontal, BandRole);
    return band.isValid() ? band.toInt() : -1;
}

QList<int> TBandedHeader::BandColumns(int band) const {
    QList<int> columns;
    for (int visual = 0; visual < count(); ++visual) {
        const int logical = logicalIndex(visual);
        if (BandOf(logical) == band)
            columns.append(logical);
    }
    return columns;
}

QRect TBandedHeader::BandRect(int logical) const {
    const int band = BandOf(logical);
    if (band < 0)
        return {};
    // Widen from the column to its visible neighbours of the same band; hidden columns are
    // skipped, so a band keeps one caption when a column in its middle is hidden.
    const int visual = visualIndex(logical);
    int first = visual;
    int last = visual;
    for (int v = visual - 1; v >= 0; --v) {
        const int l = logicalIndex(v);
        if (isSectionHidden(l))
            continue;
        if (BandOf(l) != band)
            break;
        first = v;
    }
    for (int v = visual + 1; v < count(); ++v) {
        const int l = logicalIndex(v);
        if (isSectionHidden(l))
            continue;
        if (BandOf(l) != band)
            break;
        last = v;
    }
    const int left = sectionViewportPosition(logicalIndex(first));
    const int right = sectionViewportPosition(logicalIndex(last)) + sectionSize(logicalIndex(last));
    return QRect(left, 0, right - left, height() / 2);
}

void TBandedHeader::paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const {
    const QRect band = BandRect(logicalIndex);
    if (band.isEmpty()) {
        QHeaderView::paintSection(painter, rect, logicalIndex);
        return;
    }
    const int split = rect.top() + rect.height() / 2;
    // The band caption is drawn across the whole band and clipped to this column, so that the
    // columns of a band together show one caption without inner borders.
    painter->save();
    painter->setClipRect(QRect(rect.left(), rect.top(), rect.width(), split - rect.top()), Qt::IntersectClip);
    QStyleOptionHeader option;
    initStyleOption(&option);
    // Centred on the part of the band in view, so a band wider than the grid keeps its caption
    // readable while it is scrolled.
    const int left = qMax(band.left(), 0);
    const int right = qMin(band.right(), viewport()->width() - 1);
    option.rect = QRect(left, rect.top(), qMax(right - left + 1, 1), split - rect.top());
    option.section = logicalIndex;
    option.text = model()->headerData(logicalIndex, Qt::Horizontal, BandCaptionRole).toString();
    option.textAlignment = Qt::AlignCenter;
    option.position = QStyleOptionHeader::Middle;
    option.sortIndicator = QStyleOptionHeader::None;
    style()->drawControl(QStyle::CE_Header, &option, painter, this);
    painter->restore();

    QHeaderView::paintSection(painter, QRect(rect.left(), split, rect.width(), rect.bottom() - split + 1),
                              logicalIndex);
}

void TBandedHeader::KeepBandsTogether(int logical, int oldVisual, int newVisual) {
    if (FUndoingMove)
        return;
    const int band = BandOf(logical);
    if (band < 0)
        return;
    // Contiguous when every column of the band stands between the band's first and last.
    int first = count();
    int last = -1;
    int members = 0;
    for (int v = 0; v < count(); ++v) {
        if (BandOf(logicalIndex(v)) == band) {
            first = qMin(first, v);
            last = qMax(last, v);
            ++members;
        }
    }
    bool split = last - first + 1 != members;
    // Nor may a column of another band land inside this one.
    const int before = newVisual > 0 ? BandOf(logicalIndex(newVisual - 1)) : -1;
    const int after = newVisual + 1 < count() ? BandOf(logicalIndex(newVisual + 1)) : -1;
    if (before >= 0 && before == after && before != band)
        split = true;
    if (split) {
        FUndoingMove = true;
        moveSection(newVisual, oldVisual);
        FUndoingMove = false;
    }
}

} // namespace permutor::dialogs::qt
