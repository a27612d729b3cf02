#include "permutor/dialogs/qt/SortProxy.h"

#include "permutor/dialogs/qt/TableModel.h"

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

QList<int> TSortProxy::SourceRowsInViewOrder() const {
    QList<int> rows;
    for (int row = 0; row < rowCount(); ++row)
        rows.append(mapToSource(index(row, 0)).row());
    return rows;
}

bool TSortProxy::lessThan(const QModelIndex& left, const QModelIndex& right) const {
    const QVariant checkLeft = left.data(Qt::CheckStateRole);
    const QVariant checkRight = right.data(Qt::CheckStateRole);
    if (checkLeft.isValid() || checkRight.isValid()) {
        // No box sorts before a clear box, which sorts before a ticked one.
        const int l = checkLeft.isValid() ? checkLeft.toInt() + 1 : 0;
        const int r = checkRight.isValid() ? checkRight.toInt() + 1 : 0;
        if (l != r)
            return l < r;
    }
    const int order =
        NaturalCompare(left.data(Qt::DisplayRole).toString(), right.data(Qt::DisplayRole).toString());
    if (order != 0)
        return order < 0;
    return left.row() < right.row();
}

} // namespace permutor::dialogs::qt
