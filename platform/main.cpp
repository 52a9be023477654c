// The process entry on hosts without Windows: argv becomes the command line
// Windows would pass to WinMain (program name removed, arguments joined by
// spaces, quoted when they hold a space).
#include <windows.h>

#include <cstdlib>
#include <string>

#include "platform/host/host_audio.h"

int main(int argc, char** argv) {
    std::string line;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (!line.empty()) line += ' ';
        if (arg.find(' ') != std::string::npos) line += '"' + arg + '"';
        else line += arg;
    }
    int code = WinMain(GetModuleHandleA(nullptr), nullptr, line.data(), SW_SHOWDEFAULT);
    // Windows stops a process's other threads before it tears anything down;
    // stop the audio callback the same way, since a game that ends by its
    // window closing leaves its sound and music devices open.
    host::AudioClose();
    // exit, not return: in the browser main runs on after its first wait
    // has handed control back to the page, and a late return reaches nobody.
    std::exit(code);
}
