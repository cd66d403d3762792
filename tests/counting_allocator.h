// counting_allocator.h: replaces the program's operator new and delete with ones that count
// every allocation in `allocations`, so a test or benchmark can show that a stretch of code
// allocates nothing. Include it in exactly one source file of a program.
#pragma once

#include <atomic>
#include <cstdlib>
#include <new>

static std::atomic<long> allocations{0};

void *operator new(std::size_t size) {
    allocations.fetch_add(1, std::memory_order_relaxed);
    if (void *p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void *operator new[](std::size_t size) { return operator new(size); }
void operator delete(void *p) noexcept { std::free(p); }
void operator delete[](void *p) noexcept { std::free(p); }
void operator delete(void *p, std::size_t) noexcept { std::free(p); }
void operator delete[](void *p, std::size_t) noexcept { std::free(p); }
