// The options of a configuration beyond its 404-byte record: how drawings
// are read (layers, block attributes, the contents of blocks). The record's
// format stays as every earlier version wrote it, so these live in a small
// TOML file beside the configuration file, "<name>.krv.toml". Every option
// is off by default, and a configuration without that file has them all off.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace korvel {

struct LayerOptions {
    std::string include;          // layer name patterns, comma-separated; empty: every layer
    std::string exclude;          // layer name patterns left out
    bool visibleOnly = false;     // layers that are off or frozen are left out
    bool modelSpaceOnly = false;  // entities in paper space are left out

    friend bool operator==(const LayerOptions&, const LayerOptions&) = default;
};

// The tags of the block attributes that give an INSERT's Number, Z and the
// Code's text element; empty: none.
struct AttributeOptions {
    std::string number;
    std::string z;
    std::string text;

    bool Any() const { return !number.empty() || !z.empty() || !text.empty(); }
    friend bool operator==(const AttributeOptions&, const AttributeOptions&) = default;
};

// Heights and point numbers taken from the texts beside the points.
struct LabelOptions {
    double heightsWithin = 0;  // drawing units; 0: no heights from labels
    double numbersWithin = 0;  // drawing units; 0: no numbers from labels
    double heightOffset = 0;   // added to every height a label gives
    std::string layers;        // layer patterns of the labels; empty: every layer
    // The entity types whose points take labels, by name ("POINT", "Blocks").
    std::vector<std::string> pointTypes{"POINT", "INSERT"};
    // What may stand before and after the number of a height label.
    std::vector<std::string> prefixes{"Z=", "H=", "+"};
    std::vector<std::string> units{"m"};

    bool Any() const { return heightsWithin > 0 || numbersWithin > 0; }
    friend bool operator==(const LabelOptions&, const LabelOptions&) = default;
};

// What the data files are written as, and in which coordinate system.
struct OutputOptions {
    // "text" (the data lines), "csv", "geojson", "gpkg", "shp", "landxml" or "gsi16".
    std::string format = "text";
    // The extension of data files of another form than the text lines;
    // empty: the form's own. The text lines keep the record's extension.
    std::string extension;
    // The systems the drawing's coordinates are in and are to be written in:
    // EPSG codes ("EPSG:25832") or PROJ strings; empty: none. Coordinates
    // are moved only when both are given.
    std::string sourceCrs;
    std::string targetCrs;

    friend bool operator==(const OutputOptions&, const OutputOptions&) = default;
};

struct ExtendedOptions {
    LayerOptions layers;
    AttributeOptions attributes;
    bool blockContents = false;  // the points of the entities inside inserted blocks
    LabelOptions labels;
    OutputOptions output;

    bool AnyOn() const { return *this != ExtendedOptions{}; }
    // Any option of how drawings are read (not of what is written).
    bool ReadingOn() const {
        ExtendedOptions reading = *this;
        reading.output = {};
        return reading.AnyOn();
    }
    friend bool operator==(const ExtendedOptions&, const ExtendedOptions&) = default;
};

// A comma-separated list of texts, blanks around each taken off, empty
// items left out; and back.
std::vector<std::string> TextList(std::string_view list);
std::string TextListText(const std::vector<std::string>& texts);

// The options file of a configuration file: its path with ".toml" added.
std::filesystem::path ExtendedOptionsPath(const std::filesystem::path& configurationPath);

// The options the file at `path` holds; all off when there is no such file.
// Keys it does not know are passed over, so that a later version's file
// still loads. Throws "Cannot read options file "<path>". <reason>" for a
// file that cannot be read or is no TOML of the expected form.
ExtendedOptions ReadExtendedOptions(const std::filesystem::path& path);

// The options as TOML text, every key written.
std::string ExtendedOptionsText(const ExtendedOptions& options);

// Writes the options file, or removes it when every option is off, so that
// the configuration and its options always go together. Throws "Cannot
// create file "<path>". <reason>".
void WriteExtendedOptions(const std::filesystem::path& path, const ExtendedOptions& options);

}  // namespace korvel
