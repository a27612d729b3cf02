// The workspace and the compiled design model: projects, documents, design components, pins
// (net items) and nets, component mappings, unique-id lookup and the messages panel.
#pragma once

#include "permutor/host/Unknown.h"

#include <cstdint>
#include <string>

namespace permutor::host {

class IDocument;
class IProject;
class INet;
class IComponent;

// Message classes of the messages panel.
inline constexpr const char* cMessageClass_Warning = "Warning";
inline constexpr const char* cMessageClass_Error = "Error";
inline constexpr const char* cMessageClass_ErrorBracketed = "[Error]";
inline constexpr const char* cMessageClass_Information = "[Information]";

class IMessagesPanel : public IUnknown {
public:
    PERMUTOR_INTERFACE_ID("{7D20B1C3-52E4-4F7A-9E11-2A6B3C4D2001}");
    // One line in the panel; activating it runs the cross-probe process with its parameters.
    virtual void AddMessage(const std::string& messageClass, const std::string& text,
                            const std::string& source, const std::string& documentName,
                            const std::string& crossProbeProcess, const std::string& crossProbeParameters,
                            std::int32_t imageIndex) = 0;
};

// Something attached to a design object (a model file, a pin configuration file...).
class IChildItem : public IUnknown {
public:
    PERMUTOR_INTERFACE_ID("{7D20B1C3-52E4-4F7A-9E11-2A6B3C4D2002}");
    virtual std::string FileName() = 0;
    virtual std::string FullPath() = 0;
};

// Common to the objects of the compiled design.
class IDMObject : public IUnknown {
public:
    PERMUTOR_INTERFACE_ID("{7D20B1C3-52E4-4F7A-9E11-2A6B3C4D2003}");
    virtual std::string DocumentPath() = 0;
    // Equal for design objects that sit at the same place of the same sheet.
    virtual std::int32_t LocationKey() = 0;
    virtual std::int32_t ChildItemCount() = 0;
    virtual IPtr<IChildItem> ChildItem(std::int32_t index) = 0;
};

// The four swap identifiers a pin carries.
enum TSwapIdKind : std::int32_t {
    eSwapId_Pin = 0,
    eSwapId_Part = 1,
    eSwapId_PartPin = 2,
    eSwapId_Pair = 3,
};

// A pin of a design component (a net item).
class INetItem : public IDMObject {
public:
    PERMUTOR_INTERFACE_ID("{7D20B1C3-52E4-4F7A-9E11-2A6B3C4D2004}");
    using TBase = IDMObject;
    virtual std::string Designator() = 0;
    // The gate of a multi-part component the pin belongs to; 0 when common to all parts.
    virtual std::int32_t PartNumber() = 0;
    virtual IPtr<INet> OwningNet() = 0;
    virtual IPtr<IComponent> OwningComponent() = 0;
    virtual std::string CrossProbeId() = 0;
    virtual std::string SwapId(TSwapIdKind kind) = 0;
    // The pin's name and electrical type as its symbol gives them; empty where the host does not
    // know them.
    virtual std::string PinName() { return {}; }
    virtual std::string ElectricalType() { return {}; }
};

// A net of the compiled design. Members come in three lists (pins, net labels, ports) whose
// meaning is the host's.
class INet : public IDMObject {
public:
    PERMUTOR_INTERFACE_ID("{7D20B1C3-52E4-4F7A-9E11-2A6B3C4D2005}");
    using TBase = IDMObject;
    virtual std::string Name() = 0;
    virtual std::int32_t MemberCount(std::int32_t list) = 0;
    virtual IPtr<IDMObject> Member(std::int32_t list, std::int32_t index) = 0;
};

// One placed gate (sub-part) of a design component: a symbol unit on a sheet.
class IPart : public IDMObject {
public:
    PERMUTOR_INTERFACE_ID("{7D20B1C3-52E4-4F7A-9E11-2A6B3C4D2006}");
    using TBase = IDMObject;
    virtual std::string UniqueId() = 0;
    virtual std::string Designator() = 0;
    virtual std::int32_t PartNumber() = 0;
};

// A model link of a component (footprint, simulation model, FPGA pin file...).
class IComponentImplementation : public IUnknown {
public:
    PERMUTOR_INTERFACE_ID("{7D20B1C3-52E4-4F7A-9E11-2A6B3C4D2007}");
    virtual std::string ModelType() = 0;
    virtual std::string ModelName() = 0;
    virtual std::string FullPath() = 0;
    // Files the model draws on, each with its kind ("PinInfo" for an FPGA pin report) and
    // location as written (relative to the component's document, or absolute).
    virtual std::int32_t DataFileLinkCount() = 0;
    virtual std::string DataFileLinkKind(std::int32_t index) = 0;
    virtual std::string DataFileLinkLocation(std::int32_t index) = 0;
};

// A component of the compiled design (schematic side) or of the board side of a mapping.
class IComponent : public IDMObject {
public:
    PERMUTOR_INTERFACE_ID("{7D20B1C3-52E4-4F7A-9E11-2A6B3C4D2008}");
    using TBase = IDMObject;
    virtual std::string Designator() = 0;
    virtual std::string Comment() = 0;
    virtual std::string Footprint() = 0;
    virtual std::string LibraryReference() = 0;
    virtual std::string UniqueId() = 0;
    virtual std::string BoardObjectKey() = 0;
    virtual std::string DeviceKey() = 0;
    virtual std::string OwnerDocumentPath() = 0;
    // Brings the component's data up to date before first use.
    virtual void Refresh() = 0;
    virtual std::int32_t PinCount() = 0;
    virtual IPtr<INetItem> Pin(std::int32_t index) = 0;
    virtual std::int32_t SubPartCount() = 0;
    virtual IPtr<IPart> SubPart(std::int32_t index) = 0;
    virtual std::int32_t PlacedSubPartCount() = 0;
    virtual std::int32_t ImplementationCount() = 0;
    virtual IPtr<IComponentImplementation> Implementation(std::int32_t index) = 0;
};

// A differential pair defined in the design (by directive or net naming).
class IDifferentialPairDM : public IUnknown {
public:
    PERMUTOR_INTERFACE_ID("{7D20B1C3-52E4-4F7A-9E11-2A6B3C4D2009}");
    virtual std::string Name() = 0;
    virtual std::int32_t NetCount() = 0;
    virtual IPtr<INet> Net(std::int32_t index) = 0;
};

class IDocument : public IUnknown {
public:
    PERMUTOR_INTERFACE_ID("{7D20B1C3-52E4-4F7A-9E11-2A6B3C4D200A}");
    virtual std::string FileName() = 0;
    virtual std::string Kind() = 0;
    virtual IPtr<IProject> OwningProject() = 0;
    virtual void Compile() = 0;
    virtual bool IsOpen() = 0;
    virtual void Open() = 0;
    // Tells the design model that the document's data changed.
    virtual void NotifyChanged() = 0;
    virtual std::int32_t ComponentCount() = 0;
    virtual IPtr<IComponent> Component(std::int32_t index) = 0;
    virtual std::int32_t DifferentialPairCount() = 0;
    virtual IPtr<IDifferentialPairDM> DifferentialPair(std::int32_t index) = 0;
};

// Board-side and schematic-side components paired by the project.
class IComponentMappings : public IUnknown {
public:
    PERMUTOR_INTERFACE_ID("{7D20B1C3-52E4-4F7A-9E11-2A6B3C4D200B}");
    virtual std::int32_t MatchedCount() = 0;
    virtual IPtr<IComponent> MatchedSchematicComponent(std::int32_t index) = 0;
    virtual IPtr<IComponent> MatchedBoardComponent(std::int32_t index) = 0;
    virtual std::int32_t UnmatchedSchematicCount() = 0;
    virtual IPtr<IComponent> UnmatchedSchematicComponent(std::int32_t index) = 0;
    virtual std::int32_t UnmatchedBoardCount() = 0;
    virtual IPtr<IComponent> UnmatchedBoardComponent(std::int32_t index) = 0;
};

// Finds design and document objects by their unique id; Begin/End bracket a series of finds.
class IUniqueIdLookup : public IUnknown {
public:
    PERMUTOR_INTERFACE_ID("{7D20B1C3-52E4-4F7A-9E11-2A6B3C4D200C}");
    virtual void Begin() = 0;
    // Returns the object offering interface `iid` whose unique id is `key`, or none.
    virtual IPtr<IUnknown> FindByUniqueId(const std::string& key, const TGuid& iid) = 0;
    virtual void End() = 0;
};

class IProject : public IUnknown {
public:
    PERMUTOR_INTERFACE_ID("{7D20B1C3-52E4-4F7A-9E11-2A6B3C4D200D}");
    virtual std::string FileName() = 0;
    virtual std::string FullPath() = 0;
    virtual void Compile() = 0;
    virtual IPtr<IDocument> CompiledDocument() = 0;
    virtual bool IsPCBProject() = 0;
    // 0 when the compiled design is up to date with its documents.
    virtual std::int32_t CompilationOutOfDate() = 0;
    // The project options that allow swapping: pin swapping (changes of pins) and swapping
    // through net labels.
    virtual bool AllowPinSwapping() = 0;
    virtual bool AllowNetLabelSwapping() = 0;
    virtual IPtr<IComponentMappings> ComponentMappings(const std::string& documentPath) = 0;
    virtual IPtr<IUniqueIdLookup> UniqueIdLookup() = 0;
    virtual std::int32_t DocumentCount() = 0;
    virtual IPtr<IDocument> Document(std::int32_t index) = 0;
};

// The extended project interface; offered by projects the host can compile on demand.
class IExtendedProject : public IUnknown {
public:
    PERMUTOR_INTERFACE_ID("{E76E45AD-93F4-4BDC-96E4-A19938248CAA}");
    // Non-zero when the project must be compiled before its compiled document is current.
    virtual std::int32_t NeedsCompiling() = 0;
};

class IWorkspace : public IUnknown {
public:
    PERMUTOR_INTERFACE_ID("{7D20B1C3-52E4-4F7A-9E11-2A6B3C4D200E}");
    virtual IPtr<IDocument> DocumentByPath(const std::string& path) = 0;
    // The pseudo-project that holds documents opened outside any project.
    virtual IPtr<IProject> FreeDocumentsProject() = 0;
    virtual IPtr<IMessagesPanel> MessagesPanel() = 0;
    virtual std::int32_t ProjectCount() = 0;
    virtual IPtr<IProject> Project(std::int32_t index) = 0;
};

} // namespace permutor::host
