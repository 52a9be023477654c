// GDI over the emulated 256-colour display: capabilities and the system
// palette, window device contexts on the screen, colour matching (nearest
// entry, lowest index on a tie), bitmaps from resources and bad files. What
// any GDI does with surfaces, memory contexts and bitmap files is in
// gdi_conformance_test.cpp.
#include <windows.h>
#include <ddraw.h>

#include <gtest/gtest.h>

#include "platform/host/headless/headless.h"
#include "platform/host/headless/headless_video.h"
#include "platform/trace/trace.h"
#include "tests/graphics/bitmaps.h"

namespace {

using testbmp::BitmapDesc;

class GdiTest : public ::testing::Test {
protected:
    void SetUp() override {
        headless::Reset();
        WNDCLASSEXA wc{};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = DefWindowProcA;
        wc.lpszClassName = "GdiTest";
        RegisterClassExA(&wc);
        window = CreateWindowExA(0, "GdiTest", "gdi", WS_POPUP | WS_VISIBLE, 40, 30, 100, 80, nullptr, nullptr, nullptr,
                                 nullptr);
        ASSERT_NE(window, nullptr);
    }
    void TearDown() override { headless::Reset(); }

    HBITMAP LoadFile(const std::string& name, const BitmapDesc& desc, UINT flags = LR_CREATEDIBSECTION) {
        std::string path = testbmp::WriteFile(name, testbmp::FileBytes(desc));
        return static_cast<HBITMAP>(LoadImageA(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | flags));
    }

    HWND window = nullptr;
};

TEST_F(GdiTest, ThePaletteDesktopAndItsCapabilities) {
    HDC dc = GetDC(window);
    ASSERT_NE(dc, nullptr);
    EXPECT_TRUE(GetDeviceCaps(dc, RASTERCAPS) & RC_PALETTE);
    EXPECT_EQ(GetDeviceCaps(dc, HORZRES), 1024);
    EXPECT_EQ(GetDeviceCaps(dc, VERTRES), 768);
    EXPECT_EQ(GetDeviceCaps(dc, BITSPIXEL), 8);
    EXPECT_EQ(GetDeviceCaps(dc, SIZEPALETTE), 256);
    EXPECT_EQ(GetDeviceCaps(nullptr, HORZRES), 0);

    PALETTEENTRY system[256];
    EXPECT_EQ(GetSystemPaletteEntries(dc, 0, 0, nullptr), 256u);
    ASSERT_EQ(GetSystemPaletteEntries(dc, 0, 256, system), 256u);
    const BYTE statics[20][3] = {{0, 0, 0},       {128, 0, 0},     {0, 128, 0},     {128, 128, 0},   {0, 0, 128},
                                 {128, 0, 128},   {0, 128, 128},   {192, 192, 192}, {192, 220, 192}, {166, 202, 240},
                                 {255, 251, 240}, {160, 160, 164}, {128, 128, 128}, {255, 0, 0},     {0, 255, 0},
                                 {255, 255, 0},   {0, 0, 255},     {255, 0, 255},   {0, 255, 255},   {255, 255, 255}};
    for (int i = 0; i < 20; ++i) {
        int index = i < 10 ? i : 236 + i;
        EXPECT_EQ(system[index].peRed, statics[i][0]) << index;
        EXPECT_EQ(system[index].peGreen, statics[i][1]) << index;
        EXPECT_EQ(system[index].peBlue, statics[i][2]) << index;
    }
    EXPECT_EQ(GetSystemPaletteEntries(dc, 250, 20, system), 6u);
    EXPECT_EQ(ReleaseDC(window, dc), 1);
    EXPECT_EQ(ReleaseDC(window, dc), 0);  // already released
}

TEST_F(GdiTest, ADeeperDesktopHasNoPalette) {
    headless::SetDesktop(host::DesktopMode{1280, 1024, 16});
    HDC dc = GetDC(nullptr);
    EXPECT_FALSE(GetDeviceCaps(dc, RASTERCAPS) & RC_PALETTE);
    EXPECT_EQ(GetDeviceCaps(dc, BITSPIXEL), 16);
    EXPECT_EQ(GetDeviceCaps(dc, HORZRES), 1280);
    PALETTEENTRY e[4];
    EXPECT_EQ(GetSystemPaletteEntries(dc, 0, 4, e), 0u);
    ReleaseDC(nullptr, dc);
}

TEST_F(GdiTest, AWindowDcDrawsInItsClientAreaOnTheScreen) {
    HDC dc = GetDC(window);
    int shown = headless::ScreensShown();
    RECT r{-5, -5, 10, 10};
    EXPECT_NE(FillRect(dc, &r, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH))), 0);
    EXPECT_EQ(headless::ScreenPixel(40, 30), 255);
    EXPECT_EQ(headless::ScreenPixel(49, 39), 255);
    EXPECT_EQ(headless::ScreenPixel(39, 30), 0);  // outside the client area
    EXPECT_EQ(GetPixel(dc, 0, 0), RGB(255, 255, 255));
    EXPECT_EQ(GetPixel(dc, -1, 0), CLR_INVALID);
    EXPECT_EQ(GetPixel(dc, 100, 0), CLR_INVALID);
    // A colour becomes the nearest entry; the colour actually set comes back.
    EXPECT_EQ(SetPixel(dc, 2, 2, RGB(250, 5, 5)), RGB(255, 0, 0));
    EXPECT_EQ(headless::ScreenPixel(42, 32), 249);
    EXPECT_EQ(SetPixel(dc, 3, 3, PALETTEINDEX(7)), RGB(192, 192, 192));
    EXPECT_EQ(SetPixel(dc, 200, 3, 0), CLR_INVALID);
    EXPECT_EQ(headless::ScreensShown(), shown);
    ReleaseDC(window, dc);  // what was drawn is shown when the context goes
    EXPECT_EQ(headless::ScreensShown(), shown + 1);
    EXPECT_EQ(headless::LastScreen().width, 100);
    // Drawn again after that present: the host is told of it too.
    dc = GetDC(window);
    SetPixel(dc, 5, 6, PALETTEINDEX(7));
    ReleaseDC(window, dc);
    EXPECT_EQ(headless::LastScreen().pixels[6 * 100 + 5], 7);
}

TEST_F(GdiTest, StretchBltMatchesColoursWithTheLowestIndexWinningATie) {
    BitmapDesc s;
    s.width = 4;
    s.height = 1;
    // (64,0,0) lies exactly between black (0) and dark red (1) of the system
    // palette; (0,0,1) is nearest to black; (200,200,200) to silver (7).
    s.colours = {RGBQUAD{0, 0, 64, 0}, RGBQUAD{1, 0, 0, 0}, RGBQUAD{200, 200, 200, 0}, RGBQUAD{0, 0, 255, 0}};
    s.clrUsed = 4;
    s.indices = {0, 1, 2, 3};
    HBITMAP bitmap = LoadFile("tie.bmp", s);
    ASSERT_NE(bitmap, nullptr);
    HDC memory = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(memory, bitmap);
    ASSERT_NE(old, nullptr);
    HDC dc = GetDC(window);
    EXPECT_TRUE(StretchBlt(dc, 0, 0, 4, 1, memory, 0, 0, 4, 1, SRCCOPY));
    EXPECT_EQ(headless::ScreenPixel(40, 30), 0);
    EXPECT_EQ(headless::ScreenPixel(41, 30), 0);
    EXPECT_EQ(headless::ScreenPixel(42, 30), 7);
    EXPECT_EQ(headless::ScreenPixel(43, 30), 249);
    // Doubled and mirrored by a negative width.
    EXPECT_TRUE(StretchBlt(dc, 8, 0, -8, 2, memory, 0, 0, 4, 1, SRCCOPY));
    EXPECT_EQ(headless::ScreenPixel(40, 31), 249);
    EXPECT_EQ(headless::ScreenPixel(41, 31), 249);
    EXPECT_EQ(headless::ScreenPixel(42, 31), 7);
    EXPECT_EQ(headless::ScreenPixel(47, 31), 0);
    // Reaching past the client area or the source draws only what exists.
    EXPECT_TRUE(StretchBlt(dc, 98, 78, 10, 10, memory, 2, 0, 10, 10, SRCCOPY));
    EXPECT_EQ(headless::ScreenPixel(138, 108), 7);
    EXPECT_EQ(headless::ScreenPixel(140, 108), 0);
    // SRCPAINT ORs the palette indices: the row reads 249 249 7 7 from the
    // mirrored blit; 249 and 7 go onto the two 7s.
    EXPECT_TRUE(StretchBlt(dc, 4, 0, -2, 1, memory, 2, 0, 2, 1, SRCPAINT));
    EXPECT_EQ(headless::ScreenPixel(41, 30), 249);
    EXPECT_EQ(headless::ScreenPixel(42, 30), 255);
    EXPECT_EQ(headless::ScreenPixel(43, 30), 7);
    EXPECT_FALSE(StretchBlt(dc, 0, 0, 4, 1, memory, 0, 0, 4, 1, 0x00660046));  // SRCINVERT: not offered
    ReleaseDC(window, dc);
    SelectObject(memory, old);
    DeleteDC(memory);
    EXPECT_TRUE(DeleteObject(bitmap));
}

// Windows documents DirectDraw's ReleaseDC as the way back for a surface's
// context and says nothing of DeleteDC on one (Wine deletes it); the
// stand-in refuses, so the surface never loses its context behind its back.
TEST_F(GdiTest, ASurfacesContextGoesBackOnlyThroughTheSurface) {
    LPDIRECTDRAW dd = nullptr;
    ASSERT_EQ(DirectDrawCreate(nullptr, &dd, nullptr), DD_OK);
    ASSERT_EQ(dd->SetCooperativeLevel(window, DDSCL_NORMAL), DD_OK);
    DDSURFACEDESC d{};
    d.dwSize = sizeof(d);
    d.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
    d.dwWidth = d.dwHeight = 4;
    d.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
    LPDIRECTDRAWSURFACE s = nullptr;
    ASSERT_EQ(dd->CreateSurface(&d, &s, nullptr), DD_OK);
    HDC dc = nullptr;
    ASSERT_EQ(s->GetDC(&dc), DD_OK);
    EXPECT_FALSE(DeleteDC(dc));
    EXPECT_EQ(s->ReleaseDC(dc), DD_OK);
    dd->Release();
}

TEST_F(GdiTest, LoadImageRefusesWhatItCannotRead) {
    std::vector<std::uint8_t> good = testbmp::FileBytes(BitmapDesc{});
    EXPECT_EQ(LoadImageA(nullptr, "no-such.bmp", IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE), nullptr);
    EXPECT_EQ(LoadImageA(nullptr, MAKEINTRESOURCEA(5), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE), nullptr);
    EXPECT_EQ(LoadImageA(nullptr, MAKEINTRESOURCEA(5), IMAGE_BITMAP, 0, 0, 0), nullptr);
    for (std::size_t cut : {std::size_t{0}, std::size_t{13}, std::size_t{30}, std::size_t{54}, good.size() - 1}) {
        std::vector<std::uint8_t> bytes(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(cut));
        std::string path = testbmp::WriteFile("cut" + std::to_string(cut) + ".bmp", bytes);
        EXPECT_EQ(LoadImageA(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE), nullptr) << cut;
    }
    auto offBits = good;
    offBits[10] = 0xFF, offBits[11] = 0xFF, offBits[12] = 0xFF, offBits[13] = 0x7F;
    std::string path = testbmp::WriteFile("offbits.bmp", offBits);
    EXPECT_EQ(LoadImageA(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE), nullptr);
    auto planes = good;
    planes[26] = 2;
    path = testbmp::WriteFile("planes.bmp", planes);
    EXPECT_EQ(LoadImageA(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE), nullptr);
    // Icons and cursors are USER's own handles.
    EXPECT_NE(LoadImageA(nullptr, MAKEINTRESOURCEA(116), IMAGE_ICON, 16, 16, 0), nullptr);
    platform::ArmFault(platform::FaultPlan{"LoadImageA", 8});
    path = testbmp::WriteFile("fine.bmp", good);
    EXPECT_EQ(LoadImageA(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE), nullptr);
    EXPECT_NE(LoadImageA(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE), nullptr);
}

TEST_F(GdiTest, LoadImageTakesATableLongerThanItsPixelsCanIndex) {
    // A 1-bit and a 4-bit picture announcing more colours than they can use:
    // the extra entries take their room in the file, the pixels follow them.
    for (int bitCount : {1, 4}) {
        for (std::uint32_t clrUsed : {std::uint32_t{17}, std::uint32_t{256}}) {
            BitmapDesc s;
            s.width = 2;
            s.height = 1;
            s.bitCount = bitCount;
            s.clrUsed = clrUsed;
            s.colours.assign(clrUsed, RGBQUAD{9, 9, 9, 0});
            s.colours[0] = RGBQUAD{0, 0, 255, 0};
            s.colours[1] = RGBQUAD{255, 0, 0, 0};
            std::vector<std::uint8_t> dib = testbmp::PackedDib(s);
            dib.back() = 0, dib[dib.size() - 2] = 0, dib[dib.size() - 3] = 0;
            dib[dib.size() - 4] = bitCount == 1 ? 0x40 : 0x01;  // pixels 0 and 1
            std::string name = std::to_string(bitCount) + "-" + std::to_string(clrUsed);
            std::vector<std::uint8_t> file{'B', 'M'};
            testbmp::Put32(file, static_cast<std::uint32_t>(14 + dib.size()));
            testbmp::Put32(file, 0);
            testbmp::Put32(file, static_cast<std::uint32_t>(14 + 40 + 4 * clrUsed));
            file.insert(file.end(), dib.begin(), dib.end());
            testbmp::ResourceScope resources;
            resources.AddBitmap(44, dib);
            std::string path = testbmp::WriteFile("long-table-" + name + ".bmp", file);
            for (HBITMAP b :
                 {static_cast<HBITMAP>(LoadImageA(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE)),
                  static_cast<HBITMAP>(LoadImageA(nullptr, MAKEINTRESOURCEA(44), IMAGE_BITMAP, 0, 0, 0))}) {
                ASSERT_NE(b, nullptr) << name;
                HDC m = CreateCompatibleDC(nullptr);
                HGDIOBJ old = SelectObject(m, b);
                EXPECT_EQ(GetPixel(m, 0, 0), RGB(255, 0, 0)) << name;
                EXPECT_EQ(GetPixel(m, 1, 0), RGB(0, 0, 255)) << name;
                SelectObject(m, old);
                DeleteDC(m);
                DeleteObject(b);
            }
        }
    }
}

TEST_F(GdiTest, LoadImageFindsBitmapResources) {
    BitmapDesc s;
    s.width = 3;
    s.height = 2;
    s.colours = {RGBQUAD{1, 2, 3, 0}};
    s.clrUsed = 1;
    testbmp::ResourceScope resources;
    resources.AddBitmap(42, testbmp::PackedDib(s));
    HBITMAP b = static_cast<HBITMAP>(
        LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(42), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    ASSERT_NE(b, nullptr);
    BITMAP bm{};
    GetObjectA(b, sizeof(bm), &bm);
    EXPECT_EQ(bm.bmWidth, 3);
    HDC m = CreateCompatibleDC(nullptr);
    SelectObject(m, b);
    EXPECT_EQ(GetPixel(m, 2, 1), RGB(3, 2, 1));
    DeleteDC(m);
    DeleteObject(b);
    std::vector<std::uint8_t> cut = testbmp::PackedDib(s);
    cut.resize(cut.size() - 1);
    resources.AddBitmap(43, cut);
    EXPECT_EQ(LoadImageA(nullptr, MAKEINTRESOURCEA(43), IMAGE_BITMAP, 0, 0, 0), nullptr);
}

}  // namespace
