// Turns one coordinate point into one data file line.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/line_buffer.h"
#include "engine/pass_host.h"
#include "settings/export_settings.h"

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

// The texts one extractor hands over for one point, exactly as read.
struct EntityValues {
    ValueText X, Y, Z, Handle, Layer, EntityType, BlockName, Text;
};

// The running numbers and the counts wrap around at the 32-bit limits instead
// of overflowing.
inline std::int32_t Incremented(std::int32_t v) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(v) + 1u);
}

// The running numbers of one file pass.
struct RunningNumbers {
    std::int32_t PointNumber = 0;
    std::int32_t CodeCounter = 0;
    std::int32_t EntityNumber = 0;
};

class RecordComposer {
  public:
    RecordComposer(const ExportSettings& settings, const NameTables& names, PassHost& host)
        : settings_(settings), names_(names), host_(host) {}

    // Lays out one line (fields by the host's lists, settings read now) and
    // appends it with CR LF to `out`. Advances PointNumber and CodeCounter for
    // every Number field and counter element written. On a conversion error
    // nothing is appended and the error is thrown.
    void Compose(const EntityValues& values, RunningNumbers& numbers, std::string& out);

    // The data field whose value the last conversion error was about.
    DataFieldKind FailedField() const { return failedField_; }

    // Lays out one line, CR LF included; valid until the next call.
    std::string_view ComposeRecord(const EntityValues& values, RunningNumbers& numbers) {
        ComposeLine(values, numbers);
        return line_.View();
    }

  private:
    void RefreshLayout();
    // Lays the line out in line_; throws on a conversion error.
    void ComposeLine(const EntityValues& values, RunningNumbers& numbers);
    void AppendCoordinate(std::string_view text, int decimals);
    void AppendCode(const EntityValues& values, RunningNumbers& numbers);

    const ExportSettings& settings_;
    const NameTables& names_;
    PassHost& host_;

    // The lists resolved to kinds, refreshed whenever the host's lists change.
    // An item may name several kinds when a name table repeats a text.
    std::uint64_t layoutGeneration_ = UINT64_MAX;
    bool layoutValid_ = false;
    std::vector<int> fieldKinds_;
    std::vector<int> codeKinds_;
    LineBuffer line_;
    DataFieldKind failedField_ = DataFieldKind::X;
};

}  // namespace korvel
