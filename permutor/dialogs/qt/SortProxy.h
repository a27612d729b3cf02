// Sorting and filtering between a TTableModel and its view. Texts sort naturally (numbers by
// value, so pin 10 follows pin 9 and "2/4" follows "1/4"), letters without regard to case;
// check boxes sort by their state. The dialogs' states filter their rows themselves.
#pragma once

#include <QSortFilterProxyModel>

namespace permutor::dialogs::qt {

// <0, 0, >0 as a sorts before, with or after b.
int NaturalCompare(const QString& a, const QString& b);

class TSortProxy : public QSortFilterProxyModel {
    Q_OBJECT
public:
    explicit TSortProxy(QObject* parent = nullptr);
    // The rows of the source in the view's order, as source row numbers.
    QList<int> SourceRowsInViewOrder() const;

protected:
    bool lessThan(const QModelIndex& left, const QModelIndex& right) const override;
};

} // namespace permutor::dialogs::qt
