// Sorting and filtering between a TTableModel and its view. Texts sort naturally (numbers by
// value, so pin 10 follows pin 9 and "2/4" follows "1/4"), letters without regard to case;
// check boxes sort by their state. Sorting by one column and then another sorts on both: the
// columns sorted before break the ties of the last one. The dialogs' states filter their rows
// themselves.
#pragma once

#include <QSortFilterProxyModel>

#include <utility>
#include <vector>

namespace permutor::dialogs::qt {

// <0, 0, >0 as a sorts before, with or after b.
int NaturalCompare(const QString& a, const QString& b);

class TSortProxy : public QSortFilterProxyModel {
    Q_OBJECT
public:
    explicit TSortProxy(QObject* parent = nullptr);
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

protected:
    bool lessThan(const QModelIndex& left, const QModelIndex& right) const override;

private:
    static int Compare(const QModelIndex& left, const QModelIndex& right);
    static constexpr std::size_t cMaxSortKeys = 3;
    std::vector<std::pair<int, Qt::SortOrder>> FKeys;
};

} // namespace permutor::dialogs::qt
