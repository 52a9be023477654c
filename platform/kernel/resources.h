// Resources linked into the executable, served by FindResourceA and friends.
// The build turns resources/tumbla.rc into a table of these and registers it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "platform/host/host_events.h"

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

// The user's UI language (see SetUiLanguage in host_events.h), taken from
// the POSIX locale (LC_ALL, then LC_MESSAGES, then LANG): Japanese (1041) for
// "ja...", U.S. English (1033) otherwise.
std::uint16_t LanguageFromLocale(const char* lcAll, const char* lcMessages, const char* lang);
std::uint16_t UiLanguage();

}  // namespace platform
