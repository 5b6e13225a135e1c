// Counts the program's heap allocations: malloc, calloc and realloc (and
// through them operator new) are replaced by counting forwarders. Include in
// exactly one source file of a test program. AddressSanitizer owns the
// allocator, so under it TV_COUNTING_ALLOCATOR is 0 and nothing is replaced.
#pragma once

#include <cstddef>
#include <cstdlib>

#if defined(__SANITIZE_ADDRESS__)
#define TV_COUNTING_ALLOCATOR 0
#else
#define TV_COUNTING_ALLOCATOR 1

extern "C" void *__libc_malloc(std::size_t size);
extern "C" void *__libc_calloc(std::size_t count, std::size_t size);
extern "C" void *__libc_realloc(void *p, std::size_t size);

// Allocation counter of this test program (single-threaded).
inline long g_allocations = 0;

extern "C" void *malloc(std::size_t size)
{
    ++g_allocations;
    return __libc_malloc(size);
}

extern "C" void *calloc(std::size_t count, std::size_t size)
{
    ++g_allocations;
    return __libc_calloc(count, size);
}

extern "C" void *realloc(void *p, std::size_t size)
{
    ++g_allocations;
    return __libc_realloc(p, size);
}
#endif
