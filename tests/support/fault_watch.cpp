// Every test program carries this watch: a fault that a test armed and that
// never hit its call fails that test, so a renamed call or a path that no
// longer reaches it cannot leave a test passing without testing anything.
#include <gtest/gtest.h>

#include <string>

#include "platform/trace/trace.h"

namespace {

class FaultWatch : public ::testing::EmptyTestEventListener {
    void OnTestStart(const ::testing::TestInfo&) override { platform::TakeUnfiredFaults(); }
    // Runs while the test is still the current one, so the failure is its own.
    void OnTestEnd(const ::testing::TestInfo&) override {
        for (const std::string& call : platform::TakeUnfiredFaults())
            ADD_FAILURE() << "a fault armed for \"" << call << "\" never fired";
    }
};

const bool installed = [] {
    ::testing::UnitTest::GetInstance()->listeners().Append(new FaultWatch);
    return true;
}();

}  // namespace
