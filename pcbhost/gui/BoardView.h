// The board on screen: wheel zoom about the cursor, panning with the middle button (or a drag
// with the left one), zoom to fit, and clicks turned into board points. While the host waits for
// a location a left click picks it, and Escape or a right click cancels.
#pragma once

#include "pcbhost/gui/BoardScene.h"

#include <QGraphicsView>
#include <QPoint>

namespace pcbhost::gui {

class TBoardView : public QGraphicsView {
    Q_OBJECT
public:
    explicit TBoardView(TBoardScene* scene, QWidget* parent = nullptr);

    TBoardScene* BoardScene() const { return FScene; }
    void Fit();
    void ZoomBy(double factor);
    // Pixels per millimetre now.
    double Zoom() const;
    // Shows a point (scene millimetres) in the middle of the view.
    void CentreOn(QPointF at) { centerOn(at); }
    // The view position of a board point (board units), for clicks and tests.
    QPoint ViewPointOf(TCoord x, TCoord y) const;
    void SetPicking(bool picking);
    bool Picking() const { return FPicking; }

signals:
    // The point under the cursor moved (scene millimetres).
    void Hovered(QPointF at);
    // A click on the board (not the end of a drag).
    void Clicked(QPointF at);
    // Escape or a right click.
    void CancelRequested();

protected:
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    TBoardScene* FScene;
    bool FPicking = false;
    // The whole board is shown and the user has not zoomed or panned since: a new size fits again.
    bool FFitted = false;
    // A press that may become a drag: where it began and whether it moved far enough to pan.
    bool FPressed = false, FDragging = false;
    Qt::MouseButton FButton = Qt::NoButton;
    QPoint FPressAt, FLastAt;
};

} // namespace pcbhost::gui
