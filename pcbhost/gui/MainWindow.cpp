#include "pcbhost/gui/MainWindow.h"

#include "pcbhost/model/Framework.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDockWidget>
#include <QFileDialog>
#include <QFileInfo>
#include <QGraphicsItem>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QPixmap>
#include <QRegularExpression>
#include <QSettings>
#include <QStatusBar>
#include <QTableWidget>
#include <QToolBar>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <fmt/format.h>

namespace pcbhost::gui {

namespace {

constexpr int cRecentFiles = 8;
constexpr int cProbeRole = Qt::UserRole + 1;

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

QIcon Swatch(const QColor& colour) {
    QPixmap pixmap(14, 14);
    pixmap.fill(colour);
    return QIcon(pixmap);
}

// Short labels for the toolbar; the menu shows the host's full entries.
const char* ToolbarText(const std::string& command) {
    if (command == "RunAutoPermutor")
        return "Optimise";
    if (command == "RunManualPermutor")
        return "Swap pins";
    if (command == "RunManualPartSwapper")
        return "Swap gates";
    if (command == "RunManualDifferentialPairSwapper")
        return "Swap pairs";
    if (command == "ConfigurePermutor")
        return "Configure";
    return nullptr;
}

} // namespace

TMainWindow::TMainWindow(const std::string& modulePath)
    : FModulePath(modulePath), FScene(new TBoardScene(this)), FView(new TBoardView(FScene, this)) {
    setCentralWidget(FView);
    FHover = new QLabel(this);
    statusBar()->addPermanentWidget(FHover);
    FUI = MakeObject<TDesktopUI>(this, FView, statusBar());
    BuildActions();
    BuildDocks();
    connect(FView, &TBoardView::Hovered, this, &TMainWindow::ShowHover);
    // An interactive swap reports each swap before it asks for the next pick.
    connect(FUI.get(), &TDesktopUI::PickRequested, this, [this] {
        ShowNewMessages();
        FScene->RefreshRatsnest();
        UpdateFigures();
    });
    // A box the module showed stays readable in the list after it is closed.
    connect(FUI.get(), &TDesktopUI::MessageShown, this, [this](const QString& caption, const QString& text) {
        AddMessage(tr("Box"), caption, FDocument ? Q(FDocument->Title()) : QString(),
                   QString(text).simplified());
    });
    resize(1280, 820);
    UpdateTitle();
    UpdateActions();
}

TMainWindow::~TMainWindow() {
    FUI->CancelPick();
    FDocument.reset();
}

void TMainWindow::BuildActions() {
    QMenu* file = menuBar()->addMenu(tr("&File"));
    FOpen = file->addAction(tr("&Open…"), this, &TMainWindow::OpenDialog);
    FOpen->setShortcut(QKeySequence::Open);
    FRecentMenu = file->addMenu(tr("Open &Recent"));
    connect(FRecentMenu, &QMenu::aboutToShow, this, &TMainWindow::FillRecentMenu);
    FSave = file->addAction(tr("&Save"), this, [this] { SaveDocument(); });
    FSave->setShortcut(QKeySequence::Save);
    file->addSeparator();
    QAction* quit = file->addAction(tr("&Quit"), this, &QWidget::close);
    quit->setShortcut(QKeySequence::Quit);

    QMenu* edit = menuBar()->addMenu(tr("&Edit"));
    FUndo = edit->addAction(tr("&Undo"), this, &TMainWindow::UndoStep);
    FUndo->setShortcut(QKeySequence::Undo);
    FRedo = edit->addAction(tr("&Redo"), this, &TMainWindow::RedoStep);
    FRedo->setShortcut(QKeySequence::Redo);

    QMenu* view = menuBar()->addMenu(tr("&View"));
    FFit = view->addAction(tr("Zoom to &Fit"), FView, &TBoardView::Fit);
    FFit->setShortcut(Qt::Key_Home);
    FZoomIn = view->addAction(tr("Zoom &In"), this, [this] { FView->ZoomBy(1.5); });
    FZoomIn->setShortcut(QKeySequence::ZoomIn);
    FZoomOut = view->addAction(tr("Zoom &Out"), this, [this] { FView->ZoomBy(1 / 1.5); });
    FZoomOut->setShortcut(QKeySequence::ZoomOut);
    view->addSeparator();
    FLayersMenu = view->addMenu(tr("&Panels"));

    QMenu* swap = menuBar()->addMenu(tr("&Swap"));
    QToolBar* tools = addToolBar(tr("Commands"));
    tools->setObjectName("commands");
    tools->setToolButtonStyle(Qt::ToolButtonTextOnly);
    tools->addAction(FOpen);
    tools->addAction(FSave);
    tools->addSeparator();
    tools->addAction(FUndo);
    tools->addAction(FRedo);
    tools->addAction(FFit);
    tools->addSeparator();
    for (const char* command : cli::cModuleCommands) {
        QAction* action = swap->addAction(tr(cli::ModuleCommand_MenuItem(command)));
        const std::string name = command;
        connect(action, &QAction::triggered, this, [this, name] { RunCommand(name); });
        action->setStatusTip(Q(name));
        FCommands[name] = action;
        if (const char* text = ToolbarText(name)) {
            tools->addAction(action);
            // The toolbar button keeps its short text while the menu shows the long one.
            if (auto* button = tools->widgetForAction(action))
                button->setToolTip(action->text());
            action->setIconText(tr(text));
        }
    }
}

void TMainWindow::BuildDocks() {
    FMessages = new QTreeWidget(this);
    FMessages->setColumnCount(4);
    FMessages->setHeaderLabels({tr("Class"), tr("Source"), tr("Document"), tr("Message")});
    FMessages->setRootIsDecorated(false);
    FMessages->setUniformRowHeights(true);
    FMessages->header()->setStretchLastSection(true);
    FMessages->setColumnWidth(0, 110);
    FMessages->setColumnWidth(1, 150);
    FMessages->setColumnWidth(2, 130);
    connect(FMessages, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem* item) { SelectFromMessage(item); });
    auto* messagesDock = new QDockWidget(tr("Messages"), this);
    messagesDock->setObjectName("messages");
    messagesDock->setWidget(FMessages);
    addDockWidget(Qt::BottomDockWidgetArea, messagesDock);

    auto* figures = new QWidget(this);
    auto* layout = new QVBoxLayout(figures);
    FFiguresCaption = new QLabel(tr("No command run yet"), figures);
    FFiguresCaption->setWordWrap(true);
    FFigures = new QTableWidget(3, 3, figures);
    FFigures->setHorizontalHeaderLabels({tr("Before"), tr("After"), tr("Change")});
    FFigures->setVerticalHeaderLabels({tr("Ratsnest (mm)"), tr("Ratsnest lines"), tr("Proper crossings")});
    FFigures->setEditTriggers(QAbstractItemView::NoEditTriggers);
    FFigures->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    FFigures->setSizeAdjustPolicy(QAbstractScrollArea::AdjustToContents);
    FFigures->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    FFigures->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    FFigures->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Maximum);
    layout->addWidget(FFiguresCaption);
    layout->addWidget(FFigures);
    layout->addStretch();
    auto* figuresDock = new QDockWidget(tr("Figures"), this);
    figuresDock->setObjectName("figures");
    figuresDock->setWidget(figures);
    addDockWidget(Qt::RightDockWidgetArea, figuresDock);

    FLayerList = new QListWidget(this);
    connect(FLayerList, &QListWidget::itemChanged, this, [this](QListWidgetItem* item) {
        FScene->SetLayerVisible(item->data(Qt::UserRole).toInt(), item->checkState() == Qt::Checked);
    });
    auto* layersDock = new QDockWidget(tr("Layers"), this);
    layersDock->setObjectName("layers");
    layersDock->setWidget(FLayerList);
    addDockWidget(Qt::RightDockWidgetArea, layersDock);
    resizeDocks({messagesDock}, {170}, Qt::Vertical);
    resizeDocks({figuresDock}, {330}, Qt::Horizontal);

    for (QDockWidget* dock : {messagesDock, figuresDock, layersDock})
        FLayersMenu->addAction(dock->toggleViewAction());
}

QAction* TMainWindow::CommandAction(const std::string& command) const {
    const auto found = FCommands.find(command);
    return found == FCommands.end() ? nullptr : found->second;
}

bool TMainWindow::OpenPath(const QString& path) {
    if (FBusy || !MaybeSave())
        return false;
    auto document = std::make_unique<TDocument>(IPtr<IHostUI>(FUI.get()), FModulePath);
    try {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        document->Open(path.toStdString());
        QApplication::restoreOverrideCursor();
    } catch (const std::exception& e) {
        QApplication::restoreOverrideCursor();
        QMessageBox box(QMessageBox::Critical, tr("Cannot open"), Q(e.what()), QMessageBox::Ok, this);
        emit FUI->ModalAboutToShow(&box);
        box.exec();
        return false;
    }
    FScene->Build(nullptr);
    FDocument = std::move(document);
    FMessages->clear();
    FPanelShown = 0;
    FScene->Build(FDocument->Board());
    UpdateLayers();
    FView->Fit();
    for (const auto& note : FDocument->TakeNotes())
        AddMessage(tr("Host"), "permutor-gui", QFileInfo(path).fileName(), Q(note));
    AddRecent(QFileInfo(path).absoluteFilePath());
    UpdateTitle();
    UpdateActions();
    UpdateFigures();
    return true;
}

void TMainWindow::OpenDialog() {
    const QString path =
        QFileDialog::getOpenFileName(this, tr("Open a KiCad project or board"), {},
                                     tr("KiCad projects and boards (*.kicad_pro *.kicad_pcb)"));
    if (!path.isEmpty())
        OpenPath(path);
}

void TMainWindow::AddRecent(const QString& path) {
    QSettings settings;
    QStringList recent = settings.value("recentFiles").toStringList();
    recent.removeAll(path);
    recent.prepend(path);
    while (recent.size() > cRecentFiles)
        recent.removeLast();
    settings.setValue("recentFiles", recent);
}

void TMainWindow::FillRecentMenu() {
    FRecentMenu->clear();
    const QStringList recent = QSettings().value("recentFiles").toStringList();
    for (const QString& path : recent)
        FRecentMenu->addAction(path, this, [this, path] { OpenPath(path); });
    if (recent.isEmpty())
        FRecentMenu->addAction(tr("(none)"))->setEnabled(false);
}

void TMainWindow::RunCommand(const std::string& command) {
    if (!FDocument || FBusy)
        return;
    FBusy = true;
    UpdateActions();
    FScene->SetHighlight({});
    try {
        FDocument->Launch(command);
    } catch (const std::exception& e) {
        AddMessage(tr("Error"), "permutor-gui", {}, Q(e.what()));
    }
    FBusy = false;
    FScene->SetHighlight({});
    FUI->ClearPanelText();
    AfterChange();
}

void TMainWindow::AfterChange() {
    FScene->RefreshRatsnest();
    FView->viewport()->update();
    ShowNewMessages();
    UpdateFigures();
    UpdateTitle();
    UpdateActions();
}

void TMainWindow::UndoStep() {
    if (FDocument && !FBusy && FDocument->Undo()) {
        statusBar()->showMessage(tr("Undone"), 3000);
        AfterChange();
    }
}

void TMainWindow::RedoStep() {
    if (FDocument && !FBusy && FDocument->Redo()) {
        statusBar()->showMessage(tr("Redone"), 3000);
        AfterChange();
    }
}

bool TMainWindow::SaveDocument() {
    if (!FDocument || FBusy)
        return false;
    bool saved = true;
    try {
        FDocument->Save();
    } catch (const std::exception& e) {
        saved = false;
        QMessageBox box(QMessageBox::Critical, tr("Not saved"), Q(e.what()), QMessageBox::Ok, this);
        emit FUI->ModalAboutToShow(&box);
        box.exec();
    }
    ShowNewMessages();
    UpdateTitle();
    UpdateActions();
    return saved;
}

bool TMainWindow::MaybeSave() {
    if (!FDocument || !FDocument->Modified())
        return true;
    QMessageBox box(QMessageBox::Warning, tr("Unsaved changes"),
                    tr("%1 has changes that are not saved. Save them?").arg(Q(FDocument->Title())),
                    QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, this);
    box.setDefaultButton(QMessageBox::Save);
    emit FUI->ModalAboutToShow(&box);
    switch (box.exec()) {
    case QMessageBox::Save:
        return SaveDocument();
    case QMessageBox::Discard:
        return true;
    default:
        return false;
    }
}

void TMainWindow::closeEvent(QCloseEvent* event) {
    // A command that waits for a pick is cancelled first; the window closes after it ends.
    if (FBusy) {
        FUI->CancelPick();
        event->ignore();
        return;
    }
    if (MaybeSave())
        event->accept();
    else
        event->ignore();
}

void TMainWindow::UpdateTitle() {
    if (!FDocument) {
        setWindowTitle(tr("Permutor"));
        setWindowModified(false);
        return;
    }
    setWindowTitle(tr("%1[*] — %2 — Permutor").arg(Q(FDocument->Title()), Q(FDocument->Path())));
    setWindowModified(FDocument->Modified());
}

void TMainWindow::UpdateActions() {
    const bool open = FDocument != nullptr;
    FOpen->setEnabled(!FBusy);
    FRecentMenu->setEnabled(!FBusy);
    FSave->setEnabled(open && !FBusy && FDocument->Modified());
    FUndo->setEnabled(open && !FBusy && FDocument->CanUndo());
    FRedo->setEnabled(open && !FBusy && FDocument->CanRedo());
    FFit->setEnabled(open);
    for (auto& [command, action] : FCommands) {
        if (!open) {
            action->setEnabled(false);
            continue;
        }
        const cli::TCommandState state = FDocument->State(command);
        action->setVisible(state.Visible != 0);
        action->setEnabled(!FBusy && state.Enabled != 0 && state.Visible != 0);
    }
}

void TMainWindow::UpdateLayers() {
    const QSignalBlocker block(FLayerList);
    FLayerList->clear();
    for (const auto& layer : FScene->Layers()) {
        auto* item = new QListWidgetItem(Swatch(layer.Colour), layer.Name, FLayerList);
        item->setData(Qt::UserRole, layer.Key);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(layer.Item->isVisible() ? Qt::Checked : Qt::Unchecked);
    }
}

void TMainWindow::UpdateFigures() {
    if (!FDocument)
        return;
    const auto& last = FDocument->LastFigures();
    const cli::TBoardFigures now = FDocument->Figures();
    const cli::TBoardFigures& before = last ? last->Before : now;
    const cli::TBoardFigures& after = last ? last->After : now;
    FFiguresCaption->setText(last ? tr("Last change: %1").arg(tr(cli::ModuleCommand_MenuItem(last->Command)))
                                  : tr("No change made yet: the board as opened"));
    auto set = [this](int row, const QString& a, const QString& b, const QString& change) {
        const QString texts[] = {a, b, change};
        for (int column = 0; column < 3; ++column) {
            auto* item = new QTableWidgetItem(texts[column]);
            item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            FFigures->setItem(row, column, item);
        }
    };
    set(0, QString::number(before.RatsnestLengthMM(), 'f', 2),
        QString::number(after.RatsnestLengthMM(), 'f', 2),
        QString::number(after.RatsnestLengthMM() - before.RatsnestLengthMM(), 'f', 2));
    set(1, QString::number(before.Connections), QString::number(after.Connections),
        QString::number(after.Connections - before.Connections));
    set(2, QString::number(before.CrossOvers), QString::number(after.CrossOvers),
        QString::number(after.CrossOvers - before.CrossOvers));
}

void TMainWindow::AddMessage(const QString& cls, const QString& source, const QString& document,
                             const QString& text, const QString& probe) {
    auto* item = new QTreeWidgetItem(FMessages, {cls, source, document, text});
    item->setData(0, cProbeRole, probe);
    item->setToolTip(3, text);
    FMessages->scrollToItem(item);
}

void TMainWindow::ShowNewMessages() {
    if (!FDocument)
        return;
    const auto& panel = FDocument->Session().Host().Messages();
    for (; FPanelShown < panel.size(); ++FPanelShown) {
        const auto& line = panel[FPanelShown];
        AddMessage(Q(line.MessageClass), Q(line.Source), Q(line.DocumentName),
                   ModuleText(line.Text).simplified(), Q(line.CrossProbeParameters));
    }
    for (const auto& note : FDocument->TakeNotes())
        AddMessage(tr("Host"), "permutor-gui", Q(FDocument->Title()), Q(note));
}

void TMainWindow::SelectFromMessage(QTreeWidgetItem* item) {
    if (!item || !FDocument || !FDocument->Board())
        return;
    // The objects a line names: the cross-probe target, else every REF-PAD(NET) of its text.
    QStringList names;
    const std::string probe = item->data(0, cProbeRole).toString().toStdString();
    std::string value;
    for (const char* key : {"Id", "PrimaryId"})
        if (Parameters_Find(probe, key, value) && !value.empty())
            names << Q(value);
    static const QRegularExpression padInText(QStringLiteral("([A-Za-z0-9_.+/]+-[A-Za-z0-9_.+]+)\\("));
    for (auto match = padInText.globalMatch(item->text(3)); match.hasNext();)
        names << match.next().captured(1);
    std::vector<std::uintptr_t> objects;
    TPad* first = nullptr;
    for (const QString& name : names) {
        cli::TPickOption pick;
        pick.Kind = cli::TPickOption::ePad;
        pick.Text = name.toStdString();
        std::string error;
        if (TPad* pad = FDocument->Session().FindPadObject(pick, error)) {
            objects.push_back(ObjectIdentity(pad->Interface()));
            first = first ? first : pad;
        }
    }
    FScene->SetHighlight(objects);
    if (first)
        FView->CentreOn(QPointF(ToSceneMM(double(first->X())), ToSceneMM(double(first->Y()))));
}

void TMainWindow::ShowHover(QPointF at) {
    QString text = QStringLiteral("%1, %2 mm").arg(at.x(), 0, 'f', 3).arg(at.y(), 0, 'f', 3);
    if (TPad* pad = FScene->PadAt(at)) {
        const QString reference = pad->OwnerComponent() ? Q(pad->OwnerComponent()->NameText()) : QString();
        TPcbNet* net = pad->OwnerNet();
        text = tr("%1  pad %2  net %3    ")
                   .arg(reference, Q(pad->Name()),
                        net && !net->Name().empty() ? Q(net->Name()) : tr("(no net)")) +
               text;
    }
    FHover->setText(text);
}

} // namespace pcbhost::gui
