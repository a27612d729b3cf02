#include "pcbhost/model/OrderedArena.h"

#include <sys/mman.h>

#include <atomic>
#include <cstdint>
#include <new>

namespace pcbhost {

namespace {

// Address space only: pages are backed when first touched. 1 GiB holds millions of nets.
constexpr std::size_t cReserve = std::size_t(1) << 30;
constexpr std::size_t cAlign = alignof(std::max_align_t);

struct TArena {
    char* Base = nullptr;
    std::atomic<std::size_t> Used{0};
    TArena() {
        void* p = mmap(nullptr, cReserve, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE,
                       -1, 0);
        Base = p == MAP_FAILED ? nullptr : static_cast<char*>(p);
    }
    // The range stays mapped until the process ends: nets may outlive every other object.
    bool Owns(const void* p) const { return Base && p >= Base && p < Base + cReserve; }
};

TArena& Arena() {
    static TArena* arena = new TArena;
    return *arena;
}

} // namespace

void* OrderedArena_Allocate(std::size_t size) {
    TArena& arena = Arena();
    const std::size_t rounded = (size + cAlign - 1) / cAlign * cAlign;
    if (arena.Base) {
        const std::size_t at = arena.Used.fetch_add(rounded);
        if (at + rounded <= cReserve)
            return arena.Base + at;
    }
    return ::operator new(size);
}

void OrderedArena_Free(void* p) noexcept {
    if (p && !Arena().Owns(p))
        ::operator delete(p);
}

} // namespace pcbhost
