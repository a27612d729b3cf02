// The copper of KiCad custom pads: the anchor and every drawn primitive count, strokes by their
// width, and a piece that stands apart from the anchor is left out.
#include "pcbhost/project/PadOutline.h"
#include "pcbhost/model/Geometry.h"

#include <gtest/gtest.h>

using namespace pcbhost;

namespace {

namespace bg = geo::bg;

// The outline of a custom pad written as in a board file, as a polygon in millimetres.
geo::TPolygon OutlineOf(const std::string& primitives, double w, double h,
                        const std::string& anchor = "rect") {
    const std::string text = "(pad \"1\" smd custom (at 0 0) (size " + std::to_string(w) + " " +
                             std::to_string(h) + ") (layers \"F.Cu\") (options (clearance outline) (anchor " +
                             anchor + ")) (primitives " + primitives + "))";
    auto doc = sexpr::Document::parse(text, "pad.kicad_pcb");
    geo::TPolygon polygon;
    for (const TCoordPoint& p : kicad::CustomPadOutline(doc.root(), w, h))
        polygon.outer().emplace_back(p.X / cUnitsPerMM, p.Y / cUnitsPerMM);
    bg::correct(polygon);
    return polygon;
}

bool Covers(const geo::TPolygon& polygon, double x, double y) {
    return bg::covered_by(geo::TPoint(x, y), polygon);
}

} // namespace

TEST(CustomPadOutline, IsTheAnchorUnitedWithItsPolygons) {
    // Three teeth above a 1.5 mm square anchor (a solder jumper's half).
    const auto pad =
        OutlineOf("(gr_poly (pts (xy 0 -1.05) (xy -0.25 -0.55) (xy 0.25 -0.55)) (width 0) (fill yes))"
                  "(gr_poly (pts (xy -0.5 -1.05) (xy -0.75 -0.55) (xy -0.25 -0.55)) (width 0) (fill yes))",
                  1.5, 1.5);
    EXPECT_TRUE(Covers(pad, 0, 0));       // the centre, where tracks end
    EXPECT_TRUE(Covers(pad, 0.7, 0.7));   // the anchor's corner
    EXPECT_TRUE(Covers(pad, 0, -1.0));    // a tooth's tip
    EXPECT_TRUE(Covers(pad, -0.5, -1.0)); // the other tooth
    EXPECT_FALSE(Covers(pad, 0.5, -1.0)); // between teeth, beyond the anchor
    EXPECT_FALSE(Covers(pad, 0.8, 0));
    // The square and the two tips beyond it (0.3 mm high, 0.3 mm wide at the square's edge).
    EXPECT_NEAR(bg::area(pad), 1.5 * 1.5 + 2 * (0.5 * 0.3 * 0.3), 1e-4);

    // A tiny anchor under a larger polygon: the polygon alone used to stand for the pad and
    // left the centre out.
    const auto small =
        OutlineOf("(gr_poly (pts (xy 0.13 0.115) (xy -0.13 0.115) (xy -0.13 0.275) (xy -0.02 0.275)) "
                  "(width 0) (fill yes))",
                  0.26, 0.23);
    EXPECT_TRUE(Covers(small, 0, 0));
    EXPECT_TRUE(Covers(small, -0.1, 0.25));
}

TEST(CustomPadOutline, StrokesCountByHalfTheirWidthAndCirclesByTheirOuterEdge) {
    const auto line = OutlineOf("(gr_line (start 0 0) (end 2 0) (width 0.2))", 0.4, 0.4, "circle");
    EXPECT_TRUE(Covers(line, 2.09, 0)); // round end
    EXPECT_TRUE(Covers(line, 1, 0.09));
    EXPECT_FALSE(Covers(line, 1, 0.12));
    EXPECT_FALSE(Covers(line, 0.19, 0.19)); // outside the round anchor's 0.2 mm radius
    EXPECT_TRUE(Covers(line, 0.13, 0.13));

    const auto ring = OutlineOf("(gr_circle (center 0 0) (end 1 0) (width 0.2) (fill no))", 0.5, 0.5);
    EXPECT_TRUE(Covers(ring, 1.09, 0));
    EXPECT_FALSE(Covers(ring, 1.12, 0));
    EXPECT_TRUE(Covers(ring, 0, -1.09));

    // A spoke out to (1, 0), then a quarter arc through (0.7071, 0.7071) to (0, 1), 0.1 mm wide.
    const auto arc = OutlineOf("(gr_line (start 0 0) (end 1 0) (width 0.1)) (gr_arc (start 1 0) (mid 0.7071 "
                               "0.7071) (end 0 1) (width 0.1))",
                               0.2, 0.2);
    EXPECT_TRUE(Covers(arc, 0.74, 0.74));
    EXPECT_TRUE(Covers(arc, 0.5, 0.866));
    EXPECT_TRUE(Covers(arc, 0, 1.04));
    EXPECT_FALSE(Covers(arc, -0.7071, -0.7071)); // the rest of the circle is not drawn
    EXPECT_FALSE(Covers(arc, 0.5, 0.5));

    const auto frame = OutlineOf("(gr_rect (start -1 -1) (end 1 1) (width 0.1) (fill no))", 2, 0.2);
    EXPECT_TRUE(Covers(frame, 1.03, 1.03)); // the round corner
    EXPECT_FALSE(Covers(frame, 1.045, 1.045));
    EXPECT_FALSE(Covers(frame, 1.1, 0));
}

TEST(CustomPadOutline, APieceApartFromTheAnchorIsLeftOut) {
    const auto pad =
        OutlineOf("(gr_poly (pts (xy 2 -0.2) (xy 3 -0.2) (xy 3 0.2) (xy 2 0.2)) (width 0) (fill yes))"
                  "(gr_poly (pts (xy 0 -0.1) (xy 1 -0.1) (xy 1 0.1) (xy 0 0.1)) (width 0) (fill yes))",
                  0.5, 0.5);
    EXPECT_TRUE(Covers(pad, 0, 0));
    EXPECT_TRUE(Covers(pad, 0.9, 0));
    EXPECT_FALSE(Covers(pad, 2.5, 0));
    // Without a size there is no pad to draw.
    auto doc = sexpr::Document::parse("(pad \"1\" smd custom (at 0 0))", "pad");
    EXPECT_TRUE(kicad::CustomPadOutline(doc.root(), 0, 0).empty());
}
