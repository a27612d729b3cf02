#include "permutor/entry/Exports.h"

#include "permutor/entry/PermutorModule.h"
#include "permutor/interactive/RoutePermutor.h"

#include <malloc.h>

using namespace permutor;

PERMUTOR_EXPORT std::int32_t ServerFactory(host::IClient* client, host::IServerModule** server) {
    if (!server)
        return cStatus_Unexpected;
    *server = nullptr;
    try {
        auto module = std::make_unique<entry::TPermutorServerModule>(client);
        *server = entry::TServerModule::MakeServerInterface(std::move(module)).detach();
        return cStatus_OK;
    } catch (...) {
        *server = nullptr;
        return cStatus_Unexpected;
    }
}

PERMUTOR_EXPORT std::int32_t GetRoutePermutor(host::IRoutePermutor** result) {
    if (!result)
        return cStatus_Unexpected;
    *result = nullptr;
    try {
        *result = host::MakeObject<interactive::TRoutePermutor>().detach();
        return cStatus_OK;
    } catch (...) {
        *result = nullptr;
        return cStatus_Unexpected;
    }
}

PERMUTOR_EXPORT std::int32_t GetMemoryInfo(TPermutorMemoryInfo* info) {
    if (!info)
        return cStatus_Unexpected;
    try {
        const struct mallinfo2 m = mallinfo2();
        info->HeapBytesInUse = m.uordblks;
        info->HeapBytesFree = m.fordblks;
        info->MappedBytes = m.hblkhd;
        return cStatus_OK;
    } catch (...) {
        return cStatus_Unexpected;
    }
}
