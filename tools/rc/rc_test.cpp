// The embedded resources against windres's compilation of the same script,
// and the tool's answers to scripts it must refuse or partly leave out.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <algorithm>
#include <sys/wait.h>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/kernel/resources.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

void WriteAll(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

int Shell(const std::string& command) {
    int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// One entry of a .res file: a RESOURCEHEADER (type and name as a number or
// a UTF-16 string, DWORD aligned) followed by its data, DWORD aligned.
struct ResEntry {
    platform::ResourceName type;
    std::string typeText;
    platform::ResourceName name;
    std::string nameText;
    std::uint16_t language = 0;
    Bytes data;
};

std::uint32_t Le32(const Bytes& b, std::size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (std::uint32_t{b[at + 3]} << 24);
}
std::uint16_t Le16(const Bytes& b, std::size_t at) { return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8)); }

std::size_t ReadId(const Bytes& b, std::size_t at, platform::ResourceName& id, std::string& text) {
    if (Le16(b, at) == 0xFFFF) {
        id.id = Le16(b, at + 2);
        return at + 4;
    }
    while (Le16(b, at) != 0) {
        text += static_cast<char>(Le16(b, at));
        at += 2;
    }
    return at + 2;
}

std::vector<ResEntry> ParseRes(const Bytes& b) {
    std::vector<ResEntry> out;
    std::size_t at = 0;
    while (at + 8 <= b.size()) {
        std::uint32_t dataSize = Le32(b, at), headerSize = Le32(b, at + 4);
        ResEntry e;
        std::size_t p = ReadId(b, at + 8, e.type, e.typeText);
        p = ReadId(b, p, e.name, e.nameText);
        p = (p + 3) & ~std::size_t{3};
        e.language = Le16(b, p + 6);
        std::size_t data = at + headerSize;
        e.data.assign(b.begin() + static_cast<std::ptrdiff_t>(data),
                      b.begin() + static_cast<std::ptrdiff_t>(data + dataSize));
        if (!(e.type.id == 0 && e.name.id == 0 && dataSize == 0)) out.push_back(std::move(e));  // the empty lead entry
        at = (data + dataSize + 3) & ~std::size_t{3};
    }
    return out;
}

bool Same(const platform::ResourceName& embedded, const platform::ResourceName& id, const std::string& text) {
    if (id.id >= 0) return embedded.id == id.id;
    return embedded.text && text == embedded.text;
}

TEST(EmbeddedResources, MatchTheWindowsResourceCompilerByteForByte) {
#ifndef TUMBLA_WINDRES
    GTEST_SKIP() << "no windres here to compare with";
#else
    std::string res = std::string(TUMBLA_RC_WORK) + "/reference.res";
    ASSERT_EQ(
        Shell(std::string("\"") + TUMBLA_WINDRES + "\" -i \"" + TUMBLA_RC_SCRIPT + "\" -O res -o \"" + res + "\""), 0);
    std::vector<ResEntry> reference = ParseRes(ReadAll(res));
    auto embedded = platform::RegisteredResources();
    ASSERT_FALSE(reference.empty());
    EXPECT_EQ(embedded.size(), reference.size());
    for (const ResEntry& r : reference) {
        const platform::EmbeddedResource* found = nullptr;
        for (const auto& e : embedded)
            if (Same(e.type, r.type, r.typeText) && Same(e.name, r.name, r.nameText) && e.language == r.language)
                found = &e;
        SCOPED_TRACE("type " + (r.type.id >= 0 ? std::to_string(r.type.id) : r.typeText) + " name " +
                     (r.name.id >= 0 ? std::to_string(r.name.id) : r.nameText));
        ASSERT_NE(found, nullptr);
        ASSERT_EQ(found->size, r.data.size());
        EXPECT_TRUE(std::equal(r.data.begin(), r.data.end(), found->data));
    }
#endif
}

TEST(EmbeddedResources, EverythingTheGameLoadsIsThereInJapanese) {
    auto has = [](int type, const char* typeText, int name) {
        for (const auto& e : platform::RegisteredResources()) {
            bool typeMatches = typeText ? (e.type.text && std::string(e.type.text) == typeText) : e.type.id == type;
            if (typeMatches && e.name.id == name && e.language == 1041 && e.size > 0) return true;
        }
        return false;
    };
    EXPECT_TRUE(has(14, nullptr, 116));  // the icon's directory
    EXPECT_TRUE(has(2, nullptr, 117));   // the sprite sheet
    EXPECT_TRUE(has(-1, "WAVE", 118));
    EXPECT_TRUE(has(-1, "WAVE", 119));
    EXPECT_TRUE(has(-1, "WAVE", 120));
    EXPECT_TRUE(has(6, nullptr, 1));  // strings 0 to 15
}

class Tool : public ::testing::Test {
protected:
    // Each test in its own folder: CTest runs them side by side.
    std::string dir;
    void SetUp() override {
        dir = std::string(TUMBLA_RC_WORK) + "/cases/" + ::testing::UnitTest::GetInstance()->current_test_info()->name();
        Shell("mkdir -p \"" + dir + "\"");
    }
    int Compile(const std::string& script, std::string* errors = nullptr) {
        WriteAll(dir + "/case.rc", script);
        // A tool that hangs fails the test instead of holding up the run.
        int code = Shell(std::string("timeout 60 \"") + TUMBLA_RC_TOOL + "\" \"" + dir + "/case.rc\" \"" + dir +
                         "/case.cpp\" 2>\"" + dir + "/errors.txt\"");
        if (errors) {
            Bytes e = ReadAll(dir + "/errors.txt");
            errors->assign(e.begin(), e.end());
        }
        return code;
    }
    std::string Output() {
        Bytes b = ReadAll(dir + "/case.cpp");
        return std::string(b.begin(), b.end());
    }
};

TEST_F(Tool, RefusesWhatItDoesNotUnderstand) {
    std::string errors;
    EXPECT_EQ(Compile("#include \"no-such.h\"\n", &errors), 1);
    EXPECT_NE(errors.find("case.rc:1"), std::string::npos);
    EXPECT_EQ(Compile("#if 1\n"), 1);
    EXPECT_EQ(Compile("#pragma code_page(932)\n"), 1);  // only UTF-8 scripts
    EXPECT_EQ(Compile("STRINGTABLE\nBEGIN\n 2 \"unterminated\nEND\n"), 1);
    EXPECT_EQ(Compile("STRINGTABLE\nBEGIN\n 2 \"a\\qb\"\nEND\n"), 1);
    EXPECT_EQ(Compile("STRINGTABLE\nBEGIN\n 2 \"a\"\n 2 \"b\"\nEND\n", &errors), 1);
    EXPECT_NE(errors.find("given twice"), std::string::npos);
    EXPECT_EQ(Compile("STRINGTABLE\nBEGIN\n 2 \"\xff\"\nEND\n"), 1);  // not UTF-8
    EXPECT_EQ(Compile("1 CURSOR \"x.cur\"\n"), 1);
}

// The numbers come from a header the program includes too, as Windows
// programs keep them; a header is for names, never for resources.
TEST_F(Tool, ReadsTheResourceNumbersFromAnIncludedHeader) {
    WriteAll(dir + "/ids.h",
             "#ifndef IDS_H\n#define IDS_H\n#define IDS_HELLO 17 // greeting\n#define IDB_X 117\n"
             "#define LANG_JA 0x11, 0x01\n#endif\n");
    ASSERT_EQ(Compile("#include \"ids.h\"\nLANGUAGE LANG_JA\nSTRINGTABLE\nBEGIN\n IDS_HELLO \"a\"\nEND\n"
                      "IDB_X BITMAP \"none.bmp\"\n"),
              0);
    EXPECT_NE(Output().find("{{6, nullptr}, {2, nullptr}, 1041, data0, 34}"), std::string::npos) << Output();
    WriteAll(dir + "/bad.h", "1 BITMAP \"x.bmp\"\n");
    std::string errors;
    EXPECT_EQ(Compile("#include \"bad.h\"\n", &errors), 1);
    EXPECT_NE(errors.find("bad.h:1"), std::string::npos) << errors;
}

// Whatever the script, the tool answers: a definition or header that names
// itself, one that doubles the script at every step, or a name that is not
// a file, never a hang, a crash or all the memory.
TEST_F(Tool, EndsOnScriptsThatWouldGoOnForever) {
    std::string errors;
    // As in C, a name is not replaced again inside its own text: these are
    // resources named A and B, whose files are missing.
    WriteAll(dir + "/self.h", "#define A A\n#define B C\n#define C B\n");
    ASSERT_EQ(Compile("#include \"self.h\"\nA RCDATA \"none\"\nB RCDATA \"none\"\n", &errors), 0) << errors;
    // ...also where text before it grew: the second A is still A's own.
    EXPECT_EQ(Compile("#define A B A\n#define B 1, 2\n1 VERSIONINFO\nBEGIN\n VALUE \"x\", A\nEND\n", &errors), 1);
    EXPECT_NE(errors.find("expected after A"), std::string::npos) << errors;
    EXPECT_EQ(Compile("#define A 1, A\n1 VERSIONINFO\nBEGIN\n VALUE \"x\", A\nEND\n"), 1);
    std::string doubling;
    for (char c = 'A'; c < 'U'; ++c)
        doubling += std::string("#define ") + c + " " + char(c + 1) + ", " + char(c + 1) + "\n";
    EXPECT_EQ(Compile(doubling + "#define U 1\n1 VERSIONINFO\nBEGIN\n VALUE \"x\", A\nEND\n", &errors), 1);
    EXPECT_NE(errors.find("without end"), std::string::npos) << errors;
    std::string empties = "#define E\n1 RCDATA";
    for (int i = 0; i < 1000; ++i) empties += " E";
    EXPECT_EQ(Compile(empties + " \"none\"\n", &errors), 0) << errors;

    WriteAll(dir + "/self.rc.h", "#include \"self.rc.h\"\n");
    EXPECT_EQ(Compile("#include \"self.rc.h\"\n", &errors), 1);
    EXPECT_NE(errors.find("nested too deeply"), std::string::npos) << errors;
    std::string deep = "1 VERSIONINFO\nBEGIN\n";
    for (int i = 0; i < 20000; ++i) deep += "BLOCK \"a\" BEGIN ";
    EXPECT_EQ(Compile(deep), 1);
    // A folder, or a pipe nobody writes to, is not a file to read.
    EXPECT_EQ(Compile("#include \".\"\n", &errors), 1);
    EXPECT_NE(errors.find("is not a file"), std::string::npos) << errors;
    EXPECT_EQ(Compile("1 RCDATA \".\"\n"), 1);
    Shell("rm -f \"" + dir + "/pipe\" && mkfifo \"" + dir + "/pipe\"");
    EXPECT_EQ(Compile("#include \"pipe\"\n"), 1);
}

// A number too large for its field is refused, not cut down to another one.
TEST_F(Tool, RefusesNumbersTooLargeForTheirPlace) {
    EXPECT_EQ(Compile("99999999999999999999 RCDATA \"none\"\n"), 1);
    EXPECT_EQ(Compile("65535 65535 \"none\"\n"), 0);
    EXPECT_EQ(Compile("65536 RCDATA \"none\"\n"), 1);
    EXPECT_EQ(Compile("1 65536 \"none\"\n"), 1);
    EXPECT_EQ(Compile("LANGUAGE 0x3FF, 0x3F\n"), 0);
    EXPECT_EQ(Compile("LANGUAGE 0x400, 1\n"), 1);
    EXPECT_EQ(Compile("LANGUAGE 9, 0x40\n"), 1);
    EXPECT_EQ(Compile("1 VERSIONINFO FILEFLAGS 0xFFFFFFFF\nBEGIN\nEND\n"), 0);
    EXPECT_EQ(Compile("1 VERSIONINFO FILEFLAGS 0x100000000\nBEGIN\nEND\n"), 1);
}

TEST_F(Tool, LeavesOutMissingFilesWithAWarning) {
    std::string errors;
    ASSERT_EQ(Compile("LANGUAGE 0x11, 0x01\n117 BITMAP \"no-such.bmp\"\n", &errors), 0);
    EXPECT_NE(errors.find("no-such.bmp"), std::string::npos);
    EXPECT_EQ(Output().find("{2, nullptr}"), std::string::npos);
}

TEST_F(Tool, BuildsStringBlocksOfSixteenCountedStrings) {
    // Id 17 is the second string of block 2; "é" is one UTF-16 unit, "𝄞" two.
    ASSERT_EQ(Compile("#pragma code_page(65001)\nLANGUAGE 0x11, 0x01\nSTRINGTABLE\nBEGIN\n"
                      "  17, \"a\"\"\\n\xc3\xa9\xf0\x9d\x84\x9e\"\nEND\n"),
              0);
    std::string out = Output();
    // Block 2 in language 1041: an empty first string, then 6 units:
    // a " \n é and the surrogate pair, then fourteen empty strings.
    EXPECT_NE(out.find("{{6, nullptr}, {2, nullptr}, 1041, data0, 44}"), std::string::npos) << out;
    EXPECT_NE(out.find("0, 0, 6, 0, 97, 0, 34, 0, 10, 0, 233, 0, 52, 216, 30, 221,"), std::string::npos) << out;
}

}  // namespace
