#include "cli/setting_args.h"

#include <algorithm>
#include <optional>

#include "cli/options.h"
#include "engine/number_format.h"
#include "settings/korvel_error.h"

namespace korvel::cli {

namespace {

bool IsOneOf(std::string_view name, std::initializer_list<std::string_view> names) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

// The ranges of settings the window offers as a choice, not as free input.
bool IntegerRange(std::string_view name, std::int32_t& low, std::int32_t& high) {
    if (IsOneOf(name, {"XDecimals", "YDecimals", "ZDecimals"})) {
        low = 0;
        high = 14;
        return true;
    }
    if (name == "DataFieldMask") {
        low = 0;
        high = (1 << kDataFieldCount) - 1;
        return true;
    }
    if (name == "CodeElementMask") {
        low = 0;
        high = (1 << kCodeElementCount) - 1;
        return true;
    }
    return false;
}

}  // namespace

void ApplySetting(ExportSettings& settings, std::string_view assignment) {
    std::size_t eq = assignment.find('=');
    if (eq == std::string_view::npos)
        throw UsageError("--set needs NAME=VALUE, got '" + std::string(assignment) + "'");
    std::string_view name = assignment.substr(0, eq);
    std::string_view value = assignment.substr(eq + 1);
    const NamedField* f = FindNamedField(name);
    if (f == nullptr) throw UsageError("unknown setting '" + std::string(name) + "'");
    std::string quoted(1, '\'');
    quoted.append(value).push_back('\'');

    switch (f->kind) {
        case NamedField::Kind::ShortString:
            // The window takes the forced Z value only as a number, and as
            // typed; the other texts are free. All are cut to their capacity.
            if (name == "ForcedZValue" && !IsNumberText(value))
                throw UsageError("ForcedZValue must be a number, got " + quoted);
            settings.Set(ShortStringField{f->offset, f->capacity}, value);
            break;
        case NamedField::Kind::Int32: {
            const std::optional<std::int32_t> parsed = ParseIntegerText(value);
            if (!parsed) throw UsageError(std::string(name) + " must be an integer, got " + quoted);
            const std::int32_t v = *parsed;
            std::int32_t low, high;
            if (IntegerRange(name, low, high) && (v < low || v > high))
                throw UsageError(std::string(name) + " must be from " + std::to_string(low) +
                                 " to " + std::to_string(high) + ", got " + quoted);
            settings.Set(Int32Field{f->offset}, v);
            break;
        }
        case NamedField::Kind::Bool:
            if (value != "0" && value != "1")
                throw UsageError(std::string(name) + " must be 0 or 1, got " + quoted);
            settings.Set(BoolField{f->offset}, value == "1");
            break;
    }
}

namespace {

std::vector<std::string> NamesOfMask(std::int32_t mask, const std::vector<std::string>& table,
                                     std::size_t kinds) {
    std::vector<std::string> list;
    for (std::size_t i = 0; i < kinds && i < table.size(); ++i)
        if (mask & (1 << i)) list.push_back(table[i]);
    return list;
}

bool EqualNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

std::vector<std::string_view> SplitList(std::string_view list) {
    std::vector<std::string_view> items;
    if (list.empty()) return items;
    std::size_t start = 0;
    while (true) {
        std::size_t comma = list.find(',', start);
        items.push_back(list.substr(start, comma - start));
        if (comma == std::string_view::npos) break;
        start = comma + 1;
    }
    return items;
}

std::string JoinNames(const std::vector<std::string>& names, std::size_t count) {
    std::string text;
    for (std::size_t i = 0; i < count && i < names.size(); ++i) {
        if (i) text += ", ";
        text += names[i];
    }
    return text;
}

// Resolves each item with `match`, refusing unknown and repeated items.
template <typename Match>
std::vector<std::string> ResolveList(std::string_view list, const std::vector<std::string>& table,
                                     std::size_t kinds, const char* option, Match match) {
    std::vector<std::string> resolved;
    for (std::string_view item : SplitList(list)) {
        std::optional<std::size_t> found;
        for (std::size_t i = 0; i < kinds && i < table.size() && !found; ++i)
            if (table[i] == item) found = i;
        for (std::size_t i = 0; i < kinds && i < table.size() && !found; ++i)
            if (match(item, table[i])) found = i;
        if (!found)
            throw UsageError(std::string("unknown name '") + std::string(item) + "' in " + option +
                             " (names: " + JoinNames(table, kinds) + ")");
        const std::string& name = table[*found];
        if (std::find(resolved.begin(), resolved.end(), name) != resolved.end())
            throw UsageError(std::string("'") + name + "' appears twice in " + option);
        resolved.push_back(name);
    }
    return resolved;
}

}  // namespace

std::vector<std::string> DefaultFieldList(const ExportSettings& settings, const NameTables& names) {
    return NamesOfMask(settings.Get(field::DataFieldMask), names.dataFieldNames, kDataFieldCount);
}

std::vector<std::string> DefaultCodeList(const ExportSettings& settings, const NameTables& names) {
    return NamesOfMask(settings.Get(field::CodeElementMask), names.codeElementNames,
                       kCodeElementCount);
}

std::vector<std::string> ResolveFieldList(std::string_view list, const NameTables& names) {
    return ResolveList(list, names.dataFieldNames, kDataFieldCount, "--fields",
                       [](std::string_view item, const std::string& name) {
                           if (EqualNoCase(item, name)) return true;
                           // The window tells the fields apart by their first letter.
                           return item.size() == 1 && !name.empty() &&
                                  EqualNoCase(item, std::string_view(name).substr(0, 1));
                       });
}

std::vector<std::string> ResolveCodeList(std::string_view list, const NameTables& names) {
    return ResolveList(
        list, names.codeElementNames, kCodeElementCount, "--code",
        [](std::string_view item, const std::string& name) { return EqualNoCase(item, name); });
}

}  // namespace korvel::cli
