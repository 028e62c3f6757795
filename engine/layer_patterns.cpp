#include "engine/layer_patterns.h"

#include <cstdint>

#include "settings/blanks.h"
#include "settings/korvel_error.h"

namespace korvel {

namespace {

// The length of the UTF-8 sequence at `s[i]`, 1 for a byte that starts none.
std::size_t SequenceLength(std::string_view s, std::size_t i) {
    const auto c = static_cast<unsigned char>(s[i]);
    const std::size_t n = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
    if (i + n > s.size()) return 1;
    for (std::size_t k = 1; k < n; ++k)
        if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return 1;
    return n;
}

// The code point at `s[i]` and its length.
std::uint32_t CodePoint(std::string_view s, std::size_t i, std::size_t& length) {
    length = SequenceLength(s, i);
    auto c = static_cast<std::uint32_t>(static_cast<unsigned char>(s[i]));
    if (length == 1) return c;
    c &= 0xFFu >> (length + 1);
    for (std::size_t k = 1; k < length; ++k)
        c = (c << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3Fu);
    return c;
}

std::uint32_t Folded(std::uint32_t c) {
    return c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c;
}

// The end of the "[...]" set that starts at `pattern[open]`, or npos.
std::size_t SetEnd(std::string_view pattern, std::size_t open) {
    std::size_t i = open + 1;
    if (i < pattern.size() && pattern[i] == '!') ++i;
    if (i < pattern.size() && pattern[i] == ']') ++i;  // a "]" first is a member
    const std::size_t close = pattern.find(']', i);
    return close;
}

// Whether code point `c` is in the set between `set.front() == '['` and its "]".
bool InSet(std::string_view set, std::uint32_t c) {
    std::size_t i = 1;
    const bool negated = set[i] == '!';
    if (negated) ++i;
    bool found = false;
    bool first = true;
    while (i < set.size() - 1 && (first || set[i] != ']')) {
        first = false;
        std::size_t n;
        const std::uint32_t low = CodePoint(set, i, n);
        i += n;
        std::uint32_t high = low;
        if (i + 1 < set.size() - 1 && set[i] == '-') {
            high = CodePoint(set, i + 1, n);
            i += 1 + n;
        }
        if (Folded(c) >= Folded(low) && Folded(c) <= Folded(high)) found = true;
        if (c >= low && c <= high) found = true;
    }
    return found != negated;
}

bool Matches(std::string_view pattern, std::string_view name) {
    std::size_t p = 0, n = 0;
    std::size_t starP = std::string_view::npos, starN = 0;
    while (n < name.size()) {
        std::size_t length;
        const std::uint32_t c = CodePoint(name, n, length);
        if (p < pattern.size() && pattern[p] == '*') {
            starP = ++p;
            starN = n;
            continue;
        }
        if (p < pattern.size()) {
            if (pattern[p] == '?') {
                ++p;
                n += length;
                continue;
            }
            if (pattern[p] == '[') {
                const std::size_t close = SetEnd(pattern, p);
                if (InSet(pattern.substr(p, close - p + 1), c)) {
                    p = close + 1;
                    n += length;
                    continue;
                }
            } else {
                std::size_t patternLength;
                const std::uint32_t want = CodePoint(pattern, p, patternLength);
                if (Folded(want) == Folded(c)) {
                    p += patternLength;
                    n += length;
                    continue;
                }
            }
        }
        if (starP == std::string_view::npos) return false;
        // Let the last "*" take one more character and try again from there.
        p = starP;
        starN += SequenceLength(name, starN);
        n = starN;
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

}  // namespace

LayerPatterns::LayerPatterns(std::string_view list) {
    std::size_t start = 0;
    while (start <= list.size()) {
        // A comma inside "[...]" belongs to the set.
        std::size_t i = start;
        while (i < list.size() && list[i] != ',') {
            if (list[i] == '[') {
                const std::size_t close = SetEnd(list, i);
                if (close == std::string_view::npos) {
                    i = list.size();  // the rest is one pattern, refused below
                    break;
                }
                i = close;
            }
            ++i;
        }
        const std::string_view pattern = TrimBlanks(list.substr(start, i - start));
        for (std::size_t k = 0; k < pattern.size(); ++k) {
            if (pattern[k] != '[') continue;
            const std::size_t close = SetEnd(pattern, k);
            if (close == std::string_view::npos)
                throw KorvelError("'" + std::string(pattern) + "': a \"[\" without its \"]\"");
            k = close;
        }
        if (!pattern.empty()) patterns_.push_back(LayerNameText(pattern));
        start = i + 1;
    }
}

bool LayerPatterns::Match(std::string_view name) const {
    const std::string text = LayerNameText(name);
    for (const std::string& pattern : patterns_)
        if (Matches(pattern, text)) return true;
    return false;
}

std::string ExactPattern(std::string_view name) {
    std::string pattern;
    for (std::size_t i = 0; i < name.size(); ++i) {
        const char c = name[i];
        const bool edge = i == 0 || i + 1 == name.size();
        if (c == '*' || c == '?' || c == '[' || c == ',' || ((c == ' ' || c == '\t') && edge))
            pattern += std::string("[") + c + "]";
        else
            pattern += c;
    }
    return pattern;
}

std::string LayerNameText(std::string_view name) {
    std::string text;
    text.reserve(name.size());
    for (std::size_t i = 0; i < name.size();) {
        const std::size_t n = SequenceLength(name, i);
        const auto c = static_cast<unsigned char>(name[i]);
        if (n > 1 || c < 0x80) {
            text.append(name.substr(i, n));
        } else {
            text += static_cast<char>(0xC0 | (c >> 6));
            text += static_cast<char>(0x80 | (c & 0x3F));
        }
        i += n;
    }
    return text;
}

}  // namespace korvel
