// Diagnostic lines: every line the library prints goes through these, so a
// host can turn them all off without a new export. ZEMBA_QUIET set to anything
// but "" or "0" in the environment silences them; it is read at each line, so
// a host may switch it between calls. Otherwise the text is exactly what the
// plain C calls would write.
#ifndef ZEMBA_FRAME_DIAG_H
#define ZEMBA_FRAME_DIAG_H

namespace zemba::diag {

bool quiet();
void printf(const char* format, ...) __attribute__((format(printf, 1, 2)));
void puts(const char* text);
void putchar(int c);
void error(const char* text, unsigned long bytes);  // standard error

}  // namespace zemba::diag

#endif
