// Paths as the core's byte text: the file system's own bytes on POSIX, UTF-8
// on Windows, where std::filesystem::path holds UTF-16 and its narrow
// conversions follow neither UTF-8 nor the compiler's choice alike.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace korvel {

inline std::filesystem::path PathFromText(std::string_view text) {
#ifdef _WIN32
    return std::filesystem::path(
        std::u8string_view(reinterpret_cast<const char8_t*>(text.data()), text.size()));
#else
    return std::filesystem::path(text);
#endif
}

inline std::string PathText(const std::filesystem::path& path) {
#ifdef _WIN32
    const std::u8string text = path.u8string();
    return std::string(reinterpret_cast<const char*>(text.data()), text.size());
#else
    return path.native();
#endif
}

}  // namespace korvel
