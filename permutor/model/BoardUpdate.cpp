// The board side of a run: statistics of the board's connection lines, hiding and restoring the
// host's own lines, the lines drawn for the model's connections on a temporary net, the export of
// the new net assignment as one undoable change, picking a sub-net and redrawing.
#include "permutor/host/Services.h"
#include "permutor/model/SwapCost.h"
#include "permutor/model/SwapDataSet.h"

#include <boost/geometry/index/rtree.hpp>

#include <algorithm>
#include <iterator>

namespace permutor::model {

using namespace permutor::host;
namespace bgi = boost::geometry::index;

namespace {

IPtr<IHostUI> HostUI() {
    auto client = Client_Get();
    return client ? client->UI() : nullptr;
}

// Ends the progress display, closes the host modification and redraws, also when unwinding.
struct TExportCloser {
    TSwapDataSet& Set;
    IPtr<IPCB_ServerInterface> Server;
    IPtr<IHostUI> UI;
    ~TExportCloser() {
        try {
            if (Server)
                Server->PostProcess();
            if (UI)
                UI->Progress_End();
            Set.RedrawBoard();
        } catch (...) {
            // A failure while closing must not replace the one already on its way.
        }
    }
};

} // namespace

TConnectionLine* TConnectionLine::Create_FromConnection(TSwapDataSet& ASwapData,
                                                        IPCB_Connection* AConnection) {
    TConnectionLine* line = Create(ASwapData);
    line->End1 =
        THotSpot::Create(ASwapData, AConnection->X1(), AConnection->Y1(), AConnection->Layer1(), nullptr);
    line->End2 =
        THotSpot::Create(ASwapData, AConnection->X2(), AConnection->Y2(), AConnection->Layer2(), nullptr);
    return line;
}

std::vector<TConnectionLine*> TSwapDataSet::ConnectionLines_FromBoard() {
    std::vector<TConnectionLine*> lines;
    if (!FPCBBoard)
        return lines;
    auto iterator = FPCBBoard->BoardIterator_Create();
    if (!iterator)
        return lines;
    iterator->SetFilter_ObjectSet({eConnectionObject});
    iterator->SetFilter_LayerSet(TLayerSet::All());
    for (auto p = iterator->First(); p; p = iterator->Next())
        if (auto connection = QueryInterface<IPCB_Connection>(p))
            lines.push_back(TConnectionLine::Create_FromConnection(*this, connection.get()));
    FPCBBoard->BoardIterator_Destroy(iterator.get());
    return lines;
}

void TSwapDataSet::GetConnectionStatsFromBoard_Plain(double& TotalLength, std::int32_t& IntersectionCount) {
    TotalLength = 0;
    IntersectionCount = 0;
    const auto lines = ConnectionLines_FromBoard();
    for (TConnectionLine* line : lines)
        TotalLength += HotSpots_EuclideanDistance(line->End1, line->End2);
    for (std::size_t i = 0; i < lines.size(); ++i)
        for (std::size_t j = i + 1; j < lines.size(); ++j)
            if (Segments_Cross(lines[i]->End1, lines[i]->End2, lines[j]->End1, lines[j]->End2))
                ++IntersectionCount;
}

// Each line is tested only against the later lines whose bounds meet its own, with the earlier
// line as the first segment, exactly as the all-pairs walk does.
void TSwapDataSet::GetConnectionStatsFromBoard(double& TotalLength, std::int32_t& IntersectionCount) {
    TotalLength = 0;
    IntersectionCount = 0;
    const auto lines = ConnectionLines_FromBoard();
    std::vector<TCrossingIndex::TValue> values;
    values.reserve(lines.size());
    for (std::uint32_t i = 0; i < lines.size(); ++i) {
        TotalLength += HotSpots_EuclideanDistance(lines[i]->End1, lines[i]->End2);
        TCrossingIndex::TBox box;
        if (TCrossingIndex::Segment_Bounds(lines[i]->End1, lines[i]->End2, box))
            values.emplace_back(box, i);
    }
    const bgi::rtree<TCrossingIndex::TValue, bgi::rstar<16>> tree(values.begin(), values.end());
    std::vector<TCrossingIndex::TValue> found;
    for (const auto& [box, i] : values) {
        found.clear();
        tree.query(bgi::intersects(box), std::back_inserter(found));
        for (const auto& other : found) {
            const std::uint32_t j = other.second;
            if (j > i && Segments_Cross(lines[i]->End1, lines[i]->End2, lines[j]->End1, lines[j]->End2))
                ++IntersectionCount;
        }
    }
}

void TSwapDataSet::NetConnects_RememberAndHide() {
    for (const auto& entry : Nets)
        if (const auto& net = entry.Object->Net_PCB())
            net->HideConnections();
}

void TSwapDataSet::NetConnects_RebuildAndShow() {
    for (const auto& entry : Nets)
        if (const auto& net = entry.Object->Net_PCB()) {
            if (entry.Object->ConnectsWereVisible)
                net->ShowConnections();
            net->RebuildConnections();
        }
}

void TSwapSubNet::ConnectionLine_UpdateDrawing() {
    ConnectionLine_SetEnds();
    auto server = PCBServer_Get();
    const auto& board = SwapData->PCBBoard();
    if (!server || !board)
        return;
    if (ConnectionLine->FDrawingLine == 0) {
        auto connection = QueryInterface<IPCB_Connection>(server->CreateObject(eConnectionObject));
        if (!connection)
            return;
        connection->SetEnds(0, 0, eV6_ConnectLayer, 100000, 100000, eV6_ConnectLayer);
        if (!SwapData->FDummyNet) {
            SwapData->FDummyNet = QueryInterface<IPCB_Net>(server->CreateObject(eNetObject));
            if (!SwapData->FDummyNet)
                return;
            board->AddNet(SwapData->FDummyNet.get());
        }
        connection->SetNet(SwapData->FDummyNet.get());
        board->AddPrimitive(connection.get());
        ConnectionLine->FDrawingLine = connection->Handle();
    }
    auto drawing = QueryInterface<IPCB_Connection>(server->ObjectFromHandle(ConnectionLine->FDrawingLine));
    if (!drawing)
        return;
    const THotSpot* a = ConnectionLine->End1;
    const THotSpot* b = ConnectionLine->End2;
    drawing->BeginModify();
    if (a && b)
        drawing->SetEnds(a->X, a->Y, a->Layer, b->X, b->Y, b->Layer);
    else
        drawing->SetEnds(0, 0, eV6_ConnectLayer, 100, 100, eV6_ConnectLayer);
    drawing->EndModify();
}

void TSwapDataSet::RemoveAllConnectionDisplayLines() {
    auto server = PCBServer_Get();
    if (!server)
        return;
    for (TSwapSubNet* S : MasterSubNetList_Swappable) {
        TConnectionLine* line = S->ConnectionLine;
        if (!line || line->FDrawingLine == 0)
            continue;
        if (auto drawing = server->ObjectFromHandle(line->FDrawingLine)) {
            if (FPCBBoard)
                FPCBBoard->RemoveObject(drawing.get());
            drawing->SetNet(nullptr);
            server->DestroyObject(drawing.get());
        }
        line->FDrawingLine = 0;
    }
}

void TSwapDataSet::RedrawBoard() {
    if (FPCBBoard)
        FPCBBoard->RedrawView();
}

void TSwapDataSet::ExportChanges_ToPCB() {
    RedrawBoard();
    auto ui = HostUI();
    if (ui)
        ui->Progress_Begin("Updating PCB with Pin/Net Changes...",
                           std::int32_t(MasterSubNetList_Swappable.Count()));
    auto server = PCBServer_Get();
    if (server)
        server->PreProcess();
    TExportCloser closer{*this, server, ui};
    for (TSwapSubNet* S : MasterSubNetList_Swappable) {
        S->UpdatePCBNet();
        if (ui)
            ui->Progress_Step(1);
    }
}

bool TSwapDataSet::ChooseSubNet(TSwapSubNet*& SubNet, const std::string& Caption) {
    if (!FPCBBoard)
        return false;
    for (;;) {
        TCoord x = 0, y = 0;
        if (!FPCBBoard->ChooseLocation(x, y, Caption))
            return false;
        auto primitive = FPCBBoard->ObjectAtLocation(x, y, TObjectSet::All(), FPCBBoard->VisibleLayers());
        if (!primitive)
            continue;
        if (TSwapSubNet* found = FindSubNetFromPrimitive(primitive.get())) {
            SubNet = found;
            return true;
        }
        MessageBox_Information("Selected primitive does not belong to swappable subnet/component.");
    }
}

} // namespace permutor::model
