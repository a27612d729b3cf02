#include "pcbhost/gui/BoardScene.h"

#include "pcbhost/cli/BoardInfo.h"

#include <QGraphicsItem>
#include <QPainter>
#include <QStyleOptionGraphicsItem>

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

namespace pcbhost::gui {

namespace {

const QColor cBackground(0x00, 0x10, 0x23);
const QColor cHoleColour(0x1a, 0x1e, 0x24);
const QColor cRatsnestColour(0xf2, 0xf2, 0xf2);
const QColor cHighlightColour(0xff, 0xff, 0xff);

QPointF ScenePoint(const geo::TPoint& p) {
    return {ToSceneMM(p.x()), ToSceneMM(p.y())};
}

QPolygonF ScenePolygon(const std::vector<geo::TPoint>& points) {
    QPolygonF polygon;
    polygon.reserve(qsizetype(points.size()));
    for (const auto& p : points)
        polygon << ScenePoint(p);
    return polygon;
}

// Copper of one layer (or the highlight): filled outlines, lines drawn round with their width,
// translucent zone fills and drill holes, gathered once and painted in a few calls.
class TCopperItem : public QGraphicsItem {
public:
    explicit TCopperItem(QColor colour, qreal zoneAlpha = 0.35) : FColour(colour), FZoneAlpha(zoneAlpha) {
        // Each layer keeps its picture at the current zoom: panning and repaints only copy it.
        setCacheMode(QGraphicsItem::DeviceCoordinateCache);
    }

    // Adds the model's copper outline of a primitive.
    void AddShape(const geo::TShape& shape) {
        const double radius = ToSceneMM(shape.Radius);
        switch (shape.Kind) {
        case geo::eCore_Point:
            FFill.addEllipse(ScenePoint(shape.Point), radius, radius);
            break;
        case geo::eCore_Line: {
            const std::vector<geo::TPoint> points(shape.Line.begin(), shape.Line.end());
            if (points.size() == 2)
                FLines[radius * 2].append(QLineF(ScenePoint(points[0]), ScenePoint(points[1])));
            else
                FPolylines[radius * 2].push_back(ScenePolygon(points));
            break;
        }
        case geo::eCore_Polygon: {
            const auto& ring = shape.Polygon.outer();
            const QPolygonF outline = ScenePolygon(std::vector<geo::TPoint>(ring.begin(), ring.end()));
            FFill.addPolygon(outline);
            FFill.closeSubpath();
            // A polygon grown by a radius (a rounded rectangle): its rim drawn round.
            if (radius > 0) {
                QPolygonF closed = outline;
                if (!closed.isEmpty() && closed.front() != closed.back())
                    closed << closed.front();
                FPolylines[radius * 2].push_back(closed);
            }
            break;
        }
        }
        Grow(shape);
    }
    void AddZone(const std::vector<TCoordPoint>& outline) {
        QPolygonF polygon;
        for (const auto& p : outline)
            polygon << QPointF(ToSceneMM(p.X), ToSceneMM(p.Y));
        FZones.addPolygon(polygon);
        FZones.closeSubpath();
        FBounds |= polygon.boundingRect();
    }
    void AddHole(TCoord x, TCoord y, TCoord diameter) {
        if (diameter <= 0)
            return;
        const double r = ToSceneMM(diameter) / 2;
        FHoles.addEllipse(QPointF(ToSceneMM(x), ToSceneMM(y)), r, r);
    }
    void Finish() {
        FFill.setFillRule(Qt::WindingFill);
        FZones.setFillRule(Qt::WindingFill);
        prepareGeometryChange();
        if (!FBounds.isNull())
            FBounds = FBounds.adjusted(-0.5, -0.5, 0.5, 0.5);
    }

    QRectF boundingRect() const override { return FBounds; }
    void paint(QPainter* painter, const QStyleOptionGraphicsItem*, QWidget*) override {
        painter->setRenderHint(QPainter::Antialiasing, false);
        if (!FZones.isEmpty()) {
            QColor zone = FColour;
            zone.setAlphaF(FZoneAlpha);
            painter->fillPath(FZones, zone);
        }
        QPen pen(FColour);
        pen.setCapStyle(Qt::RoundCap);
        pen.setJoinStyle(Qt::RoundJoin);
        for (const auto& [width, lines] : FLines) {
            pen.setWidthF(width);
            painter->setPen(pen);
            painter->drawLines(lines);
        }
        for (const auto& [width, polylines] : FPolylines) {
            pen.setWidthF(width);
            painter->setPen(pen);
            for (const auto& polyline : polylines)
                painter->drawPolyline(polyline);
        }
        painter->fillPath(FFill, FColour);
        if (!FHoles.isEmpty())
            painter->fillPath(FHoles, cHoleColour);
    }

private:
    void Grow(const geo::TShape& shape) {
        const geo::TBox box = shape.Bounds();
        const double r = ToSceneMM(shape.Radius);
        FBounds |= QRectF(QPointF(ToSceneMM(box.min_corner().x()) - r, ToSceneMM(box.min_corner().y()) - r),
                          QPointF(ToSceneMM(box.max_corner().x()) + r, ToSceneMM(box.max_corner().y()) + r));
    }

    QColor FColour;
    qreal FZoneAlpha;
    QPainterPath FFill, FZones, FHoles;
    std::map<double, QVector<QLineF>> FLines;
    std::map<double, std::vector<QPolygonF>> FPolylines;
    QRectF FBounds;
};

// The ratsnest: thin lines one pixel wide at every zoom.
class TRatsnestItem : public QGraphicsItem {
public:
    void SetLines(QVector<QLineF> lines) {
        prepareGeometryChange();
        FLines = std::move(lines);
        FBounds = QRectF();
        for (const auto& line : FLines)
            FBounds |= QRectF(line.p1(), line.p2()).normalized();
        FBounds = FBounds.adjusted(-0.1, -0.1, 0.1, 0.1);
        update();
    }
    QRectF boundingRect() const override { return FBounds; }
    void paint(QPainter* painter, const QStyleOptionGraphicsItem*, QWidget*) override {
        QPen pen(cRatsnestColour);
        pen.setCosmetic(true);
        pen.setWidth(1);
        painter->setPen(pen);
        painter->drawLines(FLines);
    }

private:
    QVector<QLineF> FLines;
    QRectF FBounds;
};

} // namespace

double ToSceneMM(double boardUnits) {
    return boardUnits / cUnitsPerMM;
}

TCoord ToBoardUnits(double sceneMM) {
    return TCoord(std::llround(sceneMM * cUnitsPerMM));
}

QString Layer_Name(TV6_Layer layer) {
    if (layer == eV6_TopLayer)
        return QStringLiteral("F.Cu");
    if (layer == eV6_BottomLayer)
        return QStringLiteral("B.Cu");
    if (layer > eV6_TopLayer && layer < eV6_BottomLayer)
        return QStringLiteral("In%1.Cu").arg(int(layer) - 1);
    return QStringLiteral("Layer %1").arg(int(layer));
}

QColor Layer_Colour(TV6_Layer layer) {
    // The copper colours a KiCad user knows: red front, blue back, then the inner layers.
    static const QColor inner[] = {QColor(0x7f, 0xc8, 0x7f), QColor(0xce, 0x7d, 0x2c),
                                   QColor(0x4f, 0xcb, 0xcb), QColor(0xdb, 0x62, 0x8b),
                                   QColor(0xa7, 0xa5, 0xc6), QColor(0x28, 0xcc, 0xd9)};
    if (layer == eV6_TopLayer)
        return QColor(0xc8, 0x34, 0x34);
    if (layer == eV6_BottomLayer)
        return QColor(0x4d, 0x7f, 0xc4);
    if (layer == eV6_MultiLayer)
        return QColor(0xc2, 0xa2, 0x3a);
    const int index = std::max(0, int(layer) - 2);
    return inner[index % int(std::size(inner))];
}

TBoardScene::TBoardScene(QObject* parent) : QGraphicsScene(parent) {
    setBackgroundBrush(cBackground);
    // Items are few and large: an index would only cost time on every change.
    setItemIndexMethod(QGraphicsScene::NoIndex);
}

void TBoardScene::Build(TBoard* board) {
    clear();
    FLayers.clear();
    FRatsnest = FHighlight = nullptr;
    FHighlighted.clear();
    FBoard = board;
    FBoardRect = QRectF();
    if (!board)
        return;
    std::unordered_map<std::int32_t, TCopperItem*> copper;
    const auto& stack = board->CopperLayerList();
    for (std::size_t i = 0; i < stack.size(); ++i) {
        auto* item = new TCopperItem(Layer_Colour(stack[i]));
        // The top layer is drawn last, over the inner and back layers.
        item->setZValue(-double(i));
        copper[stack[i]] = item;
        FLayers.push_back({stack[i], Layer_Name(stack[i]), Layer_Colour(stack[i]), item});
    }
    auto* through = new TCopperItem(Layer_Colour(eV6_MultiLayer));
    through->setZValue(10);
    for (TPrimitive* p : board->PrimitiveList()) {
        const TObjectId kind = p->Kind();
        if (kind == eViaObject) {
            auto* via = static_cast<TVia*>(p);
            through->AddShape(p->Shape());
            through->AddHole(via->X(), via->Y(), via->Drill());
            continue;
        }
        if (kind == ePadObject && static_cast<TPad*>(p)->IsThroughHole()) {
            auto* pad = static_cast<TPad*>(p);
            through->AddShape(p->Shape());
            through->AddHole(pad->X(), pad->Y(), pad->Drill());
            continue;
        }
        if (kind != ePadObject && kind != eTrackObject && kind != eArcObject && kind != eRegionObject)
            continue;
        const auto found = copper.find(p->LayerValue());
        if (found == copper.end())
            continue;
        if (kind == eRegionObject)
            found->second->AddZone(static_cast<TRegion*>(p)->Outline());
        else
            found->second->AddShape(p->Shape());
    }
    for (const auto& layer : FLayers) {
        static_cast<TCopperItem*>(layer.Item)->Finish();
        addItem(layer.Item);
        // An empty layer has no extent (not a point at the origin).
        if (!layer.Item->boundingRect().isNull())
            FBoardRect |= layer.Item->boundingRect();
    }
    through->Finish();
    addItem(through);
    if (!through->boundingRect().isNull())
        FBoardRect |= through->boundingRect();
    FLayers.push_back({cLayer_ThroughHole, QStringLiteral("Through-hole pads and vias"),
                       Layer_Colour(eV6_MultiLayer), through});

    auto* ratsnest = new TRatsnestItem;
    ratsnest->setZValue(20);
    addItem(ratsnest);
    FRatsnest = ratsnest;
    FLayers.push_back({cLayer_Ratsnest, QStringLiteral("Ratsnest"), cRatsnestColour, ratsnest});
    RefreshRatsnest();

    if (FBoardRect.isEmpty())
        FBoardRect = QRectF(0, 0, 10, 10);
    FBoardRect = FBoardRect.adjusted(-3, -3, 3, 3);
    setSceneRect(FBoardRect.adjusted(-FBoardRect.width(), -FBoardRect.height(), FBoardRect.width(),
                                     FBoardRect.height()));
}

void TBoardScene::RefreshRatsnest() {
    if (!FBoard || !FRatsnest)
        return;
    QVector<QLineF> lines;
    for (const auto& s : cli::Ratsnest_Segments(*FBoard))
        lines.append(QLineF(ToSceneMM(double(s.X1)), ToSceneMM(double(s.Y1)), ToSceneMM(double(s.X2)),
                            ToSceneMM(double(s.Y2))));
    FRatsnestLines = lines;
    static_cast<TRatsnestItem*>(FRatsnest)->SetLines(std::move(lines));
}

void TBoardScene::SetHighlight(const std::vector<std::uintptr_t>& objects) {
    if (FHighlight) {
        removeItem(FHighlight);
        delete FHighlight;
        FHighlight = nullptr;
    }
    FHighlighted.clear();
    if (!FBoard || objects.empty())
        return;
    const std::unordered_set<std::uintptr_t> wanted(objects.begin(), objects.end());
    QColor colour = cHighlightColour;
    colour.setAlphaF(0.75);
    auto* item = new TCopperItem(colour, 0.5);
    for (TPrimitive* p : FBoard->PrimitiveList()) {
        if (!wanted.contains(ObjectIdentity(p->Interface())))
            continue;
        FHighlighted.push_back(p);
        if (p->Kind() == eRegionObject)
            item->AddZone(static_cast<TRegion*>(p)->Outline());
        else if (p->Kind() != eComponentObject && p->Kind() != eConnectionObject)
            item->AddShape(p->Shape());
    }
    item->Finish();
    item->setZValue(30);
    addItem(item);
    FHighlight = item;
}

void TBoardScene::SetLayerVisible(std::int32_t key, bool visible) {
    for (auto& layer : FLayers)
        if (layer.Key == key)
            layer.Item->setVisible(visible);
}

bool TBoardScene::LayerVisible(std::int32_t key) const {
    for (const auto& layer : FLayers)
        if (layer.Key == key)
            return layer.Item->isVisible();
    return false;
}

TPad* TBoardScene::PadAt(QPointF at) const {
    if (!FBoard)
        return nullptr;
    const TCoord x = ToBoardUnits(at.x()), y = ToBoardUnits(at.y());
    const TCoordRect probe{x, y, x, y};
    TPad* best = nullptr;
    for (TPrimitive* p : FBoard->Query(&probe)) {
        if (p->Kind() != ePadObject)
            continue;
        auto* pad = static_cast<TPad*>(p);
        const std::int32_t key = pad->IsThroughHole() ? cLayer_ThroughHole : std::int32_t(pad->LayerValue());
        if (!LayerVisible(key))
            continue;
        if (geo::Distance(p->Shape(), geo::TPoint(double(x), double(y))) < 1.0) {
            // Where pads overlap, the one on the layer drawn on top.
            if (!best || key == cLayer_ThroughHole || pad->LayerValue() == eV6_TopLayer)
                best = pad;
        }
    }
    return best;
}

} // namespace pcbhost::gui
