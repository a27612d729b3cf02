// The C entry points the host finds in the plug-in library.
#pragma once

#include "permutor/host/Client.h"
#include "permutor/host/Route.h"

#include <cstdint>

#define PERMUTOR_EXPORT extern "C" __attribute__((visibility("default")))

// Status codes of the exports.
inline constexpr std::int32_t cStatus_OK = 0;
inline constexpr std::int32_t cStatus_Unexpected = static_cast<std::int32_t>(0x8000FFFF);

// Memory figures of the module's process, for the host's diagnostics.
struct TPermutorMemoryInfo {
    std::uint64_t HeapBytesInUse;
    std::uint64_t HeapBytesFree;
    std::uint64_t MappedBytes;
};

// Creates the module for `client` and hands back its server interface (one reference owned by
// the caller). On failure returns 0x8000FFFF and leaves `*server` empty.
PERMUTOR_EXPORT std::int32_t ServerFactory(permutor::host::IClient* client,
                                           permutor::host::IServerModule** server);

// Creates a route-time swap object for the router and hands back its interface (one reference
// owned by the caller). Stores nil first; on failure returns 0x8000FFFF and leaves it nil.
PERMUTOR_EXPORT std::int32_t GetRoutePermutor(permutor::host::IRoutePermutor** result);

PERMUTOR_EXPORT std::int32_t GetMemoryInfo(TPermutorMemoryInfo* info);

using TServerFactoryProc = std::int32_t (*)(permutor::host::IClient*, permutor::host::IServerModule**);
using TGetRoutePermutorProc = std::int32_t (*)(permutor::host::IRoutePermutor**);
using TGetMemoryInfoProc = std::int32_t (*)(TPermutorMemoryInfo*);
