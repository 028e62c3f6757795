// Texts of a drawing as formats that hold Unicode want them.
#pragma once

#include <string>
#include <string_view>

namespace korvel {

// `text` as UTF-8 into `out`: UTF-8 (drawings since AutoCAD 2007, and plain
// ASCII) stays as it is; any other byte is read as Latin-1, as the layer
// listing reads the code pages of older drawings.
void AssignUtf8(std::string& out, std::string_view text);

}  // namespace korvel
