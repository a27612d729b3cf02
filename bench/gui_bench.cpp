// Frame times of the board view on the largest shared board, drawn offscreen: the first frame
// after zoom to fit, frames while zooming in and out about a point, and frames while panning at
// a close zoom. Prints milliseconds per frame; a fluid view wants well under 16 ms.
//   gui_bench [BOARD]   (default: the unrouted glasgow board)
#include "pcbhost/gui/BoardView.h"
#include "pcbhost/project/KicadProject.h"

#include <QGraphicsItem>

#include <QApplication>
#include <QElapsedTimer>
#include <QScrollBar>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

struct TFigures {
    double Mean = 0, Worst = 0;
};

// Paints the view's viewport into a pixmap, as a screen update would, `frames` times.
TFigures Frames(pcbhost::gui::TBoardView& view, int frames, const std::function<void(int)>& step) {
    std::vector<double> times;
    QElapsedTimer timer;
    for (int i = 0; i < frames; ++i) {
        step(i);
        timer.start();
        QPixmap frame = view.viewport()->grab();
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    TFigures f;
    for (double t : times)
        f.Mean += t / double(times.size());
    f.Worst = *std::max_element(times.begin(), times.end());
    return f;
}

} // namespace

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const std::string path = argc > 1
                                 ? argv[1]
                                 : std::string(PERMUTOR_SHARED_DIR) +
                                       "/boards/glasgow/hardware/boards/glasgow/glasgow-unrouted.kicad_pcb";
    pcbhost::THost host;
    QElapsedTimer timer;
    timer.start();
    auto project = pcbhost::kicad::TKicadProject::Open(host, path);
    const double loadMs = double(timer.nsecsElapsed()) / 1e6;
    pcbhost::gui::TBoardScene scene;
    timer.start();
    scene.Build(project->Board());
    const double buildMs = double(timer.nsecsElapsed()) / 1e6;
    pcbhost::gui::TBoardView view(&scene);
    view.resize(1400, 860);
    view.show();
    QApplication::processEvents();

    std::printf("board %s: %zu objects, %zu ratsnest lines\n", path.c_str(),
                project->Board()->PrimitiveList().size(), scene.RatsnestLineCount());
    std::printf("load %.1f ms, scene build %.1f ms, view 1400x860\n", loadMs, buildMs);
    std::printf("%-28s %10s %10s\n", "frames", "mean ms", "worst ms");
    auto show = [](const char* what, TFigures f) {
        std::printf("%-28s %10.2f %10.2f\n", what, f.Mean, f.Worst);
    };
    // What a frame costs without the board: the grab itself and the background.
    for (const auto& layer : scene.Layers())
        layer.Item->setVisible(false);
    show("empty view (baseline)", Frames(view, 10, [&](int) { view.Fit(); }));
    for (const auto& layer : scene.Layers())
        layer.Item->setVisible(true);
    show("zoom to fit", Frames(view, 10, [&](int) { view.Fit(); }));
    show("zoom in and out (x1.2)", Frames(view, 40, [&](int i) { view.ZoomBy(i < 20 ? 1.2 : 1 / 1.2); }));
    view.Fit();
    view.ZoomBy(8);
    show("pan at 8x (40 px steps)", Frames(view, 40, [&](int i) {
             auto* bar = view.horizontalScrollBar();
             bar->setValue(bar->value() + (i < 20 ? 40 : -40));
         }));
    view.Fit();
    show("pan at fit (40 px steps)", Frames(view, 40, [&](int i) {
             auto* bar = view.verticalScrollBar();
             bar->setValue(bar->value() + (i < 20 ? 40 : -40));
         }));
    return 0;
}
