// The input layout of the file pass target, shared by the target (which
// decodes it) and the seed writer (which wraps drawings in it).
//
//   bytes 0..403   the settings image
//   byte 404       options: bit 0 reads unaligned group codes, bits 1..7 give
//                  the event pump call at which the stop command is pressed
//                  (0: never)
//   byte 405       number of exported data field items (low 3 bits)
//   ...            one byte per item: 0..4 a data field name, other values
//                  a text that names no field
//   next byte      number of Code sequence items (low 4 bits)
//   ...            one byte per item: 0..7 a code element name, others none
//   the rest       the drawing
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "settings/export_settings.h"

namespace korvel::fuzz {

struct PassInput {
    SettingsImage image{};
    bool alignGroupCodes = false;
    int stopAtPump = 0;
    std::vector<std::string> fields;
    std::vector<std::string> code;
    std::string_view drawing;
};

// Empty when the bytes are too short to hold the fixed part.
std::optional<PassInput> DecodePassInput(std::string_view bytes, const NameTables& names);

// The bytes DecodePassInput turns back into `image`, the options and the
// lists given as table indexes, followed by `drawing`.
std::string EncodePassInput(const SettingsImage& image, bool alignGroupCodes, int stopAtPump,
                            const std::vector<int>& fieldIndexes,
                            const std::vector<int>& codeIndexes, std::string_view drawing);

// A data file in memory, written through a file descriptor as any file is;
// `slot` tells apart the files a target keeps at once.
int DataFileDescriptor(int slot);
std::string ReadBack(int fd);

// Aborts the run with a finding.
[[noreturn]] void Fail(const char* what);

// The geometry a preview's pass collects from `drawing`: whole polylines of
// finite vertices and arcs within its extent, no more than the cap.
void CheckGeometry(std::string_view drawing);

}  // namespace korvel::fuzz
