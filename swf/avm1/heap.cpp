#include "swf/avm1/heap.h"

#include "swf/avm1/object.h"

namespace swivio::swf::avm1 {

void Tracer::mark(GcCell* cell) {
    if (cell && !cell->m_marked) {
        cell->m_marked = true;
        m_pending.push_back(cell);
    }
}

void Tracer::mark(const Value& value) {
    if (value.isObject())
        mark(static_cast<GcCell*>(value.object()));
}

Heap::~Heap() {
    for (GcCell* cell : m_cells)
        delete cell;
}

void Heap::sweep(Tracer& tracer) {
    while (!tracer.m_pending.empty()) {
        const GcCell* cell = tracer.m_pending.back();
        tracer.m_pending.pop_back();
        cell->trace(tracer);
    }
    std::size_t kept = 0;
    m_bytes = 0;
    for (GcCell* cell : m_cells) {
        if (cell->m_marked) {
            cell->m_marked = false;
            m_bytes += cell->footprint();
            m_cells[kept++] = cell;
        } else {
            delete cell;
        }
    }
    m_cells.resize(kept);
    m_survivors = kept;
}

} // namespace swivio::swf::avm1
