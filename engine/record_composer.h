// Turns one coordinate point into one data file line.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/entity_values.h"
#include "engine/line_buffer.h"
#include "engine/pass_host.h"
#include "engine/point_output.h"
#include "settings/export_settings.h"

namespace korvel {

// The running numbers of one file pass.
struct RunningNumbers {
    std::int32_t PointNumber = 0;
    std::int32_t CodeCounter = 0;
    std::int32_t EntityNumber = 0;
};

// The kinds that the items of a list name, by exact comparison with the
// first `kinds` entries of a name table, in list order. An item may name
// several kinds when the table repeats a text.
std::vector<int> ResolveKinds(const std::vector<std::string>& items,
                              const std::vector<std::string>& table, std::size_t kinds);

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

    // Where the Number and the Z field stand in the last line laid out, their
    // prefixes included: [begin, end) in bytes; empty when not exported.
    struct Span {
        std::uint32_t begin = 0, end = 0;
    };
    Span NumberSpan() const { return numberSpan_; }
    Span ZSpan() const { return zSpan_; }

    // Where every field stands in the last line laid out, kept only when
    // asked for (a data file of another form takes the fields apart).
    void KeepFields(bool keep) { keepFields_ = keep; }
    const LineFields& Fields() const { return fields_; }

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
    std::uint32_t Offset() const { return static_cast<std::uint32_t>(line_.View().size()); }
    void AppendCode(const EntityValues& values, RunningNumbers& numbers);
    // Notes where the field of `kind` begun at `begin` stands.
    void KeepField(int kind, std::uint32_t begin);

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
    Span numberSpan_, zSpan_;
    bool keepFields_ = false;
    LineFields fields_;
};

}  // namespace korvel
