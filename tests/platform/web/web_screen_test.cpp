// The browser host's screen: which modes its picture buffers can show.
#include "platform/host/web/web_screen.h"

#include <gtest/gtest.h>

namespace {

// The page's buffers hold 640x480: a larger mode is one the page lacks.
TEST(WebScreen, ModesLargerThanThePicturesBuffersAreRefused) {
    EXPECT_TRUE(webhost::ShowsMode(640, 480));
    EXPECT_TRUE(webhost::ShowsMode(320, 240));
    EXPECT_FALSE(webhost::ShowsMode(641, 480));
    EXPECT_FALSE(webhost::ShowsMode(640, 481));
    EXPECT_FALSE(webhost::ShowsMode(0, 480));
}

}  // namespace
