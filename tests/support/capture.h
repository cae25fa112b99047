// Helpers for asserting what a call prints: the library's diagnostic lines are
// part of its interface.
#ifndef ZEMBA_TESTS_CAPTURE_H
#define ZEMBA_TESTS_CAPTURE_H

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <utility>

namespace zemba_test {

// Runs f with standard output redirected at the file-descriptor level and
// returns what it printed.
template <class F>
std::string captureStdout(F&& f) {
    std::fflush(stdout);
    testing::internal::CaptureStdout();
    std::forward<F>(f)();
    std::fflush(stdout);
    return testing::internal::GetCapturedStdout();
}

template <class F>
std::string captureStderr(F&& f) {
    std::fflush(stderr);
    testing::internal::CaptureStderr();
    std::forward<F>(f)();
    std::fflush(stderr);
    return testing::internal::GetCapturedStderr();
}

}  // namespace zemba_test

#endif
