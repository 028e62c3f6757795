#include "engine/drawing_tables.h"

#include "engine/group_code_aligner.h"
#include "engine/layer_patterns.h"
#include "engine/number_format.h"

namespace korvel {

std::string TableKey(std::string_view name) {
    std::string key = LayerNameText(name);
    for (char& c : key)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return key;
}

bool DrawingTables::ReadToEntities(DxfCursor& cursor, bool keepBlocks) {
    keepBlocks_ = keepBlocks;
    bool codeNext = true;
    int code = -1;
    while (cursor.Next()) {
        const std::string_view line = cursor.Line();
        if (line == "ENTITIES") {
            EndRecord();
            return true;
        }
        if (codeNext) {
            codeLine_.assign(line);
            codeLineNumber_ = cursor.LineNumber();
            code = GroupCodeValue(line).value_or(-1);
        } else {
            Group(code, line);
        }
        codeNext = !codeNext;
    }
    EndRecord();
    return false;
}

void DrawingTables::Group(int code, std::string_view value) {
    if (code == 0) StartRecord(value);
    if (sectionNameNext_ && code == 2) {
        section_ = value;
        sectionNameNext_ = false;
    } else if (code != 0 && section_ == "TABLES" && record_ == "LAYER") {
        if (code == 2) {
            layer_.name = value;
            layerHasName_ = true;
        }
        if (code == 62) layer_.off = ParseIntegerText(value).value_or(0) < 0;
        if (code == 70) layer_.frozen = (ParseIntegerText(value).value_or(0) & 1) != 0;
    } else if (code != 0 && block_ && blockHeader_) {
        BlockDefinition& block = blocks_[*block_];
        if (code == 2) block.name = value;
        if (code == 10) block.base.x = NumberValue(value).value_or(0);
        if (code == 20) block.base.y = NumberValue(value).value_or(0);
        if (code == 30) block.base.z = NumberValue(value).value_or(0);
    } else if (code != 0 && block_ && record_ == "ATTDEF") {
        if (code == 2) attributeTag_ = value;
        if (code == 1) attributeValue_ = value;
        if (code == 70) attributeFlags_ = ParseIntegerText(value).value_or(0);
    }
    // A block's entities are kept as the drawing writes their lines, its
    // ENDBLK included.
    if (block_ && !blockHeader_ && keepBlocks_) {
        BlockDefinition& block = blocks_[*block_];
        if (block.entities.empty()) block.firstLine = codeLineNumber_;
        block.entities.append(codeLine_).append("\n").append(value).append("\n");
    }
    if (code == 0 && value == "ENDBLK" && block_) {
        const std::string key = TableKey(blocks_[*block_].name);
        if (blockIndex_.find(key) == blockIndex_.end()) blockIndex_.emplace(key, *block_);
        block_.reset();
    }
}

void DrawingTables::StartRecord(std::string_view name) {
    EndRecord();
    record_ = name;
    if (name == "SECTION") sectionNameNext_ = true;
    if (name == "ENDSEC") section_.clear();
    if (section_ != "BLOCKS") return;
    if (name == "BLOCK") {
        block_ = blocks_.size();
        blocks_.emplace_back();
        blockHeader_ = true;
    } else if (block_) {
        blockHeader_ = false;  // the first entity of the block, or its end
    }
}

void DrawingTables::EndRecord() {
    if (layerHasName_) {
        const std::string key = TableKey(layer_.name);
        if (layerIndex_.find(key) == layerIndex_.end()) {
            layerIndex_.emplace(key, layers_.size());
            layers_.push_back(layer_);
        }
    }
    layer_ = {};
    layerHasName_ = false;
    if (record_ == "ATTDEF" && block_ && (attributeFlags_ & 2) != 0)
        blocks_[*block_].constantAttributes.emplace_back(attributeTag_, attributeValue_);
    attributeTag_.clear();
    attributeValue_.clear();
    attributeFlags_ = 0;
}

const LayerEntry* DrawingTables::Layer(std::string_view name) const {
    const auto found = layerIndex_.find(TableKey(name));
    return found == layerIndex_.end() ? nullptr : &layers_[found->second];
}

const BlockDefinition* DrawingTables::Block(std::string_view name) const {
    const auto found = blockIndex_.find(TableKey(name));
    return found == blockIndex_.end() ? nullptr : &blocks_[found->second];
}

std::size_t DrawingTables::BlockBytes() const {
    std::size_t bytes = blocks_.capacity() * sizeof(BlockDefinition);
    for (const BlockDefinition& block : blocks_) {
        bytes += block.entities.capacity() + block.name.capacity();
        for (const auto& [tag, value] : block.constantAttributes)
            bytes +=
                tag.capacity() + value.capacity() + sizeof(std::pair<std::string, std::string>);
    }
    return bytes;
}

}  // namespace korvel
