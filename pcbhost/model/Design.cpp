#include "pcbhost/model/Design.h"

#include "pcbhost/model/Board.h"
#include "pcbhost/model/Schematic.h"

#include <algorithm>
#include <optional>
#include <unordered_map>
#include <unordered_set>

namespace pcbhost {

namespace {

template <class I, class T> IPtr<I> At(const std::vector<IPtr<T>>& list, std::int32_t index) {
    return index >= 0 && std::size_t(index) < list.size() ? IPtr<I>(list[std::size_t(index)].get()) : nullptr;
}

template <class I, class T> IPtr<I> AtRaw(const std::vector<T*>& list, std::int32_t index) {
    return index >= 0 && std::size_t(index) < list.size() ? IPtr<I>(list[std::size_t(index)]) : nullptr;
}

// The result of a lookup points at the asked interface, so that it can be used as that
// interface directly or asked again.
IPtr<IUnknown> Offering(IUnknown* object, const TGuid& iid) {
    void* out = nullptr;
    if (!object || !object->QueryInterface(iid, &out) || !out)
        return nullptr;
    return IPtr<IUnknown>::Adopt(static_cast<IUnknown*>(out));
}

} // namespace

std::string Path_FileName(std::string_view path) {
    auto cut = path.find_last_of("/\\");
    return std::string(cut == std::string_view::npos ? path : path.substr(cut + 1));
}

// ---------------------------------------------------------------- messages, child items

void TMessagesPanel::AddMessage(const std::string& messageClass, const std::string& text,
                                const std::string& source, const std::string& documentName,
                                const std::string& crossProbeProcess, const std::string& crossProbeParameters,
                                std::int32_t imageIndex) {
    FLines.push_back(
        {messageClass, text, source, documentName, crossProbeProcess, crossProbeParameters, imageIndex});
}

std::string TChildItem::FileName() {
    return Path_FileName(FFullPath);
}

// ---------------------------------------------------------------- design objects

TDesignPin::TDesignPin(TDesignComponent* owner, IPtr<TSchPin> pin, std::string designator,
                       std::int32_t partNumber)
    : FOwner(owner), FPin(std::move(pin)), FDesignator(std::move(designator)), FPartNumber(partNumber) {}

IPtr<INet> TDesignPin::OwningNet() {
    return IPtr<INet>(FNet);
}
IPtr<IComponent> TDesignPin::OwningComponent() {
    return IPtr<IComponent>(FOwner);
}
std::string TDesignPin::CrossProbeId() {
    return (FOwner ? FOwner->DesignatorText : std::string()) + "-" + FDesignator;
}
std::string TDesignPin::SwapId(TSwapIdKind kind) {
    return FPin ? FPin->SwapId(kind) : std::string();
}

std::string TDesignPin::PinName() {
    return FPin ? FPin->PinName() : std::string();
}

std::string TDesignPin::ElectricalType() {
    return FPin ? FPin->PinType() : std::string();
}

void TDesignNet::AddMember(std::int32_t list, IPtr<IDMObject> member) {
    if (list >= 1 && list <= 3)
        FLists[list - 1].push_back(std::move(member));
}

const std::vector<IPtr<IDMObject>>& TDesignNet::MemberList(std::int32_t list) const {
    static const std::vector<IPtr<IDMObject>> none;
    return list >= 1 && list <= 3 ? FLists[list - 1] : none;
}

std::int32_t TDesignNet::MemberCount(std::int32_t list) {
    return std::int32_t(MemberList(list).size());
}
IPtr<IDMObject> TDesignNet::Member(std::int32_t list, std::int32_t index) {
    return At<IDMObject>(MemberList(list), index);
}

IPtr<INetItem> TDesignComponent::Pin(std::int32_t index) {
    return At<INetItem>(Pins, index);
}
IPtr<IPart> TDesignComponent::SubPart(std::int32_t index) {
    return At<IPart>(Parts, index);
}
IPtr<IComponentImplementation> TDesignComponent::Implementation(std::int32_t index) {
    return At<IComponentImplementation>(Implementations, index);
}

IPtr<INet> TDesignDifferentialPair::Net(std::int32_t index) {
    return At<INet>(FNets, index);
}

TDesignNet* TDesignData::FindNet(std::string_view name) const {
    for (; FNetsIndexed < Nets.size(); ++FNetsIndexed)
        FNetByName.try_emplace(Nets[FNetsIndexed]->Name(), Nets[FNetsIndexed].get());
    auto it = FNetByName.find(name);
    return it == FNetByName.end() ? nullptr : it->second;
}

TDesignNet& TDesignData::EnsureNet(const std::string& name) {
    if (TDesignNet* n = FindNet(name))
        return *n;
    Nets.push_back(MakeObject<TDesignNet>(name));
    return *Nets.back();
}

// ---------------------------------------------------------------- flattening

namespace {

// A footprint's pads by name, for pairing schematic pins with pads: the first pad of a name,
// and, for a pin whose designator differs from every pad name only in letter case, the first
// pad of that name in any case. Built once per footprint rather than walking every pad per pin.
class TPadsByName {
public:
    explicit TPadsByName(const TPcbComponent& footprint) {
        FExact.reserve(footprint.Pads().size());
        for (TPad* pad : footprint.Pads()) {
            FExact.try_emplace(pad->NameString(), pad);
            FAnyCase.try_emplace(Text_Upper(pad->NameString()), pad);
        }
    }
    TPad* Find(const std::string& designator) const {
        if (auto it = FExact.find(designator); it != FExact.end())
            return it->second;
        auto it = FAnyCase.find(Text_Upper(designator));
        return it == FAnyCase.end() ? nullptr : it->second;
    }

private:
    std::unordered_map<std::string_view, TPad*> FExact;
    std::unordered_map<std::string, TPad*> FAnyCase;
};

// Footprints by source unique id (any letter case), each id's footprints in board order, for
// pairing a symbol with the first still unpaired footprint whose id is one of its units' paths.
// A footprint is only ever paired through its own id, so each id's unpaired footprints are the
// tail of its list.
class TFootprintsById {
public:
    explicit TFootprintsById(const std::vector<TPcbComponent*>& footprints) {
        for (std::size_t f = 0; f < footprints.size(); ++f)
            if (const std::string& id = footprints[f]->SourceUniqueIdText(); !id.empty())
                FById[Text_Upper(id)].Indices.push_back(f);
    }
    // The first unpaired footprint of `symbol`'s placed units (board order), now paired; SIZE_MAX
    // when there is none.
    std::size_t Pair(TSchSymbol& symbol) {
        std::size_t best = SIZE_MAX;
        TIds* bestIds = nullptr;
        for (TSchComponent* unit : symbol.PlacedUnits()) {
            auto it = FById.find(Text_Upper(unit->UniqueIdText()));
            if (it == FById.end())
                continue;
            TIds& ids = it->second;
            if (ids.Next < ids.Indices.size() && ids.Indices[ids.Next] < best) {
                best = ids.Indices[ids.Next];
                bestIds = &ids;
            }
        }
        if (bestIds)
            ++bestIds->Next;
        return best;
    }

private:
    struct TIds {
        std::vector<std::size_t> Indices;
        std::size_t Next = 0; // the first not yet paired
    };
    std::unordered_map<std::string, TIds> FById;
};

} // namespace

std::shared_ptr<TDesignData> Design_Flatten(const std::vector<TSchDocument*>& sheets, TBoard* board,
                                            bool pinNetsFromSchematic) {
    auto data = std::make_shared<TDesignData>();
    // One design component per symbol with a placed unit, in sheet and placement order.
    std::vector<TSchSymbol*> symbols;
    std::unordered_set<TSchSymbol*> listed;
    for (TSchDocument* sheet : sheets)
        for (auto& unit : sheet->Units())
            if (listed.insert(&unit->Symbol()).second)
                symbols.push_back(&unit->Symbol());

    std::vector<TPcbComponent*> footprints = board ? board->ComponentList() : std::vector<TPcbComponent*>();
    std::vector<TPcbComponent*> footprintOf(symbols.size(), nullptr);
    TFootprintsById footprintsById(footprints);

    for (std::size_t s = 0; s < symbols.size(); ++s) {
        TSchSymbol* symbol = symbols[s];
        auto c = MakeObject<TDesignComponent>();
        TSchComponent* first = symbol->PlacedUnits().front();
        std::string sheetPath = first->Sheet() ? first->Sheet()->Path() : std::string();
        c->DesignatorText = symbol->Designator;
        c->CommentText = symbol->Comment;
        c->FootprintText = symbol->Footprint;
        c->LibraryReferenceText = symbol->LibraryReference;
        c->DeviceKeyText = symbol->DeviceKey;
        c->UniqueIdText = first->UniqueIdText();
        c->OwnerPath = sheetPath;
        c->Place.DocumentPath = sheetPath;
        c->Place.LocationKey = LocationKeyOf(sheetPath + "|component|" + symbol->Designator, 0, 0);
        for (auto& impl : symbol->Implementations) {
            c->Implementations.push_back(MakeObject<TComponentImplementation>(
                impl.ModelType, impl.ModelName, impl.FullPath, impl.DataFileLinks));
            if (!impl.FullPath.empty())
                c->Place.ChildItems.push_back(MakeObject<TChildItem>(impl.FullPath));
        }
        for (const auto& path : symbol->ChildItemPaths) {
            const auto& items = c->Place.ChildItems;
            if (std::none_of(items.begin(), items.end(),
                             [&](const auto& i) { return i->FullPath() == path; }))
                c->Place.ChildItems.push_back(MakeObject<TChildItem>(path));
        }
        for (std::int32_t u = 1; u <= symbol->UnitCount(); ++u) {
            TSchComponent* unit = symbol->Unit(u);
            auto part =
                MakeObject<TDesignPart>(unit ? unit->UniqueIdText() : std::string(), symbol->Designator, u);
            if (unit) {
                ++c->PlacedParts;
                part->Place.DocumentPath = unit->Sheet() ? unit->Sheet()->Path() : std::string();
                part->Place.LocationKey =
                    LocationKeyOf(part->Place.DocumentPath + "|unit|" + unit->UniqueIdText(), 0, 0);
            }
            c->Parts.push_back(part);
        }
        c->Pins.reserve(symbol->Pins().size());
        for (auto& pin : symbol->Pins()) {
            auto p = MakeObject<TDesignPin>(c.get(), pin, pin->DesignatorText(), pin->Unit());
            p->Place.DocumentPath = pin->SheetPath();
            p->Place.LocationKey = pin->LocationKey();
            c->Pins.push_back(p);
        }
        // The footprint whose source unique id is the path of one of the placed units.
        if (std::size_t f = footprintsById.Pair(*symbol); f != SIZE_MAX)
            footprintOf[s] = footprints[f];
        data->Components.push_back(c);
    }

    // Nets of pins: from the schematic when it knows them, else from the pads of the matched
    // footprint.
    for (std::size_t s = 0; s < symbols.size(); ++s) {
        auto& c = data->Components[s];
        TPcbComponent* fp = pinNetsFromSchematic ? nullptr : footprintOf[s];
        std::optional<TPadsByName> pads;
        if (fp)
            pads.emplace(*fp);
        for (auto& p : c->Pins) {
            std::string net;
            if (fp) {
                TPad* pad = pads->Find(p->DesignatorText());
                if (pad && pad->OwnerNet())
                    net = pad->OwnerNet()->Name();
            } else {
                net = p->SchematicPin()->NetName();
            }
            if (net.empty())
                continue;
            TDesignNet& n = data->EnsureNet(net);
            p->SetNetModel(&n);
            n.AddMember(1, IPtr<IDMObject>(p.get()));
            if (n.Place.DocumentPath.empty())
                n.Place = {p->Place.DocumentPath, p->Place.LocationKey, {}};
        }
    }
    for (TSchDocument* sheet : sheets)
        for (auto& label : sheet->Labels()) {
            auto m = MakeObject<TDesignMember>();
            m->Place.DocumentPath = label->SheetPath();
            m->Place.LocationKey = label->LocationKey();
            data->EnsureNet(label->NetName()).AddMember(label->IsPort() ? 3 : 2, IPtr<IDMObject>(m.get()));
        }
    for (auto& n : data->Nets) {
        std::string stem, partnerName;
        bool positive;
        if (!DifferentialPair_Split(n->Name(), stem, positive, partnerName) || !positive)
            continue;
        if (TDesignNet* partner = data->FindNet(partnerName))
            data->Pairs.push_back(MakeObject<TDesignDifferentialPair>(
                stem, std::vector<IPtr<INet>>{IPtr<INet>(n.get()), IPtr<INet>(partner)}));
    }

    if (!board)
        return data;
    // The board side: one design component per footprint, paired with the schematic side; a
    // footprint's pads of one name make one pin.
    data->BoardPath = board->Path();
    for (std::size_t f = 0; f < footprints.size(); ++f) {
        TPcbComponent* fp = footprints[f];
        auto b = MakeObject<TDesignComponent>();
        b->DesignatorText = fp->NameText();
        b->CommentText = fp->Comment();
        b->FootprintText = fp->FootprintName();
        b->UniqueIdText = fp->SourceUniqueId();
        b->BoardKey = fp->Key();
        b->OwnerPath = board->Path();
        b->Place.DocumentPath = board->Path();
        std::unordered_set<std::string_view> seen;
        for (TPad* pad : fp->Pads()) {
            if (!seen.insert(pad->NameString()).second)
                continue;
            auto p = MakeObject<TDesignPin>(b.get(), nullptr, pad->NameString(), 0);
            p->Place.DocumentPath = board->Path();
            if (pad->OwnerNet())
                p->SetNetModel(data->FindNet(pad->OwnerNet()->Name()));
            b->Pins.push_back(p);
        }
        data->BoardComponents.push_back(b);
    }
    std::unordered_map<const TPcbComponent*, std::size_t> symbolOf;
    for (std::size_t s = 0; s < symbols.size(); ++s)
        if (footprintOf[s])
            symbolOf.emplace(footprintOf[s], s);
    for (std::size_t f = 0; f < footprints.size(); ++f) {
        auto it = symbolOf.find(footprints[f]);
        if (it == symbolOf.end()) {
            data->UnmatchedBoard.push_back(data->BoardComponents[f].get());
            continue;
        }
        TDesignComponent* sch = data->Components[it->second].get();
        sch->BoardKey = footprints[f]->Key();
        data->Matched.emplace_back(sch, data->BoardComponents[f].get());
    }
    for (std::size_t s = 0; s < symbols.size(); ++s)
        if (!footprintOf[s])
            data->UnmatchedSchematic.push_back(data->Components[s].get());
    return data;
}

// ---------------------------------------------------------------- mappings

std::int32_t TComponentMappings::MatchedCount() {
    return std::int32_t(FData->Matched.size());
}

IPtr<IComponent> TComponentMappings::MatchedSchematicComponent(std::int32_t index) {
    return index >= 0 && std::size_t(index) < FData->Matched.size()
               ? IPtr<IComponent>(FData->Matched[std::size_t(index)].first)
               : nullptr;
}

IPtr<IComponent> TComponentMappings::MatchedBoardComponent(std::int32_t index) {
    return index >= 0 && std::size_t(index) < FData->Matched.size()
               ? IPtr<IComponent>(FData->Matched[std::size_t(index)].second)
               : nullptr;
}

std::int32_t TComponentMappings::UnmatchedSchematicCount() {
    return std::int32_t(FData->UnmatchedSchematic.size());
}
IPtr<IComponent> TComponentMappings::UnmatchedSchematicComponent(std::int32_t index) {
    return AtRaw<IComponent>(FData->UnmatchedSchematic, index);
}
std::int32_t TComponentMappings::UnmatchedBoardCount() {
    return std::int32_t(FData->UnmatchedBoard.size());
}
IPtr<IComponent> TComponentMappings::UnmatchedBoardComponent(std::int32_t index) {
    return AtRaw<IComponent>(FData->UnmatchedBoard, index);
}

// ---------------------------------------------------------------- documents

TDocument::TDocument(std::string path, std::string kind) : FPath(std::move(path)), FKind(std::move(kind)) {}
TDocument::~TDocument() = default;

TBoard* TDocument::Board() const {
    return FBoard.get();
}
void TDocument::SetBoard(TBoard* board) {
    FBoard = board;
    Identity_Changed();
}
TSchDocument* TDocument::Sheet() const {
    return FSheet.get();
}
void TDocument::SetSheet(TSchDocument* sheet) {
    FSheet = sheet;
    Identity_Changed();
}

IPtr<IProject> TDocument::OwningProject() {
    return IPtr<IProject>(FProject);
}

void TDocument::Compile() {
    FData.reset();
    if (FProject && !FProject->IsFreeDocuments())
        FProject->Compile();
}

void TDocument::NotifyChanged() {
    ++FNotifyCount;
    FData.reset();
    if (FProject)
        FProject->MarkOutOfDate();
}

// A sheet or library shows its own components; a board of a project the board side of the
// project's compiled design, a free board its own footprints.
const TDesignData& TDocument::Data() {
    if (FBoard && FProject && !FProject->IsFreeDocuments()) {
        if (!FProject->Compiled() || FProject->CompilationOutOfDate())
            FProject->Compile();
        const auto& data = FProject->Compiled()->Data();
        if (data->BoardPath == FPath)
            return *data;
    }
    if (!FData) {
        std::vector<TSchDocument*> sheets;
        if (FSheet)
            sheets.push_back(FSheet.get());
        FData = Design_Flatten(sheets, FBoard.get());
    }
    return *FData;
}

std::int32_t TDocument::ComponentCount() {
    auto& d = Data();
    return std::int32_t(FBoard ? d.BoardComponents.size() : d.Components.size());
}

IPtr<IComponent> TDocument::Component(std::int32_t index) {
    auto& d = Data();
    return At<IComponent>(FBoard ? d.BoardComponents : d.Components, index);
}

std::int32_t TDocument::DifferentialPairCount() {
    return std::int32_t(Data().Pairs.size());
}
IPtr<IDifferentialPairDM> TDocument::DifferentialPair(std::int32_t index) {
    return At<IDifferentialPairDM>(Data().Pairs, index);
}

TCompiledDocument::TCompiledDocument(TProject* project, std::shared_ptr<TDesignData> data)
    : FProject(project), FData(std::move(data)) {}

std::string TCompiledDocument::FileName() {
    return FProject->Path() + "#compiled";
}
IPtr<IProject> TCompiledDocument::OwningProject() {
    return IPtr<IProject>(FProject);
}
void TCompiledDocument::Compile() {
    FProject->Compile();
}
IPtr<IComponent> TCompiledDocument::Component(std::int32_t index) {
    return At<IComponent>(FData->Components, index);
}
IPtr<IDifferentialPairDM> TCompiledDocument::DifferentialPair(std::int32_t index) {
    return At<IDifferentialPairDM>(FData->Pairs, index);
}

// ---------------------------------------------------------------- lookup

TUniqueIdLookup::TUniqueIdLookup(TProject* project) : FProject(project), FKeep(project) {}
void TUniqueIdLookup::Begin() {
    ++FProject->LookupBegins;
}
void TUniqueIdLookup::End() {
    ++FProject->LookupEnds;
}
IPtr<IUnknown> TUniqueIdLookup::FindByUniqueId(const std::string& key, const TGuid& iid) {
    ++FProject->LookupFinds;
    return FProject->Find(key, iid);
}

// ---------------------------------------------------------------- project

TProject::TProject(std::string path, bool freeDocuments) : FPath(std::move(path)), FFree(freeDocuments) {}

TProject::~TProject() {
    for (auto& d : FDocuments)
        d->SetProject(nullptr);
    if (FFileDocument)
        FFileDocument->SetProject(nullptr);
}

TDocument& TProject::AddDocument(TDocument* document) {
    document->SetProject(this);
    FDocuments.emplace_back(document);
    Identity_Changed();
    MarkOutOfDate();
    return *document;
}

void TProject::RemoveDocument(TDocument* document) {
    IPtr<IDocument> keep(document);
    std::erase_if(FDocuments, [&](auto& d) { return d.get() == document; });
    Identity_Changed();
    document->SetProject(nullptr);
    MarkOutOfDate();
}

TDocument* TProject::FindDocument(std::string_view path) const {
    for (auto& d : FDocuments)
        if (d->Path() == path)
            return d.get();
    return nullptr;
}

TDocument& TProject::FileDocument() {
    if (!FFileDocument) {
        FFileDocument = MakeObject<TDocument>(FPath, "PCBPROJECT");
        FFileDocument->SetProject(this);
        FFileDocument->Open();
    }
    return *FFileDocument;
}

TDocument* TProject::BoardDocument() const {
    for (auto& d : FDocuments)
        if (d->Board())
            return d.get();
    return nullptr;
}

void TProject::MarkOutOfDate() {
    FOutOfDate = true;
    for (auto& d : FDocuments)
        d->Invalidate();
}

std::string TProject::FileName() {
    return Path_FileName(FPath);
}

void TProject::Compile() {
    std::vector<TSchDocument*> sheets;
    for (auto& d : FDocuments)
        if (d->Sheet() && !d->Sheet()->IsLibrary())
            sheets.push_back(d->Sheet());
    TDocument* boardDocument = BoardDocument();
    TBoard* board = boardDocument ? boardDocument->Board() : nullptr;
    if (FCompiled)
        FOldCompiled.push_back(FCompiled);
    FCompiled = MakeObject<TCompiledDocument>(this, Design_Flatten(sheets, board, FPinNetsFromSchematic));
    Identity_Changed();
    FCompiledBoardSerial = board ? board->ChangeSerial() : 0;
    FOutOfDate = false;
    ++FCompileCount;
}

IPtr<IDocument> TProject::CompiledDocument() {
    return IPtr<IDocument>(FCompiled.get());
}

std::int32_t TProject::CompilationOutOfDate() {
    if (FOutOfDate || !FCompiled)
        return 1;
    TDocument* boardDocument = BoardDocument();
    return boardDocument && boardDocument->Board()->ChangeSerial() != FCompiledBoardSerial ? 1 : 0;
}

IPtr<IComponentMappings> TProject::ComponentMappings(const std::string& documentPath) {
    if (!FCompiled)
        Compile();
    auto data = FCompiled->Data();
    if (data->BoardPath != documentPath)
        return MakeObject<TComponentMappings>(std::make_shared<TDesignData>());
    return MakeObject<TComponentMappings>(data);
}

IPtr<IUniqueIdLookup> TProject::UniqueIdLookup() {
    return MakeObject<TUniqueIdLookup>(this);
}

IPtr<IDocument> TProject::Document(std::int32_t index) {
    return At<IDocument>(FDocuments, index);
}

// Searches, in this order: placed schematic components (by instance path), compiled design
// components and their sub-parts (by unique id), and board components (by their key). The
// first object with that id that offers `iid` is the answer.
IPtr<IUnknown> TProject::Find(const std::string& key, const TGuid& iid) {
    const std::string_view k = Text_Trim(key);
    if (k.empty())
        return nullptr;
    for (int attempt = 0; attempt < 2; ++attempt) {
        bool current = true;
        for (const auto& place : FIdIndex.Places(*this, k)) {
            IUnknown* object = IdObject(place, k);
            if (!object) {
                current = false;
                break;
            }
            if (auto r = Offering(object, iid))
                return r;
        }
        if (current)
            return nullptr;
        // Something changed without telling the index: build it again.
        FIdIndex.Invalidate();
    }
    return Find_Plain(key, iid);
}

IUnknown* TProject::IdObject(const TUniqueIdIndex::TPlace& place, std::string_view key) const {
    switch (place.Kind) {
    case TUniqueIdIndex::eUnit: {
        const TSchDocument* sheet =
            place.Owner < FDocuments.size() ? FDocuments[place.Owner]->Sheet() : nullptr;
        if (!sheet || place.Item >= sheet->Units().size())
            return nullptr;
        TSchComponent* unit = sheet->Units()[place.Item].get();
        return Text_EqualNoCase(unit->UniqueIdText(), key) ? static_cast<ISch_Component*>(unit) : nullptr;
    }
    case TUniqueIdIndex::eCompiledComponent:
    case TUniqueIdIndex::eCompiledPart: {
        if (!FCompiled || place.Owner >= FCompiled->Data()->Components.size())
            return nullptr;
        const auto& c = FCompiled->Data()->Components[place.Owner];
        if (place.Kind == TUniqueIdIndex::eCompiledComponent)
            return Text_EqualNoCase(c->UniqueIdText, key) ? c.get() : nullptr;
        if (place.Item >= c->Parts.size())
            return nullptr;
        const auto& part = c->Parts[place.Item];
        return Text_EqualNoCase(part->UniqueId(), key) ? part.get() : nullptr;
    }
    case TUniqueIdIndex::eBoardComponent: {
        const TBoard* board = place.Owner < FDocuments.size() ? FDocuments[place.Owner]->Board() : nullptr;
        if (!board || place.Item >= board->ComponentList().size())
            return nullptr;
        TPcbComponent* fp = board->ComponentList()[place.Item];
        return Text_EqualNoCase(fp->Key(), key) ? static_cast<IPCB_Component*>(fp) : nullptr;
    }
    }
    return nullptr;
}

IPtr<IUnknown> TProject::Find_Plain(const std::string& key, const TGuid& iid) {
    std::string k(Text_Trim(key));
    if (k.empty())
        return nullptr;
    for (auto& d : FDocuments)
        if (d->Sheet())
            for (auto& unit : d->Sheet()->Units())
                if (Text_EqualNoCase(unit->UniqueIdText(), k))
                    if (auto r = Offering(static_cast<ISch_Component*>(unit.get()), iid))
                        return r;
    if (FCompiled)
        for (auto& c : FCompiled->Data()->Components) {
            if (Text_EqualNoCase(c->UniqueIdText, k))
                if (auto r = Offering(c.get(), iid))
                    return r;
            for (auto& part : c->Parts)
                if (Text_EqualNoCase(part->UniqueId(), k))
                    if (auto r = Offering(part.get(), iid))
                        return r;
        }
    for (auto& d : FDocuments)
        if (d->Board())
            for (TPcbComponent* fp : d->Board()->ComponentList())
                if (Text_EqualNoCase(fp->Key(), k))
                    if (auto r = Offering(static_cast<IPCB_Component*>(fp), iid))
                        return r;
    return nullptr;
}

// ---------------------------------------------------------------- workspace

TWorkspace::TWorkspace() : FFree(MakeObject<TProject>("", true)), FPanel(MakeObject<TMessagesPanel>()) {}
TWorkspace::~TWorkspace() = default;

TProject& TWorkspace::AddProject(const std::string& path) {
    if (TProject* p = FindProject(path))
        return *p;
    FProjects.push_back(MakeObject<TProject>(path, false));
    return *FProjects.back();
}

TProject* TWorkspace::FindProject(std::string_view path) const {
    for (auto& p : FProjects)
        if (p->Path() == path)
            return p.get();
    return nullptr;
}

TDocument* TWorkspace::FindDocument(std::string_view path) const {
    for (auto& p : FProjects)
        if (TDocument* d = p->FindDocument(path))
            return d;
    return FFree->FindDocument(path);
}

IPtr<IDocument> TWorkspace::DocumentByPath(const std::string& path) {
    return IPtr<IDocument>(FindDocument(path));
}
IPtr<IProject> TWorkspace::FreeDocumentsProject() {
    return IPtr<IProject>(FFree.get());
}
IPtr<IMessagesPanel> TWorkspace::MessagesPanel() {
    return FPanel;
}
IPtr<IProject> TWorkspace::Project(std::int32_t index) {
    return At<IProject>(FProjects, index);
}

} // namespace pcbhost
