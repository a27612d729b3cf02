#include "pcbhost/cli/BoardPicture.h"

#include "pcbhost/cli/BoardInfo.h"
#include "pcbhost/kicad/FileIO.h"

#include <fmt/format.h>

#include <algorithm>
#include <limits>

namespace pcbhost::cli {

namespace {

double ToMM(double units) {
    return units / cUnitsPerMM;
}

std::string Escape(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

const char* LayerColour(TV6_Layer layer) {
    switch (layer) {
    case eV6_TopLayer:
        return "#c83434";
    case eV6_BottomLayer:
        return "#4d7fc4";
    case eV6_MultiLayer:
        return "#c2a23a";
    default:
        return "#7aa35a";
    }
}

} // namespace

std::string BoardPicture_Svg(TBoard& board, const std::string& title) {
    // Extent of everything on the board, in millimetres with a margin.
    double left = std::numeric_limits<double>::max(), top = left;
    double right = std::numeric_limits<double>::lowest(), bottom = right;
    for (TPrimitive* p : board.PrimitiveList()) {
        if (p->Kind() == eComponentObject || p->Kind() == eConnectionObject)
            continue;
        const TCoordRect r = p->Bounds();
        left = std::min(left, ToMM(r.Left));
        right = std::max(right, ToMM(r.Right));
        top = std::min(top, ToMM(std::min(r.Top, r.Bottom)));
        bottom = std::max(bottom, ToMM(std::max(r.Top, r.Bottom)));
    }
    if (left > right) {
        left = top = 0;
        right = bottom = 10;
    }
    const double margin = 3, caption = 6;
    left -= margin, top -= margin + caption, right += margin, bottom += margin;
    const double width = right - left, height = bottom - top;

    const TBoardFigures figures = BoardFigures_Of(board);
    std::string svg = fmt::format("<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"{:.3f} {:.3f} {:.3f} "
                                  "{:.3f}\" width=\"{:.0f}mm\" "
                                  "height=\"{:.0f}mm\">\n<rect x=\"{:.3f}\" y=\"{:.3f}\" width=\"{:.3f}\" "
                                  "height=\"{:.3f}\" fill=\"#1b1f24\"/>\n",
                                  left, top, width, height, width, height, left, top, width, height);
    svg +=
        fmt::format("<text x=\"{:.3f}\" y=\"{:.3f}\" font-family=\"sans-serif\" font-size=\"2.4\" "
                    "fill=\"#e8e8e8\">{} — ratsnest {:.1f} mm, {} connections, {} proper crossings</text>\n",
                    left + 1, top + 3.5, Escape(title), figures.RatsnestLengthMM(), figures.Connections,
                    figures.CrossOvers);

    for (TPrimitive* p : board.PrimitiveList()) {
        if (p->Kind() != eRegionObject)
            continue;
        auto region = QueryInterface<IPCB_Region>(p->Interface());
        svg += "<polygon fill=\"" + std::string(LayerColour(p->LayerValue())) +
               "\" fill-opacity=\"0.18\" points=\"";
        for (std::int32_t i = 0; i < region->OutlinePointCount(); ++i) {
            const TCoordPoint pt = region->OutlinePoint(i);
            svg += fmt::format("{:.3f},{:.3f} ", ToMM(pt.X), ToMM(pt.Y));
        }
        svg += "\"/>\n";
    }
    for (TPrimitive* p : board.PrimitiveList()) {
        if (p->Kind() == eTrackObject) {
            auto t = QueryInterface<IPCB_Track>(p->Interface());
            svg += fmt::format("<line x1=\"{:.3f}\" y1=\"{:.3f}\" x2=\"{:.3f}\" y2=\"{:.3f}\" stroke=\"{}\" "
                               "stroke-width=\"{:.3f}\" stroke-linecap=\"round\" stroke-opacity=\"0.8\"/>\n",
                               ToMM(t->X1()), ToMM(t->Y1()), ToMM(t->X2()), ToMM(t->Y2()),
                               LayerColour(p->LayerValue()), std::max(0.05, ToMM(t->Width())));
        } else if (p->Kind() == eArcObject) {
            auto a = QueryInterface<IPCB_Arc>(p->Interface());
            const TCoordPoint s = a->StartPoint(), e = a->EndPoint();
            svg += fmt::format("<line x1=\"{:.3f}\" y1=\"{:.3f}\" x2=\"{:.3f}\" y2=\"{:.3f}\" stroke=\"{}\" "
                               "stroke-width=\"{:.3f}\" stroke-opacity=\"0.8\"/>\n",
                               ToMM(s.X), ToMM(s.Y), ToMM(e.X), ToMM(e.Y), LayerColour(p->LayerValue()),
                               std::max(0.05, ToMM(a->Width())));
        }
    }
    for (TPrimitive* p : board.PrimitiveList()) {
        if (p->Kind() == eViaObject) {
            auto v = QueryInterface<IPCB_Via>(p->Interface());
            const TCoordRect r = p->Bounds();
            svg += fmt::format("<circle cx=\"{:.3f}\" cy=\"{:.3f}\" r=\"{:.3f}\" fill=\"#b0b0b0\"/>\n",
                               ToMM(v->X()), ToMM(v->Y()), std::max(0.1, ToMM(r.Right - r.Left) / 2));
        } else if (p->Kind() == ePadObject) {
            auto* pad = static_cast<TPad*>(p);
            const double w = std::max(0.1, ToMM(pad->Width())), h = std::max(0.1, ToMM(pad->Height()));
            const double x = ToMM(pad->X()), y = ToMM(pad->Y());
            const char* colour = LayerColour(pad->LayerValue());
            if (pad->PadShape() == ePad_Round)
                svg += fmt::format("<circle cx=\"{:.3f}\" cy=\"{:.3f}\" r=\"{:.3f}\" fill=\"{}\"/>\n", x, y,
                                   w / 2, colour);
            else
                svg += fmt::format(
                    "<rect x=\"{:.3f}\" y=\"{:.3f}\" width=\"{:.3f}\" height=\"{:.3f}\" rx=\"{:.3f}\" "
                    "fill=\"{}\" transform=\"rotate({:.1f} {:.3f} {:.3f})\"/>\n",
                    x - w / 2, y - h / 2, w, h, pad->PadShape() == ePad_Rect ? 0.0 : std::min(w, h) / 4,
                    colour, -pad->Rotation(), x, y);
        }
    }
    for (const TSegment& s : Ratsnest_Segments(board))
        svg += fmt::format("<line x1=\"{:.3f}\" y1=\"{:.3f}\" x2=\"{:.3f}\" y2=\"{:.3f}\" stroke=\"#f2e85c\" "
                           "stroke-width=\"0.12\"/>\n",
                           ToMM(double(s.X1)), ToMM(double(s.Y1)), ToMM(double(s.X2)), ToMM(double(s.Y2)));
    svg += "</svg>\n";
    return svg;
}

void BoardPicture_Write(TBoard& board, const std::string& path, const std::string& title) {
    sexpr::writeFileAtomically(path, BoardPicture_Svg(board, title), false);
}

} // namespace pcbhost::cli
