// The records of the swap model of one board: components enabled for swapping, their swappable
// pins, the nets those pins are on, the sub-nets (connected copper ending at one pin) the nets fall
// into, gates and differential pairs inside a group, and the groups of mutually exchangeable
// sub-nets. Every record belongs to its data set, which frees them all at once; records refer
// to each other with plain pointers and may form cycles.
#pragma once

#include "permutor/host/Host.h"
#include "permutor/model/HotSpot.h"
#include "permutor/model/SegmentCross.h"
#include "permutor/model/SwapLists.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace permutor::model {

class TSwapDataSet;
class TSwapComponent;
class TSwapPin;
class TSwapNet;
class TSwapSubNet;
class TSwapSubPart;
class TSwapGroup;
class TConnectionLine;
class TFpgaDataHolder;

using host::IPtr;

// Base of every record. Construct records through their Create, which hands them to the data set.
class TSwapDataObject : public TOwnedObject {
public:
    explicit TSwapDataObject(TSwapDataSet& ASwapData);

    // One line describing the record, for the dialogs and diagnostics.
    virtual std::string GetState_Description();
    virtual const char* ClassName() const { return "TSwapDataObject"; }

    // The data set's board, copied at construction; empty when the set has none.
    const IPtr<host::IPCB_Board>& Board() const { return FPCB_Board; }

    TSwapDataSet* SwapData;

protected:
    IPtr<host::IPCB_Board> FPCB_Board;
};

// One component enabled for swapping, or, for the dialogs, any component of the design.
class TSwapComponent : public TSwapDataObject {
public:
    static TSwapComponent* Create(TSwapDataSet& ASwapData, host::IComponent* ADM_Component_PCB,
                                  host::IComponent* ADM_Component_SCH, host::IPCB_Component* AComponent_PCB);
    TSwapComponent(TSwapDataSet& ASwapData, host::IComponent* ADM_Component_PCB,
                   host::IComponent* ADM_Component_SCH, host::IPCB_Component* AComponent_PCB);
    ~TSwapComponent() override;

    const char* ClassName() const override { return "TSwapComponent"; }
    // The schematic-side component's designator.
    std::string GetState_Description() override;

    bool PinSwapEnabled() const { return FPinSwapEnabled; }
    bool PartSwapEnabled() const { return FPartSwapEnabled; }
    const IPtr<host::IComponent>& DM_Component_SCH() const { return FDM_Component_SCH; }
    const IPtr<host::IComponent>& DM_Component_PCB() const { return FDM_Component_PCB; }
    const IPtr<host::IPCB_Component>& Component_PCB() const { return FComponent_PCB; }
    const TPackedList<TSwapPin>& Pins() const { return FPins; }

    // Forms the swappable pins and the component's groups for the data set's mode; nothing
    // without a board component.
    void BuildPinAndSwapGroupLists();

    // The schematic component's swap data; empty without a project or schematic component.
    std::string ImportFromSchematic_PinSwapData();
    std::string ImportFromSchematic_PartSwapData();
    std::string ImportFromSchematic_PairSwapData();
    void UpdatePinSwapData(const std::string& ASwapData);
    void UpdatePartSwapData(const std::string& ASwapData);
    void UpdatePairSwapData(const std::string& ASwapData);
    // "(entries/pins)", "Removed" or empty.
    std::string PinSwapData_StatusString();
    std::string PartSwapData_StatusString();
    // Parts of the schematic component; 0 without one.
    std::int32_t TotalSubPartCount();
    std::int32_t PlacedSubPartCount();
    // The schematic component of this record through the project's unique-id look-up, or none.
    IPtr<host::ISch_Component> SchematicComponent();

    TSortedStringList<TSwapGroup*> ComponentPinSwapGroups;
    TSortedStringList<TSwapGroup*> ComponentPartSwapGroups;

    bool PinSwapData_Changed = false, PartSwapData_Changed = false, PairSwapData_Changed = false;
    bool PinSwapData_ExistNow = false, PartSwapData_ExistNow = false, PairSwapData_ExistNow = false;
    bool PinSwapData_ExistAtStart = false, PartSwapData_ExistAtStart = false,
         PairSwapData_ExistAtStart = false;
    std::string PinSwapData_Original, PartSwapData_Original, PairSwapData_Original;
    std::string PinSwapData_New, PartSwapData_New, PairSwapData_New;
    // The dialogs' tree node showing this component; not used by the model.
    void* Node = nullptr;
    // FPGA pin data, loaded at most once by the configuration dialogs.
    std::shared_ptr<TFpgaDataHolder> FpgaDataHolder;
    // Loads the component's FPGA pin data once; a component without a pin report gets a holder
    // that answers no to every query. Failures of the host while opening the report pass on.
    void TryToLoadFpgaData();

private:
    bool FPinSwapEnabled = false;
    bool FPartSwapEnabled = false;
    IPtr<host::IComponent> FDM_Component_SCH;
    IPtr<host::IComponent> FDM_Component_PCB;
    IPtr<host::IPCB_Component> FComponent_PCB;
    TPackedList<TSwapPin> FPins;
};

// One swappable pin: a board pad joined with its design-model pin.
class TSwapPin : public TSwapDataObject {
public:
    static TSwapPin* Create(TSwapDataSet& ASwapData, host::IPCB_Pad* APin_PCB, host::INetItem* APin_SCH,
                            host::IDevicePin* APin_DEV, TSwapComponent* AComponent);
    TSwapPin(TSwapDataSet& ASwapData, host::IPCB_Pad* APin_PCB, host::INetItem* APin_SCH,
             host::IDevicePin* APin_DEV, TSwapComponent* AComponent);

    const char* ClassName() const override { return "TSwapPin"; }
    // "U1-3".
    std::string GetState_Name();
    // Name, " OldNet=" pad net, " NewNet:" the sub-net's current net.
    std::string GetState_Description() override;

    const std::string& SwapIDPin() const { return FSwapIDPin; }
    const std::string& SwapIDPart() const { return FSwapIDPart; }
    const IPtr<host::IPCB_Pad>& Pin_PCB() const { return FPin_PCB; }
    TSwapComponent* Component() const { return FComponent; }

    IPtr<host::IPCB_Net> PadNet_PCB();
    // Takes part in the data set's mode.
    bool IsSwapCandidate();
    // The project's settings allow swapping this pin.
    bool IsSwappable();
    bool IsDifferentialPairPin();
    IPtr<host::IPCB_DifferentialPair> PCBDifferentialPair();
    std::string DifferentialPairName();
    // "P", "N" or "X".
    std::string DifferentialPairPolarity();
    // The design-model pin's part number in decimal.
    std::string SubPartNumber();

    THotSpot* PadLocation = nullptr;
    IPtr<host::INetItem> Pin_SCH;
    IPtr<host::IDevicePin> Pin_DEV;
    TSwapGroup* PinSwapGroup = nullptr;
    TSwapGroup* PartSwapGroup = nullptr;
    TSwapSubNet* SubNet = nullptr;
    TSwapSubPart* SubPart = nullptr;

private:
    std::string FSwapIDPin;
    std::string FSwapIDPart;
    IPtr<host::IPCB_Pad> FPin_PCB;
    TSwapComponent* FComponent;
};

// One board net that carries at least one swappable pin.
class TSwapNet : public TSwapDataObject {
public:
    static TSwapNet* Create(TSwapDataSet& ASwapData, host::IPCB_Net* ANet_PCB);
    TSwapNet(TSwapDataSet& ASwapData, host::IPCB_Net* ANet_PCB);

    const char* ClassName() const override { return "TSwapNet"; }
    // "Net:" + NetName.
    std::string GetState_Description() override;

    const IPtr<host::IPCB_Net>& Net_PCB() const { return FNet_PCB; }
    // The board net's name, "NULL" without one.
    std::string NetName();
    const TPackedList<TSwapSubNet>& SubNets_All() const { return FSubNets_All; }
    const TPackedList<THotSpot>& TargetHotSpots() const { return FTargetHotSpots; }

    // Cuts the net into sub-nets, one per copper island that holds a pad.
    void BuildSubNetList();
    // The hot spots of the net's sub-nets whose target group is not `G`; with no group, those of
    // the sub-nets that have one.
    void BuildTargetHotSpots(TSwapGroup* G);

    bool ConnectsWereVisible = false;
    TPackedList<THotSpot> FTargetHotSpots;
    TPackedList<TSwapSubNet> FSubNets_All;

private:
    IPtr<host::IPCB_Net> FNet_PCB;
};

// One connected piece of copper of a net, tied to at most one swappable pin.
class TSwapSubNet : public TSwapDataObject {
public:
    // The index of the sub-net of a pad that has no net.
    static constexpr std::uint16_t cNoNetSubNetIndex = 9999;

    static TSwapSubNet* Create(TSwapDataSet& ASwapData, TSwapNet* ANet, std::uint16_t ASubNetIndex);
    TSwapSubNet(TSwapDataSet& ASwapData, TSwapNet* ANet, std::uint16_t ASubNetIndex);

    const char* ClassName() const override { return "TSwapSubNet"; }
    std::string GetState_Description() override;
    // The swap pin's pad name and "(" current net name ")", "NULL" for what is missing.
    std::string GetState_Id();

    // The swap pin's links, or none without a swap pin.
    TSwapGroup* PinSwapGroup() const;
    TSwapGroup* PartSwapGroup() const;
    TSwapSubPart* SubPart() const;
    // The group whose target nets NetIndex_Current indexes: the pin group, else the part or pair
    // group (whose target nets are built only for the automatic gate and pair passes).
    TSwapGroup* TargetGroup() const;
    // The target group's net at NetIndex_Current; none without one.
    TSwapNet* Net_Current() const;
    // The board net of the first primitive.
    IPtr<host::IPCB_Net> Net_PCB_Current();
    void AddToPCBNet(host::IPCB_Net* Net);
    void RemoveFromPCBNet(host::IPCB_Net* Net);
    // Moves the copper from Net_Previous to Net_Current when they differ; a failure is shown as
    // "Failed to update PCB Document" and leaves Net_Previous as it was.
    void UpdatePCBNet();

    // Sub-net construction.
    void BuildPrimitivesFromPin(TSwapPin* APin);
    void BuildHotSpots();
    void AssignSwapPin();
    void FindBestHotSpot();
    void BuildNeighourList();

    // Connection cost and search.
    THotSpot* Point1() const;
    THotSpot* Point2() const;
    bool IsConnected() const;
    double ConnectionLength() const;
    double SubNetCost() const;
    // The nearest hot spot of `N`'s target hot spots that is not this sub-net's own.
    THotSpot* FindBestTarget(TSwapNet* N) const;
    // Whether the connection lines of the two sub-nets cross; the same for either order.
    bool Crosses(const TSwapSubNet* T) const;
    // FIntersectingSubNets := the swappable sub-nets whose connection lines cross this one's, in
    // the order of the swappable list: through the data set's spatial index when its fast
    // crossings are on (_Fast), else by testing each of them (_Plain).
    void BuildIntersectingSubNetList();
    void BuildIntersectingSubNetList_Plain();
    void BuildIntersectingSubNetList_Fast();
    // The connection line's ends := Point1 and Point2.
    void ConnectionLine_SetEnds();
    // Sets the ends and moves the drawn line on the board (creating it on first need).
    void ConnectionLine_UpdateDrawing();

    const TPackedList<TSwapSubNet>& NeighbourSubNets() const { return FNeighbourSubNets; }
    const TPackedList<TSwapSubNet>& IntersectingSubNets() const { return FIntersectingSubNets; }

    std::uint16_t SubNetIndex;
    // Position in the data set's MasterSubNetList_All: a fixed order among sub-nets.
    std::uint32_t CreationIndex = 0;
    THotSpot* BestHotSpot = nullptr;
    TPackedList<TSwapSubNet> FNeighbourSubNets;
    TPackedList<TSwapSubNet> FIntersectingSubNets;
    TPackedList<TSwapSubNet> FIntersectingSubNets_Pushed;
    THotSpotList HotspotList;
    // Per target net of the pin group (same index as its FTargetNets): the nearest hot spot.
    std::vector<THotSpot*> BestTargets;
    std::int32_t NetIndex_Current = -1;
    std::int32_t NetIndex_Old = -1;
    std::int32_t NetIndex_Original = -1;
    TConnectionLine* ConnectionLine = nullptr;
    TSwapNet* Net_Previous = nullptr;
    bool Locked = false;
    TSwapPin* SwapPin = nullptr;
    TSwapNet* Net_Original = nullptr;
    std::vector<IPtr<host::IPCB_Primitive>> Primitives;
};

// One gate of a multi-part component in a part group, or one differential pair in a pair group.
class TSwapSubPart : public TSwapDataObject {
public:
    static TSwapSubPart* Create(TSwapDataSet& ASwapData, TSwapGroup* ASwapGroup, const std::string& AId);
    TSwapSubPart(TSwapDataSet& ASwapData, TSwapGroup* ASwapGroup, const std::string& AId);

    const char* ClassName() const override { return "TSwapSubPart"; }
    std::string GetState_Description() override;
    TSwapComponent* Component() const;
    // The part number of the first sub-net's design-model pin, or empty.
    std::string PartId() const;

    // Pin key to sub-net: the part-pin swap id (parts) or the polarity "P", "N", "X" (pairs).
    TSortedStringList<TSwapSubNet*> SubNets;
    TSwapGroup* SwapGroup;
    std::string Id;
};

// A set of mutually exchangeable sub-nets of one component.
class TSwapGroup : public TSwapDataObject {
public:
    static TSwapGroup* Create(TSwapDataSet& ASwapData, const std::string& AId, TSwapComponent* AComponent);
    TSwapGroup(TSwapDataSet& ASwapData, const std::string& AId, TSwapComponent* AComponent);

    const char* ClassName() const override { return "TSwapGroup"; }
    std::string GetState_Description() override;

    const TPackedList<TSwapNet>& TargetNets() const { return FTargetNets; }
    // FTargetNets := the starting net of each sub-net; the sub-nets' start indices follow.
    void BuildTargetNetList();
    // Every sub-net's best target per target net.
    void FindBestTargetsForSubNets();
    // The sum of the sub-nets' connection costs on their current nets (a whole number: exact in
    // any order of summation).
    double SubNetCost() const;
    // A random candidate pair: B among A's MaxRange nearest neighbours; two empties on failure.
    void GetRandomSubNetPair(TSwapSubNet*& SubNetA, TSwapSubNet*& SubNetB, double MaxRange);
    // The pair with the least distance from a sub-net's far end to another's net target.
    bool FindBestAvailableSwapPair(TSwapSubNet*& FoundA, TSwapSubNet*& FoundB);

    TPackedList<TSwapNet> FTargetNets;
    std::string ID;
    TSortedStringList<TSwapSubPart*> SubParts;
    TPackedList<TSwapSubNet> SubNets;
    TSwapComponent* Component;
    TPackedList<TSwapPin> SwapPins;
};

// A straight connection between two hot spots, optionally drawn on the board.
class TConnectionLine : public TSwapDataObject {
public:
    static TConnectionLine* Create(TSwapDataSet& ASwapData);
    // A line with the end points and layers of a board connection, ends without a sub-net.
    static TConnectionLine* Create_FromConnection(TSwapDataSet& ASwapData,
                                                  host::IPCB_Connection* AConnection);
    explicit TConnectionLine(TSwapDataSet& ASwapData);

    const char* ClassName() const override { return "TConnectionLine"; }
    std::string GetState_Description() override;

    THotSpot* End1 = nullptr;
    THotSpot* End2 = nullptr;
    // Handle of the connection object that draws the line on the board; 0 when not drawn.
    std::uint64_t FDrawingLine = 0;
};

// Whether two straight connections cross (touching ends and collinear overlaps count), after the
// layer filter; the first segment's layers decide the filter. False when a point is missing.
bool Segments_Cross(const THotSpot* A1, const THotSpot* A2, const THotSpot* B1, const THotSpot* B2);

} // namespace permutor::model
