// The conformance tests (*_conformance_test.cpp) use the Windows API alone so
// that they also run, cross-compiled, over Wine's DLLs. Here, over the
// stand-in, they still start and end on a fresh platform, as each test of a
// Windows test program starts on what the ones before it cleaned up.
#include <gtest/gtest.h>

#include <string_view>

#include "platform/host/headless/headless.h"

namespace {

bool IsConformanceTest(const ::testing::TestInfo& test) {
    std::string_view file = test.file() ? test.file() : "";
    return file.ends_with("_conformance_test.cpp");
}

class ConformanceReset : public ::testing::EmptyTestEventListener {
    void OnTestStart(const ::testing::TestInfo& test) override {
        if (IsConformanceTest(test)) headless::Reset();
    }
    void OnTestEnd(const ::testing::TestInfo& test) override {
        if (IsConformanceTest(test)) headless::Reset();
    }
};

const bool installed = [] {
    ::testing::UnitTest::GetInstance()->listeners().Append(new ConformanceReset);
    return true;
}();

}  // namespace
