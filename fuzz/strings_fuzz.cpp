// The string table reader: every string of a block read into buffers of
// several sizes, whole multi-byte characters only.
#include <windows.h>

#include <cstdint>
#include <cstring>

#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::InputResource resource(6, nullptr, 1, data, size);  // RT_STRING block 1: strings 0 to 15
    char text[300];
    for (UINT id = 0; id < 17; ++id) {
        for (int room : {1, 2, 3, 17, 256}) {
            std::memset(text, 0x5A, sizeof(text));
            int n = LoadStringA(GetModuleHandleA(nullptr), id, text, room);
            if (n < 0 || n >= room || text[n] != '\0' || text[room] != 0x5A) __builtin_trap();
        }
    }
    return 0;
}
