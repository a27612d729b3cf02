#include "pcbhost/model/OrderedArena.h"

#include <sys/mman.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <new>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#define PERMUTOR_LEAK_CHECK 1
#endif

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

#ifdef PERMUTOR_LEAK_CHECK
    // The leak checker looks for pointers only in memory it handed out itself: it is shown the
    // arena's used part, a megabyte at a time, so that what live nets own counts as reachable
    // (a program that ends without freeing its nets leaks nothing).
    static constexpr std::size_t cShown = std::size_t(1) << 20;
    std::atomic<std::size_t> ShownEnd{0};
    std::mutex ShowLock;
    void Show(std::size_t end) {
        if (end <= ShownEnd.load(std::memory_order_acquire))
            return;
        const std::lock_guard lock(ShowLock);
        std::size_t shown = ShownEnd.load(std::memory_order_relaxed);
        while (shown < end && shown < cReserve) {
            __lsan_register_root_region(Base + shown, cShown);
            shown += cShown;
        }
        ShownEnd.store(shown, std::memory_order_release);
    }
#else
    void Show(std::size_t) {}
#endif
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
        if (at + rounded <= cReserve) {
            arena.Show(at + rounded);
            return arena.Base + at;
        }
    }
    return ::operator new(size);
}

void OrderedArena_Free(void* p) noexcept {
    if (p && !Arena().Owns(p))
        ::operator delete(p);
}

} // namespace pcbhost
