#include "allocation_counter.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

std::atomic<std::size_t> live_bytes{0};

// Each block starts with its size, padded to keep the caller's alignment.
constexpr std::size_t header = alignof(std::max_align_t);

void* allocate(std::size_t size)
{
    void* block = std::malloc(size + header);
    if (!block)
        throw std::bad_alloc();
    *static_cast<std::size_t*>(block) = size;
    live_bytes += size;
    return static_cast<char*>(block) + header;
}

void release(void* pointer) noexcept
{
    if (!pointer)
        return;
    void* block = static_cast<char*>(pointer) - header;
    live_bytes -= *static_cast<std::size_t*>(block);
    std::free(block);
}

}  // namespace

std::size_t allocated_bytes()
{
    return live_bytes;
}

void* operator new(std::size_t size)
{
    return allocate(size);
}

void* operator new[](std::size_t size)
{
    return allocate(size);
}

void* operator new(std::size_t size, const std::nothrow_t&) noexcept
{
    try {
        return allocate(size);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

void* operator new[](std::size_t size, const std::nothrow_t&) noexcept
{
    try {
        return allocate(size);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

void operator delete(void* pointer) noexcept
{
    release(pointer);
}

void operator delete[](void* pointer) noexcept
{
    release(pointer);
}

void operator delete(void* pointer, std::size_t) noexcept
{
    release(pointer);
}

void operator delete[](void* pointer, std::size_t) noexcept
{
    release(pointer);
}

void operator delete(void* pointer, const std::nothrow_t&) noexcept
{
    release(pointer);
}

void operator delete[](void* pointer, const std::nothrow_t&) noexcept
{
    release(pointer);
}
