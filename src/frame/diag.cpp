// Diagnostic output, silenced by ZEMBA_QUIET (see diag.h).
#include "frame/diag.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

namespace zemba::diag {

bool quiet() {
    const char* v = std::getenv("ZEMBA_QUIET");
    return v && v[0] != '\0' && !(v[0] == '0' && v[1] == '\0');
}

void printf(const char* format, ...) {
    if (quiet()) return;
    va_list args;
    va_start(args, format);
    std::vprintf(format, args);
    va_end(args);
}

void puts(const char* text) {
    if (!quiet()) std::puts(text);
}

void putchar(int c) {
    if (!quiet()) std::putchar(c);
}

void error(const char* text, unsigned long bytes) {
    if (!quiet()) std::fwrite(text, 1, bytes, stderr);
}

}  // namespace zemba::diag
