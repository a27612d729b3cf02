#include "permutor/dialogs/qt/ComponentListDialog.h"

#include "permutor/dialogs/qt/GridView.h"
#include "permutor/dialogs/qt/PopupMenu.h"
#include "permutor/dialogs/qt/SnapshotSource.h"
#include "permutor/dialogs/qt/SortProxy.h"
#include "permutor/dialogs/qt/TableModel.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QMenu>
#include <QPushButton>
#include <QVBoxLayout>

namespace permutor::dialogs::qt {

namespace {
const char* cGridLayoutName = "Grid_Main";
QString ToQ(const std::string& text) {
    return QString::fromStdString(text);
}
} // namespace

TComponentListDialog::TComponentListDialog(IComponentListState& state, QWidget* parent)
    : QDialog(parent), FState(state) {
    setWindowTitle(ToQ(state.Caption()));
    setObjectName("ConfigureAllPinSwap");
    TSnapshotSource::THooks hooks;
    hooks.Bands = [this] { return FState.Bands(); };
    hooks.Columns = [this] { return FState.Columns(); };
    hooks.Rows = [this] { return FState.Rows(); };
    hooks.SetCheck = [this](int record, int column, bool checked) {
        return FState.SetCheck(record, column, checked);
    };
    FSource = std::make_unique<TSnapshotSource>(hooks);

    FGrid = new TGridView(*FSource, this);
    FGrid->setObjectName("Grid_Main");
    FGrid->setContextMenuPolicy(Qt::CustomContextMenu);

    FConfigure = new QPushButton(ToQ(state.CommandCaption(TListCommand::eList_ConfigureComponent)), this);
    FConfigure->setObjectName("Button_ConfigureComponent");
    FConfigure->setAutoDefault(false);
    FSwappableOnly = new QCheckBox(ToQ(state.SwappableOnlyCaption()), this);
    FSwappableOnly->setObjectName("Check_SwappableOnly");
    FSwappableOnly->setChecked(state.SwappableOnly());
    const std::string okCaption = state.OKCaption();
    FOK = new QPushButton(okCaption.empty() ? QStringLiteral("OK") : ToQ(okCaption), this);
    FOK->setObjectName("Button_OK");
    FOK->setDefault(true);
    FCancel = new QPushButton(QStringLiteral("Cancel"), this);
    FCancel->setObjectName("Button_Cancel");
    FCancel->setAutoDefault(false);

    auto* bar = new QHBoxLayout;
    bar->addWidget(FConfigure);
    bar->addSpacing(12);
    bar->addWidget(FSwappableOnly);
    bar->addStretch(1);
    bar->addWidget(FOK);
    bar->addWidget(FCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(FGrid, 1);
    layout->addLayout(bar);

    // Columns fit their captions and contents, all of them within the window's width (less its
    // margins and a scroll bar); a saved layout then takes over.
    FGrid->FitColumns(240, state.ClientWidth() - 48);
    if (!FGrid->RestoreLayout(ToQ(state.LayoutValue(cGridLayoutName)))) {
        const int sortColumn = state.SortColumn();
        if (sortColumn >= 0)
            FGrid->sortByColumn(sortColumn,
                                state.SortDescending() ? Qt::DescendingOrder : Qt::AscendingOrder);
        else
            FGrid->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    }
    resize(state.ClientWidth(), state.ClientHeight());

    connect(FConfigure, &QPushButton::clicked, this, [this] { Run(TListCommand::eList_ConfigureComponent); });
    connect(FSwappableOnly, &QCheckBox::toggled, this, [this](bool on) {
        if (FRefreshing)
            return;
        FState.SetSwappableOnly(on);
        RefreshFromState();
    });
    connect(FOK, &QPushButton::clicked, this, &TComponentListDialog::accept);
    connect(FCancel, &QPushButton::clicked, this, &TComponentListDialog::reject);
    connect(FGrid->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &TComponentListDialog::SelectionToState);
    connect(FGrid->selectionModel(), &QItemSelectionModel::currentChanged, this,
            &TComponentListDialog::SelectionToState);
    connect(FGrid, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& index) {
        // A double click on a check box ticks it; elsewhere it opens the component.
        if (index.data(Qt::CheckStateRole).isValid())
            return;
        Run(TListCommand::eList_ConfigureComponent);
    });
    connect(FGrid, &QWidget::customContextMenuRequested, this, &TComponentListDialog::ShowPopupMenu);
    // A tick is applied to the state by the model at once; the rest of the window follows after
    // the click has been handled.
    connect(&FGrid->Model(), &QAbstractItemModel::dataChanged, this, [this] {
        if (!FRefreshing)
            QMetaObject::invokeMethod(
                this, [this] { RefreshFromState(); }, Qt::QueuedConnection);
    });

    RefreshFromState();
    if (FSource->RowCount() > 0 && FState.Focused() < 0)
        FGrid->setCurrentIndex(FGrid->model()->index(0, 0));
}

TComponentListDialog::~TComponentListDialog() = default;

void TComponentListDialog::SelectionToState() {
    if (FRefreshing)
        return;
    std::vector<std::int32_t> records;
    for (const int row : FGrid->SelectedSourceRows())
        records.push_back(FSource->Record(row));
    FState.SetSelection(records, FSource->Record(FGrid->FocusedSourceRow()));
    UpdateCommands();
}

void TComponentListDialog::UpdateCommands() {
    FConfigure->setEnabled(FState.CommandEnabled(TListCommand::eList_ConfigureComponent));
}

void TComponentListDialog::RefreshFromState() {
    FRefreshing = true;
    const std::vector<std::int32_t> selected = FState.Selection();
    const std::int32_t focused = FState.Focused();
    FSource->Refresh();
    FGrid->Reload();
    FSwappableOnly->setChecked(FState.SwappableOnly());
    std::vector<int> rows;
    for (const std::int32_t record : selected)
        if (const int row = FSource->RowOfRecord(record); row >= 0)
            rows.push_back(row);
    FGrid->SelectSourceRows(rows);
    if (const int row = FSource->RowOfRecord(focused); row >= 0)
        FGrid->selectionModel()->setCurrentIndex(FGrid->Proxy().mapFromSource(FGrid->Model().index(row, 0)),
                                                 QItemSelectionModel::NoUpdate);
    FRefreshing = false;
    // The state may have dropped rows that left the list; tell it what is selected now.
    SelectionToState();
}

void TComponentListDialog::Run(TListCommand command) {
    SelectionToState();
    if (!FState.CommandEnabled(command))
        return;
    FState.RunCommand(command);
    RefreshFromState();
}

std::unique_ptr<QMenu> TComponentListDialog::BuildPopupMenu() {
    SelectionToState();
    auto menu = std::make_unique<QMenu>(this);
    FillMenu(*menu, FState.PopupMenu(), [this](int id) {
        // Run after the menu has closed, so a nested dialog does not open inside the menu's loop.
        QMetaObject::invokeMethod(
            this, [this, id] { Run(static_cast<TListCommand>(id)); }, Qt::QueuedConnection);
    });
    return menu;
}

void TComponentListDialog::ShowPopupMenu(const QPoint& position) {
    const std::unique_ptr<QMenu> menu = BuildPopupMenu();
    menu->exec(FGrid->viewport()->mapToGlobal(position));
}

void TComponentListDialog::accept() {
    FState.SetLayoutValue(cGridLayoutName, FGrid->SaveLayout().toStdString());
    if (FState.OK())
        QDialog::accept();
}

void TComponentListDialog::reject() {
    // Escape, Cancel and the window's close button all ask the state first.
    if (FState.Cancel())
        QDialog::reject();
}

} // namespace permutor::dialogs::qt
