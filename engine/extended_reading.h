// What a pass needs for the options beyond the record, made once per pass:
// the layer patterns, the tables read before ENTITIES, which entities pass,
// and the tallies its report lines come from.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "engine/drawing_tables.h"
#include "engine/entity_types.h"
#include "engine/layer_patterns.h"
#include "engine/report_lines.h"
#include "settings/extended_options.h"

namespace korvel {

class LabelJoin;

// The entities of each type on each layer, for listing the layers of drawings.
class LayerCensus {
  public:
    struct Layer {
        std::string name;  // as the drawing writes it
        std::array<std::int64_t, kEntityTypeCount> counts{};
        bool inTable = false, off = false, frozen = false;
    };
    void Count(std::string_view layer, EntityType type);
    // The LAYER table of the drawing, for the state of each layer.
    void SetTable(const std::vector<LayerEntry>& table) { table_ = table; }
    // The layers of the table, in its order, then those only entities name.
    std::vector<Layer> Layers() const;

  private:
    std::unordered_map<std::string, std::size_t> index_;
    std::vector<Layer> layers_;
    std::vector<LayerEntry> table_;
};

class ExtendedReading {
  public:
    // Throws KorvelError for a pattern list that cannot be read, naming it.
    explicit ExtendedReading(const ExtendedOptions& options, LayerCensus* census = nullptr);

    const ExtendedOptions& Options() const { return options_; }
    // Whether the pass reads the tables before ENTITIES, and keeps the blocks.
    bool NeedsTables() const;
    bool KeepBlocks() const { return options_.attributes.Any() || options_.blockContents; }
    // Whether an entity on `layer` (as the drawing writes it), in paper space
    // or not, is converted.
    bool Passes(std::string_view layer, bool paperSpace) const;

    DrawingTables tables;
    LayerCensus* census;
    // The join of heights and numbers to points, while its labels are collected.
    LabelJoin* labels = nullptr;
    // Nested blocks multiply: a drawing whose blocks would be read more often
    // than this where they are inserted is stopped with an error rather than
    // left to run for hours (PassOptions sets it).
    std::int64_t mostBlockReads = 0;

    // What the report says about the options at the end of the drawing.
    struct Tally {
        std::int64_t insertsWithTags = 0;  // INSERTs whose attributes were looked at
        std::int64_t lackNumber = 0, lackZ = 0, lackText = 0;
        std::int64_t zNotNumber = 0;
        std::map<std::string, std::int64_t> undefinedBlocks;
        std::int64_t emptyArrays = 0;  // MINSERTs of no column or no row
        std::int64_t blockReads = 0;   // block definitions read where they are inserted
    } tally;
    void AppendReport(RunReport& report) const;

  private:
    bool LayerPasses(std::string_view name) const;

    ExtendedOptions options_;
    LayerPatterns include_, exclude_;
    // The layers judged so far: a drawing has few, its entities many.
    mutable std::map<std::string, bool, std::less<>> layerPasses_;
};

// Whether a text names paper space (group 67): the integer 1.
bool IsPaperSpace(std::string_view space);

}  // namespace korvel
