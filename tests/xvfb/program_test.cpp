// The real program in a real window: each test starts its own virtual X
// server (Xvfb) and drives tumbla there with xdotool, as a player would.
// Skipped when Xvfb or xdotool is not installed. Screenshots go to
// $TUMBLA_TEST_OUT when ImageMagick's import is there, to be looked at.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

const char* const kTitle = "TUMBLA Version 0.01";

bool OnPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::stringstream dirs(path ? path : "/usr/bin:/bin");
    std::string dir;
    while (std::getline(dirs, dir, ':'))
        if (!dir.empty() && access((dir + "/" + program).c_str(), X_OK) == 0) return true;
    return false;
}

// A child process with extra environment, a working folder and its output
// sent to `log` (or nowhere).
pid_t Spawn(const std::vector<std::string>& argv, const std::map<std::string, std::string>& env,
            const std::string& cwd = "", const std::string& log = "", int keepFd = -1) {
    pid_t pid = fork();
    if (pid != 0) return pid;
    for (const auto& [k, v] : env) setenv(k.c_str(), v.c_str(), 1);
    if (!cwd.empty() && chdir(cwd.c_str()) != 0) _exit(126);
    int out = open(log.empty() ? "/dev/null" : log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out >= 0) {
        dup2(out, 1);
        dup2(out, 2);
    }
    for (int fd = 3; fd < 256; ++fd)
        if (fd != keepFd) close(fd);
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execvp(args[0], args.data());
    _exit(127);
}

// The exit code, or -1 when the process did not end in time (or died by a
// signal).
int WaitExit(pid_t pid, std::chrono::milliseconds timeout) {
    auto end = Clock::now() + timeout;
    for (;;) {
        int status = 0;
        pid_t r = waitpid(pid, &status, WNOHANG);
        if (r == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        if (r < 0 || Clock::now() > end) return -1;
        std::this_thread::sleep_for(20ms);
    }
}

struct Geometry {
    int x = -1, y = -1, width = -1, height = -1;
    bool operator==(const Geometry&) const = default;
};

bool Running(pid_t pid) { return waitpid(pid, nullptr, WNOHANG) == 0; }

void Stop(pid_t pid) {
    if (pid <= 0) return;
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
}

class Display : public ::testing::Test {
protected:
    pid_t server = -1;
    std::string display;
    std::string depth = "24";  // bits per pixel of the virtual screen
    std::string size = "1024x768";
    std::vector<pid_t> programs;

    void SetUp() override {
#ifndef TUMBLA_PROGRAM
        GTEST_SKIP() << "the program is not built here (no SDL2)";
#else
        if (!OnPath("Xvfb") || !OnPath("xdotool")) GTEST_SKIP() << "Xvfb and xdotool are needed";
        // Xvfb picks a free display and writes its number to the pipe.
        int fds[2];
        ASSERT_EQ(pipe(fds), 0);
        server = Spawn(
            // -noreset: what xrdb loads stays after xrdb is gone.
            {"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0", size + "x" + depth, "-nolisten", "tcp",
             "-noreset"},
            {}, "", "", fds[1]);
        close(fds[1]);
        std::string number;
        pollfd wait{fds[0], POLLIN, 0};
        auto end = Clock::now() + 20s;
        while (Clock::now() < end && number.find('\n') == std::string::npos) {
            if (poll(&wait, 1, 200) <= 0) continue;
            char c;
            if (read(fds[0], &c, 1) != 1) break;
            number += c;
        }
        close(fds[0]);
        ASSERT_NE(number.find('\n'), std::string::npos) << "Xvfb did not start";
        display = ":" + number.substr(0, number.find('\n'));
#endif
    }

    void TearDown() override {
        for (pid_t p : programs) Stop(p);
        Stop(server);
    }

    std::map<std::string, std::string> Env(const std::string& audio = "dummy") {
        std::map<std::string, std::string> env{{"DISPLAY", display}, {"SDL_AUDIODRIVER", audio}};
        // The X libraries keep what they allocate till the end; that is no
        // leak of ours.
        const char* asan = std::getenv("ASAN_OPTIONS");
        env["ASAN_OPTIONS"] = std::string(asan ? asan : "") + (asan && *asan ? ":" : "") + "detect_leaks=0";
        return env;
    }

    pid_t Start(const std::string& audio = "dummy") { return StartWith({}, Env(audio)); }

    // The program with these arguments and this environment; its output goes
    // to LogOf(the number it was started as).
    pid_t StartWith(const std::vector<std::string>& args, const std::map<std::string, std::string>& env,
                    const std::string& folder = "") {
#ifdef TUMBLA_PROGRAM
        std::vector<std::string> argv{TUMBLA_PROGRAM};
        argv.insert(argv.end(), args.begin(), args.end());
        pid_t pid = Spawn(argv, env, folder.empty() ? TUMBLA_SOURCE_DIR : folder, LogOf(programs.size()));
        programs.push_back(pid);
        return pid;
#else
        (void)args;
        (void)env;
        (void)folder;
        return -1;
#endif
    }

    static std::string LogOf(std::size_t started) {
        std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        for (char& c : name)
            if (c == '/') c = '-';  // a parameterised test's
        return OutDir() + "/" + name + "-" + std::to_string(started) + ".log";
    }

    static std::string ReadLog(std::size_t started) {
        std::string text;
        if (std::FILE* f = std::fopen(LogOf(started).c_str(), "rb")) {
            char buffer[4096];
            std::size_t n;
            while ((n = std::fread(buffer, 1, sizeof(buffer), f)) > 0) text.append(buffer, n);
            std::fclose(f);
        }
        return text;
    }

    static std::size_t Count(const std::string& text, const std::string& what) {
        std::size_t n = 0;
        for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
        return n;
    }

    static std::string OutDir() {
        const char* out = std::getenv("TUMBLA_TEST_OUT");
        std::string dir = out && *out ? out : ".";
        std::system(("mkdir -p '" + dir + "'").c_str());
        return dir;
    }

    // Runs a command on the display; its standard output.
    std::string Run(const std::vector<std::string>& argv) {
        int fds[2];
        if (pipe(fds) != 0) return "";
        pid_t pid = fork();
        if (pid == 0) {
            setenv("DISPLAY", display.c_str(), 1);
            dup2(fds[1], 1);
            int null = open("/dev/null", O_WRONLY);
            dup2(null, 2);
            close(fds[0]);
            std::vector<char*> args;
            for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
            args.push_back(nullptr);
            execvp(args[0], args.data());
            _exit(127);
        }
        close(fds[1]);
        std::string out;
        pollfd wait{fds[0], POLLIN, 0};
        auto end = Clock::now() + 10s;
        char buffer[4096];
        while (Clock::now() < end) {
            if (poll(&wait, 1, 100) <= 0) continue;
            ssize_t n = read(fds[0], buffer, sizeof(buffer));
            if (n <= 0) break;
            out.append(buffer, static_cast<std::size_t>(n));
        }
        close(fds[0]);
        if (WaitExit(pid, 2s) < 0) Stop(pid);
        return out;
    }

    // Top-level windows with this exact title, and whether they have a
    // class (the program's window does; SDL's message boxes do not).
    struct Found {
        std::string id;
        bool hasClass;
    };
    std::vector<Found> Windows(const std::string& title) {
        std::vector<Found> found;
        std::stringstream tree(Run({"xwininfo", "-root", "-children"}));
        std::string line;
        std::string quoted = "\"" + title + "\"";
        while (std::getline(tree, line)) {
            std::size_t at = line.find(quoted);
            if (at == std::string::npos) continue;
            std::stringstream words(line);
            std::string id;
            words >> id;
            found.push_back(Found{id, line.find("()", at) == std::string::npos});
        }
        return found;
    }

    std::string WaitForWindow(bool messageBox, std::chrono::seconds timeout = 20s) {
        auto end = Clock::now() + timeout;
        while (Clock::now() < end) {
            for (const Found& f : Windows(kTitle))
                if (f.hasClass != messageBox) return f.id;
            std::this_thread::sleep_for(100ms);
        }
        return "";
    }

    Geometry GeometryOf(const std::string& window) {
        Geometry g;
        std::stringstream lines(Run({"xdotool", "getwindowgeometry", "--shell", window}));
        std::string line;
        while (std::getline(lines, line)) {
            auto eq = line.find('=');
            if (eq == std::string::npos) continue;
            std::string key = line.substr(0, eq);
            int value = std::atoi(line.c_str() + eq + 1);
            if (key == "X") g.x = value;
            if (key == "Y") g.y = value;
            if (key == "WIDTH") g.width = value;
            if (key == "HEIGHT") g.height = value;
        }
        return g;
    }

    bool WaitForGeometry(const std::string& window, const Geometry& want, std::chrono::seconds timeout = 10s) {
        auto end = Clock::now() + timeout;
        while (Clock::now() < end) {
            if (GeometryOf(window) == want) return true;
            std::this_thread::sleep_for(100ms);
        }
        return false;
    }

    std::string Focused() {
        std::string id = Run({"xdotool", "getwindowfocus"});
        while (!id.empty() && (id.back() == '\n' || id.back() == ' ')) id.pop_back();
        return id;
    }

    // xwininfo names windows in hexadecimal, xdotool in decimal.
    static long IdNumber(const std::string& id) { return std::strtol(id.c_str(), nullptr, 0); }

    void Keys(const std::string& window, const std::vector<std::string>& keys) {
        Run({"xdotool", "windowfocus", "--sync", window});
        std::vector<std::string> argv{"xdotool"};
        argv.insert(argv.end(), keys.begin(), keys.end());
        Run(argv);
    }

    // The window's pixels as they are on the screen now, empty without
    // ImageMagick.
    std::string Picture(const std::string& window) {
        return Run({"import", "-window", window, "-depth", "8", "rgb:-"});
    }

    // Gives the keyboard to `window` and waits until it has it.
    bool FocusOn(const std::string& window) {
        for (auto until = Clock::now() + 5s; Clock::now() < until;) {
            Run({"xdotool", "windowfocus", "--sync", window});
            if (IdNumber(Focused()) == IdNumber(window)) return true;
            std::this_thread::sleep_for(100ms);
        }
        return false;
    }

    void Screenshot(const std::string& name) {
        if (!OnPath("import")) return;
        Run({"import", "-window", "root", OutDir() + "/" + name});
    }
};

const Geometry kWindowed{196, 158, 638, 478};
const Geometry kFullScreen{0, 0, 1024, 768};

TEST_F(Display, StartsInACentredWindowWithItsTitleAndEscapeEndsItWithZero) {
    pid_t program = Start();
    std::string window = WaitForWindow(false);
    ASSERT_FALSE(window.empty()) << "no window titled \"" << kTitle << "\"";
    EXPECT_TRUE(WaitForGeometry(window, kWindowed));
    std::this_thread::sleep_for(1s);  // a few frames
    Screenshot("xvfb-window.png");
    Keys(window, {"key", "Escape"});
    EXPECT_EQ(WaitExit(program, 15s), 0);
}

TEST_F(Display, AltEnterSwitchesToFullScreenAndBack) {
    pid_t program = Start();
    std::string window = WaitForWindow(false);
    ASSERT_FALSE(window.empty());
    ASSERT_TRUE(WaitForGeometry(window, kWindowed));
    // Alt held while Enter goes down and up, as Windows wants it.
    Keys(window, {"keydown", "alt", "key", "Return", "keyup", "alt"});
    EXPECT_TRUE(WaitForGeometry(window, kFullScreen)) << "the picture covers the screen";
    std::this_thread::sleep_for(500ms);
    Screenshot("xvfb-fullscreen.png");
    Keys(window, {"keydown", "alt", "key", "Return", "keyup", "alt"});
    EXPECT_TRUE(WaitForGeometry(window, kWindowed)) << "back in its window";
    EXPECT_TRUE(Running(program));
    Keys(window, {"key", "Escape"});
    EXPECT_EQ(WaitExit(program, 15s), 0);
}

TEST_F(Display, ASecondStartEndsAtOnceAndBringsTheFirstForward) {
    pid_t first = Start();
    std::string window = WaitForWindow(false);
    ASSERT_FALSE(window.empty());
    // Somewhere else has the keyboard now.
    std::string root;
    std::stringstream info(Run({"xwininfo", "-root"}));
    std::string word;
    while (info >> word)
        if (word == "id:") {
            info >> root;
            break;
        }
    ASSERT_FALSE(root.empty());
    // The new window may still be taking the focus it asked for at start-up;
    // move it away until it stays away.
    for (auto until = Clock::now() + 5s; Clock::now() < until;) {
        Run({"xdotool", "windowfocus", root});
        std::this_thread::sleep_for(200ms);
        if (IdNumber(Focused()) != IdNumber(window)) break;
    }
    ASSERT_NE(IdNumber(Focused()), IdNumber(window));

    auto started = Clock::now();
    pid_t second = Start();
    EXPECT_EQ(WaitExit(second, 10s), 0);
    EXPECT_LT(Clock::now() - started, 5s) << "the second start leaves at once";
    EXPECT_EQ(Windows(kTitle).size(), 1u) << "and opens no window";
    auto end = Clock::now() + 5s;
    while (Clock::now() < end && IdNumber(Focused()) != IdNumber(window)) std::this_thread::sleep_for(100ms);
    EXPECT_EQ(IdNumber(Focused()), IdNumber(window)) << "the first came forward";
    EXPECT_TRUE(Running(first));
    Keys(window, {"key", "Escape"});
    EXPECT_EQ(WaitExit(first, 15s), 0);
}

// A player who looks at another window and comes back finds the game going
// again at once, without moving the mouse over it.
TEST_F(Display, GivenTheFocusBackTheGameMovesAgainWithoutTheMouse) {
    if (!OnPath("import") || !OnPath("xmessage")) GTEST_SKIP() << "ImageMagick's import and xmessage are needed";
    pid_t program = Start();
    std::string window = WaitForWindow(false);
    ASSERT_FALSE(window.empty());
    ASSERT_TRUE(WaitForGeometry(window, kWindowed));
    // Another client, clear of the game's window.
    programs.push_back(Spawn({"xmessage", "-geometry", "+0+0", "another client"}, {{"DISPLAY", display}}));
    std::string other;
    for (auto until = Clock::now() + 10s; other.empty() && Clock::now() < until; std::this_thread::sleep_for(100ms))
        if (auto found = Windows("xmessage"); !found.empty()) other = found.front().id;
    ASSERT_FALSE(other.empty()) << "xmessage did not show";
    ASSERT_TRUE(FocusOn(other));
    std::this_thread::sleep_for(500ms);
    std::string still = Picture(window);
    ASSERT_FALSE(still.empty());
    std::this_thread::sleep_for(300ms);
    ASSERT_EQ(Picture(window), still) << "in the background the game stands still";

    auto asked = Clock::now();
    ASSERT_TRUE(FocusOn(window));
    std::this_thread::sleep_until(asked + 500ms);
    EXPECT_NE(Picture(window), still) << "the picture moves again within half a second of the focus";
    EXPECT_TRUE(Running(program));
    Keys(window, {"key", "Escape"});
    EXPECT_EQ(WaitExit(program, 15s), 0);
}

TEST_F(Display, WithoutASoundDeviceTheReportIsShownAndTheProgramEnds) {
    pid_t program = Start("no-such-audio-driver");
    std::string box = WaitForWindow(true);
    ASSERT_FALSE(box.empty()) << "no message box";
    std::this_thread::sleep_for(500ms);
    Screenshot("xvfb-report.png");
    EXPECT_TRUE(Running(program)) << "the box waits for its answer";
    Keys(box, {"key", "Return"});
    EXPECT_EQ(WaitExit(program, 15s), 0);
}

TEST_F(Display, KilledWhileItsReportIsUpItLeavesNothingThatBlocksTheNextStart) {
    // Asked to end while the box waits: it ends as the box's OK would.
    pid_t program = Start("no-such-audio-driver");
    ASSERT_FALSE(WaitForWindow(true).empty()) << "no message box";
    kill(program, SIGTERM);
    EXPECT_EQ(WaitExit(program, 5s), 0) << "SIGTERM ends it";
    // Killed outright: the box goes with it.
    program = Start("no-such-audio-driver");
    ASSERT_FALSE(WaitForWindow(true).empty()) << "no message box";
    kill(program, SIGKILL);
    waitpid(program, nullptr, 0);
    auto end = Clock::now() + 5s;
    while (Clock::now() < end && !Windows(kTitle).empty()) std::this_thread::sleep_for(100ms);
    EXPECT_TRUE(Windows(kTitle).empty()) << "no box outlives its program";
    // And the next start is not taken for a second one.
    program = Start();
    std::string window = WaitForWindow(false);
    ASSERT_FALSE(window.empty()) << "the next start shows its window";
    Keys(window, {"key", "Escape"});
    EXPECT_EQ(WaitExit(program, 15s), 0);
}

TEST_F(Display, WhenTheDisplayGoesAwayTheProgramEndsAtOnceWithOneLine) {
    pid_t program = Start();
    ASSERT_FALSE(WaitForWindow(false).empty());
    std::this_thread::sleep_for(500ms);
    Stop(server);
    server = -1;
    auto gone = Clock::now();
    int code = WaitExit(program, 2s);
    EXPECT_NE(code, -1) << "still there "
                        << std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - gone).count()
                        << " ms after the display went";
    EXPECT_NE(code, 0);
    std::string log = ReadLog(0);
    EXPECT_EQ(Count(log, "\n"), 1u) << log;
    EXPECT_NE(log.find("tumbla: "), std::string::npos) << log;
}

TEST_F(Display, ASongThatIsAPipeLeavesTheGameSilentAndEscapeStillEndsIt) {
    // A working folder whose song is a FIFO that nobody writes to.
    std::string folder = OutDir() + "/fifo-song-XXXXXX";
    ASSERT_NE(mkdtemp(folder.data()), nullptr);
    ASSERT_EQ(mkdir((folder + "/sample_data").c_str(), 0755), 0);
    ASSERT_EQ(mkfifo((folder + "/sample_data/sw5.mid").c_str(), 0600), 0);
    pid_t program = StartWith({}, Env(), folder);
    std::string window = WaitForWindow(false);
    ASSERT_FALSE(window.empty()) << ReadLog(0);
    std::this_thread::sleep_for(1s);
    EXPECT_TRUE(Running(program)) << ReadLog(0);
    Keys(window, {"key", "Escape"});
    EXPECT_EQ(WaitExit(program, 15s), 0);
    EXPECT_EQ(std::system(("rm -rf '" + folder + "'").c_str()), 0);
}

TEST_F(Display, WithoutAUsableDisplayItEndsWithOneSentenceAndCodeOne) {
    // No server on that display, and none named at all: never an unseen
    // window on SDL's off-screen driver.
    for (const char* where : {":1999", ""}) {
        auto env = Env();
        env["DISPLAY"] = where;
        env["WAYLAND_DISPLAY"] = "";
        std::size_t n = programs.size();
        pid_t program = StartWith({}, env);
        EXPECT_EQ(WaitExit(program, 10s), 1) << "DISPLAY=" << where;
        std::string log = ReadLog(n);
        EXPECT_EQ(Count(log, "\n"), 1u) << log;
        EXPECT_NE(log.find("tumbla: "), std::string::npos) << log;
        EXPECT_NE(log.find("xvfb-run"), std::string::npos) << log;
    }
    // Asked for by name, the off-screen driver is used.
    auto env = Env();
    env["DISPLAY"] = "";
    env["SDL_VIDEODRIVER"] = "offscreen";
    pid_t program = StartWith({}, env);
    std::this_thread::sleep_for(2s);
    EXPECT_TRUE(Running(program)) << ReadLog(programs.size() - 1);
}

TEST_F(Display, HelpAndVersionAnswerWithoutStartingTheGame) {
    auto env = Env();
    env["DISPLAY"] = "";
    pid_t help = StartWith({"--help"}, env);
    EXPECT_EQ(WaitExit(help, 10s), 0);
    std::string text = ReadLog(0);
    for (const char* word : {"/F", "/E", "/M", "/S", "Escape", "Alt+Enter", "TUMBLA_SOUNDFONT"})
        EXPECT_NE(text.find(word), std::string::npos) << word << " in:\n" << text;
    pid_t version = StartWith({"--version"}, env);
    EXPECT_EQ(WaitExit(version, 10s), 0);
    EXPECT_EQ(ReadLog(1), "tumbla 0.01\n");
    EXPECT_TRUE(Windows(kTitle).empty());
}

TEST_F(Display, WithoutASoundfontItPlaysAndSaysOnceHowToGetMusic) {
    auto env = Env();
    env["TUMBLA_SOUNDFONT"] = "/nonexistent/soundfont.sf2";
    pid_t program = StartWith({}, env);
    std::string window = WaitForWindow(false);
    ASSERT_FALSE(window.empty());
    std::this_thread::sleep_for(2s);
    EXPECT_TRUE(Running(program));
    EXPECT_TRUE(Windows(kTitle).size() == 1u) << "no report box";
    Keys(window, {"key", "Escape"});
    EXPECT_EQ(WaitExit(program, 15s), 0);
    std::string log = ReadLog(0);
    EXPECT_EQ(Count(log, "TUMBLA_SOUNDFONT"), 1u) << log;
    EXPECT_EQ(Count(log, "\n"), 1u) << log;
}

TEST_F(Display, ASoundfontThatCannotBeUsedCostsOneSentence) {
    // One that is no soundfont, and one far too big to load (sparse: it
    // takes no room on the disk).
    std::string notOne = OutDir() + "/not-a-soundfont.sf2";
    std::string huge = OutDir() + "/huge.sf2";
    {
        std::FILE* f = std::fopen(notOne.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fputs("RIFF, but not a soundfont's.\n", f);
        std::fclose(f);
    }
    int fd = open(huge.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(ftruncate(fd, off_t{300} << 20), 0);
    close(fd);
    for (const std::string& soundfont : {notOne, huge}) {
        auto env = Env();
        env["TUMBLA_SOUNDFONT"] = soundfont;
        std::size_t n = programs.size();
        pid_t program = StartWith({}, env);
        std::string window = WaitForWindow(false);
        ASSERT_FALSE(window.empty());
        std::this_thread::sleep_for(1500ms);
        EXPECT_TRUE(Running(program));
        Keys(window, {"key", "Escape"});
        EXPECT_EQ(WaitExit(program, 15s), 0);
        std::string log = ReadLog(n);
        EXPECT_EQ(Count(log, "\n"), 1u) << log;
        EXPECT_NE(log.find("tumbla: the soundfont " + soundfont), std::string::npos) << log;
        if (soundfont == huge) {
            EXPECT_NE(log.find("256 MB"), std::string::npos) << "refused unread: " << log;
        }
    }
    std::remove(huge.c_str());
}

TEST_F(Display, TheReportSpeaksTheUsersLanguage) {
    // Off screen, SDL's message box writes its text to standard output.
    const struct {
        const char* lang;
        const char* says;
    } kUsers[] = {{"en_US.UTF-8", "DirectX (DirectSound) could not be initialised"},
                  {"ja_JP.UTF-8", "DirectX(DirectSound)の初期化に失敗しました"},
                  {"de_DE.UTF-8", "The program ends."}};
    for (const auto& user : kUsers) {
        auto env = Env("no-such-audio-driver");
        env["DISPLAY"] = "";
        env["SDL_VIDEODRIVER"] = "offscreen";
        env["LC_ALL"] = "";
        env["LC_MESSAGES"] = "";
        env["LANG"] = user.lang;
        std::size_t n = programs.size();
        pid_t program = StartWith({}, env);
        EXPECT_EQ(WaitExit(program, 15s), 0) << user.lang;
        EXPECT_NE(ReadLog(n).find(user.says), std::string::npos) << user.lang << ":\n" << ReadLog(n);
    }
}

// An X server of 256 colours, where SDL has no renderer that can draw.
class EightBitDisplay : public Display {
protected:
    void SetUp() override {
        depth = "8";
        Display::SetUp();
    }
};

TEST_F(EightBitDisplay, TheGameStillRunsAndShowsItsPicture) {
    pid_t program = Start();
    std::string window = WaitForWindow(false);
    ASSERT_FALSE(window.empty()) << ReadLog(0);
    EXPECT_TRUE(WaitForGeometry(window, kWindowed));
    std::this_thread::sleep_for(1500ms);
    EXPECT_TRUE(Running(program)) << ReadLog(0);
    EXPECT_EQ(Windows(kTitle).size(), 1u) << "no report box";
    Screenshot("xvfb-8bit.png");
    Keys(window, {"key", "Escape"});
    EXPECT_EQ(WaitExit(program, 15s), 0);
}

// A 4K screen with the desktop at 200 %: X's Xft.dpi at 192.
class ScaledDesktop : public Display {
protected:
    void SetUp() override {
        size = "3840x2160";
        Display::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        if (!OnPath("xrdb") || !OnPath("import")) GTEST_SKIP() << "xrdb and ImageMagick's import are needed";
        std::string file = OutDir() + "/dpi-192.xrdb";
        std::FILE* f = std::fopen(file.c_str(), "w");
        ASSERT_NE(f, nullptr);
        std::fputs("Xft.dpi: 192\n", f);
        std::fclose(f);
        Run({"xrdb", "-nocpp", "-merge", file});
        ASSERT_NE(Run({"xrdb", "-query"}).find("192"), std::string::npos);
    }
};

TEST_F(ScaledDesktop, TheWindowIsTwiceAsLargeInSharpPixelsAndThePointerLandsInGameCoordinates) {
    pid_t program = Start();
    std::string window = WaitForWindow(false);
    ASSERT_FALSE(window.empty()) << ReadLog(0);
    // The emulated desktop is 1920x1080: the window centred there, doubled.
    EXPECT_TRUE(WaitForGeometry(window, Geometry{2 * 644, 2 * 314, 2 * 638, 2 * 478}))
        << GeometryOf(window).x << "," << GeometryOf(window).y << " " << GeometryOf(window).width << "x"
        << GeometryOf(window).height;
    EXPECT_NE(Run({"xprop", "-id", window, "WM_NORMAL_HINTS"}).find("minimum size: 1276 by 956"), std::string::npos)
        << "the smallest size is doubled too";
    ASSERT_TRUE(FocusOn(window));
    // The pointer over the client's point (300, 200), where the game draws
    // its 4x4 mouse dot in palette colour 255 (white).
    Run({"xdotool", "mousemove", "--window", window, "601", "401", "click", "1"});
    std::this_thread::sleep_for(1500ms);
    Screenshot("xvfb-scaled.png");
    const Geometry g = GeometryOf(window);
    std::string rgb = Picture(window);
    ASSERT_EQ(rgb.size(), static_cast<std::size_t>(g.width) * g.height * 3);
    auto at = [&](int x, int y) { return rgb.substr((static_cast<std::size_t>(y) * g.width + x) * 3, 3); };
    int blocks = 0;
    for (int y = 0; y + 1 < g.height; y += 2)
        for (int x = 0; x + 1 < g.width; x += 2) {
            const std::string p = at(x, y);
            ASSERT_TRUE(at(x + 1, y) == p && at(x, y + 1) == p && at(x + 1, y + 1) == p)
                << "the pixel at " << x << "," << y << " is no 2x2 block";
            ++blocks;
        }
    EXPECT_EQ(blocks, 638 * 478);
    int white = 0;
    for (int y = 390; y < 420; ++y)
        for (int x = 590; x < 620; ++x) white += at(x, y) == std::string("\xff\xff\xff", 3);
    EXPECT_GE(white, 8 * 8) << "the mouse dot is under the pointer";
    Keys(window, {"key", "Escape"});
    EXPECT_EQ(WaitExit(program, 15s), 0);
}

// A Wayland compositor (weston's X11 backend, nested in the virtual X
// server: its headless backend brings SDL down at start), at an output scale.
class NestedWayland : public Display, public ::testing::WithParamInterface<int> {
protected:
    std::string runtime, socket, compositorWindow;
    pid_t compositor = -1;

    void SetUp() override {
        size = "2560x1800";
        Display::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        if (!OnPath("weston") || !OnPath("import")) GTEST_SKIP() << "weston and ImageMagick's import are needed";
        runtime = OutDir() + "/wayland-XXXXXX";
        ASSERT_NE(mkdtemp(runtime.data()), nullptr);
        socket = "tumbla-test" + display.substr(1);
        compositor = Spawn({"weston", "--backend=x11-backend.so", "--socket=" + socket, "--width=1000", "--height=800",
                            "--scale=" + std::to_string(GetParam()), "--idle-time=0"},
                           {{"DISPLAY", display}, {"XDG_RUNTIME_DIR", runtime}}, "", LogOf(99));
        for (auto until = Clock::now() + 20s; Clock::now() < until && compositorWindow.empty();
             std::this_thread::sleep_for(100ms)) {
            std::stringstream tree(Run({"xwininfo", "-root", "-children"}));
            std::string line;
            while (std::getline(tree, line))
                if (line.find("\"Weston Compositor") != std::string::npos) {
                    std::stringstream words(line);
                    words >> compositorWindow;
                }
            if (access((runtime + "/" + socket).c_str(), F_OK) != 0) compositorWindow.clear();
        }
        ASSERT_FALSE(compositorWindow.empty()) << "weston did not start";
        std::this_thread::sleep_for(1s);  // its shell's panel and background
    }

    void TearDown() override {
        Stop(compositor);
        Display::TearDown();
        if (!runtime.empty()) std::system(("rm -rf '" + runtime + "'").c_str());
    }

    pid_t StartOnWayland() {
        auto env = Env();
        env["DISPLAY"] = "";
        env["SDL_VIDEODRIVER"] = "wayland";
        env["WAYLAND_DISPLAY"] = socket;
        env["XDG_RUNTIME_DIR"] = runtime;
        return StartWith({}, env);
    }

    std::string Output() { return Picture(compositorWindow); }

    // The compositor's output changes within `within` (the game's stars
    // move; the desktop around it stands still).
    bool Moving(std::chrono::milliseconds within = 1500ms) {
        std::string before = Output();
        for (auto until = Clock::now() + within; Clock::now() < until;) {
            std::this_thread::sleep_for(200ms);
            if (Output() != before) return true;
        }
        return false;
    }

    // The output's top left pixel: weston's panel in a window, the black
    // around the picture in full screen.
    bool CornerIsBlack() { return Output().substr(0, 3) == std::string(3, '\0'); }

    // Where the game's pieces are: the columns of the well, and whether a
    // block (a bright pixel) lies within a cell of its left or right wall.
    // Without the player's keys pieces fall straight down the middle.
    struct Well {
        bool found = false, blockAtLeft = false, blockAtRight = false;
    };
    Well LookAtWell() {
        Well w;
        const Geometry g = GeometryOf(compositorWindow);
        const std::string rgb = Output();
        if (g.width <= 0 || rgb.size() != static_cast<std::size_t>(g.width) * g.height * 3) return w;
        auto pixel = [&](int x, int y) {
            return reinterpret_cast<const unsigned char*>(rgb.data()) + (y * g.width + x) * 3;
        };
        // The well below its entry: the rows and then the columns that are
        // mostly its ground, (0, 0, 85) (the palette strip at the top has
        // the colour too, in a few pixels).
        auto navy = [&](int x, int y) {
            const unsigned char* p = pixel(x, y);
            return p[0] == 0 && p[1] == 0 && p[2] == 85;
        };
        std::vector<int> rows(static_cast<std::size_t>(g.height)), columns(static_cast<std::size_t>(g.width));
        for (int y = 0; y < g.height; ++y)
            for (int x = 0; x < g.width; ++x) rows[static_cast<std::size_t>(y)] += navy(x, y);
        const int most = *std::max_element(rows.begin(), rows.end());
        int x0 = g.width, x1 = -1, y0 = g.height, y1 = -1;
        for (int y = 0; y < g.height; ++y) {
            if (rows[static_cast<std::size_t>(y)] * 5 < most * 4) continue;  // not the narrower entry
            y0 = std::min(y0, y), y1 = std::max(y1, y);
            for (int x = 0; x < g.width; ++x) columns[static_cast<std::size_t>(x)] += navy(x, y);
        }
        const int tallest = *std::max_element(columns.begin(), columns.end());
        for (int x = 0; x < g.width; ++x)
            if (columns[static_cast<std::size_t>(x)] * 5 >= tallest * 2) x0 = std::min(x0, x), x1 = std::max(x1, x);
        if (most < 64 || x1 - x0 < 64 || y1 - y0 < 128) return w;
        w.found = true;
        // Blocks are bright and not blue; stars and the mouse dot are bluish
        // or white.
        const int cell = (x1 - x0 + 1) / 8;
        for (int y = y0; y <= y1; ++y)
            for (int x = x0; x <= x1; ++x)
                if (const unsigned char* p = pixel(x, y); std::max(p[0], p[1]) > 150 && p[2] < std::max(p[0], p[1])) {
                    w.blockAtLeft = w.blockAtLeft || x < x0 + cell;
                    w.blockAtRight = w.blockAtRight || x > x1 - cell;
                }
        return w;
    }

    void Press(const std::vector<std::string>& keys) {
        Run({"xdotool", "windowfocus", "--sync", compositorWindow});
        std::vector<std::string> argv{"xdotool"};
        argv.insert(argv.end(), keys.begin(), keys.end());
        Run(argv);
    }
};

TEST_P(NestedWayland, ItPlaysGoesFullScreenAndBackWaitsInTheBackgroundAndEndsWithItsCompositor) {
    pid_t program = StartOnWayland();
    // The compositor's window has the X keyboard, so the game has weston's.
    Run({"xdotool", "windowfocus", "--sync", compositorWindow});
    Well well;
    for (auto until = Clock::now() + 15s; Clock::now() < until && !well.found; std::this_thread::sleep_for(200ms))
        well = LookAtWell();
    ASSERT_TRUE(well.found) << "the window shows the game: " << ReadLog(0);
    EXPECT_FALSE(CornerIsBlack());
    Screenshot("wayland-" + std::to_string(GetParam()) + "-window.png");
    EXPECT_FALSE(well.blockAtLeft || well.blockAtRight) << "pieces fall down the middle";
    // Six presses of the arrow, each held for a few frames (a quick tap
    // can fall between two of the game's looks at the keys when frames are
    // slow; held for six it repeats, and every refused move jolts the panel
    // aside). Under load frames are slow and some presses are still missed,
    // and a piece still in the entry cannot reach a wall: more tries push
    // on (without the keys no piece ever reaches a wall).
    auto pushTo = [&](const std::string& arrow, bool Well::*wall) {
        for (int attempt = 0; attempt < 4; ++attempt) {
            std::vector<std::string> keys;
            for (int i = 0; i < 5; ++i)
                keys.insert(keys.end(), {"keydown", arrow, "sleep", "0.08", "keyup", arrow, "sleep", "0.08"});
            Press(keys);
            // Pushed against the wall the piece jolts the panel aside: it
            // glides back.
            for (auto until = Clock::now() + 3s; Clock::now() < until; std::this_thread::sleep_for(200ms))
                if (LookAtWell().*wall) return true;
            Screenshot("wayland-" + std::to_string(GetParam()) + "-" + arrow + ".png");
        }
        return false;
    };
    EXPECT_TRUE(pushTo("Left", &Well::blockAtLeft)) << "the arrow keys move the piece to the wall";
    EXPECT_TRUE(pushTo("Right", &Well::blockAtRight));

    Press({"keydown", "alt", "key", "Return", "keyup", "alt"});
    for (auto until = Clock::now() + 5s; Clock::now() < until && !CornerIsBlack();) std::this_thread::sleep_for(100ms);
    EXPECT_TRUE(CornerIsBlack()) << "full screen";
    Screenshot("wayland-" + std::to_string(GetParam()) + "-fullscreen.png");
    Press({"keydown", "alt", "key", "Return", "keyup", "alt"});
    for (auto until = Clock::now() + 5s; Clock::now() < until && CornerIsBlack();) std::this_thread::sleep_for(100ms);
    EXPECT_FALSE(CornerIsBlack()) << "back in a window";

    // Another client takes the keyboard: the game stands still; it goes on
    // when that client is gone and the keyboard is back.
    auto env = Env();
    env["WAYLAND_DISPLAY"] = socket;
    env["XDG_RUNTIME_DIR"] = runtime;
    pid_t other = Spawn({"weston-flower"}, env);
    bool still = false;
    for (auto until = Clock::now() + 10s; Clock::now() < until && !still;) still = !Moving(600ms);
    EXPECT_TRUE(still) << "in the background the game stands still";
    Stop(other);
    EXPECT_TRUE(Moving(5s)) << "with the keyboard back it plays again";
    Screenshot("wayland-" + std::to_string(GetParam()) + "-back.png");
    EXPECT_TRUE(Running(program)) << ReadLog(0);

    Stop(compositor);
    compositor = -1;
    auto gone = Clock::now();
    int code = WaitExit(program, 2s);
    EXPECT_NE(code, -1) << "still there "
                        << std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - gone).count()
                        << " ms after the compositor went";
    EXPECT_NE(code, 0);
    EXPECT_EQ(Count(ReadLog(0), "\n"), 1u) << ReadLog(0);
}

INSTANTIATE_TEST_SUITE_P(AtOutputScale, NestedWayland, ::testing::Values(1, 2));

}  // namespace
