#include "platform/LargeRoom.h"

#include <cstdint>
#include <cstdlib>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace {

#if defined(__linux__)
constexpr size_t kLargePage = size_t{2} << 20;

// Room of a whole number of large pages, itself on a large-page boundary, so that every part of
// it can be a large page.
size_t LargePages(size_t bytes) {
    return (bytes + kLargePage - 1) / kLargePage * kLargePage;
}

bool WantsLargePages(size_t bytes) {
    return bytes >= kLargePage && bytes <= SIZE_MAX - 2 * kLargePage;
}

// A mapping of size bytes starting on a large-page boundary: one of size plus a page, its
// unaligned head and its tail given back.
void* MapAligned(size_t size) {
    void* mapped = mmap(nullptr, size + kLargePage, PROT_READ | PROT_WRITE,
                        MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED) {
        return nullptr;
    }
    auto* start = static_cast<char*>(mapped);
    const auto address = reinterpret_cast<uintptr_t>(start);
    const size_t head = (kLargePage - address % kLargePage) % kLargePage;
    if (head != 0) {
        munmap(start, head);
    }
    munmap(start + head + size, kLargePage - head);
    return start + head;
}
#endif

}  // namespace

void* TakeLargeRoom(size_t bytes) {
#if defined(__linux__)
    if (WantsLargePages(bytes)) {
        void* room = MapAligned(LargePages(bytes));
        if (room != nullptr) {
            // Only advice: without large pages the room works the same.
            madvise(room, LargePages(bytes), MADV_HUGEPAGE);
        }
        return room;
    }
#endif
    return std::malloc(bytes);
}

void GiveBackLargeRoom(void* room, size_t bytes) {
#if defined(__linux__)
    if (WantsLargePages(bytes)) {
        if (room != nullptr) {
            munmap(room, LargePages(bytes));
        }
        return;
    }
#else
    static_cast<void>(bytes);  // every room came from malloc
#endif
    std::free(room);
}
