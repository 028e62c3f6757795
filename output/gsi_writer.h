// Leica GSI-16 data files: a block per point, its number, its code and its
// coordinates in words of 16 data characters, as total stations and their
// office programs read them.
#pragma once

#include <filesystem>
#include <memory>

#include "engine/file_sink.h"
#include "engine/point_output.h"

namespace korvel {

// A GSI-16 file at `path`, made now.
//
// Each point is a line "*" + words + CR LF; each word is 24 characters: the
// word index (2), the information field (4), the sign, 16 data characters
// and a blank. The words are
//   11 (point number; the information field holds the block number, 0001 to
//      9999 and on from 0000), the record's number or, without one, its
//      place in the file counted from 1;
//   71 (code), only when the record has a code that is not empty;
//   81, 82, 83 (easting, northing, height) with the information field
//      "..1u": entered, not measured, in the unit u of the block.
// Numbers and codes are right-aligned and filled with zeros, as GSI writes
// them. The unit follows the most decimals among the three coordinate
// texts: up to 3 the metre with the last digit 1 mm (u = 0), 4 the metre
// with 1/10 mm (u = 6), 5 and more the metre with 1/100 mm (u = 8), more
// than 5 rounded to 5.
//
// A number or code that no GSI-16 word holds (more than 16 characters, a
// blank, "*", a control character or any character beyond ASCII) and a
// coordinate of more than 16 digits in the block's unit throw a
// PointRecordError naming the point.
std::unique_ptr<RecordSink> CreateGsiSink(const std::filesystem::path& path);
// The same into an open sink, which is left open.
std::unique_ptr<RecordSink> CreateGsiStreamSink(FileSink& out);

}  // namespace korvel
