#include "pcbhost/gui/BoardView.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPixmapCache>
#include <QResizeEvent>
#include <QScrollBar>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace pcbhost::gui {

namespace {
// A press that moves less than this is a click, not a drag.
constexpr int cDragThreshold = 4;
constexpr double cWheelStep = 1.2;
} // namespace

TBoardView::TBoardView(TBoardScene* scene, QWidget* parent) : QGraphicsView(scene, parent), FScene(scene) {
    setMouseTracking(true);
    setTransformationAnchor(QGraphicsView::AnchorUnderMouse);
    setResizeAnchor(QGraphicsView::AnchorViewCenter);
    setViewportUpdateMode(QGraphicsView::SmartViewportUpdate);
    setOptimizationFlags(QGraphicsView::DontSavePainterState | QGraphicsView::DontAdjustForAntialiasing);
    setFocusPolicy(Qt::StrongFocus);
    // Room for the cached picture of every layer of a large window (Qt keeps 10 MB by default).
    QPixmapCache::setCacheLimit(std::max(QPixmapCache::cacheLimit(), 256 * 1024));
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
}

void TBoardView::Fit() {
    if (FScene->BoardRect().isEmpty())
        return;
    resetTransform();
    fitInView(FScene->BoardRect(), Qt::KeepAspectRatio);
    FFitted = true;
}

void TBoardView::resizeEvent(QResizeEvent* event) {
    QGraphicsView::resizeEvent(event);
    if (FFitted)
        Fit();
}

void TBoardView::ZoomBy(double factor) {
    const double zoom = Zoom();
    // Between a whole board in a few pixels and a pad filling the screen.
    if ((factor > 1 && zoom > 2000) || (factor < 1 && zoom < 0.05))
        return;
    FFitted = false;
    scale(factor, factor);
}

double TBoardView::Zoom() const {
    return transform().m11();
}

QPoint TBoardView::ViewPointOf(TCoord x, TCoord y) const {
    return mapFromScene(QPointF(ToSceneMM(double(x)), ToSceneMM(double(y))));
}

void TBoardView::SetPicking(bool picking) {
    FPicking = picking;
    viewport()->setCursor(picking ? Qt::CrossCursor : Qt::ArrowCursor);
    if (picking)
        setFocus();
}

void TBoardView::wheelEvent(QWheelEvent* event) {
    const double steps = event->angleDelta().y() / 120.0;
    if (steps != 0)
        ZoomBy(std::pow(cWheelStep, steps));
    event->accept();
}

void TBoardView::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton) {
        if (FPicking)
            emit CancelRequested();
        event->accept();
        return;
    }
    FPressed = true;
    FDragging = false;
    FButton = event->button();
    FPressAt = FLastAt = event->position().toPoint();
    event->accept();
}

void TBoardView::mouseMoveEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    emit Hovered(mapToScene(at));
    if (!FPressed)
        return;
    if (!FDragging && (at - FPressAt).manhattanLength() >= cDragThreshold)
        FDragging = true;
    if (FDragging) {
        FFitted = false;
        const QPoint delta = at - FLastAt;
        horizontalScrollBar()->setValue(horizontalScrollBar()->value() - delta.x());
        verticalScrollBar()->setValue(verticalScrollBar()->value() - delta.y());
    }
    FLastAt = at;
}

void TBoardView::mouseReleaseEvent(QMouseEvent* event) {
    const bool click =
        FPressed && !FDragging && FButton == Qt::LeftButton && event->button() == Qt::LeftButton;
    FPressed = FDragging = false;
    if (click)
        emit Clicked(mapToScene(event->position().toPoint()));
    event->accept();
}

void TBoardView::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && FPicking) {
        emit CancelRequested();
        event->accept();
        return;
    }
    QGraphicsView::keyPressEvent(event);
}

} // namespace pcbhost::gui
