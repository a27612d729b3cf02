// Collects the board copper joined to a start primitive by touching: from a pad it follows
// tracks, arcs, vias and other pads, breadth first, as far as they touch. A flags dictionary
// shared by several finders lets later passes skip what earlier ones reached.
#pragma once

#include "permutor/host/Host.h"

#include <deque>
#include <memory>
#include <unordered_map>
#include <vector>

namespace permutor::schematic {

// Which primitives a search reached. Keys are primitives by interface identity.
class TConnectedFlagsDictionary {
public:
    class TTouchFlags {
    public:
        TTouchFlags(bool AIsPrimTouched, bool AIsPrimTested)
            : IsPrimTouched(AIsPrimTouched), IsPrimTested(AIsPrimTested) {}
        bool IsPrimTouched;
        bool IsPrimTested;
    };

    // Clears every touched flag; the tested flags and the entries stay.
    void ClearFlags();
    // P has an entry with either flag set.
    bool HasBeenTouched(host::IPCB_Primitive* P) const;
    // P's entry := both flags set.
    void MarkPrimitiveAsTouched(host::IPCB_Primitive* P);
    std::size_t Count() const { return FDict.size(); }

private:
    struct TEntry {
        host::IPtr<host::IPCB_Primitive> Primitive; // keeps the key's object alive
        std::unique_ptr<TTouchFlags> Flags;
    };
    std::unordered_map<const host::IPCB_Primitive*, TEntry> FDict;
};

class TConnectedObjectFinder {
public:
    // Adds the start object at once: it heads AList unless a multi-pass dictionary knew it.
    // Without a dictionary the finder keeps its own.
    TConnectedObjectFinder(host::IPCB_Board* ABoard, host::IPCB_Primitive* AStartObject,
                           std::vector<host::IPtr<host::IPCB_Primitive>>& AList,
                           const host::TObjectSet& AObjectSet,
                           TConnectedFlagsDictionary* AMultipassFlagsDictionary = nullptr);
    TConnectedObjectFinder(const TConnectedObjectFinder&) = delete;
    TConnectedObjectFinder& operator=(const TConnectedObjectFinder&) = delete;

    // The breadth-first flood; once per finder.
    void Run();

    host::IPtr<host::IPCB_Board> Board;
    // The work queue.
    std::deque<host::IPtr<host::IPCB_Primitive>> HighLightList;
    // The caller's result list.
    std::vector<host::IPtr<host::IPCB_Primitive>>* ConnectedObjects;
    host::TObjectSet ObjectSet;

private:
    void Add(host::IPCB_Primitive* P);
    // Whether a hit of the search is passed by.
    bool Skip(host::IPCB_Primitive* current, host::IPCB_Primitive* hit);

    bool FIsMultipass = false;
    TConnectedFlagsDictionary* FFlagsDictionary;
    std::unique_ptr<TConnectedFlagsDictionary> FOwnDictionary;
    bool FHasRun = false;
};

// The object kinds the sub-net build follows from a pad without a net.
host::TObjectSet ConnectedObjectFinder_CopperKinds();

} // namespace permutor::schematic
