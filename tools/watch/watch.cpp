// Runs the real program headless and prints, at chosen frames, the well, the
// falling piece, the score, the pending points and the panel position.
//
//   tumbla_watch [--frames N] [--every K] [--at F1,F2,...] [--keys SCRIPT] [--audio FILE] [-- switches]
//
// SCRIPT holds "frame:key+key,frame:-" items separated by commas; a frame's
// keys stay down until the next item ("-" lets all go). Keys: left right up
// down z x space enter shift q esc. --audio writes the sound card's output,
// 16-bit stereo at 44.1 kHz, one 60th of a second for each frame.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "game/play.h"
#include "game/rules.h"
#include "platform/host/headless/headless.h"
#include "platform/host/headless/headless_audio.h"
#include "shell/shell.h"

namespace {

int KeyCode(const std::string& name) {
    static const std::map<std::string, int> keys = {
        {"left", VK_LEFT},   {"right", VK_RIGHT}, {"up", VK_UP},       {"down", VK_DOWN},
        {"z", 'Z'},          {"x", 'X'},          {"space", VK_SPACE}, {"enter", VK_RETURN},
        {"shift", VK_SHIFT}, {"q", 'Q'},          {"esc", VK_ESCAPE},
    };
    auto it = keys.find(name);
    return it == keys.end() ? -1 : it->second;
}

void PrintFrame(DWORD frame) {
    std::printf(
        "frame %lu  score %ld  pending %ld  panel (%ld,%ld)  piece shape %ld rot %ld at (%ld,%ld)  height %ld\n",
        static_cast<unsigned long>(frame), static_cast<long>(playState.score),
        static_cast<long>(playState.pendingPoints), static_cast<long>(playState.panelX),
        static_cast<long>(playState.panelY), static_cast<long>(piece.shape), static_cast<long>(piece.rotation),
        static_cast<long>(piece.x), static_cast<long>(piece.y), static_cast<long>(stackHeight));
    LONG column = piece.x / 16 + 3, row = piece.y / 16 + 2;
    for (int r = 0; r < WELL_ROWS; ++r) {
        std::string line;
        for (int c = 0; c < WELL_COLUMNS; ++c) {
            char cell = wellGrid.cells[r][c];
            int i = r - row, j = c - column;
            bool falling = i >= 0 && i < 4 && j >= 0 && j < 4 && piece.cells[i][j] != '0';
            if (falling)
                line += '@';
            else if (cell == 'F')
                line += '#';
            else if (cell == '0')
                line += '.';
            else
                line += cell;
        }
        std::printf("  %s\n", line.c_str());
    }
}

}  // namespace

int main(int argc, char** argv) {
    DWORD frames = 120, every = 0;
    std::set<DWORD> at;
    std::map<DWORD, std::vector<int>> script;
    std::string switches;
    std::string audioPath;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto next = [&]() -> std::string { return i + 1 < argc ? argv[++i] : ""; };
        if (a == "--frames")
            frames = static_cast<DWORD>(std::strtoul(next().c_str(), nullptr, 10));
        else if (a == "--every")
            every = static_cast<DWORD>(std::strtoul(next().c_str(), nullptr, 10));
        else if (a == "--at") {
            std::stringstream list(next());
            std::string item;
            while (std::getline(list, item, ','))
                at.insert(static_cast<DWORD>(std::strtoul(item.c_str(), nullptr, 10)));
        } else if (a == "--keys") {
            std::stringstream list(next());
            std::string item;
            while (std::getline(list, item, ',')) {
                auto colon = item.find(':');
                if (colon == std::string::npos) continue;
                DWORD f = static_cast<DWORD>(std::strtoul(item.substr(0, colon).c_str(), nullptr, 10));
                std::vector<int>& keys = script[f];
                std::stringstream names(item.substr(colon + 1));
                std::string name;
                while (std::getline(names, name, '+'))
                    if (int vk = KeyCode(name); vk >= 0) keys.push_back(vk);
            }
        } else if (a == "--audio") {
            audioPath = next();
        } else if (a == "--") {
            for (++i; i < argc; ++i) switches += std::string(argv[i]) + " ";
        } else {
            std::fprintf(
                stderr,
                "usage: %s [--frames N] [--every K] [--at F,...] [--keys SCRIPT] [--audio FILE] [-- switches]\n",
                argv[0]);
            return 2;
        }
    }

    headless::Reset();
    FILE* audio = nullptr;
    if (!audioPath.empty() && !(audio = std::fopen(audioPath.c_str(), "wb"))) {
        std::perror(audioPath.c_str());
        return 2;
    }
    DWORD lastSeen = 0;
    // The program idles between frames; that is where we look, press keys
    // and, at the end, close the window like a player would.
    headless::SetIdleHook([&](std::uint32_t ms) {
        headless::AdvanceTime(ms);
        DWORD f = shell.frameCounter;
        if (f == lastSeen) return;
        lastSeen = f;
        if (audio) {
            auto samples = headless::RenderAudioAndSettle(44100 / 60);
            std::fwrite(samples.data(), sizeof samples[0], samples.size(), audio);
        }
        if (currentScene == SCENE_PLAY && (at.count(f) || (every && f % every == 0))) PrintFrame(f);
        // Keys for frame f + 1 are set now, before it polls the pad.
        auto it = script.upper_bound(f + 1);
        if (it != script.begin()) {
            --it;
            if (it->first == f + 1) {
                headless::ReleaseAllKeys();
                for (int vk : it->second) headless::SetKey(vk, true);
            }
        }
        if (f >= frames && shell.mainWindow) PostMessageA(shell.mainWindow, WM_CLOSE, 0, 0);
    });
    int code = WinMain(GetModuleHandleA(nullptr), nullptr, switches.data(), SW_SHOWDEFAULT);
    if (audio) std::fclose(audio);
    std::printf("exit code %d after %lu frames\n", code, static_cast<unsigned long>(shell.frameCounter));
    return code;
}
