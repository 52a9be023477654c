// Resources linked into the executable, served by FindResourceA and friends.
// The build turns resources/tumbla.rc into a table of these and registers it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace platform {

// A resource name or type: a number (MAKEINTRESOURCE) or a string.
struct ResourceName {
    int id = -1;                 // >= 0 for a numbered name
    const char* text = nullptr;  // otherwise an upper-case string
};

struct EmbeddedResource {
    ResourceName type;
    ResourceName name;
    std::uint16_t language;
    const std::uint8_t* data;
    std::size_t size;
};

void RegisterResources(std::span<const EmbeddedResource> table);
std::span<const EmbeddedResource> RegisteredResources();

// The user's UI language, which chooses among resources of several
// languages as on Windows. Taken from the POSIX locale (LC_ALL, then
// LC_MESSAGES, then LANG): Japanese (1041) for "ja...", U.S. English (1033)
// otherwise. SetUiLanguage fixes another (0: the locale's again); the
// headless host fixes Japanese, the program's own language.
inline constexpr std::uint16_t kLanguageJapanese = 0x411;
inline constexpr std::uint16_t kLanguageEnglishUs = 0x409;
std::uint16_t LanguageFromLocale(const char* lcAll, const char* lcMessages, const char* lang);
void SetUiLanguage(std::uint16_t language);
std::uint16_t UiLanguage();

}  // namespace platform
