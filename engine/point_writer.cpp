#include "engine/point_writer.h"

#include "settings/korvel_error.h"

namespace korvel {

void PointWriter::Write(const EntityValues& values, const ValueLines& lines,
                        std::uint64_t currentLine) {
    if (sink_ == nullptr && observer_ == nullptr) return;  // counting only
    std::string_view record;
    try {
        record = composer_.ComposeRecord(values, numbers_);
    } catch (const KorvelError& e) {
        // The line that holds the value the error is about.
        Slot slot = Slot::None;
        switch (composer_.FailedField()) {
            case DataFieldKind::X:
                slot = Slot::X;
                break;
            case DataFieldKind::Y:
                slot = Slot::Y;
                break;
            case DataFieldKind::Z:
                slot = Slot::Z;
                break;
            default:
                break;
        }
        std::uint64_t line = lines[static_cast<std::size_t>(slot)];
        if (line == 0) line = currentLine;
        // A forced Z stands on no line of the drawing.
        if (slot == Slot::Z && settings_.Get(field::ForceZ)) line = 0;
        throw DrawingError(e.what(), line);
    }
    if (sink_ != nullptr) sink_->Write(record);
    if (observer_ != nullptr) observer_->Point(values, record);
}

}  // namespace korvel
