// The linear-time stack walk of a horizontal visibility graph: every edge
// handed to a callback in a fixed order. Shared by the core's graph kernels
// and the original interface's routines (src/graphs/hv_stack.h).
#ifndef ZEMBA_CORE_GRAPHS_HORIZONTAL_WALK_H
#define ZEMBA_CORE_GRAPHS_HORIZONTAL_WALK_H

namespace zemba::core {

// Walks the horizontal visibility graph of x[0..n-1] and calls edge(a, b),
// a < b, for every edge: for each node b in ascending order, first its
// neighbour b - 1, then the nodes taken off the stack from the nearest to the
// farthest, the last of them the one that blocks farther nodes. Ordinary
// criterion: samples see each other over strictly lower samples; Inverted:
// under strictly higher ones. A node equal in height to b is taken off for
// good. items must hold max(n, 1) indices (Index signed); on return
// items[0..top] are the nodes still visible from the end (top = 0 for n <= 1).
// Returns the stack operations: every pop, plus one push per node that
// enters (a node pushed back is not counted).
template <bool Inverted, class T, class Index, class Edge>
long walkHorizontal(const T* x, Index n, Index* items, Index& top, Edge&& edge) {
    top = 0;
    items[0] = 0;
    long ops = 0;
    for (Index i = 0; i + 1 < n; ++i) {
        const Index b = i + 1;
        const T xb = x[b];
        edge(i, b);
        if (Inverted ? xb > x[i] : xb < x[i]) {
            items[++top] = b;
            ++ops;
            continue;
        }
        for (;;) {
            const Index l = items[top--];
            ++ops;
            if (l != i) edge(l, b);
            const T xl = x[l];
            if (Inverted ? xl <= xb : xl >= xb) {
                if (Inverted ? xl < xb : xl > xb) items[++top] = l;
                break;
            }
            if (top < 0) break;
        }
        items[++top] = b;
        ++ops;
    }
    return ops;
}

}  // namespace zemba::core

#endif
