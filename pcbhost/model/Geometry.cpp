#include "pcbhost/model/Geometry.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace pcbhost::geo {

namespace {

double CoreDistance(const TShape& a, const TShape& b) {
    switch (a.Kind) {
    case eCore_Point:
        switch (b.Kind) {
        case eCore_Point:
            return bg::distance(a.Point, b.Point);
        case eCore_Line:
            return bg::distance(a.Point, b.Line);
        case eCore_Polygon:
            return bg::distance(a.Point, b.Polygon);
        }
        break;
    case eCore_Line:
        switch (b.Kind) {
        case eCore_Point:
            return bg::distance(a.Line, b.Point);
        case eCore_Line:
            return bg::distance(a.Line, b.Line);
        case eCore_Polygon:
            return bg::distance(a.Line, b.Polygon);
        }
        break;
    case eCore_Polygon:
        switch (b.Kind) {
        case eCore_Point:
            return bg::distance(a.Polygon, b.Point);
        case eCore_Line:
            return bg::distance(a.Polygon, b.Line);
        case eCore_Polygon:
            return bg::distance(a.Polygon, b.Polygon);
        }
        break;
    }
    return 0;
}

} // namespace

TBox TShape::Bounds() const {
    TBox box;
    switch (Kind) {
    case eCore_Point:
        box = TBox(Point, Point);
        break;
    case eCore_Line:
        box = bg::return_envelope<TBox>(Line);
        break;
    case eCore_Polygon:
        box = bg::return_envelope<TBox>(Polygon);
        break;
    }
    box.min_corner().x(box.min_corner().x() - Radius);
    box.min_corner().y(box.min_corner().y() - Radius);
    box.max_corner().x(box.max_corner().x() + Radius);
    box.max_corner().y(box.max_corner().y() + Radius);
    return box;
}

TShape Circle(TPoint centre, double radius) {
    TShape s;
    s.Kind = eCore_Point;
    s.Point = centre;
    s.Radius = radius;
    return s;
}

TShape Capsule(TPoint a, TPoint b, double radius) {
    if (bg::equals(a, b))
        return Circle(a, radius);
    TShape s;
    s.Kind = eCore_Line;
    s.Line = {a, b};
    s.Radius = radius;
    return s;
}

TShape Polyline(const std::vector<TPoint>& points, double radius) {
    if (points.empty())
        return Circle({0, 0}, radius);
    if (std::all_of(points.begin(), points.end(),
                    [&](const TPoint& p) { return bg::equals(p, points.front()); }))
        return Circle(points.front(), radius);
    TShape s;
    s.Kind = eCore_Line;
    s.Line.assign(points.begin(), points.end());
    s.Radius = radius;
    return s;
}

TShape PolygonShape(const std::vector<TPoint>& outline, double radius) {
    if (outline.size() < 3)
        return Polyline(outline, radius);
    TShape s;
    s.Kind = eCore_Polygon;
    s.Polygon.outer().assign(outline.begin(), outline.end());
    bg::correct(s.Polygon);
    s.Radius = radius;
    return s;
}

double Distance(const TShape& a, const TShape& b) {
    return std::max(0.0, CoreDistance(a, b) - a.Radius - b.Radius);
}

double Distance(const TShape& a, const TPoint& p) {
    return Distance(a, Circle(p, 0));
}

std::vector<TPoint> ArcPoints(TPoint centre, double radius, double startDeg, double endDeg,
                              double tolerance) {
    double sweep = endDeg - startDeg;
    while (sweep <= 0)
        sweep += 360;
    while (sweep > 360)
        sweep -= 360;
    // A chord of angle t deviates r(1 - cos(t/2)) from the arc.
    double step = radius > tolerance ? 2 * std::acos(1 - tolerance / radius) * 180 / std::numbers::pi : sweep;
    int n = std::clamp(int(std::ceil(sweep / std::max(step, 1e-6))), 1, 720);
    std::vector<TPoint> pts;
    pts.reserve(std::size_t(n) + 1);
    for (int i = 0; i <= n; ++i) {
        double a = (startDeg + sweep * i / n) * std::numbers::pi / 180;
        pts.emplace_back(centre.x() + radius * std::cos(a), centre.y() - radius * std::sin(a));
    }
    return pts;
}

double AngleOf(TPoint centre, TPoint p) {
    double a = std::atan2(-(p.y() - centre.y()), p.x() - centre.x()) * 180 / std::numbers::pi;
    return a < 0 ? a + 360 : a;
}

bool CircleThrough(TPoint a, TPoint b, TPoint c, TPoint& centre, double& radius) {
    double ax = a.x(), ay = a.y(), bx = b.x(), by = b.y(), cx = c.x(), cy = c.y();
    double d = 2 * (ax * (by - cy) + bx * (cy - ay) + cx * (ay - by));
    if (std::abs(d) < 1e-9)
        return false;
    double a2 = ax * ax + ay * ay, b2 = bx * bx + by * by, c2 = cx * cx + cy * cy;
    centre = TPoint((a2 * (by - cy) + b2 * (cy - ay) + c2 * (ay - by)) / d,
                    (a2 * (cx - bx) + b2 * (ax - cx) + c2 * (bx - ax)) / d);
    radius = bg::distance(centre, a);
    return true;
}

TPoint Rotate(TPoint p, double degrees) {
    if (degrees == 0)
        return p;
    double t = degrees * std::numbers::pi / 180, c = std::cos(t), s = std::sin(t);
    // Counter-clockwise as displayed with y downwards: (1, 0) by +90 goes to (0, -1).
    return TPoint(p.x() * c + p.y() * s, -p.x() * s + p.y() * c);
}

} // namespace pcbhost::geo
