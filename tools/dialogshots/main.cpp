// dialogshots: pictures of the configuration dialogs on a KiCad project, for the README and for
// a look at the windows without a desktop session. It opens the project in the stand-in host (in
// memory; nothing is saved), starts the configuration command the way a desktop host does, and
// clicks through the windows: the list, the quad NAND's gates made one part swap group, the BGA's
// pins grouped by bank, the list again with its changes. Each step is grabbed to a PNG.
//
//   dialogshots PROJECT.kicad_pro OUTPUT_FOLDER [NAND_REF BGA_REF]
#include "permutor/dialogs/ConfigureEntry.h"
#include "permutor/dialogs/DialogViewsLoader.h"
#include "permutor/dialogs/qt/ComponentListDialog.h"
#include "permutor/dialogs/qt/ComponentSwapDialog.h"
#include "permutor/dialogs/qt/DrivenViews.h"
#include "permutor/dialogs/qt/GridView.h"
#include "permutor/host/Services.h"

#include "pcbhost/project/KicadProject.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QMenu>
#include <QPixmap>
#include <QPushButton>
#include <QTabWidget>

#include <cstdio>
#include <exception>

using namespace permutor::dialogs;
using namespace permutor::dialogs::qt;

namespace {

QString gOut;
int gFailures = 0;

void Save(const QPixmap& picture, const QString& name) {
    const QString path = QDir(gOut).filePath(name + ".png");
    if (picture.save(path))
        std::printf("%s\n", qPrintable(path));
    else {
        std::fprintf(stderr, "dialogshots: cannot write %s\n", qPrintable(path));
        ++gFailures;
    }
}

// `smallName`: also a copy at most 900 pixels wide (for the README).
void Shot(QWidget& window, const QString& name, const QString& smallName = {}) {
    window.raise();
    ProcessPendingEvents();
    const QPixmap picture = window.grab();
    Save(picture, name);
    if (!smallName.isEmpty())
        Save(picture.width() > 900 ? picture.scaledToWidth(900, Qt::SmoothTransformation) : picture,
             smallName);
}

void Step(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "dialogshots: %s did not work\n", what);
        ++gFailures;
    }
}

} // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    if (argc != 3 && argc != 5) {
        std::fprintf(stderr, "usage: dialogshots PROJECT.kicad_pro OUTPUT_FOLDER [NAND_REF BGA_REF]\n");
        return 2;
    }
    gOut = QString::fromLocal8Bit(argv[2]);
    QDir().mkpath(gOut);
    const QString nand = argc == 5 ? argv[3] : "U2";
    const QString bga = argc == 5 ? argv[4] : "U1";

    try {
        // Options in a folder of our own: the user's saved layouts are neither read nor changed.
        const QString options = QDir(gOut).filePath(".options");
        QDir(options).removeRecursively();
        pcbhost::THostSettings settings;
        settings.OptionsDirectory = options.toStdString();
        pcbhost::THost host(settings);
        host.UI().SetDesktopUI(true);
        // The tour ends with Cancel; its confirmation is answered Yes, so nothing is written.
        host.UI().SetAnswerForCaption("Confirm Abandon Changes?", permutor::host::eModal_Yes);
        auto project = pcbhost::kicad::TKicadProject::Open(host, argv[1]);
        permutor::host::Client_Set(host.Client().get());

        TDrivenDialogViews views;
        int component = 0;
        views.SwapScript = [&](TComponentSwapDialog& dialog) {
            dialog.resize(dialog.size());
            if (component++ == 0) {
                // The quad NAND: its four gates become one part swap group.
                dialog.Pages().setCurrentIndex(static_cast<int>(TSwapPage::ePage_Parts));
                TGridView& subParts = dialog.Grid(TSwapList::eSwapList_SubParts);
                SelectAllRows(subParts);
                Step(TriggerMenuPath(*dialog.BuildPopupMenu(TSwapList::eSwapList_SubParts),
                                     {"Remove From Part-Swap Group"}),
                     "Remove From Part-Swap Group");
                ProcessPendingEvents();
                // The four gates, not the power unit.
                Step(SelectRowsWhere(subParts, "Name",
                                     [&](const QString& name) {
                                         return name.size() == nand.size() + 1 &&
                                                QString("ABCD").contains(name.back());
                                     }) == 4,
                     "selecting the four gates");
                Step(TriggerMenuPath(*dialog.BuildPopupMenu(TSwapList::eSwapList_SubParts),
                                     {"Add To Part-Swap Group", "&New"}),
                     "Add To Part-Swap Group / New");
                ProcessPendingEvents();
                Shot(dialog, "configure-component-parts");
            } else {
                // The BGA: its pins grouped by IO bank.
                dialog.Pages().setCurrentIndex(static_cast<int>(TSwapPage::ePage_Pins));
                TGridView& pins = dialog.Grid(TSwapList::eSwapList_Pins);
                SelectAllRows(pins);
                auto menu = dialog.BuildPopupMenu(TSwapList::eSwapList_Pins);
                Step(TriggerMenuPath(*menu, {"Assign Pin-Swap Groups By", "IO Bank #"}),
                     "Assign Pin-Swap Groups By / IO Bank #");
                ProcessPendingEvents();
                // A few rows selected, so the picture shows the columns' shades too.
                Step(SelectRowsWhere(pins, "Designator",
                                     [](const QString& d) { return d == "G7" || d == "G8"; }) == 2,
                     "selecting two pins");
                Shot(dialog, "configure-component-pins");
                // The pairs the FPGA's pin data names.
                dialog.Pages().setCurrentIndex(static_cast<int>(TSwapPage::ePage_Pairs));
                dialog.PairModeCombo().setCurrentIndex(2);
                ProcessPendingEvents();
                Shot(dialog, "configure-component-pairs");
            }
            dialog.OKButton().click();
        };
        views.ListScript = [&](TComponentListDialog& dialog) {
            Shot(dialog, "configure-list");
            for (const QString& ref : {nand, bga}) {
                Step(SelectRowsWhere(dialog.Grid(), "Designator",
                                     [&](const QString& t) { return t == ref; }) == 1,
                     "selecting a component");
                dialog.ConfigureButton().click();
                ProcessPendingEvents();
            }
            Shot(dialog, "configure-list-changed", "configure-list-small");
            dialog.CancelButton().click();
        };
        DialogViews_Install(&views);
        ConfigurePinSwap_Run(project->BoardPath(), "", "");
        DialogViews_Install(nullptr);
        permutor::host::Client_Set(nullptr);
        QDir(options).removeRecursively();
        for (const auto& box : host.UI().Boxes())
            std::fprintf(stderr, "dialogshots: box %s: %s\n", box.Caption.c_str(), box.Text.c_str());
        Step(views.ListShown == 1 && views.SwapShown == 2, "opening the dialogs");
    } catch (const std::exception& error) {
        std::fprintf(stderr, "dialogshots: %s\n", error.what());
        return 1;
    }
    return gFailures == 0 ? 0 : 1;
}
