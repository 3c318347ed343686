#pragma once

#include <cstddef>

// Bump allocator released as a whole. Blocks of 8192 bytes (or exactly the
// rounded request when larger); the tail of a block that cannot hold the next
// request is abandoned.
class Pool {
public:
    static constexpr size_t BlockSize = 8192;

    Pool() = default;
    ~Pool();
    Pool(const Pool&) = delete;
    Pool& operator=(const Pool&) = delete;

    void* allocate(size_t size);
    void clear();

    size_t used() const { return m_used; }
    size_t capacity() const { return m_capacity; }
    size_t blockCount() const;

    static void setCurrentPool(Pool* pool);
    static Pool* currentPool();

private:
    struct Block {
        Block* next;
        char* bytes;
    };
    Block* m_head = nullptr;
    size_t m_used = 0;
    size_t m_capacity = 0;
};

// Objects allocated from the current pool (one is created on first use when
// none is set). They are never freed one by one: delete only runs destructors.
class PoolObject {
public:
    static void* operator new(size_t size);
    static void operator delete(void*) noexcept {}
};
