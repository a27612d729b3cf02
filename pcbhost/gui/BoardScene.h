// The board as a Qt graphics scene: one item per copper layer (zone fills, tracks, arcs and pads
// of that layer, their geometry built once and painted from cached paths), through-hole pads and
// vias on top, then the ratsnest and the module's highlight. Scene units are millimetres, y down as
// in the board file. Nets change under commands and undo, geometry does not: only the ratsnest and
// the highlight are rebuilt then.
#pragma once

#include "pcbhost/model/Board.h"

#include <QColor>
#include <QGraphicsScene>
#include <QLineF>
#include <QPainterPath>
#include <QString>
#include <QVector>

#include <cstdint>
#include <map>
#include <vector>

class QGraphicsItem;

namespace pcbhost::gui {

// One visible layer of the scene, as the layer list and the View menu name it.
struct TSceneLayer {
    std::int32_t Key = 0; // a TV6_Layer, or one of the keys below
    QString Name;
    QColor Colour;
    QGraphicsItem* Item = nullptr;
};

inline constexpr std::int32_t cLayer_ThroughHole = 1000; // through-hole pads and vias
inline constexpr std::int32_t cLayer_Ratsnest = 1001;

// "F.Cu", "In1.Cu", "B.Cu" as KiCad names the copper layers.
QString Layer_Name(TV6_Layer layer);
QColor Layer_Colour(TV6_Layer layer);

double ToSceneMM(double boardUnits);
TCoord ToBoardUnits(double sceneMM);

class TBoardScene : public QGraphicsScene {
public:
    explicit TBoardScene(QObject* parent = nullptr);

    // Builds every item for the board (null: an empty scene).
    void Build(TBoard* board);
    TBoard* Board() const { return FBoard; }
    // The nets changed: draws the ratsnest again.
    void RefreshRatsnest();
    // The objects the module asked to show highlighted (object identities); empty clears.
    void SetHighlight(const std::vector<std::uintptr_t>& objects);
    const std::vector<TPrimitive*>& Highlighted() const { return FHighlighted; }

    const std::vector<TSceneLayer>& Layers() const { return FLayers; }
    void SetLayerVisible(std::int32_t key, bool visible);
    bool LayerVisible(std::int32_t key) const;
    // The extent of the board's copper, with a margin.
    QRectF BoardRect() const { return FBoardRect; }
    // Ratsnest lines drawn now (scene millimetres).
    std::size_t RatsnestLineCount() const { return std::size_t(FRatsnestLines.size()); }
    const QVector<QLineF>& RatsnestLines() const { return FRatsnestLines; }

    // The pad under a point (scene millimetres) on a visible layer, or null.
    TPad* PadAt(QPointF at) const;

private:
    TBoard* FBoard = nullptr;
    std::vector<TSceneLayer> FLayers;
    QGraphicsItem* FRatsnest = nullptr;
    QGraphicsItem* FHighlight = nullptr;
    std::vector<TPrimitive*> FHighlighted;
    QRectF FBoardRect;
    QVector<QLineF> FRatsnestLines;
};

} // namespace pcbhost::gui
