// What a view of the configuration dialogs sees and drives. The dialogs' logic (rows, groups, ids,
// what OK writes) lives in the module and implements these interfaces; a view (the Qt widgets of
// the desktop plug-in, or the terminal form of the stand-in host) only shows the state and forwards
// the user's actions. Everything here is reached through virtual calls and plain data types, so a
// view library needs nothing of the module at link time.
//
// Conventions shared by both dialogs:
// - After every action the view re-reads what it shows (Rows, commands' state); there is no
//   change counter.
// - A row carries `Record`, a stable index into the dialog's table that survives filtering and
//   the view's own sorting. Selections and edits name records, never view row positions.
// - Cells are addressed by column index into Columns(); the column `Name` is the stable key for
//   layouts, the `Caption` is what the user reads.
// - Message boxes and questions raised by an action are asked through the host's UI services, not
//   through the view.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace permutor::dialogs {

// The status icon drawn before the text of a swap-data cell. The images are ours to choose; both
// views draw them alike: modified = an amber pencil, added = a green plus, removed = a red cross.
enum class TSwapStatusIcon : std::int32_t {
    eIcon_None = 0,
    eIcon_Modified = 1,
    eIcon_Added = 2,
    eIcon_Removed = 3,
};

// Whether a cell holds a check box, and its state.
enum class TCheckState : std::int32_t {
    eCheck_None = 0, // no check box at all (drawn empty)
    eCheck_Unchecked = 1,
    eCheck_Checked = 2,
};

enum class TColumnKind : std::int32_t {
    eColumn_Text = 0,
    eColumn_Number = 1,   // text holding a decimal number: sort numerically
    eColumn_Check = 2,    // the cell's Check is the value; Text is empty
    eColumn_PickList = 3, // text chosen from TDialogColumn::Choices when editable
};

// Cells are painted in a shade of the theme's grid colour ("Grid" / "normal", else the system
// window colour): ShadePercent of it, 100 being the base colour. Grid lines use cGridLineShade.
constexpr std::int32_t cGridLineShadePercent = 85;

struct TDialogBand {
    std::string Caption;
    bool Visible = true;
};

struct TDialogColumn {
    std::string Name;    // stable key, used for saved layouts and by scripts
    std::string Caption; // header text
    std::int32_t Band = 0;
    TColumnKind Kind = TColumnKind::eColumn_Text;
    bool Editable = false; // some cells of an editable column may still refuse (TDialogCell)
    bool Visible = true;
    std::int32_t ShadePercent = 100;
    std::vector<std::string> Choices; // for eColumn_PickList
};

struct TDialogCell {
    std::string Text;
    TSwapStatusIcon Icon = TSwapStatusIcon::eIcon_None;
    TCheckState Check = TCheckState::eCheck_None;
    bool Editable = false;
};

struct TDialogRow {
    std::int32_t Record = -1;
    // Trees: the Record of the parent row, -1 for a top-level row. Grids: always -1.
    std::int32_t Parent = -1;
    std::vector<TDialogCell> Cells; // one per column, in column order
};

// One popup-menu entry. Ids are the state's own; a view hands them back to RunMenuItem. An entry
// with sub-items opens a sub-menu and has no id of its own (-1).
struct TMenuItem {
    std::string Caption; // may hold a "&" accelerator marker
    std::int32_t Id = -1;
    bool Separator = false;
    bool Enabled = true;
    bool Visible = true;
    bool Checkable = false;
    bool Checked = false;
    std::vector<TMenuItem> Items;
};

// ---------------------------------------------------------------------------------------------
// The list of all components with their swap information.

// Commands of the list dialog: the button, the popup menu's items (in menu order) and the
// two closing buttons.
enum class TListCommand : std::int32_t {
    eList_ConfigureComponent = 0,
    eList_CopyPinSwapData,
    eList_CopyPartSwapData,
    eList_PastePinSwapData,
    eList_PastePartSwapData,
    eList_EnableAll_PinSwap,
    eList_DisableAll_PinSwap,
    eList_EnableAll_PartSwap,
    eList_DisableAll_PartSwap,
    eList_EnableSelected_PinSwap,
    eList_DisableSelected_PinSwap,
    eList_EnableSelected_PartSwap,
    eList_DisableSelected_PartSwap,
};

class IDialogViews;

class IComponentListState {
public:
    virtual ~IComponentListState() = default;

    virtual std::string Caption() = 0;
    // The OK button's caption ("OK" unless the caller set its own).
    virtual std::string OKCaption() = 0;
    // The client area the dialog opens with, in pixels.
    virtual std::int32_t ClientWidth() = 0;
    virtual std::int32_t ClientHeight() = 0;

    // The design has a board: the band "Enable in PCB" is shown.
    virtual bool HasBoard() = 0;
    virtual std::vector<TDialogBand> Bands() = 0;
    virtual std::vector<TDialogColumn> Columns() = 0;
    // The listed rows in list order; Record is the component's index in the data set.
    virtual std::vector<TDialogRow> Rows() = 0;

    // Selection and focus, by Record. The focused record is -1 when none.
    virtual void SetSelection(const std::vector<std::int32_t>& records, std::int32_t focused) = 0;
    virtual std::vector<std::int32_t> Selection() = 0;
    virtual std::int32_t Focused() = 0;

    // Ticks an "Enable in PCB" cell. False (and nothing changes) when the cell is not editable.
    virtual bool SetCheck(std::int32_t record, std::int32_t column, bool checked) = 0;

    // "Only Show Components with Swap Information"; setting it refills the rows and focuses the
    // first.
    virtual std::string SwappableOnlyCaption() = 0;
    virtual bool SwappableOnly() = 0;
    virtual void SetSwappableOnly(bool on) = 0;

    // The popup menu, rebuilt on every call; Id of each item is a TListCommand value.
    virtual std::vector<TMenuItem> PopupMenu() = 0;
    virtual std::string CommandCaption(TListCommand command) = 0;
    virtual bool CommandEnabled(TListCommand command) = 0;
    // Runs a command on the current selection. eList_ConfigureComponent opens the component
    // dialog through the views the list was shown with.
    virtual void RunCommand(TListCommand command) = 0;

    // OK and Cancel: each asks its confirmation through the host and answers whether the dialog
    // may close. OK does not write anything yet; that happens after the dialog closed.
    virtual bool OK() = 0;
    virtual bool Cancel() = 0;

    // The initial sort: a column index (-1 = unsorted) and its direction.
    virtual std::int32_t SortColumn() = 0;
    virtual bool SortDescending() = 0;

    // The view's own layout values (column widths, order, sorting, as the view encodes them),
    // kept in the user's options in the dialog's section. Values set are saved when the dialog
    // is applied after OK; LayoutValue answers "" for a name never saved.
    virtual std::string LayoutValue(const std::string& name) = 0;
    virtual void SetLayoutValue(const std::string& name, const std::string& value) = 0;
};

// ---------------------------------------------------------------------------------------------
// The editor of one component's pin, pair and part swap groups.

enum class TSwapPage : std::int32_t {
    ePage_Pins = 0,  // "Pin Swapping"
    ePage_Pairs = 1, // "Differential Pair Swapping"
    ePage_Parts = 2, // "Part Swapping"
};

// The four lists of the editor.
enum class TSwapList : std::int32_t {
    eSwapList_Pins = 0,     // pin grid (page Pins)
    eSwapList_Pairs = 1,    // pair grid (page Pairs)
    eSwapList_SubParts = 2, // sub-part tree, left of page Parts
    eSwapList_PartPins = 3, // pins of the selected sub-parts, right of page Parts
};

// The name a list's settings (column visibility, layout) are stored under; the logic and the
// windows both use it, so that they read what the other wrote.
inline const char* SwapList_Name(TSwapList list) {
    switch (list) {
    case TSwapList::eSwapList_Pins:
        return "PinGrid";
    case TSwapList::eSwapList_Pairs:
        return "PairGrid";
    case TSwapList::eSwapList_SubParts:
        return "SubPartTree";
    case TSwapList::eSwapList_PartPins:
        return "PartPinTree";
    }
    return "List";
}

class IComponentSwapState {
public:
    virtual ~IComponentSwapState() = default;

    virtual std::string Caption() = 0;
    virtual std::int32_t ClientWidth() = 0;
    virtual std::int32_t ClientHeight() = 0;
    // The component has FPGA pin data: the FPGA attribute columns and the pin filter apply.
    virtual bool IsFPGA() = 0;

    virtual std::string PageCaption(TSwapPage page) = 0;
    virtual TSwapPage ActivePage() = 0;
    virtual void SetActivePage(TSwapPage page) = 0;

    // The pin filter list ("Show All Pins", ...): its items, the chosen index, and whether it is
    // shown on the active page.
    virtual std::vector<std::string> FilterItems() = 0;
    virtual std::int32_t Filter() = 0;
    virtual void SetFilter(std::int32_t index) = 0;
    virtual bool FilterVisible() = 0;

    // The pair-mode list ("Show All Pins", "Show Pairs From Directives", "Show Pairs From FPGA").
    virtual std::vector<std::string> PairModeItems() = 0;
    virtual std::int32_t PairMode() = 0;
    virtual void SetPairMode(std::int32_t index) = 0;
    virtual bool PairModeVisible() = 0;

    // "Import Swap IDs From FPGA Project": enabled only with an FPGA configuration.
    virtual std::string ImportCaption() = 0;
    virtual bool ImportEnabled() = 0;
    virtual void ImportFromFPGA() = 0;

    // The lists. Bands and Columns change with the pair mode (captions, hidden columns); Rows
    // holds only the rows that pass the filter. Trees give parents before their children.
    virtual std::vector<TDialogBand> Bands(TSwapList list) = 0;
    virtual std::vector<TDialogColumn> Columns(TSwapList list) = 0;
    virtual std::vector<TDialogRow> Rows(TSwapList list) = 0;
    // Selecting sub-parts refills the part-pin list with their pins.
    virtual void SetSelection(TSwapList list, const std::vector<std::int32_t>& records) = 0;
    virtual std::vector<std::int32_t> Selection(TSwapList list) = 0;
    // Edits a cell (a group typed in by hand). False when the cell is not editable.
    virtual bool SetCellText(TSwapList list, std::int32_t record, std::int32_t column,
                             const std::string& text) = 0;
    virtual void SetColumnVisible(TSwapList list, std::int32_t column, bool visible) = 0;

    // The list's popup menu, rebuilt on every call (the group sub-menus list the ids in use,
    // "Show/Hide Columns..." the columns). RunMenuItem acts on the list's selection.
    virtual std::vector<TMenuItem> PopupMenu(TSwapList list) = 0;
    virtual void RunMenuItem(TSwapList list, std::int32_t id) = 0;

    // OK and Cancel answer whether the dialog may close. The edits are encoded into the component
    // by the dialog's owner once the view returned true; after Cancel the component is untouched.
    virtual bool OK() = 0;
    virtual bool Cancel() = 0;

    // The initial sort of each list: a column index (-1 = unsorted) and its direction.
    virtual std::int32_t SortColumn(TSwapList list) = 0;
    virtual bool SortDescending(TSwapList list) = 0;

    // The view's own layout values, as for the list dialog; saved on OK. The columns' visibility
    // is the state's (SetColumnVisible) and is saved with them.
    virtual std::string LayoutValue(const std::string& name) = 0;
    virtual void SetLayoutValue(const std::string& name, const std::string& value) = 0;
};

// ---------------------------------------------------------------------------------------------
// The views: something that shows a dialog state modally until the user closes it.

class IDialogViews {
public:
    virtual ~IDialogViews() = default;
    // Modal; true when the dialog closed with OK (the state's OK() answered true).
    virtual bool ShowComponentList(IComponentListState& state) = 0;
    virtual bool ShowComponentSwap(IComponentSwapState& state) = 0;
};

// Loads the desktop views from the plug-in library beside the module's own file. None (and a
// reason in `error` naming the file) when it cannot be loaded. The object lives as long as the
// process; callers do not delete it.
IDialogViews* LoadDesktopDialogViews(std::string& error);

// The name the plug-in library exports its views under.
constexpr const char* cDialogViewsEntryName = "permutor_CreateDialogViews";

} // namespace permutor::dialogs

// The plug-in's one entry point, looked up with dlsym by the name above.
extern "C" permutor::dialogs::IDialogViews* permutor_CreateDialogViews();
