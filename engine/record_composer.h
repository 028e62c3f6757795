// Turns one coordinate point into one data file line.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/byte_source.h"
#include "engine/pass_host.h"
#include "settings/export_settings.h"

namespace korvel {

// The texts one extractor hands over for one point, exactly as read.
struct EntityValues {
    std::string X, Y, Z, Handle, Layer, EntityType, BlockName, Text;
};

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

    // Compose, then write the line to `sink`.
    void WriteDataRecord(const EntityValues& values, RunningNumbers& numbers, FileSink& sink) {
        line_.clear();
        Compose(values, numbers, line_);
        sink.Write(line_);
    }

  private:
    void RefreshLayout();
    void AppendCode(const EntityValues& values, RunningNumbers& numbers, std::string& out);

    const ExportSettings& settings_;
    const NameTables& names_;
    PassHost& host_;

    // The lists resolved to kinds, refreshed whenever the host's lists change.
    // An item may name several kinds when a name table repeats a text.
    std::uint64_t layoutGeneration_ = UINT64_MAX;
    bool layoutValid_ = false;
    std::vector<int> fieldKinds_;
    std::vector<int> codeKinds_;
    std::string line_;
};

}  // namespace korvel
