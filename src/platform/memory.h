#pragma once
// Memory mapped ahead of its first use. On some virtual machines the first
// touch of each 4 KB page costs about 15 us, and the lists of a large data
// file span thousands of pages; asking for a whole range in one call costs
// a twentieth of that.
#include <cstddef>
#include <vector>

namespace platform {

// Maps the pages of [begin, begin + bytes) writable now rather than one at a
// time on first touch; does nothing where the system cannot.
void mapAhead(void* begin, std::size_t bytes);

// Reserves room for `count` elements, its pages mapped ahead.
template <typename T> void reserveMapped(std::vector<T>& list, std::size_t count) {
    list.reserve(count);
    mapAhead(list.data(), list.capacity() * sizeof(T));
}

} // namespace platform
