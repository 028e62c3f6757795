// A field of a CSV file as RFC 4180 asks for it.
#pragma once

#include <string>
#include <string_view>

namespace korvel {

// Appends `text`, in quotes with its quotes doubled where it holds a comma,
// a quote or a line break.
inline void AppendCsvField(std::string& out, std::string_view text) {
    if (text.find_first_of(",\"\r\n") == std::string_view::npos) {
        out += text;
        return;
    }
    out += '"';
    for (const char c : text) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
}

}  // namespace korvel
