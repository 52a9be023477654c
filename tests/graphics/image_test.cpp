// Bitmaps onto surfaces, colour matching and the bitmap file readers,
// including malformed and truncated files.
#include "tests/graphics/bitmaps.h"
#include "tests/graphics/display_fixture.h"

namespace {

using testbmp::BitmapDesc;

// A 4x2 picture in the display's own colours: blue 85 (display 11), the
// ramp's (36,0,0) (display 42), static white (255) and the key colour (0,1,0).
BitmapDesc SmallPicture() {
    BitmapDesc s;
    s.width = 4;
    s.height = 2;
    s.colours = {RGBQUAD{85, 0, 0, 0}, RGBQUAD{0, 0, 36, 0}, RGBQUAD{255, 255, 255, 0}, RGBQUAD{0, 1, 0, 0}};
    s.clrUsed = 4;
    s.indices = {0, 1, 2, 3, 3, 2, 1, 0};
    return s;
}

class ImageTest : public DisplayTest {
protected:
    void SetUp() override {
        DisplayTest::SetUp();
        Create(false);
    }
    LPDIRECTDRAWSURFACE Work(int w, int h) {
        LPDIRECTDRAWSURFACE s = nullptr;
        EXPECT_EQ(CreateWorkSurface(&s, w, h), 1);
        return s;
    }
};

TEST_F(ImageTest, ABitmapFileLandsAsDisplayPaletteIndices) {
    std::string path = testbmp::WriteFile("small.bmp", testbmp::FileBytes(SmallPicture()));
    LPDIRECTDRAWSURFACE s = LoadBitmapSurface(display.directDraw, path.c_str(), 0, 0);
    ASSERT_NE(s, nullptr);
    DDSURFACEDESC d{};
    d.dwSize = sizeof(d);
    s->GetSurfaceDesc(&d);
    EXPECT_EQ(d.dwWidth, 4u);
    EXPECT_EQ(d.dwHeight, 2u);
    EXPECT_EQ(Pixel(s, 0, 0), 11);
    EXPECT_EQ(Pixel(s, 1, 0), 42);
    EXPECT_EQ(Pixel(s, 2, 0), 255);
    EXPECT_EQ(Pixel(s, 3, 0), 0);  // (0,1,0) is nearest to black
    EXPECT_EQ(Pixel(s, 0, 1), 0);
    EXPECT_EQ(Pixel(s, 3, 1), 11);
    // The first try was the program's resources; the file came second.
    EXPECT_EQ(Count("LoadImageA"), 2);
}

TEST_F(ImageTest, TheSpriteSheetResourceLoadsAtItsOwnSize) {
    BitmapDesc s;
    s.width = 640;
    s.height = 480;
    s.colours = {RGBQUAD{0, 1, 0, 0}, RGBQUAD{0, 0, 255, 0}, RGBQUAD{255, 0, 0, 0}};
    s.clrUsed = 3;
    s.indices.assign(640 * 480, 0);
    for (int x = 0; x < 640; ++x) s.indices[static_cast<std::size_t>(x)] = 1;              // top row red
    for (int y = 0; y < 480; ++y) s.indices[static_cast<std::size_t>(y * 640 + 639)] = 2;  // right column blue
    testbmp::ResourceScope resources;
    resources.AddBitmap(117, testbmp::PackedDib(s));

    LPDIRECTDRAWSURFACE sheet = LoadBitmapSurface(display.directDraw, MAKEINTRESOURCEA(117), 0, 0);
    ASSERT_NE(sheet, nullptr);
    EXPECT_EQ(Pixel(sheet, 0, 0), 234);     // sheet index 1, red: display 234
    EXPECT_EQ(Pixel(sheet, 639, 479), 13);  // sheet index 2, blue: display 13 (0,0,255)
    EXPECT_EQ(Pixel(sheet, 5, 5), 0);
    EXPECT_EQ(SetSourceColorKey(sheet, 0x00000100), DD_OK);
    DDCOLORKEY key{};
    ASSERT_EQ(sheet->GetColorKey(DDCKEY_SRCBLT, &key), DD_OK);
    EXPECT_EQ(key.dwColorSpaceLowValue, 0u);
    EXPECT_EQ(key.dwColorSpaceHighValue, 0u);
    // No file was looked for.
    EXPECT_EQ(Count("CreateFileA"), 0);
    // Reloading draws it again over whatever was there.
    ClearSurface(sheet, 99);
    EXPECT_EQ(ReloadBitmap(sheet, MAKEINTRESOURCEA(117)), DD_OK);
    EXPECT_EQ(Pixel(sheet, 0, 0), 234);
}

TEST_F(ImageTest, AMissingBitmapGivesNothing) {
    EXPECT_EQ(LoadBitmapSurface(display.directDraw, "no-such-file.bmp", 0, 0), nullptr);
    EXPECT_EQ(LoadBitmapSurface(display.directDraw, MAKEINTRESOURCEA(999), 0, 0), nullptr);
    LPDIRECTDRAWSURFACE s = Work(4, 4);
    EXPECT_EQ(ReloadBitmap(s, "no-such-file.bmp"), E_FAIL);
    EXPECT_EQ(CopyBitmapToSurface(nullptr, nullptr, 0, 0, 0, 0), E_FAIL);
    EXPECT_EQ(CopyBitmapToSurface(s, nullptr, 0, 0, 0, 0), E_FAIL);
}

TEST_F(ImageTest, MalformedAndTruncatedFilesAreRefused) {
    std::vector<std::uint8_t> good = testbmp::FileBytes(SmallPicture());
    std::vector<std::pair<std::string, std::vector<std::uint8_t>>> bad;
    bad.push_back({"empty.bmp", {}});
    bad.push_back({"header-only.bmp", std::vector<std::uint8_t>(good.begin(), good.begin() + 20)});
    bad.push_back({"short-rows.bmp", std::vector<std::uint8_t>(good.begin(), good.end() - 3)});
    auto wrongMagic = good;
    wrongMagic[0] = 'X';
    bad.push_back({"magic.bmp", wrongMagic});
    auto hugeWidth = good;
    hugeWidth[18] = 0xFF, hugeWidth[19] = 0xFF, hugeWidth[20] = 0xFF, hugeWidth[21] = 0x7F;
    bad.push_back({"width.bmp", hugeWidth});
    auto hugeTable = good;
    hugeTable[46] = 0x00, hugeTable[47] = 0x00, hugeTable[48] = 0x01;  // 65536 colours
    bad.push_back({"table.bmp", hugeTable});
    auto rle = good;
    rle[30] = 1;  // BI_RLE8
    bad.push_back({"rle.bmp", rle});
    auto headerSize = good;
    headerSize[14] = 0xFF, headerSize[15] = 0xFF;
    bad.push_back({"header.bmp", headerSize});
    for (const auto& [name, bytes] : bad) {
        std::string path = testbmp::WriteFile(name, bytes);
        EXPECT_EQ(LoadBitmapSurface(display.directDraw, path.c_str(), 0, 0), nullptr) << name;
    }
}

TEST_F(ImageTest, ARequestedSizeStretchesThePicture) {
    std::string path = testbmp::WriteFile("stretch.bmp", testbmp::FileBytes(SmallPicture()));
    LPDIRECTDRAWSURFACE s = LoadBitmapSurface(display.directDraw, path.c_str(), 8, 4);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(Pixel(s, 0, 0), 11);
    EXPECT_EQ(Pixel(s, 1, 1), 11);
    EXPECT_EQ(Pixel(s, 2, 0), 42);
    EXPECT_EQ(Pixel(s, 7, 3), 11);
}

TEST_F(ImageTest, CopyBitmapToSurfaceStretchesOverTheWholeSurface) {
    std::string path = testbmp::WriteFile("whole.bmp", testbmp::FileBytes(SmallPicture()));
    HBITMAP bitmap =
        (HBITMAP)LoadImageA(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION);
    ASSERT_NE(bitmap, nullptr);
    LPDIRECTDRAWSURFACE s = Work(8, 8);
    EXPECT_EQ(CopyBitmapToSurface(s, bitmap, 1, 0, 2, 1), DD_OK);  // (1,0)-(3,1) over 8x8
    EXPECT_EQ(Pixel(s, 0, 0), 42);
    EXPECT_EQ(Pixel(s, 7, 7), 255);
    // A surface that gives no device context keeps its pixels.
    ClearSurface(s, 5);
    Fail("IDirectDrawSurface::GetDC", DDERR_CANTCREATEDC);
    EXPECT_EQ(CopyBitmapToSurface(s, bitmap, 0, 0, 0, 0), DDERR_CANTCREATEDC);
    EXPECT_EQ(Pixel(s, 0, 0), 5);
    EXPECT_TRUE(DeleteObject(bitmap));
}

TEST_F(ImageTest, MatchColorWritesAndPutsBackPixelZero) {
    LPDIRECTDRAWSURFACE s = Work(8, 8);
    SetPixelIndex(s, 0, 0, 42);
    EXPECT_EQ(MatchColor(s, CLR_INVALID), 42u);
    EXPECT_EQ(Count("IDirectDrawSurface::GetDC"), 0);
    EXPECT_EQ(MatchColor(s, RGB(0, 0, 85)), 11u);
    EXPECT_EQ(Pixel(s, 0, 0), 42);
    EXPECT_EQ(MatchColor(s, RGB(255, 72, 255)), 245u);
    // Still drawing: the lock is asked again.
    Fail("IDirectDrawSurface::Lock", DDERR_WASSTILLDRAWING);
    EXPECT_EQ(MatchColor(s, RGB(0, 0, 85)), 11u);
    // No lock, no answer; no device context, the current pixel.
    Fail("IDirectDrawSurface::Lock", DDERR_SURFACEBUSY);
    EXPECT_EQ(MatchColor(s, RGB(0, 0, 85)), CLR_INVALID);
    Fail("IDirectDrawSurface::GetDC", DDERR_CANTCREATEDC);
    EXPECT_EQ(MatchColor(s, RGB(0, 0, 85)), 42u);
    EXPECT_EQ(MatchColor(nullptr, 0), CLR_INVALID);
}

TEST_F(ImageTest, SetSourceColorKeyUsesTheMatchedValue) {
    LPDIRECTDRAWSURFACE s = Work(8, 8);
    EXPECT_EQ(SetSourceColorKey(s, RGB(36, 0, 0)), DD_OK);
    DDCOLORKEY key{};
    s->GetColorKey(DDCKEY_SRCBLT, &key);
    EXPECT_EQ(key.dwColorSpaceLowValue, 42u);
    EXPECT_EQ(key.dwColorSpaceHighValue, 42u);
    Fail("IDirectDrawSurface::SetColorKey", DDERR_NOCOLORKEYHW);
    EXPECT_EQ(SetSourceColorKey(s, 0), DDERR_NOCOLORKEYHW);
}

// ---------------------------------------------------------------------------
// The 8-bit file written straight into a surface.

BitmapDesc StoredValues(int width, int height) {
    BitmapDesc s;
    s.width = width;
    s.height = height;
    s.colours.assign(256, RGBQUAD{0, 0, 0, 0});
    s.colours[1] = RGBQUAD{30, 20, 10, 0};
    s.colours[2] = RGBQUAD{60, 50, 40, 0};
    s.indices.assign(static_cast<std::size_t>(width * (height < 0 ? -height : height)), 0);
    return s;
}

TEST_F(ImageTest, LoadBmpFileMapsTheStoredValues) {
    BitmapDesc s = StoredValues(4, 2);
    s.indices = {1, 0, 255, 254, 2, 2, 2, 2};  // top row first
    std::string path = testbmp::WriteFile("values.bmp", testbmp::FileBytes(s));
    LPDIRECTDRAWSURFACE target = Work(16, 16);
    ClearSurface(target, 99);
    PALETTEENTRY before = display.paletteEntries[11];
    EXPECT_EQ(LoadBmpFileToSurface(path.c_str(), target, 11, 0), 1);
    EXPECT_EQ(Pixel(target, 0, 0), 11);
    EXPECT_EQ(Pixel(target, 1, 0), 10);
    EXPECT_EQ(Pixel(target, 2, 0), 245);
    EXPECT_EQ(Pixel(target, 3, 0), 0);
    EXPECT_EQ(Pixel(target, 0, 1), 12);
    EXPECT_EQ(Pixel(target, 4, 0), 99);
    EXPECT_EQ(Pixel(target, 0, 2), 99);
    EXPECT_EQ(display.paletteEntries[11].peRed, before.peRed);  // mode 0: the table stays

    EXPECT_EQ(LoadBmpFileToSurface(path.c_str(), target, 11, 1), 1);
    EXPECT_EQ(display.paletteEntries[11].peRed, 10);
    EXPECT_EQ(display.paletteEntries[12].peBlue, 60);
    PALETTEENTRY pushed{};
    display.palette->GetEntries(0, 12, 1, &pushed);
    EXPECT_EQ(pushed.peRed, 40);  // mode 1 pushes the table to the display palette
}

TEST_F(ImageTest, PaletteModeTwoUpdatesTheTableWithoutPushingIt) {
    BitmapDesc s = StoredValues(4, 1);
    s.indices = {1, 1, 1, 1};
    std::string path = testbmp::WriteFile("mode2.bmp", testbmp::FileBytes(s));
    EXPECT_EQ(LoadBmpFileToSurface(path.c_str(), Work(8, 8), 21, 2), 1);
    EXPECT_EQ(display.paletteEntries[21].peRed, 10);
    PALETTEENTRY pushed{};
    display.palette->GetEntries(0, 21, 1, &pushed);
    EXPECT_NE(pushed.peRed, 10);
}

TEST_F(ImageTest, LoadBmpFileWritesWholeRoundedRows) {
    BitmapDesc s = StoredValues(3, 1);
    s.indices = {1, 1, 1};  // the row's fourth byte, padding, is stored as 0
    std::string path = testbmp::WriteFile("width3.bmp", testbmp::FileBytes(s));
    LPDIRECTDRAWSURFACE target = Work(8, 8);
    ClearSurface(target, 99);
    EXPECT_EQ(LoadBmpFileToSurface(path.c_str(), target, 11, 0), 1);
    EXPECT_EQ(Pixel(target, 2, 0), 11);
    EXPECT_EQ(Pixel(target, 3, 0), 10);
    EXPECT_EQ(Pixel(target, 4, 0), 99);
}

TEST_F(ImageTest, LoadBmpFileWithRowsTopDownWritesNothingButSucceeds) {
    BitmapDesc s = StoredValues(4, -2);
    std::string path = testbmp::WriteFile("topdown.bmp", testbmp::FileBytes(s));
    LPDIRECTDRAWSURFACE target = Work(8, 8);
    ClearSurface(target, 99);
    EXPECT_EQ(LoadBmpFileToSurface(path.c_str(), target, 11, 0), 1);
    EXPECT_EQ(Pixel(target, 0, 0), 99);
}

TEST_F(ImageTest, LoadBmpFileRefusesWhatDoesNotFitOrIsCut) {
    LPDIRECTDRAWSURFACE target = Work(8, 8);
    ClearSurface(target, 99);
    std::vector<std::uint8_t> wide = testbmp::FileBytes(StoredValues(12, 2));
    std::vector<std::uint8_t> tall = testbmp::FileBytes(StoredValues(4, 9));
    std::vector<std::uint8_t> cut = testbmp::FileBytes(StoredValues(8, 8));
    cut.resize(cut.size() - 1);
    std::vector<std::uint8_t> headerOnly(cut.begin(), cut.begin() + 1077);
    auto negativeWidth = testbmp::FileBytes(StoredValues(4, 2));
    negativeWidth[21] = 0xFF;
    auto hugeHeight = testbmp::FileBytes(StoredValues(4, 2));
    hugeHeight[25] = 0x7F;
    for (auto [name, bytes] :
         std::vector<std::pair<std::string, std::vector<std::uint8_t>>>{{"wide.bmp", wide},
                                                                        {"tall.bmp", tall},
                                                                        {"cut.bmp", cut},
                                                                        {"header1077.bmp", headerOnly},
                                                                        {"empty.bmp", {}},
                                                                        {"negative-width.bmp", negativeWidth},
                                                                        {"huge-height.bmp", hugeHeight}}) {
        std::string path = testbmp::WriteFile(name, bytes);
        EXPECT_EQ(LoadBmpFileToSurface(path.c_str(), target, 11, 1), 0) << name;
    }
    EXPECT_EQ(Pixel(target, 0, 0), 99);
    EXPECT_EQ(LoadBmpFileToSurface("no-such.bmp", target, 11, 0), 0);
    // A locked surface, and no surface at all (nothing is opened then).
    std::string ok = testbmp::WriteFile("ok.bmp", testbmp::FileBytes(StoredValues(4, 2)));
    Fail("IDirectDrawSurface::Lock", DDERR_SURFACEBUSY);
    EXPECT_EQ(LoadBmpFileToSurface(ok.c_str(), target, 11, 0), 0);
    platform::ClearTrace();
    EXPECT_EQ(LoadBmpFileToSurface(ok.c_str(), nullptr, 11, 0), 0);
    EXPECT_EQ(Count("CreateFileA"), 0);
    // Every path let go of the file: it opens again without sharing.
    EXPECT_EQ(LoadBmpFileToSurface(ok.c_str(), target, 11, 0), 1);
}

// ---------------------------------------------------------------------------
// Colour tables.

TEST_F(ImageTest, ReadBitmapPaletteOfASixteenColourResource) {
    BitmapDesc s;
    s.width = 8;
    s.height = 2;
    s.bitCount = 4;
    for (int i = 0; i < 16; ++i) s.colours.push_back(RGBQUAD{BYTE(i), BYTE(100 + i), BYTE(200 + i), 7});
    testbmp::ResourceScope resources;
    resources.AddBitmap(300, testbmp::PackedDib(s));
    PALETTEENTRY table[256];
    std::memset(table, 0x55, sizeof(table));
    EXPECT_EQ(ReadBitmapPalette(MAKEINTRESOURCEA(300), table), 1);
    EXPECT_EQ(table[0].peRed, 200);
    EXPECT_EQ(table[15].peRed, 215);
    EXPECT_EQ(table[15].peGreen, 115);
    EXPECT_EQ(table[15].peBlue, 15);
    EXPECT_EQ(table[15].peFlags, 0);
    for (int i = 16; i < 256; ++i) EXPECT_EQ(table[i].peRed | table[i].peGreen | table[i].peBlue, 0) << i;
}

TEST_F(ImageTest, AResourceShorterThanItsTableIsReadOnlyAsFarAsItGoes) {
    BitmapDesc s;
    s.width = 1;
    s.height = 1;
    s.bitCount = 8;  // announces 256 colours
    s.tableEntries = 2;
    s.colours = {RGBQUAD{1, 2, 3, 0}, RGBQUAD{4, 5, 6, 0}};
    std::vector<std::uint8_t> dib = testbmp::PackedDib(s);
    dib.resize(40 + 8);  // header and two entries only
    testbmp::ResourceScope resources;
    resources.AddBitmap(301, dib);
    PALETTEENTRY table[256];
    EXPECT_EQ(ReadBitmapPalette(MAKEINTRESOURCEA(301), table), 1);
    EXPECT_EQ(table[1].peRed, 6);
    EXPECT_EQ(table[2].peRed, 0);
}

TEST_F(ImageTest, ReadBitmapPaletteFromAFileTurnsTheAnnouncedEntriesRound) {
    BitmapDesc s = SmallPicture();
    s.colours[0].rgbReserved = 9;
    s.tableEntries = 256;
    std::string path = testbmp::WriteFile("table.bmp", testbmp::FileBytes(s));
    PALETTEENTRY table[256];
    EXPECT_EQ(ReadBitmapPalette(path.c_str(), table), 1);
    EXPECT_EQ(table[0].peBlue, 85);
    EXPECT_EQ(table[0].peFlags, 9);
    EXPECT_EQ(table[1].peRed, 36);

    s.headerSize = 44;  // not the 40 the file reader wants: nothing is turned
    path = testbmp::WriteFile("table44.bmp", testbmp::FileBytes(s));
    EXPECT_EQ(ReadBitmapPalette(path.c_str(), table), 1);
    EXPECT_NE(table[0].peBlue, 85);

    std::memset(table, 0x55, sizeof(table));
    EXPECT_EQ(ReadBitmapPalette("no-such.bmp", table), 1);
    EXPECT_EQ(table[100].peRed, 0);
    EXPECT_EQ(ReadBitmapPalette(nullptr, table), 1);
    std::vector<std::uint8_t> cut = testbmp::FileBytes(SmallPicture());
    cut.resize(30);
    path = testbmp::WriteFile("cut-table.bmp", cut);
    EXPECT_EQ(ReadBitmapPalette(path.c_str(), table), 1);
}

TEST_F(ImageTest, LoadBitmapPaletteStartsFromTheRamp) {
    LPDIRECTDRAWPALETTE palette = LoadBitmapPalette(display.directDraw, "no-such.bmp");
    ASSERT_NE(palette, nullptr);
    PALETTEENTRY e[256];
    palette->GetEntries(0, 0, 256, e);
    EXPECT_EQ(e[0].peRed, 0);
    EXPECT_EQ(e[1].peBlue, 85);
    EXPECT_EQ(e[255].peRed, 255);
    EXPECT_EQ(e[255].peGreen, 255);
    EXPECT_EQ(e[255].peBlue, 255);
    EXPECT_EQ(e[32].peRed, 36);
    palette->Release();

    std::string path = testbmp::WriteFile("pal.bmp", testbmp::FileBytes(SmallPicture()));
    palette = LoadBitmapPalette(display.directDraw, path.c_str());
    ASSERT_NE(palette, nullptr);
    palette->GetEntries(0, 0, 256, e);
    EXPECT_EQ(e[1].peRed, 36);
    EXPECT_EQ(e[3].peGreen, 1);
    palette->Release();

    Fail("IDirectDraw::CreatePalette", DDERR_OUTOFMEMORY);
    EXPECT_EQ(LoadBitmapPalette(display.directDraw, path.c_str()), nullptr);
}

}  // namespace
