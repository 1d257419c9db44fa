// The end-to-end suite: one Wine session for the whole run (see WineSession.h).
#include "WineSession.h"

#include <gtest/gtest.h>

namespace {

class WineEnvironment : public ::testing::Environment {
  public:
    void SetUp() override {
        auto& session = e2e::WineSession::Instance();
        if (e2e::WineOptedOut()) {
            std::fprintf(stderr, "pindrel_e2e: Wine left out at the user's request: every test "
                                 "skips\n");
            return;
        }
        session.Start();
        if (!session.usable())
            std::fprintf(stderr, "pindrel_e2e: FAILING: %s\n", session.unusableReason().c_str());
    }
    void TearDown() override { e2e::WineSession::Instance().Stop(); }
};

} // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new WineEnvironment);
    return RUN_ALL_TESTS();
}
