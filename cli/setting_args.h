// --set, --fields and --code: command line texts into settings and lists,
// within the limits the window's editors apply.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "settings/export_settings.h"

namespace korvel::cli {

// Applies one NAME=VALUE. Throws UsageError for an unknown name or a value
// the window could not store.
void ApplySetting(ExportSettings& settings, std::string_view assignment);

// The lists as the window shows them after loading: the names of the mask's
// bits in index order.
std::vector<std::string> DefaultFieldList(const ExportSettings& settings, const NameTables& names);
std::vector<std::string> DefaultCodeList(const ExportSettings& settings, const NameTables& names);

// "--fields N,X,Code": names of the data field table, whole or by first
// letter; "--code Layer,Counter": code element names, case-insensitive.
// Items come back as the table spells them. Throws UsageError.
std::vector<std::string> ResolveFieldList(std::string_view list, const NameTables& names);
std::vector<std::string> ResolveCodeList(std::string_view list, const NameTables& names);

}  // namespace korvel::cli
