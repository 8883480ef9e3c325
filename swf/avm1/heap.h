#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace swivio::swf::avm1 {

class GcCell;
class Value;

// Marks what a cell refers to during a collection; works from an explicit stack so a long
// chain of objects cannot exhaust the machine's stack.
class Tracer {
public:
    void mark(GcCell* cell);
    void mark(const Value& value);

private:
    friend class Heap;
    std::vector<GcCell*> m_pending;
};

// Anything the heap owns: objects and scopes.
class GcCell {
public:
    virtual ~GcCell() = default;
    // Marks every cell this one refers to.
    virtual void trace(Tracer&) const {}
    // A rough size, for the heap's memory bound.
    virtual std::size_t footprint() const { return 64; }

private:
    friend class Heap;
    friend class Tracer;
    bool m_marked = false;
};

// Owns every cell a script makes. Cells are freed only by collect(), which the runtime calls
// between frames (never while a script runs), so C++ code inside a running script may hold
// plain pointers. Cycles are collected like everything else.
class Heap {
public:
    Heap() = default;
    Heap(const Heap&) = delete;
    Heap& operator=(const Heap&) = delete;
    ~Heap();

    template <typename T, typename... Args> T* make(Args&&... args) {
        auto* cell = new T(std::forward<Args>(args)...);
        m_cells.push_back(cell);
        m_bytes += 64;
        return cell;
    }
    std::size_t cellCount() const { return m_cells.size(); }
    // A rough count of the memory the cells hold: what collections found alive, plus what
    // has been made or grown since (arrays and strings report their growth).
    std::size_t bytes() const { return m_bytes; }
    void addBytes(std::size_t bytes) { m_bytes += bytes; }
    // Cells made since the last collection.
    std::size_t newCells() const { return m_cells.size() - m_survivors; }

    // Frees every cell that the roots do not reach. markRoots marks the roots.
    template <typename MarkRoots> void collect(MarkRoots&& markRoots) {
        Tracer tracer;
        markRoots(tracer);
        sweep(tracer);
    }

private:
    void sweep(Tracer& tracer);

    std::vector<GcCell*> m_cells;
    std::size_t m_survivors = 0;
    std::size_t m_bytes = 0;
};

} // namespace swivio::swf::avm1
