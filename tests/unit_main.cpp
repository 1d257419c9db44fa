// The unit tests' entry point. "--program-bits=32" runs the core as the 32-bit program on the
// simulated session (by default it is the 64-bit one), so that one suite proves both builds.
#include "platform/sim/SimSession.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    for (int i = 1; i < argc; ++i) {
        const std::string bits = argv[i];
        if (bits != "--program-bits=32" && bits != "--program-bits=64") {
            std::fprintf(stderr, "unknown argument %s\n", argv[i]);
            return 2;
        }
        pindrel::sim::SetDefaultProgramBits(bits == "--program-bits=32" ? 32 : 64);
    }
    return RUN_ALL_TESTS();
}
