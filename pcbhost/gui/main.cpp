// permutor-gui: the desktop window of the stand-in host.
//   permutor-gui [PROJECT_OR_BOARD] [--module LIB] [--screenshot FILE.png [--run COMMAND]]
// --screenshot opens the project, fits the board, optionally runs a module command (its boxes
// answered with their default button) and writes a picture of the window, then exits.
#include "pcbhost/gui/MainWindow.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <cstdio>

// GLib (under Qt's fonts and platform theme) keeps a few blocks for the life of the process,
// which the leak checker of sanitizer builds would report at exit.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libglib-2.0.so\n";
}

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setOrganizationName("Permutor");
    QApplication::setApplicationName("permutor-gui");

    QCommandLineParser parser;
    parser.setApplicationDescription("Pin, gate and differential-pair swapping on KiCad boards.");
    parser.addHelpOption();
    parser.addPositionalArgument("project", "A .kicad_pro or .kicad_pcb to open.", "[PROJECT_OR_BOARD]");
    const QCommandLineOption module("module", "The module library to load (default: beside the program).",
                                    "LIB");
    const QCommandLineOption screenshot("screenshot", "Write a picture of the window to FILE and exit.",
                                        "FILE");
    const QCommandLineOption run("run", "With --screenshot: run this module command first.", "COMMAND");
    parser.addOptions({module, screenshot, run});
    parser.process(app);

    pcbhost::gui::TMainWindow window(parser.value(module).toStdString());
    const QStringList paths = parser.positionalArguments();
    if (!parser.isSet(screenshot)) {
        window.show();
        if (!paths.isEmpty())
            QTimer::singleShot(0, &window, [&] { window.OpenPath(paths.front()); });
        return app.exec();
    }

    if (paths.isEmpty()) {
        std::fprintf(stderr, "permutor-gui: --screenshot needs a project to show\n");
        return 2;
    }
    // Nobody is there to answer: every box takes its default button.
    QObject::connect(
        &window.UI(), &pcbhost::gui::TDesktopUI::ModalAboutToShow, &window,
        [](QWidget* dialog) {
            if (auto* box = qobject_cast<QMessageBox*>(dialog))
                box->defaultButton() ? box->defaultButton()->click() : box->accept();
            else if (auto* other = qobject_cast<QDialog*>(dialog))
                other->reject();
        },
        Qt::QueuedConnection);
    window.resize(1400, 860);
    window.show();
    if (!window.OpenPath(paths.front()))
        return 1;
    if (parser.isSet(run))
        window.RunCommand(parser.value(run).toStdString());
    window.View()->Fit();
    QApplication::processEvents();
    if (!window.grab().save(parser.value(screenshot))) {
        std::fprintf(stderr, "permutor-gui: cannot write %s\n", qPrintable(parser.value(screenshot)));
        return 1;
    }
    return 0;
}
