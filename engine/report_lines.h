// Every line a pass or a run adds to the run report besides the paths and the
// count lines: the one error line a pass handles itself, the warnings that
// say why a drawing gave few or no points, and the line that takes the place
// of a drawing's counts after an error.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace korvel {

// The lines of one run, in order; the report file holds each with CR LF.
using RunReport = std::vector<std::string>;

inline constexpr std::string_view kOpenErrorLine =
    "*** Error, file is used by another application ***";

inline constexpr std::string_view kBinaryDxfNote =
    "*** Note, binary DXF file: read as the ASCII DXF it stands for ***";

inline constexpr std::string_view kNoEntitiesWarning =
    "*** Warning, no ENTITIES section found: the data file is empty ***";
inline constexpr std::string_view kNoEntityWarning =
    "*** Warning, the ENTITIES section holds no entity: the data file is empty ***";
inline constexpr std::string_view kTruncatedWarning =
    "*** Warning, the file ends inside an entity: the data file may be short ***";
inline constexpr std::string_view kUnalignedCodesWarning =
    "*** Warning, the group codes of this file are not right-aligned: switch on \"Read group "
    "codes that are not right-aligned\" (korvel-cli: --align-codes) to read them ***";

// The warning for entities whose points lack their Z group, with their count.
std::string MissingZWarning(std::int64_t entities);

// The warning for a drawing none of whose entities is of a ticked type:
// `unticked` lists the types it holds that the pass converts ("12 LINE"),
// `foreign` those it does not convert ("3 HATCH"), each with its count
// phrase already made. Empty lists leave their half out.
std::string NoTickedTypeWarning(std::string_view unticked, std::string_view foreign);

// Takes the place of a drawing's counts when an error ended its pass and the
// run goes on (korvel-cli's --keep-going).
std::string ConversionErrorLine(std::string_view message);

}  // namespace korvel
