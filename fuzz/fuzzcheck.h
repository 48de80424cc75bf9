#pragma once
// check(condition): a failed condition names its line on stderr and stops the run, so libFuzzer
// keeps the input that broke it.
#include <cstdio>
#include <cstdlib>

namespace fuzzcheck {

[[noreturn]] inline void fail(const char* file, int line)
{
    std::fprintf(stderr, "check failed at %s:%d\n", file, line);
    std::abort();
}

}  // namespace fuzzcheck

#define check(condition) ((condition) ? void() : fuzzcheck::fail(__FILE__, __LINE__))
