// The editor of one component's swap information: pin-swap groups of its pins, pairs and
// pair-swap groups, and part-swap groups of its sub-parts (gates) with the part-sequence numbers
// of their pins. It edits copies; on OK the owner encodes them into the component's ..._New texts
// (GetState_Controls). It writes nothing to the design itself.
#pragma once

#include "permutor/dialogs/DialogState.h"
#include "permutor/host/Host.h"
#include "permutor/model/SwapDataSet.h"

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace permutor::dialogs {

enum TPairsShowMode : std::int32_t { eAllPins = 0, eFromDirectives = 1, eFromFPGA = 2 };

// The stored group ids of one pin; empty means no group.
struct TSwapID {
    std::string PairID;
    std::string PartID;
    std::string PartPinID;
};

// Orders pin names as the sorted string lists do: ASCII letters without regard to case.
struct TNoCaseLess {
    bool operator()(const std::string& a, const std::string& b) const;
};

class TConfigureComponentPinSwap : public IComponentSwapState {
public:
    // Pin grid columns, in grid order.
    enum TPinColumn : std::int32_t {
        ePin_Designator = 0,
        ePin_Name,
        ePin_Net,
        ePin_Bus,
        ePin_Type,
        ePin_PartNo,
        ePin_PartMode,
        ePin_Group,
        ePin_Bank,
        ePin_IOStandard,
        ePin_SlewRate,
        ePin_DriveStrength,
        ePin_IOPin,
        ePin_VREFPin,
        ePin_CLKPin,
        ePin_ConfigPin,
        ePin_SpecialPin,
        ePin_Count
    };
    enum TPairColumn : std::int32_t {
        ePair_Designator0 = 0,
        ePair_Designator1,
        ePair_Name0,
        ePair_Name1,
        ePair_Net0,
        ePair_Net1,
        ePair_Type0,
        ePair_Type1,
        ePair_Group,
        ePair_Bank0,
        ePair_Bank1,
        ePair_Count
    };
    enum TSubPartColumn : std::int32_t { eSub_Name = 0, eSub_Group, eSub_Count };
    enum TPartPinColumn : std::int32_t {
        ePartPin_Designator = 0,
        ePartPin_Name,
        ePartPin_Net,
        ePartPin_Bus,
        ePartPin_Type,
        ePartPin_Mode,
        ePartPin_Sequence,
        ePartPin_Bank,
        ePartPin_Count
    };

    // One record of the pin table.
    struct TPinRecord {
        std::array<std::string, ePin_Count> Values; // Booleans as "True"/"False"
        std::int32_t PartNumber = 0;
        bool HasFpgaData = false; // the FPGA pin data has a row for the pin
        std::string DiffPairName;
    };
    struct TPairRecord {
        std::int32_t Pin0 = -1;
        std::int32_t Pin1 = -1; // -1 in the mode that lists single pins
    };

    // The FPGA configuration whose pin constraints give swap ids; none for the plain editor.
    struct TConfiguration {
        std::string Name;
        std::map<std::string, std::string, TNoCaseLess> SwapIds; // pin designator -> SWAPID
    };

    TConfigureComponentPinSwap(model::TSwapDataSet& ASwapData, model::TSwapComponent& AComponent,
                               const TConfiguration* AConfiguration = nullptr);

    model::TSwapComponent& Component() const { return FComponent; }
    void SetState_Controls();
    void GetState_Controls();

    // The handlers, acting on the selection of their list. `position` is the index of an id in
    // use (IdsInUse), -1 for "&New".
    void AddToPinSwapGroup(std::int32_t position);
    void AddToPairSwapGroup(std::int32_t position);
    void AddToPartSwapGroup(std::int32_t position);
    void AddToPartPinSwapGroup(std::int32_t position);
    void RemoveFromPinSwapGroup();
    void RemoveFromPairSwapGroup();
    void RemoveFromPartSwapGroup();
    void RemoveFromPartSequenceGroup();
    // `column` a pin-grid column, or -1 for "&Pin Properties".
    void AssignPinSwapGroupBy(std::int32_t column);

    // The ids in use of a list's group kind (pin groups, pair groups, part groups or sequence
    // numbers), sorted, without duplicates; and the id "&New" would give.
    std::vector<std::string> IdsInUse(TSwapList list) const;
    std::string NewId(TSwapList list) const;

    const std::vector<TPinRecord>& PinData() const { return FPins; }
    const std::vector<TPairRecord>& PairData() const { return FPairs; }
    const std::map<std::string, TSwapID, TNoCaseLess>& SwapIDs() const { return FSwapIDs; }
    // The pin record of this designator, -1 when none.
    std::int32_t FindPin(const std::string& designator) const;
    // The layout section in the option storage.
    std::string OptionsSection() const;

    // ---- IComponentSwapState ----
    std::string Caption() override { return FCaption; }
    std::int32_t ClientWidth() override { return 1158; }
    std::int32_t ClientHeight() override { return 625; }
    bool IsFPGA() override { return FIsFPGA; }
    std::string PageCaption(TSwapPage page) override;
    TSwapPage ActivePage() override { return FPage; }
    void SetActivePage(TSwapPage page) override { FPage = page; }
    std::vector<std::string> FilterItems() override;
    std::int32_t Filter() override { return FFilter; }
    void SetFilter(std::int32_t index) override;
    bool FilterVisible() override { return FPage == TSwapPage::ePage_Pins && FIsFPGA; }
    std::vector<std::string> PairModeItems() override;
    std::int32_t PairMode() override { return FPairsShowMode; }
    void SetPairMode(std::int32_t index) override;
    bool PairModeVisible() override { return FPage == TSwapPage::ePage_Pairs; }
    std::string ImportCaption() override { return "Import Swap IDs From FPGA Project"; }
    bool ImportEnabled() override { return FConfiguration != nullptr; }
    void ImportFromFPGA() override;
    std::vector<TDialogBand> Bands(TSwapList list) override;
    std::vector<TDialogColumn> Columns(TSwapList list) override;
    std::vector<TDialogRow> Rows(TSwapList list) override;
    void SetSelection(TSwapList list, const std::vector<std::int32_t>& records) override;
    std::vector<std::int32_t> Selection(TSwapList list) override;
    bool SetCellText(TSwapList list, std::int32_t record, std::int32_t column,
                     const std::string& text) override;
    void SetColumnVisible(TSwapList list, std::int32_t column, bool visible) override;
    std::vector<TMenuItem> PopupMenu(TSwapList list) override;
    void RunMenuItem(TSwapList list, std::int32_t id) override;
    bool OK() override { return true; }
    bool Cancel() override { return true; }
    std::int32_t SortColumn(TSwapList list) override;
    bool SortDescending(TSwapList list) override { return list == TSwapList::eSwapList_Pins; }
    std::string LayoutValue(const std::string& name) override;
    void SetLayoutValue(const std::string& name, const std::string& value) override;

private:
    void FillPinData();
    void FillSwapIDs();
    void FillSubParts();
    void FillPairData();
    bool PinPassesFilter(std::int32_t pin) const;
    TSwapID& SwapIDOf(std::int32_t pin);
    const TSwapID* FindSwapID(std::int32_t pin) const;
    std::vector<std::int32_t> PinsOfSelectedSubParts() const;
    std::string SubPartGroup(std::int32_t part) const;
    // Sets a group id on the selected records of a list.
    void AssignToSelection(TSwapList list, const std::string& id);
    std::vector<TDialogColumn>& ColumnsOf(TSwapList list);
    void Layout_Restore();
    void Layout_Save();
    std::vector<TMenuItem> ColumnToggleMenu(TSwapList list);
    TMenuItem GroupMenu(TSwapList list, const std::string& caption, std::int32_t kind) const;

    model::TSwapDataSet& FSwapData;
    model::TSwapComponent& FComponent;
    const TConfiguration* FConfiguration;
    bool FIsFPGA = false;
    std::string FCaption;
    TSwapPage FPage = TSwapPage::ePage_Pins;
    std::int32_t FFilter = 0;
    TPairsShowMode FPairsShowMode = eAllPins;

    std::vector<TPinRecord> FPins;
    std::vector<TPairRecord> FPairs;
    std::vector<std::int32_t> FSubParts; // sub-part numbers, one row each
    std::map<std::string, TSwapID, TNoCaseLess> FSwapIDs;
    std::array<std::vector<std::int32_t>, 4> FSelection;
    std::array<std::vector<TDialogColumn>, 4> FColumns;
    std::map<std::string, std::string> FLayout;
};

// Opens the editor for one component: loads its FPGA pin data, shows the dialog through the
// views and, on OK, encodes the edits into the component. True on OK. Without views it cannot
// show anything and answers false.
bool ConfigureComponentPinSwap_Open(model::TSwapDataSet& ASwapData, model::TSwapComponent& AComponent,
                                    IDialogViews* AViews);

} // namespace permutor::dialogs
