// The Qt item model over an ITableSource: texts, status icons, check boxes, column shades and
// the band of every column (read by TBandedHeader through BandRole / BandCaptionRole).
#pragma once

#include "permutor/dialogs/qt/TableSource.h"

#include <QAbstractTableModel>
#include <QColor>

namespace permutor::dialogs::qt {

enum TItemRole {
    BandRole = Qt::UserRole + 1, // header: the band index of a column
    BandCaptionRole,             // header: the caption of the column's band
    IconKindRole,                // data: the TSwapStatusIcon as an int
    ChoicesRole,                 // data: the column's pick list (QStringList)
};

class TTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit TTableModel(ITableSource& source, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // The source changed in ways the view cannot know (rows added or removed, columns renamed):
    // read it again.
    void Reload();
    // Only the cells changed: repaint them, keeping selection and sorting.
    void RefreshCells();

    // The base colour the column shades are taken from.
    void SetBaseColor(const QColor& color) { FBase = color; }
    QColor BaseColor() const { return FBase; }
    // A colour `percent` % as bright as `base`, channel by channel.
    static QColor Shade(const QColor& base, int percent);

    ITableSource& Source() const { return FSource; }

private:
    ITableSource& FSource;
    QColor FBase;
};

} // namespace permutor::dialogs::qt
