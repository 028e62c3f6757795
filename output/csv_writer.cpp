#include "output/csv_writer.h"

#include <optional>

#include "output/text_file_sink.h"
#include "settings/csv_text.h"

namespace korvel {

namespace {

class CsvSink final : public TextFileSink {
  public:
    // Writes into `out`; owns it when `owned` holds it.
    CsvSink(FileSink& out, std::unique_ptr<FileSink> owned,
            const std::vector<std::string>& fieldNames)
        : TextFileSink(out, std::move(owned)) {
        std::string header;
        for (const std::string& name : fieldNames) {
            if (!header.empty()) header += ',';
            AppendCsvField(header, name);
        }
        header += "\r\n";
        out_.Write(header);
    }

    void Record(const PointRecord& point) override {
        // The text line's fields stand between commas; where no field holds
        // one of the characters CSV quotes, the line is its CSV line.
        if (point.line.find('"') == std::string_view::npos && !NeedsQuotes(point)) {
            out_.Write(point.line);
            out_.Write("\r\n");
            return;
        }
        line_.clear();
        for (std::size_t i = 0; i < point.fields->count; ++i) {
            const FieldSpan& span = point.fields->span[i];
            if (i > 0) line_ += ',';
            AppendCsvField(line_, point.line.substr(span.begin, span.end - span.begin));
        }
        line_ += "\r\n";
        out_.Write(line_);
    }

  private:
    // Whether a field holds a comma or a line break of its own: more commas
    // in the line than stand between its fields.
    static bool NeedsQuotes(const PointRecord& point) {
        std::size_t commas = 0;
        for (const char c : point.line) {
            if (c == ',') ++commas;
            if (c == '\r' || c == '\n') return true;
        }
        return commas + 1 != point.fields->count;
    }

    std::string line_;
};

}  // namespace

std::unique_ptr<RecordSink> CreateCsvSink(const std::filesystem::path& path,
                                          const std::vector<std::string>& fieldNames) {
    auto file = std::make_unique<FileSink>();
    file->Create(path);
    FileSink& out = *file;
    return std::make_unique<CsvSink>(out, std::move(file), fieldNames);
}

std::unique_ptr<RecordSink> CreateCsvStreamSink(FileSink& out,
                                                const std::vector<std::string>& fieldNames) {
    return std::make_unique<CsvSink>(out, nullptr, fieldNames);
}

}  // namespace korvel
