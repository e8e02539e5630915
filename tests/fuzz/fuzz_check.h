// A broken property ends the run the way a sanitizer does, so that libFuzzer
// saves the input that broke it and the test fails.
#pragma once

#include <cstdio>
#include <cstdlib>

namespace purrbox::fuzzing {

inline void require(bool holds, const char* property)
{
    if (holds) return;
    std::fprintf(stderr, "property broken: %s\n", property);
    std::abort();
}

}  // namespace purrbox::fuzzing
