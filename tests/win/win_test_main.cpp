#include <gtest/gtest.h>

#include <cstdio>

#include "tests/win/os_fake.h"

namespace {

bool g_lostBytes = false;

// Whatever a test checks, the program must never write a byte over one the keyboard controller
// of the fake notebook had not taken yet.
class LostBytesWatch : public testing::EmptyTestEventListener {
    int before_ = 0;
    void OnTestStart(const testing::TestInfo&) override { before_ = g_fakeOs.profile.machine.kbc.lost; }
    void OnTestEnd(const testing::TestInfo& test) override {
        if (g_fakeOs.profile.machine.kbc.lost == before_) return;
        printf("%s.%s: the keyboard controller lost bytes written over ones it had not taken\n",
               test.test_suite_name(), test.name());
        g_lostBytes = true;
    }
};

}  // namespace

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    testing::UnitTest::GetInstance()->listeners().Append(new LostBytesWatch);
    int result = RUN_ALL_TESTS();
    return result != 0 || g_lostBytes ? 1 : 0;
}
