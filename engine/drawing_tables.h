// What the sections before ENTITIES hold that the options beyond the record
// need: the layers of the LAYER table with their state, and the block
// definitions with their entities and constant attributes. Read on the way
// to ENTITIES, line by line as the pass itself goes there.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "engine/block_transform.h"
#include "engine/dxf_cursor.h"

namespace korvel {

struct LayerEntry {
    std::string name;     // as the drawing writes it
    bool off = false;     // a negative colour
    bool frozen = false;  // flag 1 of group 70
};

struct BlockDefinition {
    std::string name;
    Vec3 base;
    // The lines of its entities, each ended by LF, from the "  0" of the
    // first entity to the "ENDBLK" line; the first is line `firstLine` of
    // the drawing.
    std::string entities;
    std::uint64_t firstLine = 0;
    // Tag and value of each constant attribute (ATTDEF, flag 2 of group 70).
    std::vector<std::pair<std::string, std::string>> constantAttributes;
};

class DrawingTables {
  public:
    // Reads every line up to and including the first line "ENTITIES", taking
    // the layer table and, with `keepBlocks`, the block definitions on the
    // way. False when there is no such line (the file is read to its end).
    bool ReadToEntities(DxfCursor& cursor, bool keepBlocks);

    // By name, without regard to case; null when the drawing has none.
    const LayerEntry* Layer(std::string_view name) const;
    const BlockDefinition* Block(std::string_view name) const;
    // The layers in the order of the table.
    const std::vector<LayerEntry>& Layers() const { return layers_; }
    // The bytes the block definitions hold.
    std::size_t BlockBytes() const;

  private:
    // One group of the record being read.
    void Group(int code, std::string_view value);
    void StartRecord(std::string_view name);
    void EndRecord();

    std::vector<LayerEntry> layers_;
    std::unordered_map<std::string, std::size_t> layerIndex_;
    std::vector<BlockDefinition> blocks_;
    std::unordered_map<std::string, std::size_t> blockIndex_;

    bool keepBlocks_ = false;
    std::string codeLine_;  // the group code line before the value being read
    std::uint64_t codeLineNumber_ = 0;
    std::string section_;
    bool sectionNameNext_ = false;
    std::string record_;  // the entity name of the record being read
    LayerEntry layer_;
    bool layerHasName_ = false;
    std::optional<std::size_t> block_;  // the block being read
    bool blockHeader_ = false;          // its BLOCK record is still being read
    std::string attributeTag_, attributeValue_;
    int attributeFlags_ = 0;
};

// A name as the tables are keyed by it: letters in upper case.
std::string TableKey(std::string_view name);

}  // namespace korvel
