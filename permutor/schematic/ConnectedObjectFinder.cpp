#include "permutor/schematic/ConnectedObjectFinder.h"

#include <stdexcept>

namespace permutor::schematic {

using namespace permutor::host;

void TConnectedFlagsDictionary::ClearFlags() {
    for (auto& [key, entry] : FDict)
        entry.Flags->IsPrimTouched = false;
}

bool TConnectedFlagsDictionary::HasBeenTouched(IPCB_Primitive* P) const {
    auto it = FDict.find(P);
    return it != FDict.end() && (it->second.Flags->IsPrimTouched || it->second.Flags->IsPrimTested);
}

void TConnectedFlagsDictionary::MarkPrimitiveAsTouched(IPCB_Primitive* P) {
    auto& entry = FDict[P];
    if (!entry.Primitive)
        entry.Primitive = IPtr<IPCB_Primitive>(P);
    entry.Flags = std::make_unique<TTouchFlags>(true, true);
}

TConnectedObjectFinder::TConnectedObjectFinder(IPCB_Board* ABoard, IPCB_Primitive* AStartObject,
                                               std::vector<IPtr<IPCB_Primitive>>& AList,
                                               const TObjectSet& AObjectSet,
                                               TConnectedFlagsDictionary* AMultipassFlagsDictionary)
    : Board(ABoard), ConnectedObjects(&AList), ObjectSet(AObjectSet) {
    if (AMultipassFlagsDictionary) {
        FIsMultipass = true;
        FFlagsDictionary = AMultipassFlagsDictionary;
        FFlagsDictionary->ClearFlags();
    } else {
        FOwnDictionary = std::make_unique<TConnectedFlagsDictionary>();
        FFlagsDictionary = FOwnDictionary.get();
    }
    if (AStartObject)
        Add(AStartObject);
}

// The start object is queued even when a dictionary already knew it, so that each pass
// searches from its own start.
void TConnectedObjectFinder::Add(IPCB_Primitive* P) {
    if (!FFlagsDictionary->HasBeenTouched(P))
        ConnectedObjects->emplace_back(P);
    HighLightList.emplace_back(P);
    FFlagsDictionary->MarkPrimitiveAsTouched(P);
}

bool TConnectedObjectFinder::Skip(IPCB_Primitive* current, IPCB_Primitive* hit) {
    if (QueryInterface<IPCB_NonConnectingObject>(hit))
        return true;
    if (hit->ExclusionFlags() & cPrimitiveExclusion_KeepOut)
        return true;
    if (FFlagsDictionary->HasBeenTouched(hit))
        return true;
    if (hit->ExclusionFlags() & cPrimitiveExclusion_NoConnectivity)
        return true;
    // A net tie joins nets on purpose: its own copper ends the search.
    if (hit->InComponent())
        if (auto component = hit->Component()) {
            const TComponentKind kind = component->ComponentKind();
            if (kind == eComponentKind_NetTie_BOM || kind == eComponentKind_NetTie_NoBOM)
                return true;
        }
    return !(Board->PrimPrimDistance(current, hit) < 1.0);
}

void TConnectedObjectFinder::Run() {
    if (FHasRun)
        throw std::logic_error("TConnectedObjectFinder::Run called twice");
    FHasRun = true;
    if (!Board)
        return;
    IPtr<IPCB_BoardIterator> iterator = Board->SpatialIterator_Create();
    struct TDestroy {
        IPCB_Board* Board;
        IPCB_BoardIterator* Iterator;
        ~TDestroy() {
            if (Iterator)
                Board->SpatialIterator_Destroy(Iterator);
        }
    } destroy{Board.get(), iterator.get()};
    if (!iterator)
        return;

    while (!HighLightList.empty()) {
        // The current primitive stays queued while its neighbours are appended behind it.
        IPtr<IPCB_Primitive> current = HighLightList.front();
        const TCoordRect area = current->BoundingRectangle();
        TLayerSet layers;
        if (current->Layer() == eV6_MultiLayer)
            Board->LayerSet_IncludeMultiLayer(layers);
        else
            layers.Include(current->Layer());
        iterator->SetFilter_ObjectSet(ObjectSet);
        iterator->SetFilter_LayerSet(layers);
        iterator->SetFilter_Area(area);
        for (IPtr<IPCB_Primitive> hit = iterator->First(); hit; hit = iterator->Next())
            if (!Skip(current.get(), hit.get()))
                Add(hit.get());
        HighLightList.pop_front();
    }
}

TObjectSet ConnectedObjectFinder_CopperKinds() {
    return TObjectSet{eArcObject, ePadObject, eViaObject, eTrackObject};
}

} // namespace permutor::schematic
