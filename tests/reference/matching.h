// Naive reference for the peak-aligned matching of two degree sequences:
// anchors from the list of running-maximum records of b, peaks collected and
// walked backwards, every overlap summed by pairing each i of a with i - d of b.
// Shared by every test that needs it.
#ifndef ZEMBA_REFERENCE_MATCHING_H
#define ZEMBA_REFERENCE_MATCHING_H

#include <cstddef>
#include <cstdlib>
#include <vector>

namespace zemba_ref {

struct MatchStep {
    size_t peak, anchor;
    long long shift;
    bool onTop;
    long long diff, sum;
    double score;
};

struct Match {
    size_t top = 0, previous = 0;
    std::vector<MatchStep> steps;
    double best = 0.0;
    long long bestShift = 0;
    double similarity = 0.0;  // 0 without steps
};

inline double matchScore(long long diff, long long sum) {
    return 1.0 - static_cast<double>(2 * diff) / static_cast<double>(sum);
}

inline Match match(const std::vector<long long>& a, const std::vector<long long>& b) {
    const long long n = static_cast<long long>(a.size());
    Match m;
    std::vector<size_t> records{0}, peaks;
    for (long long i = 1; i + 1 < n; ++i) {
        if (b[i] > b[records.back()]) records.push_back(i);
        if (a[i] > a[i - 1] && a[i] > a[i + 1]) peaks.push_back(i);
    }
    m.top = records.back();
    m.previous = records.size() > 1 ? records[records.size() - 2] : 0;
    const long long w = n / 8;
    long long worst = 0, lastSum = 0;
    bool stop = false;
    for (auto it = peaks.rbegin(); it != peaks.rend() && !stop; ++it) {
        for (int k = 0; k < 2 && !stop; ++k) {
            if (k == 1 && m.previous == m.top) break;
            const size_t anchor = k == 0 ? m.top : m.previous;
            const long long d = static_cast<long long>(*it) - static_cast<long long>(anchor);
            if (std::llabs(d) > w) break;
            MatchStep s{*it, anchor, d, k == 0, 0, 0, 0.0};
            for (long long i = 0; i < n; ++i) {
                const long long j = i - d;
                if (j < 0 || j >= n) continue;
                s.diff += std::llabs(a[i] - b[j]);
                s.sum += a[i] + b[j];
            }
            s.score = matchScore(s.diff, s.sum);
            if (s.score > m.best) m.best = s.score, m.bestShift = d;
            worst = s.diff > worst ? s.diff : worst;
            lastSum = s.sum;
            m.steps.push_back(s);
            stop = s.diff == 0;
        }
    }
    if (!m.steps.empty()) m.similarity = matchScore(worst, lastSum);
    return m;
}

}  // namespace zemba_ref

#endif
