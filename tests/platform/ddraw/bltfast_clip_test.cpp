// BltFast onto a surface with a clipper, through the Windows API alone, so
// that the same test runs over Windows' own DirectDraw (or Wine's).
#include <gtest/gtest.h>

#include <windows.h>
#include <ddraw.h>

namespace {

LRESULT CALLBACK PlainProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

LPDIRECTDRAWSURFACE Offscreen(LPDIRECTDRAW dd, DWORD width, DWORD height) {
    DDSURFACEDESC desc;
    ZeroMemory(&desc, sizeof(desc));
    desc.dwSize = sizeof(desc);
    desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
    desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY;
    desc.dwWidth = width;
    desc.dwHeight = height;
    LPDIRECTDRAWSURFACE surface = nullptr;
    EXPECT_EQ(dd->CreateSurface(&desc, &surface, nullptr), DD_OK);
    return surface;
}

TEST(BltFastConformance, ASurfaceWithAClipperIsRefusedWithBltFastCantClip) {
    WNDCLASSEXA wc;
    ZeroMemory(&wc, sizeof(wc));
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = PlainProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "BltFastConformance";
    RegisterClassExA(&wc);
    HWND window =
        CreateWindowExA(0, "BltFastConformance", "", WS_POPUP, 0, 0, 64, 64, nullptr, nullptr, wc.hInstance, nullptr);
    ASSERT_NE(window, nullptr);
    LPDIRECTDRAW dd = nullptr;
    ASSERT_EQ(DirectDrawCreate(nullptr, &dd, nullptr), DD_OK);
    ASSERT_EQ(dd->SetCooperativeLevel(window, DDSCL_NORMAL), DD_OK);
    LPDIRECTDRAWSURFACE src = Offscreen(dd, 8, 8), dst = Offscreen(dd, 16, 16);
    ASSERT_TRUE(src && dst);
    RECT r = {0, 0, 8, 8};
    EXPECT_EQ(dst->BltFast(8, 8, src, &r, DDBLTFAST_WAIT), DD_OK);
    LPDIRECTDRAWCLIPPER clipper = nullptr;
    ASSERT_EQ(dd->CreateClipper(0, &clipper, nullptr), DD_OK);
    ASSERT_EQ(dst->SetClipper(clipper), DD_OK);
    EXPECT_EQ(dst->BltFast(0, 0, src, &r, DDBLTFAST_WAIT), DDERR_BLTFASTCANTCLIP);
    dst->SetClipper(nullptr);
    clipper->Release();
    dst->Release();
    src->Release();
    dd->Release();
    DestroyWindow(window);
}

}  // namespace
