// The bounded integer stack of node indices (the shared instance is SortList1).
// top < 0 means empty. A push onto a full stack is dropped, and a record whose
// top lies beyond its items reads as holding nothing (-1): no call touches
// memory outside the record's items.
#include "frame/diag.h"
#include "zemba.h"

#include <cstdio>

namespace {
inline bool beyondItems(const stackT* s) { return s->top >= ZEMBA_SERIES_CAP; }
}  // namespace

int StackIsEmpty(stackT* s) { return s->top < 0 ? 1 : 0; }

int StackTop(stackT* s) { return (s->top < 0 || beyondItems(s)) ? -1 : s->items[s->top]; }

void StackPush(stackT* s, int value) {
    if (s->top >= ZEMBA_SERIES_CAP - 1) return;
    if (s->top < 0) s->top = -1;
    s->items[++s->top] = value;
}

int StackPop(stackT* s) {
    if (s->top < 0) {
        static const char msg[] = "Can't pop element from stack: stack is empty.\n";
        zemba::diag::error(msg, sizeof msg - 1);
        return -1;
    }
    if (beyondItems(s)) return -1;
    return s->items[s->top--];
}
