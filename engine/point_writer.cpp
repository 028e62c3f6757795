#include "engine/point_writer.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "engine/label_join.h"
#include "engine/number_format.h"
#include "engine/os_file.h"
#include "settings/korvel_error.h"

namespace korvel {

namespace {

// Bytes appended in pieces of a fixed size: nothing is copied as they grow
// and there is no spare room beyond the last piece.
class ByteSpool {
  public:
    std::uint64_t Size() const { return size_; }

    void Append(std::string_view bytes) {
        while (!bytes.empty()) {
            const auto used = static_cast<std::size_t>(size_ % kPiece);
            if (used == 0 && size_ / kPiece == pieces_.size()) pieces_.push_back(NewPiece());
            const std::size_t n = std::min(bytes.size(), kPiece - used);
            std::memcpy(pieces_.back().get() + used, bytes.data(), n);
            bytes.remove_prefix(n);
            size_ += n;
        }
    }

    // Calls `use` with the bytes of [from, to), piece by piece.
    template <class Use>
    void Visit(std::uint64_t from, std::uint64_t to, Use use) const {
        while (from < to) {
            const char* piece = pieces_[static_cast<std::size_t>(from / kPiece)].get();
            const auto at = static_cast<std::size_t>(from % kPiece);
            const auto n =
                static_cast<std::size_t>(std::min<std::uint64_t>(to - from, kPiece - at));
            use(std::string_view(piece + at, n));
            from += n;
        }
    }

    void Read(std::uint64_t from, std::uint64_t to, std::string& out) const {
        out.clear();
        Visit(from, to, [&](std::string_view bytes) { out.append(bytes); });
    }

    void Clear() {
        pieces_.clear();
        size_ = 0;
    }

  private:
    static constexpr std::size_t kPiece = std::size_t(1) << 22;
    static constexpr std::align_val_t kHugePage{std::size_t(1) << 21};
    struct Free {
        void operator()(char* p) const { ::operator delete[](p, kHugePage); }
    };
    using Piece = std::unique_ptr<char, Free>;

    // Aligned to huge pages, which Linux then may use: a tenth of the page
    // faults for a drawing's worth of lines.
    static Piece NewPiece() {
        auto* p = static_cast<char*>(::operator new[](kPiece, kHugePage));
        AdviseHugePages(p, kPiece);
        return Piece(p);
    }

    std::vector<Piece> pieces_;
    std::uint64_t size_ = 0;
};

constexpr std::uint32_t kNoCandidate = UINT32_MAX;

// The texts of a point, in the order they are held.
template <class Values>
auto HeldTexts(Values& v) {
    return std::array{&v.X,          &v.Y,         &v.Z,    &v.Handle, &v.Layer,
                      &v.EntityType, &v.BlockName, &v.Text, &v.Number};
}

// `line` as it is laid out with what its point took from the labels: only its
// Number and its Z depend on them. `fields`, when given, is moved with them.
std::string_view JoinedLine(std::string_view line, RecordComposer::Span number,
                            RecordComposer::Span zSpan, std::uint64_t drawingLine,
                            const LabelJoin::Taken& taken, const ExportSettings& settings,
                            std::string& out, LineFields* fields) {
    // The fields to replace, in the order they stand.
    struct Replacement {
        RecordComposer::Span span;
        std::string text;
    };
    std::vector<Replacement> replacements;
    if (!taken.number.empty() && number.end > number.begin)
        replacements.push_back(
            {number, std::string(settings.Get(field::NumberPrefix)) + std::string(taken.number)});
    // A forced Z stays what it is.
    if (!taken.z.empty() && zSpan.end > zSpan.begin && !settings.Get(field::ForceZ)) {
        std::string z(settings.Get(field::ZPrefix));
        try {
            AppendCoordinate(z, taken.z, settings.Get(field::ZDecimals));
        } catch (const KorvelError& e) {
            throw DrawingError(e.what(), drawingLine);
        }
        replacements.push_back({zSpan, std::move(z)});
    }
    std::sort(
        replacements.begin(), replacements.end(),
        [](const Replacement& a, const Replacement& b) { return a.span.begin < b.span.begin; });
    out.clear();
    std::uint32_t at = 0;
    for (const Replacement& r : replacements) {
        out.append(line.substr(at, r.span.begin - at));
        out += r.text;
        at = r.span.end;
    }
    out.append(line.substr(at));
    if (fields != nullptr) {
        for (std::size_t i = 0; i < fields->count; ++i) {
            FieldSpan& f = fields->span[i];
            std::int64_t shift = 0, grown = 0;
            for (const Replacement& r : replacements) {
                const std::int64_t change = static_cast<std::int64_t>(r.text.size()) -
                                            static_cast<std::int64_t>(r.span.end - r.span.begin);
                if (r.span.begin < f.begin) shift += change;
                if (r.span.begin == f.begin) grown = change;
            }
            f.begin = static_cast<std::uint32_t>(f.begin + shift);
            f.valueBegin = static_cast<std::uint32_t>(f.valueBegin + shift);
            f.end = static_cast<std::uint32_t>(f.end + shift + grown);
        }
    }
    return out;
}

}  // namespace

// The lines of a pass that joins labels, until the join is made.
class PointWriter::HeldLines {
  public:
    // A line that may take a label, or that the observer is shown: where it
    // is, where its Number and Z stand in it, and (for the observer) what it
    // was laid out from.
    struct Entry {
        std::uint64_t lineStart, valuesStart, drawingLine, dataLine;
        std::uint32_t lineSize, valuesSize, candidate;
        RecordComposer::Span number, z;
        std::int32_t entityNumber;
    };

    ByteSpool lines, texts;
    std::vector<Entry> entries;
    // Beside each entry, for a data file of another form: where its fields stand.
    std::vector<LineFields> fields;
    std::uint64_t lineCount = 0;
    bool finished = false;

    void Hold(const EntityValues& values, std::string_view line, const RecordComposer& composer,
              std::uint32_t candidate, std::uint64_t drawingLine, bool forObserver,
              std::int32_t entityNumber) {
        if (candidate != kNoCandidate || forObserver) {
            Entry entry{lines.Size(),
                        texts.Size(),
                        drawingLine,
                        lineCount,
                        static_cast<std::uint32_t>(line.size()),
                        0,
                        candidate,
                        composer.NumberSpan(),
                        composer.ZSpan(),
                        entityNumber};
            if (forObserver) {
                // The sizes of the texts, then the texts, then the type: one piece.
                record_.clear();
                for (const ValueText* text : HeldTexts(values)) {
                    const auto size = static_cast<std::uint32_t>(std::string_view(*text).size());
                    record_.append(reinterpret_cast<const char*>(&size), sizeof size);
                }
                for (const ValueText* text : HeldTexts(values)) record_ += std::string_view(*text);
                record_.append(reinterpret_cast<const char*>(&values.type), sizeof values.type);
                texts.Append(record_);
                entry.valuesSize = static_cast<std::uint32_t>(texts.Size() - entry.valuesStart);
            }
            entries.push_back(entry);
        }
        lines.Append(line);
        ++lineCount;
    }

    void ValuesOf(const Entry& entry, EntityValues& values) {
        texts.Read(entry.valuesStart, entry.valuesStart + entry.valuesSize, scratch_);
        const char* sizes = scratch_.data();
        std::size_t at = sizeof(std::uint32_t) * HeldTexts(values).size();
        for (ValueText* text : HeldTexts(values)) {
            std::uint32_t size = 0;
            std::memcpy(&size, sizes, sizeof size);
            sizes += sizeof size;
            text->Assign(std::string_view(scratch_.data() + at, size));
            at += size;
        }
        std::memcpy(&values.type, scratch_.data() + at, sizeof values.type);
    }

  private:
    std::string record_, scratch_;
};

PointWriter::PointWriter(RecordComposer& composer, FileSink* sink, PointObserver* observer,
                         RunningNumbers& numbers, const ExportSettings& settings)
    : composer_(composer),
      sink_(sink),
      observer_(observer),
      numbers_(numbers),
      settings_(settings) {}

PointWriter::~PointWriter() = default;

void PointWriter::SetOutput(RecordSink* records, CoordinateTransform* transform) {
    records_ = records;
    transform_ = transform;
    composer_.KeepFields(records != nullptr);
}

void PointWriter::SetLabels(LabelJoin* labels) {
    labels_ = labels;
    held_ = labels != nullptr ? std::make_unique<HeldLines>() : nullptr;
}

void PointWriter::Write(const EntityValues& values, const ValueLines& lines,
                        std::uint64_t currentLine) {
    if (held_ != nullptr) return Hold(values, lines, currentLine);
    if (sink_ == nullptr && observer_ == nullptr && records_ == nullptr) return;  // counting only
    const EntityValues& moved = Moved(values, &lines, currentLine);
    std::string_view record;
    try {
        record = composer_.ComposeRecord(moved, numbers_);
    } catch (const KorvelError& e) {
        ThrowAtItsLine(e, &lines, currentLine);
    }
    if (sink_ != nullptr) sink_->Write(record);
    if (records_ != nullptr) Record(moved, record, composer_.Fields(), currentLine);
    if (observer_ != nullptr) observer_->Point(moved, record, numbers_.EntityNumber);
}

const EntityValues& PointWriter::Moved(const EntityValues& values, const ValueLines* lines,
                                       std::uint64_t currentLine) {
    if (transform_ == nullptr) return values;
    std::optional<double> x = NumberValue(values.X), y = NumberValue(values.Y);
    // A coordinate that is no number is reported as it stands, by the composer.
    if (!x || !y) return values;
    const std::optional<double> givenZ = NumberValue(values.Z);
    double z = givenZ.value_or(0);
    try {
        transform_->Transform(*x, *y, z);
    } catch (const KorvelError& e) {
        const std::uint64_t line =
            lines != nullptr ? (*lines)[static_cast<std::size_t>(Slot::X)] : 0;
        throw DrawingError(e.what(), line != 0 ? line : currentLine);
    }
    moved_ = values;
    moved_.X = NumberText(*x);
    moved_.Y = NumberText(*y);
    if (givenZ) moved_.Z = NumberText(z);
    return moved_;
}

void PointWriter::Record(const EntityValues& values, std::string_view record,
                         const LineFields& fields, std::uint64_t drawingLine) {
    PointRecord point;
    point.line = record.substr(0, record.size() - 2);  // without CR LF
    point.fields = &fields;
    bool haveX = false, haveY = false, haveZ = false;
    for (std::size_t i = 0; i < fields.count; ++i) {
        const FieldSpan& span = fields.span[i];
        const std::string_view whole = record.substr(span.begin, span.end - span.begin);
        const std::string_view value = record.substr(span.valueBegin, span.end - span.valueBegin);
        switch (fields.kind[i]) {
            case DataFieldKind::Number:
                point.number = whole;
                point.hasNumber = true;
                break;
            case DataFieldKind::Code:
                point.code = whole;
                point.hasCode = true;
                break;
            case DataFieldKind::X:
                point.x = value;
                haveX = true;
                break;
            case DataFieldKind::Y:
                point.y = value;
                haveY = true;
                break;
            case DataFieldKind::Z:
                point.z = value;
                haveZ = true;
                break;
        }
    }
    // A coordinate the line leaves out is written as it would stand there.
    char x[kCoordinateRoom], y[kCoordinateRoom], z[kCoordinateRoom];
    const auto written = [&](char* room, std::string_view text, int decimals) {
        try {
            return std::string_view(
                room, static_cast<std::size_t>(WriteCoordinate(room, text, decimals) - room));
        } catch (const KorvelError& e) {
            throw DrawingError(e.what(), drawingLine);
        }
    };
    if (!haveX) point.x = written(x, values.X, settings_.Get(field::XDecimals));
    if (!haveY) point.y = written(y, values.Y, settings_.Get(field::YDecimals));
    if (!haveZ) {
        std::string_view text = settings_.Get(field::ForceZ) ? settings_.Get(field::ForcedZValue)
                                                             : std::string_view(values.Z);
        if (text.empty()) text = "0";
        point.z = written(z, text, settings_.Get(field::ZDecimals));
    }
    point.entityType = values.EntityType;
    point.layer = values.Layer;
    point.handle = values.Handle;
    try {
        records_->Record(point);
    } catch (const PointRecordError& e) {
        throw DrawingError(e.what(), drawingLine);
    }
}

void PointWriter::Hold(const EntityValues& values, const ValueLines& lines,
                       std::uint64_t currentLine) {
    const bool candidate = labels_->TakesLabels(values.type);
    if (sink_ == nullptr && observer_ == nullptr && records_ == nullptr) {  // counting only
        if (candidate) labels_->AddPoint(values.X, values.Y);
        return;
    }
    const EntityValues& moved = Moved(values, &lines, currentLine);
    std::string_view record;
    try {
        record = composer_.ComposeRecord(moved, numbers_);
    } catch (const KorvelError& e) {
        ThrowAtItsLine(e, &lines, currentLine);
    }
    std::uint32_t index = kNoCandidate;
    if (candidate) {
        index = static_cast<std::uint32_t>(labels_->PointCount());
        labels_->AddPoint(values.X, values.Y);
    }
    const bool keepValues = observer_ != nullptr || records_ != nullptr;
    held_->Hold(moved, record, composer_, index, currentLine, keepValues, numbers_.EntityNumber);
    if (records_ != nullptr) held_->fields.push_back(composer_.Fields());
}

void PointWriter::FinishLabels() {
    if (held_ == nullptr || held_->finished) return;
    HeldLines& held = *held_;
    held.finished = true;
    labels_->Join();
    const auto writeHeld = [&](std::uint64_t from, std::uint64_t to) {
        if (sink_ != nullptr)
            held.lines.Visit(from, to, [&](std::string_view b) { sink_->Write(b); });
    };
    std::uint64_t written = 0;
    EntityValues values;
    std::string line, joined;
    LineFields fields;
    for (std::size_t i = 0; i < held.entries.size(); ++i) {
        const HeldLines::Entry& entry = held.entries[i];
        writeHeld(written, entry.lineStart);
        written = entry.lineStart + entry.lineSize;
        held.lines.Read(entry.lineStart, written, line);
        if (observer_ != nullptr || records_ != nullptr) held.ValuesOf(entry, values);
        if (records_ != nullptr) fields = held.fields[i];
        std::string_view record = line;
        if (entry.candidate != kNoCandidate) {
            const LabelJoin::Taken taken = labels_->For(entry.candidate);
            if (!taken.z.empty() || !taken.number.empty()) {
                record = JoinedLine(line, entry.number, entry.z, entry.drawingLine, taken,
                                    settings_, joined, records_ != nullptr ? &fields : nullptr);
                if (!taken.z.empty() && !settings_.Get(field::ForceZ)) values.Z.Assign(taken.z);
                if (!taken.number.empty()) values.Number.Assign(taken.number);
            }
            const std::string_view number = std::string_view(line).substr(
                entry.number.begin, entry.number.end - entry.number.begin);
            labels_->Written(
                entry.candidate, entry.dataLine + 1,
                taken.number.empty() || number.empty()
                    ? std::string(number)
                    : std::string(settings_.Get(field::NumberPrefix)) + std::string(taken.number));
        }
        Emit(values, record, records_ != nullptr ? &fields : nullptr, entry.drawingLine,
             entry.entityNumber);
    }
    writeHeld(written, held.lines.Size());
    if (observer_ != nullptr) observer_->Joined(*labels_);
    held.lines.Clear();
    held.texts.Clear();
    held.entries = {};
    held.fields = {};
}

void PointWriter::FinishLabelsQuietly() noexcept {
    // The lines before the error belong in the data file; a preview shows
    // the error alone.
    if (sink_ == nullptr) return;
    try {
        FinishLabels();
    } catch (...) {
        // The error that stopped the pass is the one to report.
    }
}

void PointWriter::ThrowAtItsLine(const KorvelError& error, const ValueLines* lines,
                                 std::uint64_t currentLine) const {
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
    std::uint64_t line = lines != nullptr ? (*lines)[static_cast<std::size_t>(slot)] : 0;
    if (line == 0) line = currentLine;
    // A forced Z stands on no line of the drawing.
    if (slot == Slot::Z && settings_.Get(field::ForceZ)) line = 0;
    throw DrawingError(error.what(), line);
}

void PointWriter::Emit(const EntityValues& values, std::string_view record,
                       const LineFields* fields, std::uint64_t drawingLine,
                       std::int32_t entityNumber) {
    if (sink_ != nullptr) sink_->Write(record);
    if (records_ != nullptr) Record(values, record, *fields, drawingLine);
    if (observer_ != nullptr) observer_->Point(values, record, entityNumber);
}

}  // namespace korvel
