#include "engine/record_composer.h"

#include <algorithm>

#include "engine/number_format.h"

namespace korvel {

namespace {

// The running numbers wrap around at the 32-bit limits instead of overflowing.
std::int32_t NextValue(std::int32_t v) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(v) + 1u);
}

void ResolveNames(const std::vector<std::string>& items, const std::vector<std::string>& table,
                  std::size_t tableSize, std::vector<int>& kinds) {
    kinds.clear();
    std::size_t n = std::min(tableSize, table.size());
    for (const std::string& item : items)
        for (std::size_t i = 0; i < n; ++i)
            if (item == table[i]) kinds.push_back(static_cast<int>(i));
}

}  // namespace

void RecordComposer::RefreshLayout() {
    // The lists are the window's, and may change between two lines of a run;
    // resolving them is only redone when they did.
    std::uint64_t generation = host_.ListsGeneration();
    if (layoutValid_ && generation == layoutGeneration_) return;
    ResolveNames(host_.ExportedDataFields(), names_.dataFieldNames, kDataFieldCount, fieldKinds_);
    ResolveNames(host_.CodeSequence(), names_.codeElementNames, kCodeElementCount, codeKinds_);
    layoutGeneration_ = generation;
    layoutValid_ = true;
}

void RecordComposer::Compose(const EntityValues& values, RunningNumbers& numbers,
                             std::string& out) {
    RefreshLayout();
    const std::size_t lineStart = out.size();
    try {
        bool first = true;
        for (int kind : fieldKinds_) {
            if (!first) out += ',';
            first = false;
            switch (static_cast<DataFieldKind>(kind)) {
                case DataFieldKind::Number:
                    out += settings_.Get(field::NumberPrefix);
                    AppendInteger(out, numbers.PointNumber);
                    numbers.PointNumber = NextValue(numbers.PointNumber);
                    break;
                case DataFieldKind::X:
                    out += settings_.Get(field::XPrefix);
                    AppendCoordinate(out, values.X, settings_.Get(field::XDecimals));
                    break;
                case DataFieldKind::Y:
                    out += settings_.Get(field::YPrefix);
                    AppendCoordinate(out, values.Y, settings_.Get(field::YDecimals));
                    break;
                case DataFieldKind::Z: {
                    std::string_view z = settings_.Get(field::ForceZ)
                                             ? settings_.Get(field::ForcedZValue)
                                             : std::string_view(values.Z);
                    out += settings_.Get(field::ZPrefix);
                    AppendCoordinate(out, z, settings_.Get(field::ZDecimals));
                    break;
                }
                case DataFieldKind::Code:
                    AppendCode(values, numbers, out);
                    break;
            }
        }
    } catch (...) {
        out.resize(lineStart);
        throw;
    }
    out += "\r\n";
}

void RecordComposer::AppendCode(const EntityValues& values, RunningNumbers& numbers,
                                std::string& out) {
    out += settings_.Get(field::CodePrefix);
    const std::string_view separator = settings_.Get(field::CodeSeparator);
    bool first = true;
    for (int kind : codeKinds_) {
        if (!first) out += separator;
        first = false;
        switch (static_cast<CodeElementKind>(kind)) {
            case CodeElementKind::EntityType:
                out += std::string_view(values.EntityType);
                break;
            case CodeElementKind::Layer:
                out += std::string_view(values.Layer);
                break;
            case CodeElementKind::Handle:
                out += std::string_view(values.Handle);
                break;
            case CodeElementKind::BlockName:
                out += std::string_view(values.BlockName);
                break;
            case CodeElementKind::Text:
                out += std::string_view(values.Text);
                break;
            case CodeElementKind::Label:
                out += settings_.Get(field::LabelText);
                break;
            case CodeElementKind::Counter:
                AppendInteger(out, numbers.CodeCounter);
                numbers.CodeCounter = NextValue(numbers.CodeCounter);
                break;
            case CodeElementKind::EntityNumber:
                AppendInteger(out, numbers.EntityNumber);
                break;
        }
    }
}

}  // namespace korvel
