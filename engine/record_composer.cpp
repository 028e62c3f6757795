#include "engine/record_composer.h"

#include <algorithm>

#include "engine/number_format.h"
#include "settings/korvel_error.h"

namespace korvel {

std::vector<int> ResolveKinds(const std::vector<std::string>& items,
                              const std::vector<std::string>& table, std::size_t kinds) {
    std::vector<int> resolved;
    const std::size_t n = std::min(kinds, table.size());
    for (const std::string& item : items)
        for (std::size_t i = 0; i < n; ++i)
            if (item == table[i]) resolved.push_back(static_cast<int>(i));
    return resolved;
}

void RecordComposer::RefreshLayout() {
    // The lists are the window's, and may change between two lines of a run;
    // resolving them is only redone when they did.
    std::uint64_t generation = host_.ListsGeneration();
    if (layoutValid_ && generation == layoutGeneration_) return;
    fieldKinds_ = ResolveKinds(host_.ExportedDataFields(), names_.dataFieldNames, kDataFieldCount);
    codeKinds_ = ResolveKinds(host_.CodeSequence(), names_.codeElementNames, kCodeElementCount);
    layoutGeneration_ = generation;
    layoutValid_ = true;
}

void RecordComposer::Compose(const EntityValues& values, RunningNumbers& numbers,
                             std::string& out) {
    ComposeLine(values, numbers);
    out.append(line_.View());
}

void RecordComposer::ComposeLine(const EntityValues& values, RunningNumbers& numbers) {
    RefreshLayout();
    line_.Clear();
    numberSpan_ = zSpan_ = {};
    fields_.count = 0;
    bool first = true;
    int kind = 0;
    try {
        for (int k : fieldKinds_) {
            kind = k;
            // Fields are joined by a comma, always: the FieldSeparator setting
            // is kept in the record and shown in its edit, but a data line has
            // never used it, and every data file written so far relies on that.
            if (!first) line_.Append(',');
            first = false;
            const std::uint32_t begin = Offset();
            switch (static_cast<DataFieldKind>(kind)) {
                case DataFieldKind::Number:
                    numberSpan_.begin = Offset();
                    line_.Append(settings_.Get(field::NumberPrefix));
                    // A number of the drawing's own (a block attribute's or
                    // a label's) stands in place of the running number, which
                    // advances all the same: every point keeps the running
                    // number it has without its own.
                    if (!std::string_view(values.Number).empty())
                        line_.Append(values.Number);
                    else
                        line_.EndAt(WriteInteger(line_.Room(kIntegerRoom), numbers.PointNumber));
                    numbers.PointNumber = Incremented(numbers.PointNumber);
                    numberSpan_.end = Offset();
                    break;
                case DataFieldKind::X:
                    line_.Append(settings_.Get(field::XPrefix));
                    AppendCoordinate(values.X, settings_.Get(field::XDecimals));
                    break;
                case DataFieldKind::Y:
                    line_.Append(settings_.Get(field::YPrefix));
                    AppendCoordinate(values.Y, settings_.Get(field::YDecimals));
                    break;
                case DataFieldKind::Z: {
                    std::string_view z = settings_.Get(field::ForceZ)
                                             ? settings_.Get(field::ForcedZValue)
                                             : std::string_view(values.Z);
                    zSpan_.begin = Offset();
                    line_.Append(settings_.Get(field::ZPrefix));
                    AppendCoordinate(z, settings_.Get(field::ZDecimals));
                    zSpan_.end = Offset();
                    break;
                }
                case DataFieldKind::Code:
                    AppendCode(values, numbers);
                    break;
            }
            if (keepFields_ && fields_.count < LineFields::kMost) KeepField(kind, begin);
        }
    } catch (const KorvelError&) {
        failedField_ = static_cast<DataFieldKind>(kind);
        throw;
    }
    line_.Append("\r\n");
}

void RecordComposer::KeepField(int kind, std::uint32_t begin) {
    const auto field = static_cast<DataFieldKind>(kind);
    std::string_view prefix;
    switch (field) {
        case DataFieldKind::Number:
            prefix = settings_.Get(field::NumberPrefix);
            break;
        case DataFieldKind::X:
            prefix = settings_.Get(field::XPrefix);
            break;
        case DataFieldKind::Y:
            prefix = settings_.Get(field::YPrefix);
            break;
        case DataFieldKind::Z:
            prefix = settings_.Get(field::ZPrefix);
            break;
        case DataFieldKind::Code:
            prefix = settings_.Get(field::CodePrefix);
            break;
    }
    fields_.kind[fields_.count] = field;
    fields_.span[fields_.count] = {begin, begin + static_cast<std::uint32_t>(prefix.size()),
                                   Offset()};
    ++fields_.count;
}

void RecordComposer::AppendCoordinate(std::string_view text, int decimals) {
    line_.EndAt(WriteCoordinate(line_.Room(kCoordinateRoom), text, decimals));
}

void RecordComposer::AppendCode(const EntityValues& values, RunningNumbers& numbers) {
    line_.Append(settings_.Get(field::CodePrefix));
    const std::string_view separator = settings_.Get(field::CodeSeparator);
    bool first = true;
    for (int kind : codeKinds_) {
        if (!first) line_.Append(separator);
        first = false;
        switch (static_cast<CodeElementKind>(kind)) {
            case CodeElementKind::EntityType:
                line_.Append(values.EntityType);
                break;
            case CodeElementKind::Layer:
                line_.Append(values.Layer);
                break;
            case CodeElementKind::Handle:
                line_.Append(values.Handle);
                break;
            case CodeElementKind::BlockName:
                line_.Append(values.BlockName);
                break;
            case CodeElementKind::Text:
                line_.Append(values.Text);
                break;
            case CodeElementKind::Label:
                line_.Append(settings_.Get(field::LabelText));
                break;
            case CodeElementKind::Counter:
                line_.EndAt(WriteInteger(line_.Room(kIntegerRoom), numbers.CodeCounter));
                numbers.CodeCounter = Incremented(numbers.CodeCounter);
                break;
            case CodeElementKind::EntityNumber:
                line_.EndAt(WriteInteger(line_.Room(kIntegerRoom), numbers.EntityNumber));
                break;
        }
    }
}

}  // namespace korvel
