// Order keys of a whole series at vector speed. Writes only the keys array.
#include "core/frame/keys.h"

#include "core/frame/dispatch.h"

namespace zemba::core {
namespace {

// The scalar key per lane: -0.0 read as +0.0, then negatives flipped whole and
// the rest given the sign bit (an integer compare of the bits, not of the
// doubles, picks the negatives).
struct OrderKeys {
    template <class V>
    static ZEMBA_KERNEL void run(const double* x, size_t n, uint64_t* keys) {
        typedef typename V::vd vd;
        typedef typename V::vi vi;
        const vi sign = vi{} + INT64_MIN;
        size_t i = 0;
        for (; i + V::W <= n; i += V::W) {
            vd v;
            V::load(v, x + i);
            v = v + vd{};
            vi b;
            std::memcpy(&b, &v, sizeof b);
            const vi flip = (b < vi{}) | sign;
            b = b ^ flip;
            V::store(reinterpret_cast<int64_t*>(keys + i), b);
        }
        for (; i < n; ++i) keys[i] = orderKey(x[i]);
    }
};

}  // namespace

void orderKeys(const double* x, size_t n, uint64_t* keys) { dispatch<OrderKeys>(x, n, keys); }

}  // namespace zemba::core
