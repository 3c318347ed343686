#include "base/pool.h"

namespace {
Pool* current = nullptr;
}

Pool::~Pool() {
    clear();
}

void* Pool::allocate(size_t size) {
    const size_t rounded = (size + 7) & ~size_t(7);
    if (m_head && m_used + rounded <= m_capacity) {
        void* p = m_head->bytes + m_used;
        m_used += rounded;
        return p;
    }
    const size_t capacity = size <= BlockSize ? BlockSize : rounded;
    m_head = new Block{m_head, new char[capacity]};
    m_capacity = capacity;
    m_used = rounded;
    return m_head->bytes;
}

void Pool::clear() {
    while (m_head) {
        Block* next = m_head->next;
        delete[] m_head->bytes;
        delete m_head;
        m_head = next;
    }
    m_used = 0;
    m_capacity = 0;
}

size_t Pool::blockCount() const {
    size_t n = 0;
    for (const Block* b = m_head; b; b = b->next)
        ++n;
    return n;
}

void Pool::setCurrentPool(Pool* pool) {
    current = pool;
}
Pool* Pool::currentPool() {
    return current;
}

void* PoolObject::operator new(size_t size) {
    if (!current) current = new Pool; // the fallback pool lives as long as the process
    return current->allocate(size);
}
