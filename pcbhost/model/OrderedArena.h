// Memory whose addresses grow in the order it is handed out, for board nets. The module keys a
// net by the value of its reference and walks nets in that order, so with ordinary heap memory
// the order (and with it the optimiser's choices for a given seed) would follow the allocator's
// state: another build, another front end or another malloc setting gave other swaps. From this
// arena the order is the order the nets were made in.
#pragma once

#include <cstddef>

namespace pcbhost {

// Never returns null (throws std::bad_alloc). When the arena's reserved range is used up (or
// cannot be reserved) it falls back to the ordinary heap.
void* OrderedArena_Allocate(std::size_t size);
// Gives back memory from OrderedArena_Allocate: heap memory is freed, arena memory is not reused.
void OrderedArena_Free(void* p) noexcept;

} // namespace pcbhost
