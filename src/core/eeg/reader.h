// Trial-file reading shared by the core reader (zemba_read_trial) and the
// original interface's loader: opening (regular files only), plain or gzip
// input, whole lines, and the block rules. What the values are written into
// is the caller's Sink.
#ifndef ZEMBA_CORE_EEG_READER_H
#define ZEMBA_CORE_EEG_READER_H

#include <cstddef>

namespace zemba::core::eeg {

enum class Fault {
    None,
    Open,           // cannot open or read the file
    NotRegular,     // directory, FIFO, socket, device
    NoMemory,
    Unsupported,    // gzip without zlib
    GzipDamaged,    // the compressed stream is not valid
    GzipTruncated,  // the compressed stream ends early
    Line1,          // line 1 missing or not starting with '#'
    Group,          // byte 5 of line 1 is neither 'a' nor 'c'
    Line2,          // line 2 missing or not starting with '#'
    Line3,          // line 3 missing or not starting with '#'
    NoBlock,        // line 5 missing or not a block header
    BadSample,      // a sample line that is not a valid sample of its block
    ShortBlock,     // a block lacks some of its samples
    TooManyBlocks,  // a block header beyond Limits::blocks (when not stopping there)
};

struct Outcome {
    Fault fault = Fault::None;
    bool atEnd = false;      // header faults: the input ended there
    size_t line = 0;         // BadSample: its line; ShortBlock, TooManyBlocks: the block header's line
    int blocks = 0;          // channel blocks opened
    bool line4Read = false;  // the parse got past line 4
    bool line4Hash = false;  // line 4 starts with '#'
};

struct Limits {
    int blocks;        // most channel blocks read
    bool stopAtExtra;  // a further block header ends the file (else TooManyBlocks)
};

// Receives what the parse finds. Lines are passed raw: with their line end
// when they have one, possibly holding NUL bytes.
class Sink {
public:
    virtual ~Sink() = default;
    virtual void line1(const char* line, size_t len) = 0;      // after the '#' check
    virtual void line4(const char* line, size_t len) = 0;      // empty when the input ended
    virtual void name(int block, const char* line, size_t len) = 0;
    virtual double* row(int block) = 0;                         // 256 cells of that block
};

Outcome readFile(const char* path, Sink& sink, Limits limits);
Outcome readBytes(const char* bytes, size_t length, Sink& sink, Limits limits);

// Condition code of line 4: 1 for "S1", 2/3 for "S<d> m.."/"S<d> n..", 4 for
// another "S" condition, 0 when the first word after '#' and spaces does not
// start with 'S'.
int conditionCode(const char* line, size_t len);

// The zemba_status of an outcome, and the line reported with it (0 if none).
int statusOf(const Outcome& o);
size_t lineOf(const Outcome& o);

}  // namespace zemba::core::eeg

#endif
