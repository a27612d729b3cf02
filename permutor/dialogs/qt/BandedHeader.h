// A horizontal header in two rows: band captions above groups of columns, column captions below.
// The band of a column comes from the model's header data (BandRole, BandCaptionRole). Columns
// may be moved within their band; a move that would split a band is undone.
#pragma once

#include <QHeaderView>

namespace permutor::dialogs::qt {

class TBandedHeader : public QHeaderView {
    Q_OBJECT
public:
    explicit TBandedHeader(QWidget* parent = nullptr);

    QSize sizeHint() const override;
    // The band row's rectangle over all visible columns of the band of `logical` that stand
    // next to it, in viewport coordinates; empty when the column has no band.
    QRect BandRect(int logical) const;
    // The logical columns of a band in visual order (hidden ones included).
    QList<int> BandColumns(int band) const;
    int BandOf(int logical) const;

protected:
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;

private:
    void KeepBandsTogether(int logical, int oldVisual, int newVisual);
    bool FUndoingMove = false;
};

} // namespace permutor::dialogs::qt
