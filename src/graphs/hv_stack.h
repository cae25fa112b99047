// The linear-time stack walk of a horizontal visibility graph for the routines
// that build the graph this way: the core's walk over the shared SortList1.
#ifndef ZEMBA_GRAPHS_HV_STACK_H
#define ZEMBA_GRAPHS_HV_STACK_H

#include "core/graphs/horizontal_walk.h"
#include "zemba.h"

namespace zemba {

// zemba::core::walkHorizontal with SortList1 as the stack (n <= 12193): calls
// edge(a, b), a < b, for every edge in scan order, leaves SortList1 holding
// the nodes still visible at the end and returns the stack operations.
template <bool Inverted, class T, class Edge>
long scanHorizontal(const T* x, int n, Edge&& edge) {
    int32_t top = 0;
    const long ops = core::walkHorizontal<Inverted>(x, int32_t{n}, SortList1.items, top, edge);
    SortList1.top = top;
    return ops;
}

}  // namespace zemba

#endif
