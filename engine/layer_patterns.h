// Layer name patterns: "*" for any run of characters, "?" for one, "[...]"
// for one of a set ("[A-C]", "[!0-9]" for none of it), the rest as written,
// letters compared without regard to case, as DXF compares layer names.
// A list holds patterns separated by commas, which no layer name can hold.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace korvel {

class LayerPatterns {
  public:
    LayerPatterns() = default;
    // Throws KorvelError naming the pattern for a "[" without its "]" or an
    // empty set; blanks around each pattern are not part of it, and an empty
    // list holds no pattern.
    explicit LayerPatterns(std::string_view list);

    bool Empty() const { return patterns_.empty(); }
    // Whether `name` (a layer name as the drawing holds it) matches one of the patterns.
    bool Match(std::string_view name) const;

  private:
    std::vector<std::string> patterns_;
};

// A pattern that matches `name` and no other layer (the characters that
// patterns give a meaning to, and blanks at either end, in brackets).
std::string ExactPattern(std::string_view name);

// A layer name as UTF-8: valid UTF-8 stays as it is, any other byte is read
// as Latin-1 (drawings before R2007 write names in their code page).
std::string LayerNameText(std::string_view name);

}  // namespace korvel
