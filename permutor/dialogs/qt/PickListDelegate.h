// Edits cells of pick-list columns (IO standard, slew rate, drive strength) with a drop-down of
// the column's choices; other cells with a line edit.
#pragma once

#include <QStyledItemDelegate>

namespace permutor::dialogs::qt {

class TPickListDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override;
};

} // namespace permutor::dialogs::qt
