// The swap model of one document: binds the document, its board, project and compiled design;
// builds components, pins, groups, nets and sub-nets from the swap identifiers and the board's
// copper; reports what cannot take part; owns every record and frees them together.
#pragma once

#include "permutor/host/Host.h"
#include "permutor/model/CrossingIndex.h"
#include "permutor/model/SwapCost.h"
#include "permutor/model/SwapMode.h"
#include "permutor/model/SwapRecords.h"

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace permutor::model {

class TSwapDataSet {
public:
    // Binds the host documents of the path; never fails for a missing board or project.
    TSwapDataSet(const std::string& ADocumentPath, TSwapMode ASwapMode);
    // Frees every record in creation order and removes the connection-display net.
    ~TSwapDataSet();
    TSwapDataSet(const TSwapDataSet&) = delete;
    TSwapDataSet& operator=(const TSwapDataSet&) = delete;

    // Takes ownership of a record or hot spot (the destruction list).
    template <class T> T* Own(std::unique_ptr<T> item) {
        T* raw = item.get();
        FDestructionList.push_back(std::move(item));
        return raw;
    }
    std::size_t DestructionCount() const { return FDestructionList.size(); }

    const IPtr<host::IPCB_Board>& PCBBoard() const { return FPCBBoard; }
    const IPtr<host::IProject>& Project() const { return FProject; }
    const IPtr<host::IDocument>& DM_Document() const { return FDM_Document; }
    bool PinsOnly() const { return FPinsOnly; }
    void SetPinsOnly(bool value) { FPinsOnly = value; }
    bool SuppressDialogs() const { return FSuppressDialogs; }
    void SetSuppressDialogs(bool value) { FSuppressDialogs = value; }
    bool IsSchematicLibrary() const { return FIsSchematicLibrary; }
    std::int32_t TotalIntersectionCount() const { return FTotalIntersectionCount; }
    double TotalSubNetCost() const { return FTotalSubNetCost; }
    const std::string& DocumentPath() const { return FDocumentPath; }
    TSwapMode SwapMode() const { return FSwapMode; }
    // The last component of the document path.
    std::string DocumentFileName() const;

    // The set keeps no log; these do nothing.
    void OpenLog() {}
    void SaveLogFile() {}
    void CloseLog() {}

    // Builds the whole model; true when the caller may continue. `UniqueId` restricts the build to
    // one component; `InteractiveMode` skips what only the automatic optimisation needs.
    bool Build(const std::string& UniqueId, bool InteractiveMode);
    // Component records only, for the configuration dialogs; always true.
    bool Build_ComponentsOnly(const std::string& UniqueId);
    // Fills Components from the component mappings; the number of components.
    std::int32_t Build_Components(const std::string& UniqueId, bool IncludeAll);
    void Build_RemoveGroups_NotEnoughSwappablePins();
    void Build_SortSwapGroupsBySize();
    void Build_RemoveInvalidSwapGroups();

    // A sub-net appended to MasterSubNetList_All.
    TSwapSubNet* NewSubNet(TSwapNet* ANet, std::uint16_t ASubNetIndex);
    // The first pin, over the pins of all pin groups and then of all part groups, whose pad is
    // `pad`. Answered from an index; FindSwapPinByPad_Scan is the plain walk it agrees with.
    TSwapPin* FindSwapPinByPad(host::IPCB_Pad* pad);
    TSwapPin* FindSwapPinByPad_Scan(host::IPCB_Pad* pad) const;

    void ReportWarning(const std::string& text);
    void ReportError(const std::string& text);
    void ReportUnswappablePin(host::INetItem* pin);
    void ReportUnmatchedPad(host::IPCB_Pad* pad, host::IPCB_Component* component);

    // Connection cost and search.
    // Crossing count × 50000 plus the summed sub-net cost.
    double GetTotalCost() const;

    // The generator of the random searches, seeded when the set is made (see Randomize).
    TRandomGenerator RandomGenerator;
    // Seeds the generator with the host's seed when it fixes one, else from the clock.
    void Randomize();
    // Whether intersection lists are refreshed through the spatial index (the default) or by
    // testing every swappable sub-net; both give the same lists.
    bool FastCrossings() const { return FFastCrossings; }
    void SetFastCrossings(bool value) { FFastCrossings = value; }
    // The index is rebuilt when next used; call after changing the swappable list, best targets
    // or a net index outside the swap transactions.
    void CrossingIndex_Invalidate() { FCrossingIndex.Invalidate(); }
    void CrossingIndex_SetMaxDirty(std::size_t count) { FCrossingIndex.SetMaxDirty(count); }
    // The index, rebuilt first when invalid.
    const TCrossingIndex& CrossingIndex();

    // Swap transactions and board update.
    // A caller runs begin and then exactly one of commit or rollback on the same pair.
    void SwapSubNets_Begin(TSwapSubNet* SubNetA, TSwapSubNet* SubNetB);
    void SwapSubNets_Commit(TSwapSubNet* SubNetA, TSwapSubNet* SubNetB);
    void SwapSubNets_Rollback(TSwapSubNet* SubNetA, TSwapSubNet* SubNetB);
    // True when exchanging the nets of A and B cannot give a total cost below the present one.
    // The new lengths are known without the crossing tests, and the crossings the rest of the
    // board keeps are a floor; when that floor is too low, the crossings of one new line with the
    // lines that stay raise it, and with the other new line's the count is exact (with the one-line
    // floor on). Changes nothing the optimisers see (it may build the crossing index); false
    // whenever the floor cannot be proven.
    bool SwapSubNets_CannotLower(TSwapSubNet* SubNetA, TSwapSubNet* SubNetB);
    // Whether SwapSubNets_CannotLower tests one new line when the lengths alone do not settle it
    // (the default). One line's tests in place of a whole exchange's: on dense boards most
    // proposals the descent turns down are settled by them.
    bool OneLineFloor() const { return FOneLineFloor; }
    void SetOneLineFloor(bool value) { FOneLineFloor = value; }
    // How many proposals the one-line floor was tried on, and how many it settled.
    std::int64_t OneLineTried() const { return FOneLineTried; }
    std::int64_t OneLineSettled() const { return FOneLineSettled; }
    std::int32_t GetLockedCount() const;
    // Every swappable sub-net's crossing list and both running totals computed afresh from the
    // current assignment, as the build does; for after net indices changed outside transactions.
    void Totals_Recount();
    // The same, when only the lines of G's sub-nets moved since the lists and totals were last
    // right: G's lists are rebuilt, the other lists lose and gain G's sub-nets, and the count
    // follows; the cost trades G's cost before the move (`groupCostBefore`, G.SubNetCost() taken
    // then) for its cost now. Every connection cost is a whole number, so the total is exactly the
    // full recount's.
    void Totals_RecountGroup(const TSwapGroup& G, double groupCostBefore);
    // Length and crossings of the board's connection lines; the crossings are counted through a
    // spatial index. GetConnectionStatsFromBoard_Plain tests every pair and gives the same count.
    void GetConnectionStatsFromBoard(double& TotalLength, std::int32_t& IntersectionCount);
    void GetConnectionStatsFromBoard_Plain(double& TotalLength, std::int32_t& IntersectionCount);
    void NetConnects_RememberAndHide();
    void NetConnects_RebuildAndShow();
    void RemoveAllConnectionDisplayLines();
    void RemoveDummyNetForConnections();
    void ExportChanges_ToPCB();
    void RedrawBoard();
    // The first sub-net of MasterSubNetList_All holding `P`, from an index;
    // FindSubNetFromPrimitive_Scan is the plain walk it agrees with.
    TSwapSubNet* FindSubNetFromPrimitive(host::IPCB_Primitive* P);
    TSwapSubNet* FindSubNetFromPrimitive_Scan(host::IPCB_Primitive* P) const;
    // The look-up indices are rebuilt when next used; call these after changing the group lists,
    // their pins, the master sub-net list or a sub-net's primitives.
    void PinIndex_Invalidate() { FPinIndexValid = false; }
    void PrimitiveIndex_Invalidate() { FPrimitiveIndexValid = false; }
    bool ChooseSubNet(TSwapSubNet*& SubNet, const std::string& Caption);

    IPtr<host::IComponentMappings> ComponentMappings;
    // Net key to net record.
    TSortedStringList<TSwapNet*> Nets;
    std::int32_t ErrorCount_BadPins = 0;
    std::int32_t ErrorCount_MissingPins = 0;
    // The temporary board net that owns the drawn connection lines.
    IPtr<host::IPCB_Net> FDummyNet;
    TPackedList<TSwapComponent> Components;
    TPackedList<TSwapSubNet> MasterSubNetList_All;
    TPackedList<TSwapSubNet> MasterSubNetList_Swappable;
    TPackedList<TSwapGroup> PinSwapGroups;
    TPackedList<TSwapGroup> PartSwapGroups;

private:
    friend class TSwapSubNet;
    // Running totals without (Subtract) or with (Add) the pair's costs and crossings.
    void Totals_Subtract(TSwapSubNet* A, TSwapSubNet* B);
    void Totals_Add(TSwapSubNet* A, TSwapSubNet* B);
    void NetIndex_Changed(TSwapSubNet* S);
    // The board's connection lines as model lines.
    std::vector<TConnectionLine*> ConnectionLines_FromBoard();
    void Build_Nets();
    void Build_SubNets();
    void Build_SubParts();
    // Sends a warning or error to the messages panel (dialogs suppressed) or shows a box.
    void Report(const std::string& text, bool error);
    void AddCrossProbeMessage(const std::string& text, const std::string& documentName,
                              const std::string& process, const std::string& parameters);

    std::vector<std::unique_ptr<TOwnedObject>> FDestructionList;
    IPtr<host::IPCB_Board> FPCBBoard;
    IPtr<host::IProject> FProject;
    IPtr<host::IDocument> FDM_Document;
    bool FPinsOnly = false;
    bool FSuppressDialogs = false;
    bool FIsSchematicLibrary = false;
    std::int32_t FTotalIntersectionCount = 0;
    double FTotalSubNetCost = 0;
    std::string FDocumentPath;
    TSwapMode FSwapMode;

    std::unordered_map<const host::IPCB_Pad*, TSwapPin*> FPinIndex;
    bool FPinIndexValid = false;
    std::unordered_map<const host::IPCB_Primitive*, TSwapSubNet*> FPrimitiveIndex;
    bool FPrimitiveIndexValid = false;
    TCrossingIndex FCrossingIndex;
    bool FFastCrossings = true;
    bool FOneLineFloor = true;
    std::int64_t FOneLineTried = 0;
    std::int64_t FOneLineSettled = 0;
};

} // namespace permutor::model
