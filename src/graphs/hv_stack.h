// The linear-time stack walk of a horizontal visibility graph, shared by the
// routines that build the graph this way. The stack is the shared SortList1.
#ifndef ZEMBA_GRAPHS_HV_STACK_H
#define ZEMBA_GRAPHS_HV_STACK_H

#include "zemba.h"

namespace zemba {

// Walks the horizontal visibility graph of x[0..n-1] and calls edge(a, b),
// a < b, for every edge in scan order: for each new node b in ascending order,
// first its neighbour b - 1, then the popped nodes from the nearest to the
// farthest. Ordinary criterion: samples see each other over lower samples;
// Inverted: under higher samples. A popped node equal in height to b is
// dropped. Leaves SortList1 holding the nodes still visible at the end.
// Returns the number of stack operations: every pop, plus one push per node
// that enters (push-backs are not counted).
template <bool Inverted, class T, class Edge>
long scanHorizontal(const T* x, int n, Edge&& edge) {
    int32_t* items = SortList1.items;
    int top = 0;
    items[0] = 0;
    long ops = 0;
    for (int i = 0; i + 1 < n; ++i) {
        const int b = i + 1;
        const T xb = x[b];
        edge(i, b);
        if (Inverted ? xb > x[i] : xb < x[i]) {
            items[++top] = b;
            ++ops;
            continue;
        }
        for (;;) {
            const int l = items[top--];
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
    SortList1.top = top;
    return ops;
}

}  // namespace zemba

#endif
