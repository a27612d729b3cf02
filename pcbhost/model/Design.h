// The workspace and the design model of the stand-in host: projects and their documents, the
// compiled (flattened) design with its components, pins, parts and nets, component mappings
// between board and schematic, the unique-id lookup and the messages panel.
#pragma once

#include "pcbhost/model/UniqueIdIndex.h"
#include "permutor/host/Host.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace pcbhost {

using namespace permutor::host;

class TProject;
class TBoard;
class TSchDocument;
class TSchPin;
class TDesignComponent;
class TDesignNet;
class TWorkspace;

// One line of the messages panel, with every field the module passed.
struct TMessageLine {
    std::string MessageClass;
    std::string Text;
    std::string Source;
    std::string DocumentName;
    std::string CrossProbeProcess;
    std::string CrossProbeParameters;
    std::int32_t ImageIndex = 0;
};

class TMessagesPanel : public TUnknownImpl<IMessagesPanel> {
public:
    void AddMessage(const std::string& messageClass, const std::string& text, const std::string& source,
                    const std::string& documentName, const std::string& crossProbeProcess,
                    const std::string& crossProbeParameters, std::int32_t imageIndex) override;
    const std::vector<TMessageLine>& Lines() const { return FLines; }
    void Clear() { FLines.clear(); }

private:
    std::vector<TMessageLine> FLines;
};

class TChildItem : public TUnknownImpl<IChildItem> {
public:
    explicit TChildItem(std::string fullPath) : FFullPath(std::move(fullPath)) {}
    std::string FileName() override;
    std::string FullPath() override { return FFullPath; }

private:
    std::string FFullPath;
};

// Where a design object sits: its document and location key, and its attached files.
struct TDesignPlace {
    std::string DocumentPath;
    std::int32_t LocationKey = 0;
    std::vector<IPtr<IChildItem>> ChildItems;
};

template <class I> class TDesignObjectImpl : public TUnknownImpl<I> {
public:
    TDesignPlace Place;
    std::string DocumentPath() override { return Place.DocumentPath; }
    std::int32_t LocationKey() override { return Place.LocationKey; }
    std::int32_t ChildItemCount() override { return std::int32_t(Place.ChildItems.size()); }
    IPtr<IChildItem> ChildItem(std::int32_t index) override {
        return index >= 0 && std::size_t(index) < Place.ChildItems.size()
                   ? Place.ChildItems[std::size_t(index)]
                   : nullptr;
    }
};

// A net label or port as a member of a design net.
class TDesignMember : public TDesignObjectImpl<IDMObject> {};

class TDesignPin : public TDesignObjectImpl<INetItem> {
public:
    // `pin` is the schematic pin the swap identifiers are read from (live); none for board pins.
    TDesignPin(TDesignComponent* owner, IPtr<TSchPin> pin, std::string designator, std::int32_t partNumber);
    TDesignNet* NetModel() const { return FNet; }
    void SetNetModel(TDesignNet* net) { FNet = net; }
    TSchPin* SchematicPin() const { return FPin.get(); }

    std::string Designator() override { return FDesignator; }
    const std::string& DesignatorText() const { return FDesignator; }
    std::int32_t PartNumber() override { return FPartNumber; }
    IPtr<INet> OwningNet() override;
    IPtr<IComponent> OwningComponent() override;
    std::string CrossProbeId() override;
    std::string SwapId(TSwapIdKind kind) override;
    std::string PinName() override;
    std::string ElectricalType() override;

private:
    TDesignComponent* FOwner;
    IPtr<TSchPin> FPin;
    std::string FDesignator;
    std::int32_t FPartNumber;
    TDesignNet* FNet = nullptr;
};

class TDesignNet : public TDesignObjectImpl<INet> {
public:
    explicit TDesignNet(std::string name) : FName(std::move(name)) {}
    // Lists: 1 pins, 2 net labels, 3 ports.
    void AddMember(std::int32_t list, IPtr<IDMObject> member);
    const std::vector<IPtr<IDMObject>>& MemberList(std::int32_t list) const;

    std::string Name() override { return FName; }
    std::int32_t MemberCount(std::int32_t list) override;
    IPtr<IDMObject> Member(std::int32_t list, std::int32_t index) override;

private:
    std::string FName;
    std::vector<IPtr<IDMObject>> FLists[3];
};

class TDesignPart : public TDesignObjectImpl<IPart> {
public:
    TDesignPart(std::string uniqueId, std::string designator, std::int32_t partNumber)
        : FUniqueId(std::move(uniqueId)), FDesignator(std::move(designator)), FPartNumber(partNumber) {}
    std::string UniqueId() override { return FUniqueId; }
    std::string Designator() override { return FDesignator; }
    std::int32_t PartNumber() override { return FPartNumber; }

private:
    std::string FUniqueId, FDesignator;
    std::int32_t FPartNumber;
};

// A file a component's model draws on: its kind and its location as written.
struct TDataFileLink {
    std::string Kind, Location;
};

class TComponentImplementation : public TUnknownImpl<IComponentImplementation> {
public:
    TComponentImplementation(std::string type, std::string name, std::string path,
                             std::vector<TDataFileLink> links = {})
        : FType(std::move(type)), FName(std::move(name)), FPath(std::move(path)), FLinks(std::move(links)) {}
    std::string ModelType() override { return FType; }
    std::string ModelName() override { return FName; }
    std::string FullPath() override { return FPath; }
    std::int32_t DataFileLinkCount() override { return std::int32_t(FLinks.size()); }
    std::string DataFileLinkKind(std::int32_t index) override {
        return index >= 0 && index < DataFileLinkCount() ? FLinks[std::size_t(index)].Kind : std::string();
    }
    std::string DataFileLinkLocation(std::int32_t index) override {
        return index >= 0 && index < DataFileLinkCount() ? FLinks[std::size_t(index)].Location
                                                         : std::string();
    }

private:
    std::string FType, FName, FPath;
    std::vector<TDataFileLink> FLinks;
};

class TDesignComponent : public TDesignObjectImpl<IComponent> {
public:
    std::string DesignatorText, CommentText, FootprintText, LibraryReferenceText, UniqueIdText, BoardKey,
        DeviceKeyText, OwnerPath;
    std::vector<IPtr<TDesignPin>> Pins;
    std::vector<IPtr<TDesignPart>> Parts; // one per unit of the symbol; unplaced ones have no unique id
    std::int32_t PlacedParts = 0;
    std::vector<IPtr<IComponentImplementation>> Implementations;
    std::int32_t RefreshCount = 0;

    std::string Designator() override { return DesignatorText; }
    std::string Comment() override { return CommentText; }
    std::string Footprint() override { return FootprintText; }
    std::string LibraryReference() override { return LibraryReferenceText; }
    std::string UniqueId() override { return UniqueIdText; }
    std::string BoardObjectKey() override { return BoardKey; }
    std::string DeviceKey() override { return DeviceKeyText; }
    std::string OwnerDocumentPath() override { return OwnerPath; }
    void Refresh() override { ++RefreshCount; }
    std::int32_t PinCount() override { return std::int32_t(Pins.size()); }
    IPtr<INetItem> Pin(std::int32_t index) override;
    std::int32_t SubPartCount() override { return std::int32_t(Parts.size()); }
    IPtr<IPart> SubPart(std::int32_t index) override;
    std::int32_t PlacedSubPartCount() override { return PlacedParts; }
    std::int32_t ImplementationCount() override { return std::int32_t(Implementations.size()); }
    IPtr<IComponentImplementation> Implementation(std::int32_t index) override;
};

class TDesignDifferentialPair : public TUnknownImpl<IDifferentialPairDM> {
public:
    TDesignDifferentialPair(std::string name, std::vector<IPtr<INet>> nets)
        : FName(std::move(name)), FNets(std::move(nets)) {}
    std::string Name() override { return FName; }
    std::int32_t NetCount() override { return std::int32_t(FNets.size()); }
    IPtr<INet> Net(std::int32_t index) override;

private:
    std::string FName;
    std::vector<IPtr<INet>> FNets;
};

// The flattened design of a set of schematic documents, with the board side when there is a
// board: components, nets, differential pairs, board components and their pairing.
struct TDesignData {
    std::vector<IPtr<TDesignComponent>> Components;
    std::vector<IPtr<TDesignNet>> Nets;
    std::vector<IPtr<TDesignDifferentialPair>> Pairs;
    std::string BoardPath;
    std::vector<IPtr<TDesignComponent>> BoardComponents;
    std::vector<std::pair<TDesignComponent*, TDesignComponent*>> Matched; // schematic, board
    std::vector<TDesignComponent*> UnmatchedSchematic, UnmatchedBoard;

    // Nets only ever get appended to `Nets`; the name index catches up on the next lookup.
    TDesignNet* FindNet(std::string_view name) const;
    TDesignNet& EnsureNet(const std::string& name);

private:
    mutable std::map<std::string, TDesignNet*, std::less<>> FNetByName; // the first net of a name
    mutable std::size_t FNetsIndexed = 0;
};

// Flattens the components of `sheets` (one design component per reference, its placed units as
// sub-parts); pin nets come from the pads of the matching footprint on `board` when there is
// one, else from the schematic.
// `pinNetsFromSchematic`: the pins' nets are the schematic's own (a project read from files, whose
// schematic connectivity is known); otherwise a matched footprint's pads give them.
std::shared_ptr<TDesignData> Design_Flatten(const std::vector<TSchDocument*>& sheets, TBoard* board,
                                            bool pinNetsFromSchematic = false);

class TComponentMappings : public TUnknownImpl<IComponentMappings> {
public:
    explicit TComponentMappings(std::shared_ptr<const TDesignData> data) : FData(std::move(data)) {}
    std::int32_t MatchedCount() override;
    IPtr<IComponent> MatchedSchematicComponent(std::int32_t index) override;
    IPtr<IComponent> MatchedBoardComponent(std::int32_t index) override;
    std::int32_t UnmatchedSchematicCount() override;
    IPtr<IComponent> UnmatchedSchematicComponent(std::int32_t index) override;
    std::int32_t UnmatchedBoardCount() override;
    IPtr<IComponent> UnmatchedBoardComponent(std::int32_t index) override;

private:
    std::shared_ptr<const TDesignData> FData;
};

// A document of a project as the design model and as the editor see it: a schematic sheet,
// a schematic library or a board.
class TDocument : public TUnknownImpl<IDocument, IServerDocument> {
public:
    TDocument(std::string path, std::string kind);
    ~TDocument() override;

    const std::string& Path() const { return FPath; }
    const std::string& KindText() const { return FKind; }
    TProject* Project() const { return FProject; }
    void SetProject(TProject* project) { FProject = project; }
    TBoard* Board() const;
    void SetBoard(TBoard* board);
    TSchDocument* Sheet() const;
    void SetSheet(TSchDocument* sheet);
    void SetOpen(bool open) { FOpen = open; }
    std::int32_t NotifyCount() const { return FNotifyCount; }
    // Drops the document's own design data; rebuilt when next asked for.
    void Invalidate() { FData.reset(); }

    // IDocument and IServerDocument
    std::string FileName() override { return FPath; }
    std::string Kind() override { return FKind; }
    bool Modified() override { return FModified; }
    void SetModified(bool modified) override { FModified = modified; }
    IPtr<IProject> OwningProject() override;
    void Compile() override;
    bool IsOpen() override { return FOpen; }
    void Open() override { FOpen = true; }
    void NotifyChanged() override;
    std::int32_t ComponentCount() override;
    IPtr<IComponent> Component(std::int32_t index) override;
    std::int32_t DifferentialPairCount() override;
    IPtr<IDifferentialPairDM> DifferentialPair(std::int32_t index) override;

private:
    const TDesignData& Data();
    std::string FPath, FKind;
    TProject* FProject = nullptr;
    IPtr<TBoard> FBoard;
    IPtr<TSchDocument> FSheet;
    bool FOpen = true;
    bool FModified = false;
    std::int32_t FNotifyCount = 0;
    std::shared_ptr<TDesignData> FData;
};

// The flattened document of a compiled project.
class TCompiledDocument : public TUnknownImpl<IDocument> {
public:
    TCompiledDocument(TProject* project, std::shared_ptr<TDesignData> data);
    const std::shared_ptr<TDesignData>& Data() const { return FData; }

    std::string FileName() override;
    std::string Kind() override { return "SCH"; }
    IPtr<IProject> OwningProject() override;
    void Compile() override;
    bool IsOpen() override { return true; }
    void Open() override {}
    void NotifyChanged() override {}
    std::int32_t ComponentCount() override { return std::int32_t(FData->Components.size()); }
    IPtr<IComponent> Component(std::int32_t index) override;
    std::int32_t DifferentialPairCount() override { return std::int32_t(FData->Pairs.size()); }
    IPtr<IDifferentialPairDM> DifferentialPair(std::int32_t index) override;

private:
    TProject* FProject;
    std::shared_ptr<TDesignData> FData;
};

class TUniqueIdLookup : public TUnknownImpl<IUniqueIdLookup> {
public:
    explicit TUniqueIdLookup(TProject* project);
    void Begin() override;
    IPtr<IUnknown> FindByUniqueId(const std::string& key, const TGuid& iid) override;
    void End() override;

private:
    TProject* FProject;
    IPtr<IProject> FKeep;
};

class TProject : public TUnknownImpl<IProject, IExtendedProject> {
public:
    // `freeDocuments`: the workspace's pseudo-project of documents outside any project.
    TProject(std::string path, bool freeDocuments);
    ~TProject() override;

    const std::string& Path() const { return FPath; }
    bool IsFreeDocuments() const { return FFree; }
    TDocument& AddDocument(TDocument* document);
    void RemoveDocument(TDocument* document);
    const std::vector<IPtr<TDocument>>& Documents() const { return FDocuments; }
    TDocument* FindDocument(std::string_view path) const;
    // The project's board document (the first), or none.
    TDocument* BoardDocument() const;
    // The project file itself as an open document (not one of Documents()); its modified flag
    // stands for project changes not yet saved.
    TDocument& FileDocument();
    void SetAllowPinSwapping(bool allow) { FAllowPinSwapping = allow; }
    void SetAllowNetLabelSwapping(bool allow) { FAllowNetLabelSwapping = allow; }
    // Compiling takes the pins' nets from the schematic pins, not from the board's pads.
    void SetPinNetsFromSchematic(bool fromSchematic) { FPinNetsFromSchematic = fromSchematic; }
    bool PinNetsFromSchematic() const { return FPinNetsFromSchematic; }
    // Something changed that the compiled design does not show yet.
    void MarkOutOfDate();
    TCompiledDocument* Compiled() const { return FCompiled.get(); }
    std::int32_t CompileCount() const { return FCompileCount; }
    // Bookkeeping of the unique-id lookup: passes begun and ended, finds made.
    std::int32_t LookupBegins = 0, LookupEnds = 0, LookupFinds = 0;

    // IProject
    std::string FileName() override;
    std::string FullPath() override { return FPath; }
    void Compile() override;
    IPtr<IDocument> CompiledDocument() override;
    bool IsPCBProject() override { return !FFree; }
    std::int32_t CompilationOutOfDate() override;
    bool AllowPinSwapping() override { return FAllowPinSwapping; }
    bool AllowNetLabelSwapping() override { return FAllowNetLabelSwapping; }
    IPtr<IComponentMappings> ComponentMappings(const std::string& documentPath) override;
    IPtr<IUniqueIdLookup> UniqueIdLookup() override;
    std::int32_t DocumentCount() override { return std::int32_t(FDocuments.size()); }
    IPtr<IDocument> Document(std::int32_t index) override;
    // IExtendedProject
    std::int32_t NeedsCompiling() override { return CompilationOutOfDate(); }

    // Finds what the unique-id lookup finds (see TUniqueIdLookup), through the index.
    IPtr<IUnknown> Find(const std::string& key, const TGuid& iid);
    // The same by walking every object in lookup order (the index's plain twin).
    IPtr<IUnknown> Find_Plain(const std::string& key, const TGuid& iid);
    const TUniqueIdIndex& IdIndex() const { return FIdIndex; }

private:
    std::string FPath;
    bool FFree;
    std::vector<IPtr<TDocument>> FDocuments;
    IPtr<TDocument> FFileDocument;
    bool FAllowPinSwapping = true, FAllowNetLabelSwapping = false;
    bool FPinNetsFromSchematic = false;
    IPtr<TCompiledDocument> FCompiled;
    // Earlier compiled documents stay alive: the module may still hold their objects.
    std::vector<IPtr<TCompiledDocument>> FOldCompiled;
    bool FOutOfDate = true;
    std::uint64_t FCompiledBoardSerial = 0;
    std::int32_t FCompileCount = 0;
    TUniqueIdIndex FIdIndex;
    // The object at an index place, as the lookup offers it; none when the place no longer holds
    // an object whose unique id is `key`.
    IUnknown* IdObject(const TUniqueIdIndex::TPlace& place, std::string_view key) const;
};

class TWorkspace : public TUnknownImpl<IWorkspace> {
public:
    TWorkspace();
    ~TWorkspace() override;
    TProject& AddProject(const std::string& path);
    TProject& FreeProject() { return *FFree; }
    const std::vector<IPtr<TProject>>& Projects() const { return FProjects; }
    TProject* FindProject(std::string_view path) const;
    TDocument* FindDocument(std::string_view path) const;
    TMessagesPanel& Panel() { return *FPanel; }

    IPtr<IDocument> DocumentByPath(const std::string& path) override;
    IPtr<IProject> FreeDocumentsProject() override;
    IPtr<IMessagesPanel> MessagesPanel() override;
    std::int32_t ProjectCount() override { return std::int32_t(FProjects.size()); }
    IPtr<IProject> Project(std::int32_t index) override;

private:
    std::vector<IPtr<TProject>> FProjects;
    IPtr<TProject> FFree;
    IPtr<TMessagesPanel> FPanel;
};

// The last component of a path ("demo.kicad_pcb" of "/a/demo.kicad_pcb").
std::string Path_FileName(std::string_view path);

} // namespace pcbhost
