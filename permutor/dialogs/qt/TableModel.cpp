#include "permutor/dialogs/qt/TableModel.h"

#include "permutor/dialogs/qt/StatusIcons.h"

namespace permutor::dialogs::qt {

namespace {
QString ToQ(const std::string& text) {
    return QString::fromStdString(text);
}
} // namespace

TTableModel::TTableModel(ITableSource& source, QObject* parent)
    : QAbstractTableModel(parent), FSource(source), FBase(Qt::white) {}

int TTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : FSource.RowCount();
}

int TTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : FSource.ColumnCount();
}

QVariant TTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= FSource.RowCount() || index.column() >= FSource.ColumnCount())
        return {};
    const int row = index.row();
    const int column = index.column();
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
    case Qt::ToolTipRole:
        return ToQ(FSource.Text(row, column));
    case Qt::DecorationRole: {
        const TSwapStatusIcon icon = FSource.Icon(row, column);
        return icon == TSwapStatusIcon::eIcon_None ? QVariant() : QVariant(StatusIcon(icon));
    }
    case IconKindRole:
        return static_cast<int>(FSource.Icon(row, column));
    case Qt::CheckStateRole:
        switch (FSource.Check(row, column)) {
        case TCheckState::eCheck_None:
            return {};
        case TCheckState::eCheck_Unchecked:
            return Qt::Unchecked;
        case TCheckState::eCheck_Checked:
            return Qt::Checked;
        }
        return {};
    case Qt::BackgroundRole:
        return Shade(FBase, FSource.Column(column).ShadePercent);
    case ChoicesRole: {
        QStringList choices;
        for (const std::string& choice : FSource.Column(column).Choices)
            choices.append(ToQ(choice));
        return choices;
    }
    default:
        return {};
    }
}

bool TTableModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid())
        return false;
    const int row = index.row();
    const int column = index.column();
    if (!FSource.CellEditable(row, column))
        return false;
    if (role == Qt::CheckStateRole) {
        if (FSource.Check(row, column) == TCheckState::eCheck_None)
            return false;
        FSource.SetChecked(row, column, value.toInt() == Qt::Checked);
    } else if (role == Qt::EditRole) {
        if (!FSource.SetText(row, column, value.toString().toStdString()))
            return false;
    } else {
        return false;
    }
    emit dataChanged(index, index);
    return true;
}

QVariant TTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= FSource.ColumnCount())
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (role) {
    case Qt::DisplayRole:
        return ToQ(FSource.Column(section).Caption);
    case BandRole:
        return FSource.Column(section).Band;
    case BandCaptionRole:
        return ToQ(FSource.Band(FSource.Column(section).Band).Caption);
    default:
        return {};
    }
}

Qt::ItemFlags TTableModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (!FSource.CellEditable(index.row(), index.column()))
        return flags;
    if (FSource.Check(index.row(), index.column()) != TCheckState::eCheck_None)
        flags |= Qt::ItemIsUserCheckable;
    else
        flags |= Qt::ItemIsEditable;
    return flags;
}

void TTableModel::Reload() {
    beginResetModel();
    endResetModel();
}

void TTableModel::RefreshCells() {
    if (rowCount() > 0 && columnCount() > 0)
        emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
    if (columnCount() > 0)
        emit headerDataChanged(Qt::Horizontal, 0, columnCount() - 1);
}

QColor TTableModel::Shade(const QColor& base, int percent) {
    const auto scale = [percent](int channel) { return channel * percent / 100; };
    return QColor(scale(base.red()), scale(base.green()), scale(base.blue()));
}

} // namespace permutor::dialogs::qt
