#include "output/text_encoding.h"

#include <algorithm>

#include "engine/layer_patterns.h"

namespace korvel {

void AssignUtf8(std::string& out, std::string_view text) {
    if (std::all_of(text.begin(), text.end(),
                    [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
        out.assign(text);
    else
        out = LayerNameText(text);
}

}  // namespace korvel
