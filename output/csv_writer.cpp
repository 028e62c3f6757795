#include "output/csv_writer.h"

#include <optional>

namespace korvel {

namespace {

// Appends `text` as one CSV field: in quotes, its quotes doubled, where it
// holds a comma, a quote or a line break.
void AppendField(std::string& out, std::string_view text) {
    if (text.find_first_of(",\"\r\n") == std::string_view::npos) {
        out += text;
        return;
    }
    out += '"';
    for (const char c : text) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
}

class CsvSink final : public RecordSink {
  public:
    // Writes into `out`; owns it when `owned` holds it.
    CsvSink(FileSink& out, std::unique_ptr<FileSink> owned,
            const std::vector<std::string>& fieldNames)
        : out_(out), owned_(std::move(owned)) {
        std::string header;
        for (const std::string& name : fieldNames) {
            if (!header.empty()) header += ',';
            AppendField(header, name);
        }
        header += "\r\n";
        out_.Write(header);
    }
    ~CsvSink() override { Abandon(); }

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
            AppendField(line_, point.line.substr(span.begin, span.end - span.begin));
        }
        line_ += "\r\n";
        out_.Write(line_);
    }

    void Close() override {
        if (owned_ != nullptr) {
            owned_->Close();
            owned_.reset();
        }
    }

    void Abandon() noexcept override {
        if (owned_ == nullptr) return;
        try {
            owned_->Close();
        } catch (...) {
            owned_->Abandon();
        }
        owned_.reset();
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

    FileSink& out_;
    std::unique_ptr<FileSink> owned_;
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
