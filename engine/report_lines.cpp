#include "engine/report_lines.h"

namespace korvel {

std::string MissingZWarning(std::int64_t entities) {
    return "*** Warning, " + std::to_string(entities) +
           (entities == 1 ? " entity lacks" : " entities lack") +
           " the Z coordinate of a point and gave no point or an empty Z for it: switch on "
           "\"Take a missing Z coordinate as 0\" (korvel-cli: --missing-z) to read them ***";
}

std::string NoTickedTypeWarning(std::string_view unticked, std::string_view foreign) {
    std::string text = "*** Warning, no entity of a ticked type: the drawing holds ";
    if (!unticked.empty()) text.append(unticked).append(", whose types are not ticked");
    if (!unticked.empty() && !foreign.empty()) text += ", and ";
    if (!foreign.empty()) text.append(foreign).append(", which Korvel does not convert");
    return text + " ***";
}

std::string ConversionErrorLine(std::string_view message) {
    return "*** Error, " + std::string(message) + " ***";
}

}  // namespace korvel
