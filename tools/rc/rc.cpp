// tumbla_rc: turns a resource script into a C++ file that registers its
// resources with the stand-in's resource table, laid out as the Windows
// resource compiler lays them out in an executable, so that the program
// finds the same bytes on every host:
//   - ICON "file.ico": one RT_ICON per image (numbered from 1 in the order
//     met) and an RT_GROUP_ICON directory naming them;
//   - BITMAP "file.bmp": RT_BITMAP, the file without its BITMAPFILEHEADER;
//   - any other type (a name such as WAVE, or a number): the file as it is;
//   - STRINGTABLE: RT_STRING blocks of sixteen counted UTF-16 strings,
//     block n + 1 holding ids 16n to 16n + 15;
//   - VERSIONINFO: RT_VERSION, a VS_VERSIONINFO tree: the fixed part from
//     the numbered statements, then BLOCKs and VALUEs (strings, or numbers
//     as 16-bit words), each node's length not counting its own tail
//     padding, as windres writes it.
//
// The script is read as UTF-8 (#pragma code_page(65001)). Understood: line
// and block comments, #pragma code_page, LANGUAGE, memory options (ignored),
// numbered or named resources, and string escapes \n \t \r \\ \" and "".
// Of the preprocessor, what a resource header holds: #include "file" (beside
// the including file), #define NAME text (a name met later stands for its
// text), and the include guard's #ifndef and #endif.
// A file that does not exist is left out with a warning, so a tree still
// builds while an asset is being made.
//
// Usage: tumbla_rc <script.rc> <output.cpp>
#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr int kRtIcon = 3;
constexpr int kRtBitmap = 2;
constexpr int kRtString = 6;
constexpr int kRtRcdata = 10;
constexpr int kRtGroupIcon = 14;
constexpr int kRtVersion = 16;

struct Name {
    int id = -1;
    std::string text;  // upper case, when id < 0
};

struct Resource {
    Name type;
    Name name;
    int language = 0;
    std::vector<std::uint8_t> data;
};

struct Failure {
    std::string message;
};

struct Token {
    enum Kind { End, Number, Word, String, Punct } kind = End;
    std::string text;
    long value = 0;
    int line = 0;
};

// A whole file, or nothing when there is none. A name that is there but is
// not a file (a folder, a device that never ends) is a failure.
std::optional<std::vector<std::uint8_t>> ReadFile(const fs::path& path) {
    std::error_code error;
    fs::file_status status = fs::status(path, error);
    if (!fs::exists(status)) return std::nullopt;
    if (!fs::is_regular_file(status)) throw Failure{path.string() + " is not a file"};
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

class Lexer {
public:
    using Defines = std::map<std::string, std::string>;
    Lexer(std::string text, std::string file, Defines* defines, int depth = 0)
        : text_(std::move(text)), file_(std::move(file)), defines_(defines), depth_(depth) {}

    Token Next() {
        for (;;) {
            Token t;
            if (Take(t)) return t;
        }
    }

    // The next token into `t`; false when a #define's name was replaced by
    // its text instead, to be read again.
    bool Take(Token& t) {
        SkipSpace();
        t.line = line_;
        if (at_ >= text_.size()) return true;
        char c = text_[at_];
        if (c == '"') {
            t.kind = Token::String;
            t.text = ReadString();
        } else if (c >= '0' && c <= '9') {
            t.kind = Token::Number;
            std::size_t start = at_;
            while (at_ < text_.size() && std::isalnum(static_cast<unsigned char>(text_[at_]))) ++at_;
            std::string digits = text_.substr(start, at_ - start);
            if (!digits.empty() && (digits.back() == 'L' || digits.back() == 'l')) digits.pop_back();
            std::size_t used = 0;
            try {
                t.value = std::stol(digits, &used, 0);
            } catch (...) {
                used = 0;
            }
            if (used != digits.size()) Fail("not a number: " + text_.substr(start, at_ - start));
            t.text = digits;
        } else if (std::isalpha(static_cast<unsigned char>(c)) || c == '_') {
            t.kind = Token::Word;
            std::size_t start = at_;
            while (at_ < text_.size() && (std::isalnum(static_cast<unsigned char>(text_[at_])) || text_[at_] == '_'))
                ++at_;
            t.text = text_.substr(start, at_ - start);
            if (Expand(start, t.text)) return false;
        } else if (c == ',' || c == '{' || c == '}') {
            t.kind = Token::Punct;
            t.text = std::string(1, c);
            ++at_;
        } else {
            Fail(std::string("unexpected character '") + c + "'");
        }
        return true;
    }

    // The next token's text, without taking it.
    std::string PeekText() {
        std::size_t at = at_;
        int line = line_;
        bool lineStart = lineStart_;
        std::string text = Next().text;
        at_ = at;
        line_ = line;
        lineStart_ = lineStart;
        return text;
    }

    [[noreturn]] void Fail(const std::string& message) const {
        throw Failure{file_ + ":" + std::to_string(line_) + ": " + message};
    }

private:
    // Puts the text of the #define `name`, the word that starts at `start`,
    // in its place. As in C, a name is not replaced again inside its own
    // text, so a definition that names itself, directly or through others,
    // ends; and the script may grow only so far, so that definitions that
    // double each other cannot take the machine's memory and time.
    bool Expand(std::size_t start, const std::string& name) {
        std::erase_if(expanding_, [start](const Expansion& e) { return e.end <= start; });
        auto macro = defines_->find(name);
        if (macro == defines_->end()) return false;
        for (const Expansion& e : expanding_)
            if (e.name == name) return false;
        const std::string& text = macro->second;
        inserted_ += text.size();
        if (++expansions_ > kMaxExpansions || inserted_ > kMaxInserted)
            Fail("the #defines grow the script without end (at " + name + ")");
        // The expansions under way hold the name, and now hold its text.
        for (Expansion& e : expanding_) e.end = std::max(e.end, at_) - (at_ - start) + text.size();
        expanding_.push_back({name, start + text.size()});
        text_.replace(start, at_ - start, text);
        at_ = start;
        return true;
    }

    void SkipSpace() {
        while (at_ < text_.size()) {
            char c = text_[at_];
            if (c == '\n') {
                ++line_;
                ++at_;
                lineStart_ = true;
            } else if (c == ' ' || c == '\t' || c == '\r') {
                ++at_;
            } else if (text_.compare(at_, 2, "//") == 0) {
                while (at_ < text_.size() && text_[at_] != '\n') ++at_;
            } else if (text_.compare(at_, 2, "/*") == 0) {
                std::size_t end = text_.find("*/", at_ + 2);
                if (end == std::string::npos) Fail("unterminated comment");
                for (std::size_t i = at_; i < end; ++i)
                    if (text_[i] == '\n') ++line_;
                at_ = end + 2;
            } else if (c == '#' && lineStart_) {
                Directive();
            } else {
                lineStart_ = false;
                return;
            }
        }
    }

    void Directive() {
        std::size_t end = text_.find('\n', at_);
        if (end == std::string::npos) end = text_.size();
        std::string line = text_.substr(at_, end - at_);
        at_ = end;
        std::istringstream words(line.substr(1));
        std::string word, name;
        words >> word;
        if (word == "pragma") {
            std::string compact;
            for (char c : line)
                if (c != ' ' && c != '\t' && c != '\r') compact += c;
            if (compact == "#pragmacode_page(65001)") return;
        } else if (word == "define" && words >> name) {
            std::string text;
            std::getline(words, text);
            std::size_t comment = text.find("//");
            if (comment != std::string::npos) text.erase(comment);
            (*defines_)[name] = text;
            return;
        } else if (word == "include" && words >> name && name.size() > 2 && name.front() == '"' && name.back() == '"') {
            Include(name.substr(1, name.size() - 2));
            return;
        } else if ((word == "ifndef" && words >> name) || word == "endif") {
            return;  // an include guard: a header is read once anyway
        }
        Fail("not understood here: " + line);
    }

    void Include(const std::string& name) {
        if (depth_ >= 8) Fail("#include nested too deeply: " + name);
        fs::path path = fs::path(file_).parent_path() / name;
        auto text = ReadFile(path);
        if (!text) Fail("cannot read #include \"" + name + "\"");
        Lexer header(std::string(text->begin(), text->end()), path.string(), defines_, depth_ + 1);
        // A header only defines: anything it would make a resource of is refused.
        if (header.Next().kind != Token::End) header.Fail("a resource header holds only #define lines");
    }

    std::string ReadString() {
        ++at_;  // the opening quote
        std::string out;
        for (;;) {
            if (at_ >= text_.size() || text_[at_] == '\n') Fail("unterminated string");
            char c = text_[at_++];
            if (c == '"') {
                if (at_ < text_.size() && text_[at_] == '"') {
                    out += '"';
                    ++at_;
                    continue;
                }
                return out;
            }
            if (c != '\\') {
                out += c;
                continue;
            }
            if (at_ >= text_.size()) Fail("unterminated string");
            char e = text_[at_++];
            switch (e) {
                case 'n': out += '\n'; break;
                case 't': out += '\t'; break;
                case 'r': out += '\r'; break;
                case '\\': out += '\\'; break;
                case '"': out += '"'; break;
                default: Fail(std::string("unknown escape \\") + e);
            }
        }
    }

    struct Expansion {
        std::string name;
        std::size_t end;  // where its text ends in text_
    };
    static constexpr int kMaxExpansions = 100000;
    static constexpr std::size_t kMaxInserted = std::size_t{1} << 20;

    std::string text_;
    std::string file_;
    Defines* defines_;
    int depth_;
    std::vector<Expansion> expanding_;
    int expansions_ = 0;
    std::size_t inserted_ = 0;
    std::size_t at_ = 0;
    int line_ = 1;
    bool lineStart_ = true;
};

std::u16string Utf8ToUtf16(const std::string& s, const Lexer& lex) {
    std::u16string out;
    for (std::size_t i = 0; i < s.size();) {
        auto b = static_cast<unsigned char>(s[i]);
        std::uint32_t c;
        int extra;
        if (b < 0x80)
            c = b, extra = 0;
        else if ((b & 0xE0) == 0xC0)
            c = b & 0x1F, extra = 1;
        else if ((b & 0xF0) == 0xE0)
            c = b & 0x0F, extra = 2;
        else if ((b & 0xF8) == 0xF0)
            c = b & 0x07, extra = 3;
        else
            lex.Fail("a string is not UTF-8");
        for (int k = 1; k <= extra; ++k) {
            if (i + k >= s.size()) lex.Fail("a string is not UTF-8");
            auto cont = static_cast<unsigned char>(s[i + k]);
            if ((cont & 0xC0) != 0x80) lex.Fail("a string is not UTF-8");
            c = (c << 6) | (cont & 0x3F);
        }
        i += 1 + extra;
        if (c > 0x10FFFF) lex.Fail("a string is not UTF-8");
        if (c >= 0x10000) {
            c -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (c >> 10));
            out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
        } else {
            out += static_cast<char16_t>(c);
        }
    }
    return out;
}

std::uint32_t Read32(const std::vector<std::uint8_t>& d, std::size_t at) {
    return d[at] | (d[at + 1] << 8) | (d[at + 2] << 16) | (std::uint32_t{d[at + 3]} << 24);
}

void Put16(std::vector<std::uint8_t>& d, unsigned v) {
    d.push_back(static_cast<std::uint8_t>(v & 0xFF));
    d.push_back(static_cast<std::uint8_t>((v >> 8) & 0xFF));
}

class Compiler {
public:
    explicit Compiler(fs::path script) : script_(std::move(script)) {}

    std::vector<Resource> Run() {
        auto text = ReadFile(script_);
        if (!text) throw Failure{"cannot read " + script_.string()};
        Lexer::Defines defines;
        Lexer lex(std::string(text->begin(), text->end()), script_.string(), &defines);
        for (Token t = lex.Next(); t.kind != Token::End; t = lex.Next()) {
            if (t.kind == Token::Word && t.text == "LANGUAGE") {
                language_ = Language(lex);
            } else if (t.kind == Token::Word && t.text == "STRINGTABLE") {
                StringTable(lex);
            } else if (t.kind == Token::Number || t.kind == Token::Word) {
                FileResource(lex, t);
            } else {
                lex.Fail("a resource statement was expected");
            }
        }
        for (auto& [key, strings] : blocks_) {
            Resource r;
            r.type.id = kRtString;
            r.name.id = key.second;
            r.language = key.first;
            for (const auto& s : strings) {
                Put16(r.data, static_cast<unsigned>(s.size()));
                for (char16_t c : s) Put16(r.data, c);
            }
            out_.push_back(std::move(r));
        }
        return std::move(out_);
    }

private:
    int Language(Lexer& lex) {
        Token primary = lex.Next();
        Token comma = lex.Next();
        Token sub = lex.Next();
        if (primary.kind != Token::Number || comma.text != "," || sub.kind != Token::Number || primary.value > 0x3FF ||
            sub.value > 0x3F)
            lex.Fail("LANGUAGE wants two numbers, a language and its sublanguage");
        return static_cast<int>((sub.value << 10) | primary.value);
    }

    static bool IsMemoryOption(const std::string& w) {
        return w == "DISCARDABLE" || w == "MOVEABLE" || w == "FIXED" || w == "PURE" || w == "IMPURE" ||
               w == "PRELOAD" || w == "LOADONCALL";
    }

    void StringTable(Lexer& lex) {
        Token t = lex.Next();
        while (t.kind == Token::Word && IsMemoryOption(t.text)) t = lex.Next();
        int language = language_;
        if (t.kind == Token::Word && t.text == "LANGUAGE") {
            language = Language(lex);
            t = lex.Next();
        }
        if (t.text != "BEGIN" && t.text != "{") lex.Fail("BEGIN expected");
        for (;;) {
            t = lex.Next();
            if (t.text == "END" || t.text == "}") return;
            if (t.kind != Token::Number || t.value < 0 || t.value > 0xFFFF) lex.Fail("a string id expected");
            int id = static_cast<int>(t.value);
            Token s = lex.Next();
            if (s.text == ",") s = lex.Next();
            if (s.kind != Token::String) lex.Fail("a string expected");
            auto& block = blocks_[{language, (id >> 4) + 1}];
            if (block.empty()) block.resize(16);
            if (!block[id & 15].empty()) lex.Fail("string " + std::to_string(id) + " given twice");
            block[id & 15] = Utf8ToUtf16(s.text, lex);
        }
    }

    static Name NameOf(const Token& t) {
        Name n;
        if (t.kind == Token::Number) {
            n.id = static_cast<int>(t.value);
        } else {
            for (char c : t.text) n.text += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        }
        return n;
    }

    void FileResource(Lexer& lex, const Token& nameToken) {
        Token typeToken = lex.Next();
        if (typeToken.kind != Token::Word && typeToken.kind != Token::Number) lex.Fail("a resource type expected");
        for (const Token* t : {&nameToken, static_cast<const Token*>(&typeToken)})
            if (t->kind == Token::Number && t->value > 0xFFFF) lex.Fail("a resource number is 16 bits: " + t->text);
        Token fileToken = lex.Next();
        while (fileToken.kind == Token::Word && IsMemoryOption(fileToken.text)) fileToken = lex.Next();
        if (typeToken.kind == Token::Word && NameOf(typeToken).text == "VERSIONINFO")
            return VersionInfo(lex, NameOf(nameToken), fileToken);
        if (fileToken.kind != Token::String) lex.Fail("a file name expected");
        Name name = NameOf(nameToken);
        std::string type = typeToken.kind == Token::Word ? NameOf(typeToken).text : "";
        if (type == "CURSOR" || type == "MENU" || type == "DIALOG")
            lex.Fail(type + " resources are not understood here");
        fs::path path = script_.parent_path() / fileToken.text;
        auto data = ReadFile(path);
        if (!data) {
            std::fprintf(stderr, "tumbla_rc: warning: %s does not exist; resource left out\n", path.string().c_str());
            return;
        }
        if (type == "ICON") {
            Icon(lex, name, *data, path);
        } else if (type == "BITMAP") {
            if (data->size() < 14 + 40 || (*data)[0] != 'B' || (*data)[1] != 'M')
                lex.Fail(path.string() + " is not a bitmap file");
            Resource r{Name{kRtBitmap, {}}, name, language_, {data->begin() + 14, data->end()}};
            out_.push_back(std::move(r));
        } else {
            Name t = type == "RCDATA" ? Name{kRtRcdata, {}} : NameOf(typeToken);
            out_.push_back(Resource{t, name, language_, std::move(*data)});
        }
    }

    // A VS_VERSIONINFO node: length, value length, type (1: text), the key
    // in UTF-16, padding to a DWORD, the value, then each child on a DWORD.
    static void Align4(std::vector<std::uint8_t>& d) {
        while (d.size() % 4) d.push_back(0);
    }

    static std::vector<std::uint8_t> Node(const std::u16string& key, unsigned valueLength, unsigned type,
                                          const std::vector<std::uint8_t>& value,
                                          const std::vector<std::vector<std::uint8_t>>& children) {
        std::vector<std::uint8_t> d;
        Put16(d, 0);
        Put16(d, valueLength);
        Put16(d, type);
        for (char16_t c : key) Put16(d, c);
        Put16(d, 0);
        Align4(d);
        d.insert(d.end(), value.begin(), value.end());
        for (const auto& child : children) {
            Align4(d);
            d.insert(d.end(), child.begin(), child.end());
        }
        if (d.size() > 0xFFFF) throw Failure{"a version block is too long"};
        d[0] = static_cast<std::uint8_t>(d.size() & 0xFF);
        d[1] = static_cast<std::uint8_t>(d.size() >> 8);
        return d;
    }

    static void Put32(std::vector<std::uint8_t>& d, std::uint32_t v) {
        Put16(d, v & 0xFFFF);
        Put16(d, v >> 16);
    }

    // The statements between BEGIN and END of a VERSIONINFO or a BLOCK.
    std::vector<std::vector<std::uint8_t>> VersionChildren(Lexer& lex, int depth = 0) {
        // A version resource nests three deep; far deeper is a broken script.
        if (depth > 16) lex.Fail("BLOCKs nested too deeply");
        std::vector<std::vector<std::uint8_t>> children;
        for (;;) {
            Token t = lex.Next();
            if (t.text == "END" || t.text == "}") return children;
            Token key = lex.Next();
            if (key.kind != Token::String) lex.Fail("a key expected after " + t.text);
            std::u16string name = Utf8ToUtf16(key.text, lex);
            if (t.text == "BLOCK") {
                Token begin = lex.Next();
                if (begin.text != "BEGIN" && begin.text != "{") lex.Fail("BEGIN expected");
                children.push_back(Node(name, 0, 1, {}, VersionChildren(lex, depth + 1)));
            } else if (t.text == "VALUE") {
                children.push_back(VersionValue(lex, name));
            } else {
                lex.Fail("BLOCK or VALUE expected, not " + t.text);
            }
        }
    }

    // VALUE "key", "text" or VALUE "key", word, word...
    std::vector<std::uint8_t> VersionValue(Lexer& lex, const std::u16string& key) {
        std::vector<std::uint8_t> value;
        Token t = lex.Next();
        if (t.text == ",") t = lex.Next();
        if (t.kind == Token::String) {
            std::u16string text = Utf8ToUtf16(t.text, lex);
            for (char16_t c : text) Put16(value, c);
            Put16(value, 0);
            return Node(key, static_cast<unsigned>(text.size() + 1), 1, value, {});
        }
        for (;;) {
            if (t.kind != Token::Number || t.value < 0 || t.value > 0xFFFF) lex.Fail("a 16-bit number expected");
            Put16(value, static_cast<unsigned>(t.value));
            if (lex.PeekText() != ",") break;
            lex.Next();
            t = lex.Next();
        }
        return Node(key, static_cast<unsigned>(value.size()), 0, value, {});
    }

    void VersionInfo(Lexer& lex, const Name& name, Token t) {
        // VS_FIXEDFILEINFO after its signature and structure version.
        std::uint32_t fixed[11] = {};
        static const char* const kFixed[] = {"FILEVERSION", "PRODUCTVERSION", "FILEFLAGSMASK", "FILEFLAGS",
                                             "FILEOS",      "FILETYPE",       "FILESUBTYPE"};
        while (t.text != "BEGIN" && t.text != "{") {
            int which = -1;
            for (int i = 0; i < 7; ++i)
                if (t.kind == Token::Word && t.text == kFixed[i]) which = i;
            if (which < 0) lex.Fail("a VERSIONINFO statement or BEGIN expected, not " + t.text);
            if (which < 2) {
                // Four numbers, two to a DWORD, the most significant first.
                std::uint32_t parts[4] = {};
                for (int k = 0; k < 4; ++k) {
                    Token n = lex.Next();
                    if (n.kind != Token::Number || n.value < 0 || n.value > 0xFFFF)
                        lex.Fail("a version number expected");
                    parts[k] = static_cast<std::uint32_t>(n.value);
                    if (k < 3 && lex.Next().text != ",") lex.Fail("a comma expected");
                }
                fixed[2 * which] = parts[0] << 16 | parts[1];
                fixed[2 * which + 1] = parts[2] << 16 | parts[3];
            } else {
                Token n = lex.Next();
                if (n.kind != Token::Number || n.value > 0xFFFFFFFF)
                    lex.Fail("a 32-bit number expected after " + t.text);
                fixed[which + 2] = static_cast<std::uint32_t>(n.value);
            }
            t = lex.Next();
        }
        std::vector<std::uint8_t> value;
        Put32(value, 0xFEEF04BD);
        Put32(value, 0x00010000);
        for (std::uint32_t v : fixed) Put32(value, v);
        out_.push_back(
            Resource{Name{kRtVersion, {}}, name, language_,
                     Node(u"VS_VERSION_INFO", static_cast<unsigned>(value.size()), 0, value, VersionChildren(lex))});
    }

    void Icon(Lexer& lex, const Name& name, const std::vector<std::uint8_t>& file, const fs::path& path) {
        if (file.size() < 6 || file[0] || file[1] || file[2] != 1 || file[3])
            lex.Fail(path.string() + " is not an icon file");
        unsigned count = file[4] | (file[5] << 8);
        if (file.size() < 6 + 16 * static_cast<std::size_t>(count)) lex.Fail(path.string() + " is cut short");
        Resource group{Name{kRtGroupIcon, {}}, name, language_, {}};
        Put16(group.data, 0);
        Put16(group.data, 1);
        Put16(group.data, count);
        for (unsigned i = 0; i < count; ++i) {
            std::size_t e = 6 + 16 * static_cast<std::size_t>(i);
            std::uint32_t size = Read32(file, e + 8);
            std::uint32_t offset = Read32(file, e + 12);
            if (offset > file.size() || size > file.size() - offset) lex.Fail(path.string() + " is cut short");
            Resource image{Name{kRtIcon, {}},
                           Name{++iconCount_, {}},
                           language_,
                           {file.begin() + offset, file.begin() + offset + size}};
            // The directory entry: width, height, colours, reserved, planes,
            // bit count, size, and the image's resource id in place of its
            // file offset.
            for (std::size_t k = 0; k < 12; ++k) group.data.push_back(file[e + k]);
            Put16(group.data, static_cast<unsigned>(iconCount_));
            out_.push_back(std::move(image));
        }
        out_.push_back(std::move(group));
    }

    fs::path script_;
    int language_ = 0x409;  // the resource compiler's default, U.S. English
    int iconCount_ = 0;
    std::vector<Resource> out_;
    std::map<std::pair<int, int>, std::vector<std::u16string>> blocks_;
};

std::string Source(const std::vector<Resource>& resources, const std::string& script) {
    std::ostringstream out;
    out << "// Made by tumbla_rc from " << script << "; edit that file, not this one.\n"
        << "#include \"platform/kernel/resources.h\"\n\nnamespace {\n\n";
    for (std::size_t i = 0; i < resources.size(); ++i) {
        const auto& data = resources[i].data;
        out << "alignas(4) const std::uint8_t data" << i << "[] = {";
        for (std::size_t k = 0; k < data.size(); ++k) {
            if (k % 24 == 0) out << "\n   ";
            out << ' ' << static_cast<unsigned>(data[k]) << ',';
        }
        if (data.empty()) out << "0";
        out << "\n};\n\n";
    }
    auto name = [](const Name& n) {
        if (n.id >= 0) return "{" + std::to_string(n.id) + ", nullptr}";
        return "{-1, \"" + n.text + "\"}";
    };
    out << "const platform::EmbeddedResource table[] = {\n";
    for (std::size_t i = 0; i < resources.size(); ++i) {
        const auto& r = resources[i];
        out << "    {" << name(r.type) << ", " << name(r.name) << ", " << r.language << ", data" << i << ", "
            << r.data.size() << "},\n";
    }
    out << "};\n\n"
        << "struct Registration {\n"
        << "    Registration() { platform::RegisterResources(table); }\n"
        << "} registration;\n\n"
        << "}  // namespace\n";
    return out.str();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: tumbla_rc <script.rc> <output.cpp>\n");
        return 2;
    }
    try {
        std::vector<Resource> resources = Compiler(argv[1]).Run();
        std::string source = Source(resources, fs::path(argv[1]).filename().string());
        std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
        out << source;
        if (!out) throw Failure{std::string("cannot write ") + argv[2]};
    } catch (const Failure& f) {
        std::fprintf(stderr, "tumbla_rc: %s\n", f.message.c_str());
        return 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tumbla_rc: %s: %s\n", argv[1], e.what());
        return 1;
    }
    return 0;
}
