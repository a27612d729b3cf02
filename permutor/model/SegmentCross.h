// The crossing test of two straight connections, on plain end points so that the crossing index
// can keep its lines packed together and test them without following pointers.
#pragma once

#include "permutor/host/Pcb.h"

#include <algorithm>

namespace permutor::model {

struct TLineEnd {
    host::TCoord X = 0;
    host::TCoord Y = 0;
    host::TV6_Layer Layer = host::eV6_NoLayer;
};

// Whether two straight connections cross (touching ends and collinear overlaps count), after the
// layer filter; the first segment's layers decide the filter.
inline bool Segments_Cross(const TLineEnd& A1, const TLineEnd& A2, const TLineEnd& B1, const TLineEnd& B2) {
    auto samePlace = [](const TLineEnd& p, const TLineEnd& q) { return p.X == q.X && p.Y == q.Y; };
    if (samePlace(A1, A2) || samePlace(B1, B2))
        return false;
    if ((samePlace(A1, B1) && samePlace(A2, B2)) || (samePlace(A1, B2) && samePlace(A2, B1)))
        return false;

    if (A1.Layer == A2.Layer && A1.Layer != host::eV6_MultiLayer) {
        if (B1.Layer != A1.Layer)
            return false;
    } else if (A1.Layer != B1.Layer && A1.Layer != B2.Layer && A2.Layer != B1.Layer && A2.Layer != B2.Layer) {
        return false;
    }

    // Segment intersection with bounding-box rejection first.
    const double xa = A1.X, ya = A1.Y, xb = A2.X, yb = A2.Y;
    const double xc = B1.X, yc = B1.Y, xd = B2.X, yd = B2.Y;
    const double Ax = xb - xa, Bx = xc - xd, Ay = yb - ya, By = yc - yd;
    const double x1lo = Ax < 0 ? xb : xa, x1hi = Ax < 0 ? xa : xb;
    if (Bx > 0) {
        if (x1hi < xd || xc < x1lo)
            return false;
    } else if (x1hi < xc || xd < x1lo) {
        return false;
    }
    const double y1lo = Ay < 0 ? yb : ya, y1hi = Ay < 0 ? ya : yb;
    if (By > 0) {
        if (y1hi < yd || yc < y1lo)
            return false;
    } else if (y1hi < yc || yd < y1lo) {
        return false;
    }
    const double Cx = xa - xc, Cy = ya - yc;
    const double f = Ay * Bx - Ax * By;
    auto outside = [f](double v) { return f > 0 ? (v < 0 || v > f) : (v > 0 || v < f); };
    if (outside(By * Cx - Bx * Cy))
        return false;
    if (outside(Ax * Cy - Ay * Cx))
        return false;
    return true;
}

// The same answer as Segments_Cross, for a run over many candidates whose bounds mostly meet but
// whose lines mostly do not cross. Every condition of the plain form must hold, so their order
// does not change the answer: the orientation test, which rejects most candidates, comes first,
// and the rest is worked out without early exits. The arithmetic is the same expressions.
inline bool Segments_Cross_Combined(const TLineEnd& A1, const TLineEnd& A2, const TLineEnd& B1,
                                    const TLineEnd& B2) {
    const double xa = A1.X, ya = A1.Y, xb = A2.X, yb = A2.Y;
    const double xc = B1.X, yc = B1.Y, xd = B2.X, yd = B2.Y;
    const double Ax = xb - xa, Bx = xc - xd, Ay = yb - ya, By = yc - yd;
    const double Cx = xa - xc, Cy = ya - yc;
    const double f = Ay * Bx - Ax * By;
    const double v1 = By * Cx - Bx * Cy;
    const double v2 = Ax * Cy - Ay * Cx;
    const bool positive = f > 0;
    const bool outside1 = positive ? ((v1 < 0) | (v1 > f)) : ((v1 > 0) | (v1 < f));
    const bool outside2 = positive ? ((v2 < 0) | (v2 > f)) : ((v2 > 0) | (v2 < f));
    if (outside1 | outside2)
        return false;

    const bool a1b1 = (A1.X == B1.X) & (A1.Y == B1.Y);
    const bool a2b2 = (A2.X == B2.X) & (A2.Y == B2.Y);
    const bool a1b2 = (A1.X == B2.X) & (A1.Y == B2.Y);
    const bool a2b1 = (A2.X == B1.X) & (A2.Y == B1.Y);
    const bool degenerate =
        ((A1.X == A2.X) & (A1.Y == A2.Y)) | ((B1.X == B2.X) & (B1.Y == B2.Y)) | (a1b1 & a2b2) | (a1b2 & a2b1);

    const bool singleA = (A1.Layer == A2.Layer) & (A1.Layer != host::eV6_MultiLayer);
    const bool shared =
        (A1.Layer == B1.Layer) | (A1.Layer == B2.Layer) | (A2.Layer == B1.Layer) | (A2.Layer == B2.Layer);
    const bool layersMeet = singleA ? B1.Layer == A1.Layer : shared;

    // The bounds test of the plain form is exact on integer coordinates.
    const bool boundsMeet =
        (std::max(A1.X, A2.X) >= std::min(B1.X, B2.X)) & (std::max(B1.X, B2.X) >= std::min(A1.X, A2.X)) &
        (std::max(A1.Y, A2.Y) >= std::min(B1.Y, B2.Y)) & (std::max(B1.Y, B2.Y) >= std::min(A1.Y, A2.Y));
    return !degenerate & layersMeet & boundsMeet;
}

} // namespace permutor::model
