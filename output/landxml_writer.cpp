#include "output/landxml_writer.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <iterator>
#include <rapidxml/rapidxml.hpp>
#include <rapidxml/rapidxml_print.hpp>
#include <string>
#include <string_view>
#include <utility>

#include "engine/file_sink.h"
#include "output/text_encoding.h"
#include "run/run_report.h"
#include "settings/korvel_error.h"

namespace korvel {

namespace {

using XmlDocument = rapidxml::xml_document<char>;
using XmlNode = rapidxml::xml_node<char>;

// Where the points go in the printed frame.
constexpr std::string_view kPointsMark = "<!--points-->";

void AddAttribute(XmlDocument& doc, XmlNode& node, const char* name, std::string_view value) {
    node.append_attribute(doc.allocate_attribute(name, value.data(), 0, value.size()));
}

XmlNode& AddElement(XmlDocument& doc, XmlNode& parent, const char* name) {
    XmlNode* node = doc.allocate_node(rapidxml::node_element, name);
    parent.append_node(node);
    return *node;
}

// The document without its points, printed: what comes before them, how they
// are indented, and what comes after them.
struct Frame {
    std::string head, indent, tail;
};

Frame PrintFrame() {
    const std::tm now = CurrentLocalTime();
    char date[48], time[48];
    std::snprintf(date, sizeof date, "%04d-%02d-%02d", now.tm_year + 1900, now.tm_mon + 1,
                  now.tm_mday);
    std::snprintf(time, sizeof time, "%02d:%02d:%02d", now.tm_hour, now.tm_min, now.tm_sec);

    XmlDocument doc;
    XmlNode* declaration = doc.allocate_node(rapidxml::node_declaration);
    doc.append_node(declaration);
    AddAttribute(doc, *declaration, "version", "1.0");
    AddAttribute(doc, *declaration, "encoding", "UTF-8");

    XmlNode& root = AddElement(doc, doc, "LandXML");
    AddAttribute(doc, root, "xmlns", "http://www.landxml.org/schema/LandXML-1.2");
    AddAttribute(doc, root, "version", "1.2");
    AddAttribute(doc, root, "date", date);
    AddAttribute(doc, root, "time", time);
    // The schema asks for the temperature and pressure units as well.
    XmlNode& metric = AddElement(doc, AddElement(doc, root, "Units"), "Metric");
    AddAttribute(doc, metric, "linearUnit", "meter");
    AddAttribute(doc, metric, "areaUnit", "squareMeter");
    AddAttribute(doc, metric, "volumeUnit", "cubicMeter");
    AddAttribute(doc, metric, "temperatureUnit", "celsius");
    AddAttribute(doc, metric, "pressureUnit", "milliBars");
    AddAttribute(doc, metric, "angularUnit", "decimal degrees");
    AddAttribute(doc, metric, "directionUnit", "decimal degrees");
    XmlNode& application = AddElement(doc, root, "Application");
    AddAttribute(doc, application, "name", "Korvel");
    AddAttribute(doc, application, "manufacturer", "Korvel");
    XmlNode& points = AddElement(doc, root, "CgPoints");
    const std::string_view mark = kPointsMark.substr(4, kPointsMark.size() - 7);
    points.append_node(
        doc.allocate_node(rapidxml::node_comment, nullptr, mark.data(), 0, mark.size()));

    std::string printed;
    rapidxml::print(std::back_inserter(printed), doc);
    const std::size_t at = printed.find(kPointsMark);
    const std::size_t lineStart = printed.rfind('\n', at) + 1;
    const std::size_t lineEnd = printed.find('\n', at) + 1;
    // The printer ends the document with a line break of its own as well.
    std::string tail = printed.substr(lineEnd);
    while (tail.size() > 1 && tail.ends_with("\n\n")) tail.pop_back();
    return {printed.substr(0, lineStart), printed.substr(lineStart, at - lineStart),
            std::move(tail)};
}

// Throws when `text`, a point number or (`isCode`) the code of the point
// named `name`, holds a control character: XML has no place for most of
// them, and readers turn the others in attributes into blanks.
void CheckAttributeText(std::string_view text, bool isCode, std::string_view name) {
    const auto bad = std::find_if(text.begin(), text.end(),
                                  [](char c) { return static_cast<unsigned char>(c) < ' '; });
    if (bad == text.end()) return;
    char code[8];
    std::snprintf(code, sizeof code, "0x%02X", static_cast<unsigned char>(*bad));
    const std::string what = !isCode        ? "A point number"
                             : name.empty() ? "A code"
                                            : "The code of point \"" + std::string(name) + "\"";
    throw PointRecordError(what + " holds the control character " + code +
                           ", which a LandXML file cannot hold");
}

class LandXmlSink final : public RecordSink {
  public:
    explicit LandXmlSink(std::unique_ptr<FileSink> out) : out_(std::move(out)) {
        Frame frame = PrintFrame();
        indent_ = std::move(frame.indent);
        tail_ = std::move(frame.tail);
        out_->Write(frame.head);
    }
    ~LandXmlSink() override { Abandon(); }

    void Record(const PointRecord& point) override {
        const bool hasName = point.hasNumber && !point.number.empty();
        const bool hasCode = point.hasCode && !point.code.empty();
        if (hasName) {
            CheckAttributeText(point.number, false, {});
            AssignUtf8(name_, point.number);
        }
        if (hasCode) {
            CheckAttributeText(point.code, true, hasName ? std::string_view(name_) : "");
            AssignUtf8(code_, point.code);
        }
        text_.assign(point.y);
        text_ += ' ';
        text_ += point.x;
        text_ += ' ';
        text_ += point.z;

        doc_.clear();
        XmlNode* node =
            doc_.allocate_node(rapidxml::node_element, "CgPoint", text_.data(), 0, text_.size());
        if (hasName) AddAttribute(doc_, *node, "name", name_);
        if (hasCode) AddAttribute(doc_, *node, "code", code_);
        line_.assign(indent_);
        rapidxml::print(std::back_inserter(line_), *node);
        out_->Write(line_);
    }

    void Close() override {
        if (out_ == nullptr) return;
        // Taken first: after a failure here nothing is written again.
        const std::unique_ptr<FileSink> out = std::move(out_);
        out->Write(tail_);
        out->Close();
    }

    void Abandon() noexcept override {
        if (out_ == nullptr) return;
        try {
            out_->Write(tail_);
            out_->Close();
        } catch (...) {
            out_->Abandon();
        }
        out_.reset();
    }

  private:
    std::unique_ptr<FileSink> out_;
    std::string indent_, tail_;
    XmlDocument doc_;
    std::string name_, code_, text_, line_;
};

}  // namespace

std::unique_ptr<RecordSink> CreateLandXmlSink(const std::filesystem::path& path) {
    auto file = std::make_unique<FileSink>();
    file->Create(path);
    return std::make_unique<LandXmlSink>(std::move(file));
}

}  // namespace korvel
