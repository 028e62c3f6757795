#include "settings/extended_options.h"

#include <toml++/toml.h>

#include <cerrno>
#include <fstream>
#include <iterator>
#include <sstream>
#include <system_error>

#include "settings/blanks.h"
#include "settings/korvel_error.h"
#include "settings/path_text.h"
#include "settings/whole_file.h"

namespace korvel {

namespace {

[[noreturn]] void ThrowCannotRead(const std::filesystem::path& path, const std::string& reason) {
    throw KorvelError("Cannot read options file \"" + PathText(path) + "\". " + reason);
}

// Reads `key` of `table` into `value` when it is there; another type than
// the value's own is an error naming the key.
// A list of texts: a TOML array of strings.
void TakeList(const toml::table& table, std::string_view section, std::string_view key,
              std::vector<std::string>& value, const std::filesystem::path& path) {
    const toml::node* node = table.get(key);
    if (node == nullptr) return;
    const toml::array* array = node->as_array();
    std::vector<std::string> texts;
    bool textsOnly = array != nullptr;
    if (array != nullptr) {
        for (const toml::node& item : *array) {
            const std::optional<std::string> text = item.value_exact<std::string>();
            if (text) texts.push_back(*text);
            textsOnly = textsOnly && text.has_value();
        }
    }
    if (!textsOnly)
        ThrowCannotRead(path,
                        std::string(section) + "." + std::string(key) + " must be a list of texts");
    value = std::move(texts);
}

// A distance or an offset: any TOML number.
void TakeNumber(const toml::table& table, std::string_view section, std::string_view key,
                double& value, const std::filesystem::path& path) {
    const toml::node* node = table.get(key);
    if (node == nullptr) return;
    const std::optional<double> number = node->value<double>();
    if (!number || (key != "height_offset" && *number < 0))
        ThrowCannotRead(path, std::string(section) + "." + std::string(key) + " must be a" +
                                  (key == "height_offset" ? "" : " positive") + " number");
    value = *number;
}

template <typename T>
void Take(const toml::table& table, std::string_view section, std::string_view key, T& value,
          const std::filesystem::path& path) {
    const toml::node* node = table.get(key);
    if (node == nullptr) return;
    const std::optional<T> read = node->value_exact<T>();
    if (!read)
        ThrowCannotRead(path, std::string(section) + "." + std::string(key) + " must be " +
                                  (std::is_same_v<T, bool> ? "true or false" : "a text"));
    value = *read;
}

const toml::table* Section(const toml::table& root, std::string_view name,
                           const std::filesystem::path& path) {
    const toml::node* node = root.get(name);
    if (node == nullptr) return nullptr;
    if (!node->is_table()) ThrowCannotRead(path, "[" + std::string(name) + "] must be a table");
    return node->as_table();
}

toml::array Array(const std::vector<std::string>& texts) {
    toml::array array;
    for (const std::string& text : texts) array.push_back(text);
    return array;
}

}  // namespace

std::vector<std::string> TextList(std::string_view list) {
    std::vector<std::string> texts;
    std::size_t start = 0;
    while (start <= list.size()) {
        std::size_t comma = list.find(',', start);
        if (comma == std::string_view::npos) comma = list.size();
        const std::string_view item = TrimBlanks(list.substr(start, comma - start));
        if (!item.empty()) texts.emplace_back(item);
        start = comma + 1;
    }
    return texts;
}

std::string TextListText(const std::vector<std::string>& texts) {
    std::string list;
    for (const std::string& text : texts) list += (list.empty() ? "" : ", ") + text;
    return list;
}

std::filesystem::path ExtendedOptionsPath(const std::filesystem::path& configurationPath) {
    std::filesystem::path path = configurationPath;
    path += ".toml";
    return path;
}

ExtendedOptions ReadExtendedOptions(const std::filesystem::path& path) {
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) return {};
    std::ifstream in(path, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!in && !in.eof()) ThrowCannotRead(path, SystemErrorText(errno));
    toml::table root;
    try {
        root = toml::parse(text, PathText(path));
    } catch (const toml::parse_error& e) {
        const toml::source_position at = e.source().begin;
        ThrowCannotRead(path, "Line " + std::to_string(at.line) + ", column " +
                                  std::to_string(at.column) + ": " + std::string(e.description()));
    }
    ExtendedOptions options;
    if (const toml::table* layers = Section(root, "layers", path)) {
        Take(*layers, "layers", "include", options.layers.include, path);
        Take(*layers, "layers", "exclude", options.layers.exclude, path);
        Take(*layers, "layers", "visible_only", options.layers.visibleOnly, path);
        Take(*layers, "layers", "model_space_only", options.layers.modelSpaceOnly, path);
    }
    if (const toml::table* attributes = Section(root, "attributes", path)) {
        Take(*attributes, "attributes", "number", options.attributes.number, path);
        Take(*attributes, "attributes", "z", options.attributes.z, path);
        Take(*attributes, "attributes", "text", options.attributes.text, path);
    }
    if (const toml::table* blocks = Section(root, "blocks", path))
        Take(*blocks, "blocks", "contents", options.blockContents, path);
    if (const toml::table* labels = Section(root, "labels", path)) {
        LabelOptions& l = options.labels;
        TakeNumber(*labels, "labels", "heights_within", l.heightsWithin, path);
        TakeNumber(*labels, "labels", "numbers_within", l.numbersWithin, path);
        TakeNumber(*labels, "labels", "height_offset", l.heightOffset, path);
        Take(*labels, "labels", "layers", l.layers, path);
        TakeList(*labels, "labels", "point_types", l.pointTypes, path);
        TakeList(*labels, "labels", "prefixes", l.prefixes, path);
        TakeList(*labels, "labels", "units", l.units, path);
    }
    if (const toml::table* output = Section(root, "output", path)) {
        Take(*output, "output", "format", options.output.format, path);
        Take(*output, "output", "extension", options.output.extension, path);
        Take(*output, "output", "source_crs", options.output.sourceCrs, path);
        Take(*output, "output", "target_crs", options.output.targetCrs, path);
    }
    return options;
}

std::string ExtendedOptionsText(const ExtendedOptions& options) {
    const toml::table root{
        {"layers", toml::table{{"include", options.layers.include},
                               {"exclude", options.layers.exclude},
                               {"visible_only", options.layers.visibleOnly},
                               {"model_space_only", options.layers.modelSpaceOnly}}},
        {"attributes", toml::table{{"number", options.attributes.number},
                                   {"z", options.attributes.z},
                                   {"text", options.attributes.text}}},
        {"blocks", toml::table{{"contents", options.blockContents}}},
        {"labels", toml::table{{"heights_within", options.labels.heightsWithin},
                               {"numbers_within", options.labels.numbersWithin},
                               {"height_offset", options.labels.heightOffset},
                               {"layers", options.labels.layers},
                               {"point_types", Array(options.labels.pointTypes)},
                               {"prefixes", Array(options.labels.prefixes)},
                               {"units", Array(options.labels.units)}}},
        {"output", toml::table{{"format", options.output.format},
                               {"extension", options.output.extension},
                               {"source_crs", options.output.sourceCrs},
                               {"target_crs", options.output.targetCrs}}},
    };
    std::ostringstream text;
    text
        << "# Korvel: how drawings are read and written with the configuration beside this file\n\n"
        << root << "\n";
    return text.str();
}

void WriteExtendedOptions(const std::filesystem::path& path, const ExtendedOptions& options) {
    if (options.AnyOn()) {
        WriteWholeFile(path, ExtendedOptionsText(options), WriteFailure::CannotCreate);
        return;
    }
    std::error_code ec;
    if (std::filesystem::remove(path, ec) || !ec) return;
    ThrowCannotCreateFile(path, ec.value());
}

}  // namespace korvel
