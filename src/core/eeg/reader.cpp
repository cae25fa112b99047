// Trial files: plain or gzip input read in whole lines, the header and block
// rules, and the C entry points zemba_read_trial / zemba_parse_trial, which
// write the caller's zemba_trial only when the whole file is good.
#include "core/eeg/reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <type_traits>
#include <vector>

#ifdef ZEMBA_HAVE_ZLIB
#include <zlib.h>
#endif

#include "zemba/core.h"

static_assert(sizeof(zemba_trial) == ZEMBA_TRIAL_BYTES, "zemba_trial layout");
static_assert(offsetof(zemba_trial, group) == 132176, "zemba_trial layout");

namespace zemba::core::eeg {
namespace {

constexpr size_t kChunk = size_t{1} << 16;
constexpr int kSamples = 256;

bool space(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

// Bytes of a file descriptor or a memory block, decompressed when they start
// with the gzip magic. read() gives decoded bytes, 0 at the end, -1 on a fault.
class Input {
public:
    explicit Input(int fd) : fd_(fd) {}
    Input(const char* bytes, size_t length) : raw_(bytes), rawEnd_(length), rawEof_(true) {}
    ~Input() {
        if (fd_ >= 0) close(fd_);
#ifdef ZEMBA_HAVE_ZLIB
        if (zInit_) inflateEnd(&z_);
#endif
    }
    Input(const Input&) = delete;
    Input& operator=(const Input&) = delete;

    bool start() {
        while (available() < 2 && !rawEof_)
            if (!fillRaw()) return false;
        gzip_ = available() >= 2 && static_cast<unsigned char>(raw_[rawPos_]) == 0x1f &&
                static_cast<unsigned char>(raw_[rawPos_ + 1]) == 0x8b;
        if (!gzip_) return true;
#ifdef ZEMBA_HAVE_ZLIB
        if (inflateInit2(&z_, 16 + MAX_WBITS) != Z_OK) return failWith(Fault::NoMemory);
        zInit_ = true;
        return true;
#else
        return failWith(Fault::Unsupported);
#endif
    }

    long read(char* out, size_t n) {
        if (n > static_cast<size_t>(INT_MAX)) n = INT_MAX;
        return gzip_ ? inflateInto(out, n) : copyInto(out, n);
    }

    bool gzip() const { return gzip_; }
    Fault fault() const { return fault_; }

private:
    size_t available() const { return rawEnd_ - rawPos_; }

    bool failWith(Fault f) {
        fault_ = f;
        return false;
    }
    long failRead(Fault f) {
        fault_ = f;
        return -1;
    }

    // One more read() of the descriptor after the unread bytes.
    bool fillRaw() {
        if (rawEof_) return true;
        if (buf_.empty()) buf_.resize(kChunk);
        if (rawPos_ > 0) {
            std::memmove(buf_.data(), buf_.data() + rawPos_, available());
            rawEnd_ -= rawPos_;
            rawPos_ = 0;
        }
        if (rawEnd_ == buf_.size()) buf_.resize(buf_.size() * 2);
        raw_ = buf_.data();
        for (;;) {
            const size_t room = buf_.size() - rawEnd_;
            const auto got = ::read(fd_, buf_.data() + rawEnd_, static_cast<unsigned>(room < kChunk ? room : kChunk));
            if (got < 0 && errno == EINTR) continue;
            if (got < 0) return failWith(Fault::Open);
            if (got == 0) rawEof_ = true;
            rawEnd_ += static_cast<size_t>(got);
            return true;
        }
    }

    long copyInto(char* out, size_t n) {
        if (available() == 0 && !fillRaw()) return -1;
        const size_t take = available() < n ? available() : n;
        std::memcpy(out, raw_ + rawPos_, take);
        rawPos_ += take;
        return static_cast<long>(take);
    }

#ifdef ZEMBA_HAVE_ZLIB
    long inflateInto(char* out, size_t n) {
        z_.next_out = reinterpret_cast<Bytef*>(out);
        z_.avail_out = static_cast<uInt>(n);
        for (;;) {
            const size_t produced = n - z_.avail_out;
            if (memberDone_) {
                // Another member may follow; anything else after a whole member is ignored.
                while (available() < 2 && !rawEof_)
                    if (!fillRaw()) return -1;
                if (available() < 2 || static_cast<unsigned char>(raw_[rawPos_]) != 0x1f ||
                    static_cast<unsigned char>(raw_[rawPos_ + 1]) != 0x8b)
                    return static_cast<long>(produced);
                if (inflateReset(&z_) != Z_OK) return failRead(Fault::GzipDamaged);
                memberDone_ = false;
            }
            if (produced > 0) return static_cast<long>(produced);
            if (available() == 0 && !fillRaw()) return -1;
            const size_t before = available();
            z_.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(raw_ + rawPos_));
            z_.avail_in = static_cast<uInt>(before < UINT_MAX ? before : UINT_MAX);
            const uInt offered = z_.avail_in;
            const int r = inflate(&z_, Z_NO_FLUSH);
            rawPos_ += offered - z_.avail_in;
            if (r == Z_STREAM_END) {
                memberDone_ = true;
            } else if (r == Z_BUF_ERROR || (r == Z_OK && offered == 0)) {
                if (available() > 0) return failRead(Fault::GzipDamaged);  // no progress with input left
                if (rawEof_) return failRead(Fault::GzipTruncated);
            } else if (r == Z_MEM_ERROR) {
                return failRead(Fault::NoMemory);
            } else if (r != Z_OK) {
                return failRead(Fault::GzipDamaged);
            }
        }
    }

    z_stream z_{};
    bool zInit_ = false;
    bool memberDone_ = false;
#else
    long inflateInto(char*, size_t) { return -1; }
#endif

    int fd_ = -1;
    std::vector<char> buf_;
    const char* raw_ = nullptr;
    size_t rawPos_ = 0, rawEnd_ = 0;
    bool rawEof_ = false;
    bool gzip_ = false;
    Fault fault_ = Fault::None;
};

// Whole lines of an Input, each with its line end when it has one.
class Lines {
public:
    explicit Lines(Input& in) : in_(in), buf_(kChunk) {}

    bool next(const char*& line, size_t& len) {
        size_t scan = start_;
        for (;;) {
            const void* nl = std::memchr(buf_.data() + scan, '\n', end_ - scan);
            if (nl || (eof_ && start_ < end_)) {
                line = buf_.data() + start_;
                len = nl ? static_cast<size_t>(static_cast<const char*>(nl) - line) + 1 : end_ - start_;
                start_ += len;
                ++number_;
                return true;
            }
            if (eof_) return false;
            scan = end_ - start_;
            if (start_ > 0) {
                std::memmove(buf_.data(), buf_.data() + start_, end_ - start_);
                end_ -= start_;
                start_ = 0;
            }
            if (end_ == buf_.size()) buf_.resize(buf_.size() * 2);
            const long got = in_.read(buf_.data() + end_, buf_.size() - end_);
            if (got < 0) return false;
            if (got == 0) eof_ = true;
            end_ += static_cast<size_t>(got);
        }
    }

    size_t number() const { return number_; }
    Fault fault() const { return in_.fault(); }

private:
    Input& in_;
    std::vector<char> buf_;
    size_t start_ = 0, end_ = 0, number_ = 0;
    bool eof_ = false;
};

bool blank(const char* p, size_t n) {
    for (size_t i = 0; i < n; ++i)
        if (!space(p[i])) return false;
    return true;
}

// A decimal "-ddd.ddd" of at most 15 digits, as the recordings write their
// samples: the integer of its digits over an exact power of ten is one
// correctly rounded division, so it gives the bits from_chars gives, about
// three times as fast. Other spellings are left to from_chars.
bool shortDecimal(const char*& p, const char* e, double& v) {
    static constexpr double kTen[16] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                        1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    auto digit = [&](const char* q) { return q < e && static_cast<unsigned>(*q - '0') < 10; };
    const char* q = p;
    const bool negative = q < e && *q == '-';
    q += negative;
    if (!digit(q)) return false;
    uint64_t m = 0;
    int digits = 0, decimals = 0;
    for (; digit(q); ++q, ++digits) m = m * 10 + static_cast<unsigned>(*q - '0');
    if (q < e && *q == '.') {
        if (!digit(++q)) return false;
        for (; digit(q); ++q, ++digits, ++decimals) m = m * 10 + static_cast<unsigned>(*q - '0');
    }
    if (digits > 15 || (q < e && (*q == 'e' || *q == 'E'))) return false;
    const double x = static_cast<double>(m) / kTen[decimals];
    v = negative ? -x : x;
    p = q;
    return true;
}

template <class T>
bool number(const char*& p, const char* e, T& v) {
    if (p < e && *p == '+' && p + 1 < e && *(p + 1) != '-') ++p;
    if constexpr (std::is_same_v<T, double>)
        if (shortDecimal(p, e, v)) return true;
    const auto r = std::from_chars(p, e, v);
    if (r.ec != std::errc() || r.ptr == p) return false;
    p = r.ptr;
    return true;
}

// "<trial> <name> <index> <value>", white space only after the value.
bool parseSample(const char* p, size_t n, int& index, double& value) {
    const char* e = p + n;
    auto gap = [&]() {
        if (p == e || !space(*p)) return false;
        while (p < e && space(*p)) ++p;
        return true;
    };
    while (p < e && space(*p)) ++p;
    long long trial = 0, s = 0;
    if (!number(p, e, trial) || !gap()) return false;
    const char* name = p;
    while (p < e && !space(*p) && *p != '\0') ++p;
    if (p == name || !gap()) return false;
    if (!number(p, e, s) || !gap()) return false;
    if (!number(p, e, value) || !std::isfinite(value)) return false;
    for (; p < e; ++p)
        if (!space(*p)) return false;
    if (s < 0 || s >= kSamples) return false;
    index = static_cast<int>(s);
    return true;
}

Outcome parse(Lines& lines, Sink& sink, Limits limits) {
    Outcome o;
    const char* p = nullptr;
    size_t n = 0;
    auto ended = [&](Fault f) {
        o.fault = lines.fault() != Fault::None ? lines.fault() : f;
        o.atEnd = lines.fault() == Fault::None;
        return o;
    };
    auto fail = [&](Fault f, size_t line) {
        o.fault = f;
        o.line = line;
        return o;
    };
    const Fault header[3] = {Fault::Line1, Fault::Line2, Fault::Line3};
    for (int h = 0; h < 3; ++h) {
        if (!lines.next(p, n)) return ended(header[h]);
        if (p[0] != '#') return fail(header[h], 0);
        if (h == 0) {
            sink.line1(p, n);
            const char g = n > 5 ? p[5] : '\0';
            if (g != 'a' && g != 'c') return fail(Fault::Group, 0);
        }
    }
    if (!lines.next(p, n)) {
        if (lines.fault() != Fault::None) return ended(Fault::None);
        p = "";
        n = 0;
    }
    o.line4Read = true;
    o.line4Hash = n > 0 && p[0] == '#';
    sink.line4(p, n);
    if (!lines.next(p, n)) return ended(Fault::NoBlock);
    if (p[0] != '#') return fail(Fault::NoBlock, 0);

    int block = 0, count = 0;
    size_t blockLine = lines.number();
    uint64_t seen[kSamples / 64] = {};
    sink.name(0, p, n);
    double* row = sink.row(0);
    o.blocks = 1;
    while (lines.next(p, n)) {
        if (p[0] == '#') {
            if (count < kSamples) return fail(Fault::ShortBlock, blockLine);
            if (block + 1 == limits.blocks) {
                if (limits.stopAtExtra) return o;
                return fail(Fault::TooManyBlocks, lines.number());
            }
            ++block;
            count = 0;
            std::memset(seen, 0, sizeof seen);
            blockLine = lines.number();
            sink.name(block, p, n);
            row = sink.row(block);
            o.blocks = block + 1;
            continue;
        }
        if (blank(p, n)) continue;
        int s = 0;
        double v = 0.0;
        if (!parseSample(p, n, s, v)) return fail(Fault::BadSample, lines.number());
        const uint64_t bit = uint64_t{1} << (s % 64);
        if (seen[s / 64] & bit) return fail(Fault::BadSample, lines.number());
        seen[s / 64] |= bit;
        ++count;
        row[s] = v;
    }
    if (lines.fault() != Fault::None) return ended(Fault::None);
    if (count < kSamples) return fail(Fault::ShortBlock, blockLine);
    return o;
}

// Parses, and when the text of a gzip stream was at fault, reads the stream
// to its end: damage in the stream is the cause to report, not the text it
// gave.
Outcome run(Input& in, Sink& sink, Limits limits) {
    Outcome o;
    if (!in.start()) {
        o.fault = in.fault();
        return o;
    }
    Lines lines(in);
    o = parse(lines, sink, limits);
    if (in.gzip() && o.fault != Fault::None && in.fault() == Fault::None) {
        std::vector<char> sinkhole(kChunk);
        long got;
        while ((got = in.read(sinkhole.data(), sinkhole.size())) > 0) {
        }
        if (got < 0) {
            Outcome d;
            d.fault = in.fault();
            return d;
        }
    }
    return o;
}

Outcome noMemory() {
    Outcome o;
    o.fault = Fault::NoMemory;
    return o;
}

// Writes a zemba_trial.
class TrialSink final : public Sink {
public:
    explicit TrialSink(zemba_trial& t) : t_(t) {}

    void line1(const char* p, size_t n) override {
        t_.group = n > 5 ? p[5] : '\0';
        size_t i = 1;
        while (i < n && (p[i] == ' ' || p[i] == '\t')) ++i;
        size_t k = 0;
        for (; i < n && k + 1 < sizeof t_.subject && !space(p[i]) && p[i] != '.' && p[i] != '\0'; ++i)
            t_.subject[k++] = p[i];
    }

    void line4(const char* p, size_t n) override {
        t_.condition = conditionCode(p, n);
        t_.trial = trialNumber(p, n);
        size_t cut = 0;
        while (cut < n && p[cut] != ',') ++cut;
        for (size_t i = 0; i + 3 <= cut; ++i)
            if ((p[i] | 0x20) == 'e' && (p[i + 1] | 0x20) == 'r' && (p[i + 2] | 0x20) == 'r') t_.error = 1;
    }

    void name(int block, const char* p, size_t n) override {
        char* to = t_.names[block];
        size_t i = 1, k = 0;
        while (i < n && (p[i] == ' ' || p[i] == '\t')) ++i;
        for (; i < n && k + 1 < ZEMBA_TRIAL_NAME_CAP && !space(p[i]) && p[i] != '\0'; ++i) to[k++] = p[i];
    }

    double* row(int block) override { return t_.samples[block]; }

private:
    // The digits after the first "trial" followed by white space; -1 if none.
    static int32_t trialNumber(const char* p, size_t n) {
        for (size_t i = 0; i + 5 <= n; ++i) {
            if (std::memcmp(p + i, "trial", 5) != 0) continue;
            size_t j = i + 5;
            if (j == n || !space(p[j])) continue;
            while (j < n && space(p[j])) ++j;
            int32_t v = 0;
            const auto r = std::from_chars(p + j, p + n, v);
            if (r.ec == std::errc()) return v;
            return -1;
        }
        return -1;
    }

    zemba_trial& t_;
};

int readInto(zemba_trial* out, size_t* errorLine, Outcome (*read)(Sink&, const void*), const void* arg) {
    if (errorLine) *errorLine = 0;
    std::unique_ptr<zemba_trial> t(new (std::nothrow) zemba_trial());
    if (!t) return ZEMBA_E_NO_MEMORY;
    for (auto& r : t->samples)
        for (double& x : r) x = std::numeric_limits<double>::quiet_NaN();
    TrialSink sink(*t);
    const Outcome o = read(sink, arg);
    if (errorLine) *errorLine = lineOf(o);
    const int status = statusOf(o);
    if (status != ZEMBA_OK) return status;
    t->channels = o.blocks;
    std::memcpy(out, t.get(), sizeof *out);
    return ZEMBA_OK;
}

}  // namespace

int conditionCode(const char* p, size_t n) {
    size_t i = 1;
    while (i < n && p[i] == ' ') ++i;
    if (i >= n || p[i] != 'S') return 0;
    if (i + 1 < n && p[i + 1] == '1') return 1;
    i += 2;
    while (i < n && p[i] == ' ') ++i;
    const char c = i < n ? p[i] : '\0';
    if (c == 'm' || c == 'M') return 2;
    if (c == 'n' || c == 'N') return 3;
    return 4;
}

Outcome readFile(const char* path, Sink& sink, Limits limits) {
    Outcome o;
    struct stat st;
    if (!path || stat(path, &st) != 0) {
        o.fault = Fault::Open;
        return o;
    }
    if (!S_ISREG(st.st_mode)) {
        o.fault = Fault::NotRegular;
        return o;
    }
    int flags = O_RDONLY;
#ifdef O_NONBLOCK
    flags |= O_NONBLOCK;  // a FIFO put in place after the stat must not block the open
#endif
#ifdef O_CLOEXEC
    flags |= O_CLOEXEC;
#endif
#ifdef O_BINARY
    flags |= O_BINARY;
#endif
    const int fd = open(path, flags);
    if (fd < 0) {
        o.fault = Fault::Open;
        return o;
    }
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        o.fault = Fault::NotRegular;
        return o;
    }
    try {
        Input in(fd);
        return run(in, sink, limits);
    } catch (const std::bad_alloc&) {
        return noMemory();
    }
}

Outcome readBytes(const char* bytes, size_t length, Sink& sink, Limits limits) {
    try {
        Input in(bytes ? bytes : "", bytes ? length : 0);
        return run(in, sink, limits);
    } catch (const std::bad_alloc&) {
        return noMemory();
    }
}

int statusOf(const Outcome& o) {
    switch (o.fault) {
        case Fault::None: return ZEMBA_OK;
        case Fault::Open: return ZEMBA_E_OPEN;
        case Fault::NotRegular: return ZEMBA_E_NOT_REGULAR;
        case Fault::NoMemory: return ZEMBA_E_NO_MEMORY;
        case Fault::Unsupported: return ZEMBA_E_UNSUPPORTED;
        case Fault::GzipTruncated:
        case Fault::ShortBlock: return ZEMBA_E_INCOMPLETE;
        case Fault::Line1:
        case Fault::Line2:
        case Fault::Line3:
        case Fault::NoBlock: return o.atEnd ? ZEMBA_E_INCOMPLETE : ZEMBA_E_FORMAT;
        default: return ZEMBA_E_FORMAT;
    }
}

size_t lineOf(const Outcome& o) {
    return (o.fault == Fault::BadSample || o.fault == Fault::ShortBlock) ? o.line : 0;
}

}  // namespace zemba::core::eeg

namespace eeg = zemba::core::eeg;

extern "C" int zemba_read_trial(const char* path, zemba_trial* out, size_t* error_line) {
    if (error_line) *error_line = 0;
    if (!path || !out) return ZEMBA_E_NULL;
    return eeg::readInto(
        out, error_line,
        [](eeg::Sink& s, const void* a) {
            return eeg::readFile(static_cast<const char*>(a), s, {ZEMBA_TRIAL_CHANNEL_CAP, false});
        },
        path);
}

extern "C" int zemba_parse_trial(const char* bytes, size_t length, zemba_trial* out, size_t* error_line) {
    if (error_line) *error_line = 0;
    if (!out || (!bytes && length)) return ZEMBA_E_NULL;
    struct Span {
        const char* p;
        size_t n;
    } span{bytes, length};
    return eeg::readInto(
        out, error_line,
        [](eeg::Sink& s, const void* a) {
            const Span* sp = static_cast<const Span*>(a);
            return eeg::readBytes(sp->p, sp->n, s, {ZEMBA_TRIAL_CHANNEL_CAP, false});
        },
        &span);
}
