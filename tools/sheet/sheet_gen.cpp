// Writes the game's sprite sheet: a 640x480 8-bit Windows bitmap with every
// sprite at its place in the sheet map. Usage: sheet_gen <output.bmp>
#include <cstdio>

#include "sheet_art.h"
#include "sheet_map.h"

namespace sheet {

Image8 BuildSheet() {
    Image8 image(kSheetWidth, kSheetHeight, kClear);
    DrawLargeFont(image);
    DrawSmallFont(image);
    DrawCellTiles(image);
    DrawPanelFrame(image);
    DrawEntryWaves(image);
    DrawMeterSegments(image);
    DrawBursts(image);
    DrawDebris(image);
    DrawStars(image);
    DrawOrbitBodies(image);
    DrawFigures(image);
    return image;
}

}  // namespace sheet

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output.bmp>\n", argc > 0 ? argv[0] : "sheet_gen");
        return 2;
    }
    const sheet::Image8 image = sheet::BuildSheet();
    if (!sheet::WriteFile(argv[1], sheet::EncodeBmp8(image, sheet::SheetPalette()))) {
        std::fprintf(stderr, "sheet_gen: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
