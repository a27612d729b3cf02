// The schematic editor: sheets, selection, components and their pins' swap identifiers.
#pragma once

#include "permutor/host/Unknown.h"
#include "permutor/host/Workspace.h"

#include <cstdint>
#include <string>

namespace permutor::host {

// Schematic object kinds, in the host's numbering.
enum TSchObjectId : std::int32_t {
    eSchPin = 2,
    eSchPort = 18,
    eSchNetLabel = 25,
    eSchComponent = 26,
    eSchSheet = 31,
    eSchParameter = 41,
};

class ISch_Object : public IUnknown {
public:
    PERMUTOR_INTERFACE_ID("{3C6B7E0F-8D21-4A5C-B3E9-5F1A2D7C4001}");
    virtual TSchObjectId ObjectId() = 0;
};

class ISch_Pin : public ISch_Object {
public:
    PERMUTOR_INTERFACE_ID("{3C6B7E0F-8D21-4A5C-B3E9-5F1A2D7C4002}");
    using TBase = ISch_Object;
    virtual std::string Designator() = 0;
    virtual std::string SwapId(TSwapIdKind kind) = 0;
    virtual void SetSwapId(TSwapIdKind kind, const std::string& id) = 0;
};

class ISch_Component : public ISch_Object {
public:
    PERMUTOR_INTERFACE_ID("{176E4210-AE60-445E-9BF2-A57815DC9EAF}");
    using TBase = ISch_Object;
    virtual std::string UniqueId() = 0;
    virtual std::string Designator() = 0;
    virtual std::int32_t PartCount() = 0;
    // The component's child objects in the host's order; pins offer ISch_Pin.
    virtual std::int32_t ChildCount() = 0;
    virtual IPtr<ISch_Object> Child(std::int32_t index) = 0;
    // Bracket a change so the host records it (undo, modified flag).
    virtual void BeginModify() = 0;
    virtual void EndModify() = 0;
};

class ISch_Sheet : public IUnknown {
public:
    PERMUTOR_INTERFACE_ID("{3C6B7E0F-8D21-4A5C-B3E9-5F1A2D7C4003}");
    virtual std::string FileName() = 0;
    virtual std::int32_t SelectionCount() = 0;
    virtual IPtr<ISch_Object> SelectedObject(std::int32_t index) = 0;
    // Number of selected objects whose kind bit is set in `kinds` (bit n = kind n).
    virtual std::int32_t SelectedCountOfKinds(std::uint64_t kinds) = 0;
};

// Offered by the current document when it is a schematic library.
class ISch_Lib : public IUnknown {
public:
    PERMUTOR_INTERFACE_ID("{3C6B7E0F-8D21-4A5C-B3E9-5F1A2D7C4004}");
    // State of the library's current component; 0 when it is ready for editing.
    virtual std::int32_t CurrentComponentState() = 0;
};

class ISch_ServerInterface : public IUnknown {
public:
    PERMUTOR_INTERFACE_ID("{3E4C887F-1547-445E-A912-A85213A54D37}");
    virtual IPtr<ISch_Sheet> CurrentSheet() = 0;
    // The current schematic document (sheet or library); ask it for ISch_Lib.
    virtual IPtr<IUnknown> CurrentDocument() = 0;
    virtual IPtr<ISch_Sheet> SheetByPath(const std::string& path) = 0;
};

} // namespace permutor::host
