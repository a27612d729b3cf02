#include "permutor/dialogs/qt/ComponentSwapDialog.h"

#include "permutor/dialogs/qt/GridView.h"
#include "permutor/dialogs/qt/PickListDelegate.h"
#include "permutor/dialogs/qt/PopupMenu.h"
#include "permutor/dialogs/qt/SnapshotSource.h"
#include "permutor/dialogs/qt/TableModel.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QMenu>
#include <QPushButton>
#include <QSplitter>
#include <QTabWidget>
#include <QVBoxLayout>

namespace permutor::dialogs::qt {

namespace {
QString ToQ(const std::string& text) {
    return QString::fromStdString(text);
}
constexpr std::array<TSwapList, 4> cLists = {TSwapList::eSwapList_Pins, TSwapList::eSwapList_Pairs,
                                             TSwapList::eSwapList_SubParts, TSwapList::eSwapList_PartPins};

void FillCombo(QComboBox& combo, const std::vector<std::string>& items, int current) {
    combo.clear();
    for (const std::string& item : items)
        combo.addItem(ToQ(item));
    combo.setCurrentIndex(current);
}
} // namespace

TGridView* TComponentSwapDialog::MakeGrid(TSwapList list) {
    TSnapshotSource::THooks hooks;
    hooks.Bands = [this, list] { return FState.Bands(list); };
    hooks.Columns = [this, list] { return FState.Columns(list); };
    hooks.Rows = [this, list] { return FState.Rows(list); };
    hooks.SetText = [this, list](int record, int column, const std::string& text) {
        return FState.SetCellText(list, record, column, text);
    };
    auto& source = FSources[static_cast<int>(list)];
    source = std::make_unique<TSnapshotSource>(hooks);
    auto* grid = new TGridView(*source, this);
    grid->setObjectName(ToQ(SwapList_Name(list)));
    grid->setItemDelegate(new TPickListDelegate(grid));
    grid->setContextMenuPolicy(Qt::CustomContextMenu);
    grid->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                          QAbstractItemView::AnyKeyPressed);
    // The pin grid has more columns than fit; it scrolls, but no column takes too much.
    grid->FitColumns(220, 0);
    if (!grid->RestoreLayout(ToQ(FState.LayoutValue(SwapList_Name(list))))) {
        const int sortColumn = FState.SortColumn(list);
        if (sortColumn >= 0)
            grid->sortByColumn(sortColumn,
                               FState.SortDescending(list) ? Qt::DescendingOrder : Qt::AscendingOrder);
        else
            grid->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    }
    connect(grid->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this, list] { SelectionToState(list); });
    connect(grid, &QWidget::customContextMenuRequested, this,
            [this, list](const QPoint& position) { ShowPopupMenu(list, position); });
    // A typed group is handed to the state by the model; the other lists follow once the edit
    // has finished.
    connect(&grid->Model(), &QAbstractItemModel::dataChanged, this, [this] {
        if (!FRefreshing)
            QMetaObject::invokeMethod(
                this, [this] { RefreshFromState(); }, Qt::QueuedConnection);
    });
    return grid;
}

TComponentSwapDialog::TComponentSwapDialog(IComponentSwapState& state, QWidget* parent)
    : QDialog(parent), FState(state) {
    setObjectName("ConfigureComponentPinSwap");
    setWindowTitle(ToQ(state.Caption()));
    for (const TSwapList list : cLists)
        FGrids[static_cast<int>(list)] = MakeGrid(list);

    FPages = new QTabWidget(this);
    FPages->addTab(&Grid(TSwapList::eSwapList_Pins), ToQ(state.PageCaption(TSwapPage::ePage_Pins)));
    FPages->addTab(&Grid(TSwapList::eSwapList_Pairs), ToQ(state.PageCaption(TSwapPage::ePage_Pairs)));
    auto* parts = new QSplitter(Qt::Horizontal);
    parts->addWidget(&Grid(TSwapList::eSwapList_SubParts));
    parts->addWidget(&Grid(TSwapList::eSwapList_PartPins));
    parts->setStretchFactor(0, 1);
    parts->setStretchFactor(1, 3);
    FPages->addTab(parts, ToQ(state.PageCaption(TSwapPage::ePage_Parts)));
    FPages->setCurrentIndex(static_cast<int>(state.ActivePage()));

    FImport = new QPushButton(ToQ(state.ImportCaption()), this);
    FImport->setAutoDefault(false);
    FFilter = new QComboBox(this);
    FFilter->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    FPairMode = new QComboBox(this);
    FPairMode->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    FOK = new QPushButton(QStringLiteral("OK"), this);
    FOK->setDefault(true);
    FCancel = new QPushButton(QStringLiteral("Cancel"), this);
    FCancel->setAutoDefault(false);
    auto* bar = new QHBoxLayout;
    bar->addWidget(FImport);
    bar->addWidget(FFilter);
    bar->addWidget(FPairMode);
    bar->addStretch(1);
    bar->addWidget(FOK);
    bar->addWidget(FCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(FPages, 1);
    layout->addLayout(bar);
    resize(state.ClientWidth(), state.ClientHeight());

    connect(FPages, &QTabWidget::currentChanged, this, [this](int page) {
        if (FRefreshing)
            return;
        FState.SetActivePage(static_cast<TSwapPage>(page));
        UpdateControls();
    });
    connect(FFilter, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (FRefreshing || index < 0)
            return;
        FState.SetFilter(index);
        RefreshFromState();
    });
    connect(FPairMode, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (FRefreshing || index < 0)
            return;
        FState.SetPairMode(index);
        RefreshFromState();
    });
    connect(FImport, &QPushButton::clicked, this, [this] {
        FState.ImportFromFPGA();
        RefreshFromState();
    });
    connect(FOK, &QPushButton::clicked, this, &TComponentSwapDialog::accept);
    connect(FCancel, &QPushButton::clicked, this, &TComponentSwapDialog::reject);

    RefreshFromState();
}

TComponentSwapDialog::~TComponentSwapDialog() = default;

void TComponentSwapDialog::SelectionToState(TSwapList list) {
    if (FRefreshing)
        return;
    std::vector<std::int32_t> records;
    const TSnapshotSource& source = *FSources[static_cast<int>(list)];
    for (const int row : Grid(list).SelectedSourceRows())
        records.push_back(source.Record(row));
    FState.SetSelection(list, records);
    // The part-pin list shows the pins of the selected sub-parts.
    if (list == TSwapList::eSwapList_SubParts) {
        FRefreshing = true;
        RefreshList(TSwapList::eSwapList_PartPins);
        FRefreshing = false;
    }
}

void TComponentSwapDialog::RefreshList(TSwapList list) {
    TSnapshotSource& source = *FSources[static_cast<int>(list)];
    TGridView& grid = Grid(list);
    const std::vector<std::int32_t> selected = FState.Selection(list);
    source.Refresh();
    grid.Reload();
    std::vector<int> rows;
    for (const std::int32_t record : selected)
        if (const int row = source.RowOfRecord(record); row >= 0)
            rows.push_back(row);
    grid.SelectSourceRows(rows);
}

void TComponentSwapDialog::UpdateControls() {
    const bool wasRefreshing = FRefreshing;
    FRefreshing = true;
    FillCombo(*FFilter, FState.FilterItems(), FState.Filter());
    FillCombo(*FPairMode, FState.PairModeItems(), FState.PairMode());
    FFilter->setVisible(FState.FilterVisible());
    FPairMode->setVisible(FState.PairModeVisible());
    FImport->setEnabled(FState.ImportEnabled());
    FRefreshing = wasRefreshing;
}

void TComponentSwapDialog::RefreshFromState() {
    FRefreshing = true;
    for (const TSwapList list : cLists)
        RefreshList(list);
    UpdateControls();
    FRefreshing = false;
}

std::unique_ptr<QMenu> TComponentSwapDialog::BuildPopupMenu(TSwapList list) {
    SelectionToState(list);
    auto menu = std::make_unique<QMenu>(this);
    FillMenu(*menu, FState.PopupMenu(list), [this, list](int id) {
        QMetaObject::invokeMethod(
            this,
            [this, list, id] {
                FState.RunMenuItem(list, id);
                RefreshFromState();
            },
            Qt::QueuedConnection);
    });
    return menu;
}

void TComponentSwapDialog::ShowPopupMenu(TSwapList list, const QPoint& position) {
    const std::unique_ptr<QMenu> menu = BuildPopupMenu(list);
    menu->exec(Grid(list).viewport()->mapToGlobal(position));
}

void TComponentSwapDialog::accept() {
    for (const TSwapList list : cLists)
        FState.SetLayoutValue(SwapList_Name(list), Grid(list).SaveLayout().toStdString());
    if (FState.OK())
        QDialog::accept();
}

void TComponentSwapDialog::reject() {
    if (FState.Cancel())
        QDialog::reject();
}

} // namespace permutor::dialogs::qt
