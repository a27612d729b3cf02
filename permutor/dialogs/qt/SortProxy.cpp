#include "permutor/dialogs/qt/SortProxy.h"

#include "permutor/dialogs/qt/TableModel.h"

#include <algorithm>

namespace permutor::dialogs::qt {

int NaturalCompare(const QString& a, const QString& b) {
    int i = 0;
    int j = 0;
    while (i < a.size() && j < b.size()) {
        if (a[i].isDigit() && b[j].isDigit()) {
            // Compare digit runs by value: skip leading zeros, then the longer run is larger.
            int si = i;
            int sj = j;
            while (si < a.size() && a[si] == u'0')
                ++si;
            while (sj < b.size() && b[sj] == u'0')
                ++sj;
            int ei = si;
            int ej = sj;
            while (ei < a.size() && a[ei].isDigit())
                ++ei;
            while (ej < b.size() && b[ej].isDigit())
                ++ej;
            if (ei - si != ej - sj)
                return (ei - si) - (ej - sj);
            for (int k = 0; k < ei - si; ++k)
                if (a[si + k] != b[sj + k])
                    return a[si + k].unicode() - b[sj + k].unicode();
            i = ei;
            j = ej;
            continue;
        }
        const QChar ca = a[i].toCaseFolded();
        const QChar cb = b[j].toCaseFolded();
        if (ca != cb)
            return ca.unicode() - cb.unicode();
        ++i;
        ++j;
    }
    if (i < a.size() || j < b.size())
        return i < a.size() ? 1 : -1;
    // Equal but for case (or leading zeros): fall back to the plain order so sorting is total.
    return QString::compare(a, b, Qt::CaseSensitive);
}

TSortProxy::TSortProxy(QObject* parent) : QSortFilterProxyModel(parent) {
    setDynamicSortFilter(true);
}

void TSortProxy::sort(int column, Qt::SortOrder order) {
    // The column sorted last leads; the ones sorted before break its ties.
    FKeys.erase(
        std::remove_if(FKeys.begin(), FKeys.end(), [column](const auto& key) { return key.first == column; }),
        FKeys.end());
    if (column >= 0) {
        FKeys.insert(FKeys.begin(), {column, order});
        if (FKeys.size() > cMaxSortKeys)
            FKeys.resize(cMaxSortKeys);
    } else {
        FKeys.clear();
    }
    QSortFilterProxyModel::sort(column, order);
}

int TSortProxy::Compare(const QModelIndex& left, const QModelIndex& right) {
    const QVariant checkLeft = left.data(Qt::CheckStateRole);
    const QVariant checkRight = right.data(Qt::CheckStateRole);
    if (checkLeft.isValid() || checkRight.isValid()) {
        // No box sorts before a clear box, which sorts before a ticked one.
        const int l = checkLeft.isValid() ? checkLeft.toInt() + 1 : 0;
        const int r = checkRight.isValid() ? checkRight.toInt() + 1 : 0;
        if (l != r)
            return l < r ? -1 : 1;
    }
    return NaturalCompare(left.data(Qt::DisplayRole).toString(), right.data(Qt::DisplayRole).toString());
}

bool TSortProxy::lessThan(const QModelIndex& left, const QModelIndex& right) const {
    if (const int order = Compare(left, right); order != 0)
        return order < 0;
    // Qt asks lessThan(right, left) for a descending sort; a tie-breaking key keeps its own
    // direction whatever the leading one's.
    const bool leadDescending = sortOrder() == Qt::DescendingOrder;
    for (std::size_t k = 1; k < FKeys.size(); ++k) {
        const auto [column, order] = FKeys[k];
        const int tie = Compare(left.sibling(left.row(), column), right.sibling(right.row(), column));
        if (tie == 0)
            continue;
        const bool before = order == Qt::AscendingOrder ? tie < 0 : tie > 0;
        return leadDescending ? !before : before;
    }
    return false;
}

} // namespace permutor::dialogs::qt
