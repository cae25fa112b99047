// The bounded integer stack of node indices (the shared instance is SortList1).
// top < 0 means empty; pushes are not checked against the capacity: callers
// never hold more indices than their series has samples.
#include "zemba.h"

#include <cstdio>

int StackIsEmpty(stackT* s) { return s->top < 0 ? 1 : 0; }

int StackTop(stackT* s) { return s->top < 0 ? -1 : s->items[s->top]; }

void StackPush(stackT* s, int value) { s->items[++s->top] = value; }

int StackPop(stackT* s) {
    if (s->top < 0) {
        static const char msg[] = "Can't pop element from stack: stack is empty.\n";
        std::fwrite(msg, 1, sizeof msg - 1, stderr);
        return -1;
    }
    return s->items[s->top--];
}
