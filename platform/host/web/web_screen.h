// The page's picture: its buffers hold at most the game's 640x480, so a
// display mode larger than that is one the page cannot show.
#pragma once

namespace webhost {

constexpr int kPictureWidth = 640;
constexpr int kPictureHeight = 480;

constexpr bool ShowsMode(int width, int height) {
    return width > 0 && height > 0 && width <= kPictureWidth && height <= kPictureHeight;
}

}  // namespace webhost
