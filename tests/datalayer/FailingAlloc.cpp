#include "FailingAlloc.h"

#include <atomic>
#include <cstdlib>
#include <new>
#include <thread>

namespace {

std::atomic<std::size_t> g_size{0};
std::atomic<int> g_count{0};
std::atomic<std::thread::id> g_armer{};

bool ShouldFail(std::size_t size) {
    if (size != g_size.load(std::memory_order_relaxed) ||
        std::this_thread::get_id() == g_armer.load(std::memory_order_relaxed)) {
        return false;
    }
    int left = g_count.load(std::memory_order_acquire);
    while (left > 0 && !g_count.compare_exchange_weak(left, left - 1)) {
    }
    return left > 0;
}

void* Allocate(std::size_t size) noexcept {
    return ShouldFail(size) ? nullptr : std::malloc(size != 0 ? size : 1);
}

void* AllocateOrThrow(std::size_t size) {
    if (void* p = Allocate(size))
        return p;
    throw std::bad_alloc();
}

}  // namespace

void OvFailAllocations(std::size_t size, int count) {
    g_count.store(0);
    g_armer.store(std::this_thread::get_id());
    g_size.store(size);
    g_count.store(count);
}

// Every form that the sanitizers would otherwise pair with their own: memory from one
// family must go back to the same family.
void* operator new(std::size_t size) {
    return AllocateOrThrow(size);
}
void* operator new[](std::size_t size) {
    return AllocateOrThrow(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return Allocate(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return Allocate(size);
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
    std::free(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
    std::free(p);
}
