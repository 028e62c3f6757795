// The texts of one entity as the extractors read them and the composer writes
// them: exactly as the drawing holds them, never parsed on the way.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/entity_types.h"
#include "engine/line_buffer.h"

namespace korvel {

// One value text as read from a drawing. A value is copied for every group
// an extractor takes, and nearly all of them are short: those are held inline.
class ValueText {
  public:
    static constexpr std::size_t kInline = 32;

    ValueText() = default;
    // Implicit, as for a std::string.
    ValueText(std::string_view text) { Assign(text); }
    ValueText(const char* text) { Assign(text); }
    ValueText& operator=(std::string_view text) {
        Assign(text);
        return *this;
    }
    ValueText& operator=(const char* text) {
        Assign(text);
        return *this;
    }

    void Assign(std::string_view text) {
        size_ = text.size();
        if (size_ <= kInline)
            CopyBytes(inline_, text.data(), size_);
        else
            long_.assign(text);
    }
    void Clear() { size_ = 0; }
    operator std::string_view() const {
        return size_ <= kInline ? std::string_view(inline_, size_) : std::string_view(long_);
    }

  private:
    std::size_t size_ = 0;
    char inline_[kInline];
    std::string long_;
};

// The texts one extractor hands over for one point, exactly as read, and the
// type of the entity the point belongs to. `Number`, empty but for a point
// numbered by a block attribute or a label, takes the place of the running
// number.
struct EntityValues {
    ValueText X, Y, Z, Handle, Layer, EntityType, BlockName, Text, Number;
    korvel::EntityType type = korvel::EntityType::Point;
};

// The texts the options beyond the record read besides: paper space, a block
// reference's placement, and the extrusion direction of an entity.
struct EntityExtras {
    ValueText Space, AttributesFollow, ScaleX, ScaleY, ScaleZ, Rotation, Columns, Rows,
        ColumnSpacing, RowSpacing, ExtrusionX, ExtrusionY, ExtrusionZ, TextChunk;
};

// Which text of an entity a group's value goes to. A group an extractor does
// not take has no slot: it is consumed alone.
enum class Slot : std::uint8_t {
    None,
    X,
    Y,
    Z,
    Handle,
    Layer,
    BlockName,
    Text,
    // The texts of EntityExtras, in their order.
    Space,
    AttributesFollow,
    ScaleX,
    ScaleY,
    ScaleZ,
    Rotation,
    Columns,
    Rows,
    ColumnSpacing,
    RowSpacing,
    ExtrusionX,
    ExtrusionY,
    ExtrusionZ,
    // A piece of an MTEXT's text, added to the ones before it.
    TextChunk,
    Count
};

// The line each text of an entity was read from (0: not read).
using ValueLines = std::array<std::uint64_t, static_cast<std::size_t>(Slot::Count)>;

}  // namespace korvel
