// Copper shapes and their distances, on Boost.Geometry. A shape is a core (a point, a polyline
// or a polygon) grown by a radius, which describes round, oval, rectangular and round-rectangle
// pads, tracks (capsules), arcs, vias and filled regions exactly enough for "touching" tests:
// only arcs are approximated, by chords within 10 board units (25 nm) of the true curve.
#pragma once

#include <boost/geometry.hpp>
#include <boost/geometry/geometries/box.hpp>
#include <boost/geometry/geometries/linestring.hpp>
#include <boost/geometry/geometries/point_xy.hpp>
#include <boost/geometry/geometries/polygon.hpp>

#include <vector>

namespace pcbhost::geo {

namespace bg = boost::geometry;

using TPoint = bg::model::d2::point_xy<double>;
using TLine = bg::model::linestring<TPoint>;
using TPolygon = bg::model::polygon<TPoint>;
using TBox = bg::model::box<TPoint>;

enum TCoreKind { eCore_Point, eCore_Line, eCore_Polygon };

struct TShape {
    TCoreKind Kind = eCore_Point;
    TPoint Point{0, 0};
    TLine Line;
    TPolygon Polygon;
    double Radius = 0;

    TBox Bounds() const;
};

TShape Circle(TPoint centre, double radius);
TShape Capsule(TPoint a, TPoint b, double radius);
TShape Polyline(const std::vector<TPoint>& points, double radius);
// A polygon from its outline (any orientation, open or closed), grown by `radius`.
TShape PolygonShape(const std::vector<TPoint>& outline, double radius = 0);

// Least distance between the two outlines; 0 when they overlap.
double Distance(const TShape& a, const TShape& b);
double Distance(const TShape& a, const TPoint& p);

// Points of an arc of `radius` around `centre` from `startDeg` counter-clockwise as displayed
// (y grows downwards) to `endDeg`, dense enough that chords stay within `tolerance` of the arc.
std::vector<TPoint> ArcPoints(TPoint centre, double radius, double startDeg, double endDeg,
                              double tolerance = 10.0);
// Angle in degrees of `p` seen from `centre`, counter-clockwise as displayed.
double AngleOf(TPoint centre, TPoint p);
// The circle through three points; false when they are collinear.
bool CircleThrough(TPoint a, TPoint b, TPoint c, TPoint& centre, double& radius);

// `p` rotated by `degrees` counter-clockwise as displayed around the origin.
TPoint Rotate(TPoint p, double degrees);

} // namespace pcbhost::geo
