// The list of every component of a design with its swap information: which components carry
// pin- and part-swap data in their schematic symbols, copy and paste of that data between
// components, the board's enable switches, and the way into the editor of one component.
// Nothing is written while the list is open; after OK, GetState_Controls writes the changes.
#pragma once

#include "permutor/dialogs/DialogState.h"
#include "permutor/model/SwapDataSet.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace permutor::dialogs {

// The module's section of the option storage and the names it keeps there.
inline constexpr const char* cOptionsModuleName = "Permutor";
inline constexpr const char* cFormOptionsSection = "FormOptions";

class TConfigureAllPinSwap : public IComponentListState {
public:
    // Column indices of the grid.
    enum TColumn : std::int32_t {
        eCol_Designator = 0,
        eCol_Comment,
        eCol_Footprint,
        eCol_LibraryReference,
        eCol_Pins,
        eCol_Parts,
        eCol_PinSwapData,
        eCol_PartSwapData,
        eCol_PinSwap,
        eCol_PartSwap,
        eCol_Count
    };

    // `AViews` shows the component editor when a component is opened; none leaves opening to
    // OpenComponentHook (tests) or does nothing.
    TConfigureAllPinSwap(model::TSwapDataSet& ASwapData, IDialogViews* AViews);
    ~TConfigureAllPinSwap() override;

    model::TSwapDataSet& SwapData() const { return FSwapData; }
    // Reads every component's stored swap data, fills the rows and restores the saved options.
    void SetState_Controls();
    // Applies the dialog after OK: the board's enable switches and the changed schematic data
    // (see WriteBack.h), then saves the options.
    void GetState_Controls();

    // The OK button's caption; empty keeps "OK".
    void SetOKCaption(const std::string& caption) { FOKCaption = caption; }

    // Pin/part information copied with the menu; the system clipboard is not used.
    const std::string& CopiedSwapData_Pin() const { return FCopiedSwapData_Pin; }
    const std::string& CopiedSwapData_Part() const { return FCopiedSwapData_Part; }

    // Whether the component is listed, and its two ticks (listed or not).
    bool IsListed(const model::TSwapComponent* component) const;
    bool PinTick(std::int32_t record) const { return FTicks.at(std::size_t(record)).Pin; }
    bool PartTick(std::int32_t record) const { return FTicks.at(std::size_t(record)).Part; }
    // The record of the component with this designator; -1 when none.
    std::int32_t FindRecord(const std::string& designator) const;

    // Opens the component editor for the focused row (button, menu item, double click).
    void EditComponentSwapInfo();

    // ---- IComponentListState ----
    std::string Caption() override;
    std::string OKCaption() override;
    std::int32_t ClientWidth() override { return 1016; }
    std::int32_t ClientHeight() override { return 555; }
    bool HasBoard() override;
    std::vector<TDialogBand> Bands() override;
    std::vector<TDialogColumn> Columns() override;
    std::vector<TDialogRow> Rows() override;
    void SetSelection(const std::vector<std::int32_t>& records, std::int32_t focused) override;
    std::vector<std::int32_t> Selection() override { return FSelection; }
    std::int32_t Focused() override { return FFocused; }
    bool SetCheck(std::int32_t record, std::int32_t column, bool checked) override;
    std::string SwappableOnlyCaption() override;
    bool SwappableOnly() override { return FSwappableOnly; }
    void SetSwappableOnly(bool on) override;
    std::vector<TMenuItem> PopupMenu() override;
    std::string CommandCaption(TListCommand command) override;
    bool CommandEnabled(TListCommand command) override;
    void RunCommand(TListCommand command) override;
    bool OK() override;
    bool Cancel() override;
    std::int32_t SortColumn() override { return eCol_PinSwapData; }
    bool SortDescending() override { return false; }
    std::string LayoutValue(const std::string& name) override;
    void SetLayoutValue(const std::string& name, const std::string& value) override;

private:
    struct TTicks {
        bool Pin = false;
        bool Part = false;
    };

    model::TSwapComponent* Component(std::int32_t record) const;
    // Step 2 of SetState_Controls: the rows of the listed components, in list order.
    void FillRows();
    void FocusFirstRow();
    TDialogRow MakeRow(std::int32_t record) const;
    // Selected records in grid (list) order.
    std::vector<std::int32_t> SelectedInListOrder() const;
    void Paste(bool pin);
    void SetTicks(bool pin, bool on, bool selectedOnly);
    // Components with a change to their pin or part data.
    std::int32_t CountChangedData(std::int32_t* subPartSum) const;
    void Options_Restore();
    void Options_Save();

    model::TSwapDataSet& FSwapData;
    IDialogViews* FViews;
    std::string FOKCaption;
    std::string FCopiedSwapData_Pin, FCopiedSwapData_Part;
    bool FSwappableOnly = false;
    // Listed records, in list order; a component's Node points at its entry of FListed.
    std::vector<std::int32_t> FListed;
    std::vector<TTicks> FTicks; // per record
    std::vector<std::int32_t> FSelection;
    std::int32_t FFocused = -1;
    std::map<std::string, std::string> FLayout;
};

} // namespace permutor::dialogs
