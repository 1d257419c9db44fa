// The unit tests' entry point. "--program-bits=32" runs the core as the 32-bit program on the
// simulated session (by default it is the 64-bit one), so that one suite proves both builds.
#include "platform/sim/SimSession.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--program-bits=32") == 0) {
            pindrel::sim::SetDefaultProgramBits(32);
        } else if (std::strcmp(argv[i], "--program-bits=64") == 0) {
            pindrel::sim::SetDefaultProgramBits(64);
        } else {
            std::fprintf(stderr, "unknown argument %s\n", argv[i]);
            return 2;
        }
    }
    return RUN_ALL_TESTS();
}
