// The libFuzzer program of one target, named at build time. A finding
// (a failed check or any exception a reader must not throw) aborts, so that
// libFuzzer keeps the input.

#include <cstdio>
#include <cstdlib>
#include <exception>

#include "fuzz/targets.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const fuzz::Target& target = fuzz::targetNamed(CORVELIN_FUZZ_TARGET);
    try {
        target.run(fuzz::Input(data, size));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "fuzz target %s: %s\n", CORVELIN_FUZZ_TARGET, e.what());
        std::abort();
    }
    return 0;
}
