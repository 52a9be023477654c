// Only in the Windows build: the structure layouts the game relies on, as the
// real 32-bit SDK lays them out, so our own headers can never drift from them.
#include <windows.h>
#include <mmsystem.h>
#include <ddraw.h>
#include <dsound.h>

static_assert(sizeof(void*) == 4, "TUMBLA.exe is a 32-bit program");
static_assert(sizeof(JOYINFOEX) == 52, "JOYINFOEX");
static_assert(sizeof(MIDIHDR) == 64, "MIDIHDR");
static_assert(sizeof(DDSURFACEDESC) == 108, "DDSURFACEDESC");
static_assert(sizeof(DDBLTFX) == 100, "DDBLTFX");
static_assert(sizeof(DDCAPS) == 316, "DDCAPS is the DirectX 3 record");
static_assert(sizeof(DSBUFFERDESC) == 20, "DSBUFFERDESC is the DirectX 3 record");
static_assert(sizeof(WAVEFORMATEX) == 18 && sizeof(PCMWAVEFORMAT) == 16, "wave formats");
