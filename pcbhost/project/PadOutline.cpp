#include "pcbhost/project/PadOutline.h"

#include "pcbhost/model/Geometry.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace pcbhost::kicad {

using sexpr::Node;

namespace {

namespace bg = geo::bg;
using geo::TPoint;
using geo::TPolygon;
using TPieces = bg::model::multi_polygon<TPolygon>;

// Circles become polygons whose edges stay within this many board units of the true curve.
constexpr double cTolerance = 10.0;

TPoint PointAt(Node list) {
    return {list.doubleAt(1) * cUnitsPerMM, list.doubleAt(2) * cUnitsPerMM};
}

TPolygon Closed(std::vector<TPoint> ring) {
    TPolygon polygon;
    polygon.outer().assign(ring.begin(), ring.end());
    bg::correct(polygon);
    return polygon;
}

TPolygon Disk(TPoint centre, double radius) {
    auto ring = geo::ArcPoints(centre, radius, 0, 360, cTolerance);
    ring.pop_back(); // the closing point comes back with correct()
    return Closed(std::move(ring));
}

void Add(TPieces& pieces, const TPolygon& polygon) {
    if (bg::area(polygon) <= 0)
        return;
    TPieces united;
    bg::union_(pieces, polygon, united);
    pieces = std::move(united);
}

// Points on a full circle of `radius` that keep its chords within the tolerance.
int CirclePoints(double radius) {
    if (radius <= cTolerance)
        return 8;
    return std::clamp(int(std::ceil(std::numbers::pi / std::acos(1 - cTolerance / radius))), 8, 720);
}

// The copper of a line of `radius` drawn along `path` (closed: back to its first point), with
// round joins and ends.
void AddStrokes(TPieces& pieces, std::vector<TPoint> path, double radius, bool closed) {
    if (radius <= 0 || path.empty())
        return;
    if (closed && path.size() > 2)
        path.push_back(path.front());
    const int n = CirclePoints(radius);
    if (path.size() == 1 ||
        std::all_of(path.begin(), path.end(), [&](const TPoint& p) { return bg::equals(p, path.front()); })) {
        Add(pieces, Disk(path.front(), radius));
        return;
    }
    namespace bs = bg::strategy::buffer;
    TPieces stroke;
    const geo::TLine line(path.begin(), path.end());
    bg::buffer(line, stroke, bs::distance_symmetric<double>(radius), bs::side_straight(), bs::join_round(n),
               bs::end_round(n), bs::point_circle(n));
    for (const TPolygon& piece : stroke)
        Add(pieces, piece);
}

double StrokeRadius(Node primitive) {
    Node width = primitive.find("width");
    if (Node stroke = primitive.find("stroke"); !width && stroke)
        width = stroke.find("width");
    return width ? width.doubleAt(1) * cUnitsPerMM / 2 : 0.0;
}

bool Filled(Node primitive) {
    Node fill = primitive.find("fill");
    return fill && fill.size() > 1 && (fill.valueAt(1) == "yes" || fill.valueAt(1) == "solid");
}

void AddPrimitive(TPieces& pieces, Node primitive) {
    const double radius = StrokeRadius(primitive);
    if (primitive.is("gr_poly")) {
        std::vector<TPoint> ring;
        if (Node pts = primitive.find("pts")) {
            for (Node point : pts.children()) {
                if (point.is("xy")) {
                    ring.push_back(PointAt(point));
                } else if (point.is("arc") && point.find("start") && point.find("mid") && point.find("end")) {
                    for (const char* key : {"start", "mid", "end"})
                        ring.push_back(PointAt(point.find(key)));
                }
            }
        }
        // A pad's polygon is filled unless it says otherwise.
        Node fill = primitive.find("fill");
        if (ring.size() >= 3 && (!fill || Filled(primitive)))
            Add(pieces, Closed(ring));
        AddStrokes(pieces, ring, radius, true);
    } else if (primitive.is("gr_rect") && primitive.find("start") && primitive.find("end")) {
        const TPoint a = PointAt(primitive.find("start")), b = PointAt(primitive.find("end"));
        const std::vector<TPoint> ring{a, {b.x(), a.y()}, b, {a.x(), b.y()}};
        if (Filled(primitive))
            Add(pieces, Closed(ring));
        AddStrokes(pieces, ring, radius, true);
    } else if (primitive.is("gr_circle") && primitive.find("center") && primitive.find("end")) {
        const TPoint centre = PointAt(primitive.find("center"));
        const double r = bg::distance(centre, PointAt(primitive.find("end")));
        // Filled or a ring, only its outer edge counts: holes are dropped from the outline anyway.
        Add(pieces, Disk(centre, r + radius));
    } else if (primitive.is("gr_line") && primitive.find("start") && primitive.find("end")) {
        AddStrokes(pieces, {PointAt(primitive.find("start")), PointAt(primitive.find("end"))}, radius, false);
    } else if (primitive.is("gr_arc") && primitive.find("start") && primitive.find("mid") &&
               primitive.find("end")) {
        const TPoint a = PointAt(primitive.find("start")), m = PointAt(primitive.find("mid")),
                     b = PointAt(primitive.find("end"));
        TPoint centre;
        double r = 0;
        if (!geo::CircleThrough(a, m, b, centre, r)) {
            AddStrokes(pieces, {a, b}, radius, false);
            return;
        }
        // From start through mid to end: sweep counter-clockwise when mid lies that way.
        double from = geo::AngleOf(centre, a), via = geo::AngleOf(centre, m), to = geo::AngleOf(centre, b);
        auto ccw = [](double s, double e) { return std::fmod(e - s + 720.0, 360.0); };
        if (ccw(from, via) > ccw(from, to))
            std::swap(from, to);
        AddStrokes(pieces, geo::ArcPoints(centre, r, from, to, cTolerance), radius, false);
    }
}

} // namespace

std::vector<TCoordPoint> CustomPadOutline(Node pad, double widthMM, double heightMM) {
    const double w = widthMM * cUnitsPerMM, h = heightMM * cUnitsPerMM;
    if (w <= 0 || h <= 0)
        return {};
    bool circleAnchor = false;
    if (Node options = pad.find("options"))
        if (Node anchor = options.find("anchor"); anchor && anchor.size() > 1)
            circleAnchor = anchor.valueAt(1) == "circle";

    TPieces pieces;
    if (circleAnchor)
        Add(pieces, Disk({0, 0}, w / 2));
    else
        Add(pieces, Closed({{-w / 2, -h / 2}, {w / 2, -h / 2}, {w / 2, h / 2}, {-w / 2, h / 2}}));
    if (Node primitives = pad.find("primitives"))
        for (Node primitive : primitives.children())
            if (primitive.isList())
                AddPrimitive(pieces, primitive);

    const TPoint centre(0, 0);
    auto kept = std::find_if(pieces.begin(), pieces.end(),
                             [&](const TPolygon& p) { return bg::covered_by(centre, p); });
    if (kept == pieces.end())
        kept = std::max_element(pieces.begin(), pieces.end(), [](const TPolygon& a, const TPolygon& b) {
            return bg::area(a) < bg::area(b);
        });
    std::vector<TCoordPoint> outline;
    if (kept == pieces.end())
        return outline;
    // The outer ring only: a hole inside a pad's copper takes nothing away from what touches it.
    for (const TPoint& p : kept->outer())
        outline.push_back({TCoord(std::llround(p.x())), TCoord(std::llround(p.y()))});
    if (outline.size() > 1 && outline.front().X == outline.back().X && outline.front().Y == outline.back().Y)
        outline.pop_back();
    return outline;
}

} // namespace pcbhost::kicad
