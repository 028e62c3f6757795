// The parts of the entity reader that only the options beyond the record use:
// which entities pass, block attributes, and the entities of inserted blocks
// placed in world coordinates.
#include <set>
#include <utility>

#include "engine/byte_source.h"
#include "engine/entity_rules.h"
#include "engine/extended_reading.h"
#include "engine/label_join.h"
#include "engine/line_reader.h"
#include "engine/number_format.h"
#include "settings/blanks.h"
#include "settings/korvel_error.h"

namespace korvel {

namespace {

bool SameTag(std::string_view a, std::string_view b) {
    return TableKey(a) == TableKey(b);
}

}  // namespace

std::string_view EntityReader::EffectiveLayer() const {
    const std::string_view layer = values_.Layer;
    if (scope_ != nullptr && (layer == "0" || layer.empty())) return scope_->layer;
    return layer;
}

bool EntityReader::EntityPasses() const {
    if (extended_->census != nullptr) {
        const std::string_view layer = EffectiveLayer();
        extended_->census->Count(layer.empty() ? std::string_view("0") : layer, values_.type);
    }
    return extended_->Passes(EffectiveLayer(), IsPaperSpace(extras_.Space));
}

// At a point of an entity of the drawing's own: when nothing its end may still
// bring changes whether it passes, it is judged now and its points go out
// as they come. Attributes, paper space (which no group may announce) and
// the entities of blocks (placed at their end) wait for the end.
void EntityReader::JudgeEarly() {
    if (judged_ || scope_ != nullptr) return;
    if (valueLines_[static_cast<std::size_t>(Slot::Layer)] == 0) return;
    const ExtendedOptions& options = extended_->Options();
    if (options.layers.modelSpaceOnly) return;
    if (values_.type == EntityType::Block && (options.attributes.Any() || options.blockContents))
        return;
    judged_ = EntityPasses();
    holdPoints_ = false;
    if (!*judged_) {
        queue_.clear();
        return;
    }
    WriteReadyPoints();
}

void EntityReader::CollectLabel(bool mtext) {
    LabelJoin* labels = extended_->labels;
    if (labels == nullptr) return;
    std::string plain;
    if (mtext) plain = PlainMText(mtextChunks_ + std::string(values_.Text));
    const std::string_view text = mtext ? std::string_view(plain) : std::string_view(values_.Text);
    const std::string_view layer = EffectiveLayer();
    if (scope_ == nullptr) {
        labels->AddLabel(values_.X, values_.Y, text, layer);
        return;
    }
    // A text inside a block labels where the block shows it.
    const std::optional<double> x = NumberValue(values_.X), y = NumberValue(values_.Y);
    if (!x || !y) return;
    const std::optional<double> z = NumberValue(values_.Z);
    Transform toWorld = scope_->toWorld;
    if (!mtext)
        toWorld = toWorld.After(OcsToWcs({Number(Slot::ExtrusionX, 0), Number(Slot::ExtrusionY, 0),
                                          Number(Slot::ExtrusionZ, 1)}));
    const Vec3 world = toWorld.Apply({*x, *y, z.value_or(0)});
    labels->AddLabel(NumberText(world.x), NumberText(world.y), text, layer);
}

void EntityReader::ReadAttributes() {
    if (!extended_->Options().attributes.Any()) return;
    if (ParseIntegerText(extras_.AttributesFollow) != 1) return;
    while (!truncated_ && cursor_.PeekLine() == "ATTRIB") {
        cursor_.Next();
        ValueText tag, value;
        while (NextGroup()) {
            if (cursor_.Kind() == LineKind::G2) cursor_.ReadValue(tag);
            if (cursor_.Kind() == LineKind::G1) cursor_.ReadValue(value);
            if (cursor_.Kind() == LineKind::G0) break;
        }
        attributes_.emplace_back(std::string_view(tag), std::string_view(value));
    }
    if (!truncated_ && cursor_.PeekLine() == "SEQEND") {
        cursor_.Next();
        while (NextGroup() && cursor_.Kind() != LineKind::G0) {
        }
    }
}

void EntityReader::ApplyAttributes() {
    const AttributeOptions& tags = extended_->Options().attributes;
    if (!tags.Any()) return;
    ExtendedReading::Tally& tally = extended_->tally;
    ++tally.insertsWithTags;
    const BlockDefinition* block = extended_->tables.Block(values_.BlockName);
    // The INSERT's own attribute, else a constant one of its block; empty: none.
    const auto value = [&](const std::string& tag) {
        for (const auto& [t, v] : attributes_)
            if (SameTag(t, tag)) return std::string(TrimBlanks(v));
        if (block != nullptr)
            for (const auto& [t, v] : block->constantAttributes)
                if (SameTag(t, tag)) return std::string(TrimBlanks(v));
        return std::string();
    };
    const auto apply = [&](const std::string& tag, std::int64_t& lack, auto set) {
        if (tag.empty()) return;
        const std::string text = value(tag);
        if (text.empty()) {
            ++lack;
            return;
        }
        for (QueuedPoint& p : queue_) set(p.values, text);
    };
    apply(tags.number, tally.lackNumber,
          [](EntityValues& v, const std::string& text) { v.Number.Assign(text); });
    apply(tags.text, tally.lackText,
          [](EntityValues& v, const std::string& text) { v.Text.Assign(text); });
    std::int64_t notNumber = 0;
    apply(tags.z, tally.lackZ, [&](EntityValues& v, const std::string& text) {
        if (IsNumberText(text))
            v.Z.Assign(text);
        else
            notNumber = 1;
    });
    tally.zNotNumber += notNumber;
}

// The value of a group the options read; `missing` when the entity has none.
double EntityReader::Number(Slot slot, double missing) const {
    const auto i = static_cast<std::size_t>(slot);
    const std::string_view text = *texts_[i];
    if (valueLines_[i] == 0) return missing;
    const std::optional<double> value = NumberValue(text);
    if (!value) {
        try {
            ThrowInvalidFloat(text);
        } catch (const KorvelError& e) {
            throw DrawingError(e.what(), valueLines_[i]);
        }
    }
    return *value;
}

void EntityReader::PlaceQueuedPoints(bool ocs) {
    if (scope_ == nullptr) return;  // the drawing's own entities stay as it writes them
    Transform toWorld = scope_->toWorld;
    if (ocs)
        toWorld = toWorld.After(OcsToWcs({Number(Slot::ExtrusionX, 0), Number(Slot::ExtrusionY, 0),
                                          Number(Slot::ExtrusionZ, 1)}));
    const std::string layer(EffectiveLayer());
    for (QueuedPoint& p : queue_) {
        p.values.Layer.Assign(layer);
        // An INSERT's own point keeps the name of the block it inserts.
        if (p.values.type != EntityType::Block) p.values.BlockName.Assign(scope_->block->name);
        const std::optional<double> x = NumberValue(p.values.X), y = NumberValue(p.values.Y);
        if (!x || !y) continue;  // the data line tells the error, at its line
        const std::optional<double> z = NumberValue(p.values.Z);
        const Vec3 world = toWorld.Apply({*x, *y, z.value_or(0)});
        p.values.X.Assign(NumberText(world.x));
        p.values.Y.Assign(NumberText(world.y));
        if (z) p.values.Z.Assign(NumberText(world.z));
    }
}

void EntityReader::ExpandInsert() {
    ExtendedReading::Tally& tally = extended_->tally;
    const BlockDefinition* block = extended_->tables.Block(values_.BlockName);
    if (block == nullptr) {
        ++tally.undefinedBlocks[std::string(values_.BlockName)];
        return;
    }
    const std::uint64_t line = valueLines_[static_cast<std::size_t>(Slot::BlockName)];
    if (scope_ != nullptr) {
        for (const std::string& outer : scope_->chain) {
            if (!SameTag(outer, block->name)) continue;
            std::string chain;
            for (const std::string& name : scope_->chain) chain += "\"" + name + "\" > ";
            throw DrawingError("Block \"" + block->name + "\" is inserted in itself: " + chain +
                                   "\"" + block->name + "\"",
                               line);
        }
    }
    InsertPlacement placement;
    placement.insert = {Number(Slot::X, 0), Number(Slot::Y, 0), Number(Slot::Z, 0)};
    placement.scale = {Number(Slot::ScaleX, 1), Number(Slot::ScaleY, 1), Number(Slot::ScaleZ, 1)};
    placement.rotationDegrees = Number(Slot::Rotation, 0);
    placement.extrusion = {Number(Slot::ExtrusionX, 0), Number(Slot::ExtrusionY, 0),
                           Number(Slot::ExtrusionZ, 1)};
    const auto count = [&](Slot slot) {
        return valueLines_[static_cast<std::size_t>(slot)] == 0
                   ? 1
                   : ParseIntegerText(*texts_[static_cast<std::size_t>(slot)]).value_or(0);
    };
    placement.columns = count(Slot::Columns);
    placement.rows = count(Slot::Rows);
    placement.columnSpacing = Number(Slot::ColumnSpacing, 0);
    placement.rowSpacing = Number(Slot::RowSpacing, 0);
    if (placement.columns <= 0 || placement.rows <= 0) {
        ++tally.emptyArrays;
        return;
    }

    BlockScope inner;
    inner.block = block;
    inner.layer = std::string(EffectiveLayer());
    if (scope_ != nullptr) inner.chain = scope_->chain;
    inner.chain.push_back(block->name);
    const Transform outer = scope_ != nullptr ? scope_->toWorld : Transform::Identity();
    // Cells at the same place (a spacing of 0) are read once.
    std::set<std::pair<double, double>> offsets;
    for (int row = 0; row < placement.rows; ++row) {
        for (int column = 0; column < placement.columns; ++column) {
            const std::pair<double, double> offset{column * placement.columnSpacing,
                                                   row * placement.rowSpacing};
            if (!offsets.insert(offset).second) continue;
            if (++tally.blockReads > extended_->mostBlockReads)
                throw DrawingError("The blocks of this drawing are inserted more than " +
                                       std::to_string(extended_->mostBlockReads) +
                                       " times where nested blocks multiply: their entities "
                                       "are not read",
                                   line);
            inner.toWorld = outer.After(InsertTransform(placement, block->base, column, row));
            ReadBlockEntities(*block, inner);
        }
    }
}

void EntityReader::ReadBlockEntities(const BlockDefinition& block, const BlockScope& scope) {
    MemorySource source(block.entities);
    LineReader reader(source, block.entities.size() + 64);
    DxfCursor cursor(reader);
    cursor.SetLineBase(block.firstLine - 1);
    EntityReader entities(cursor, points_, settings_, counters_, missingZAsZero_, extended_,
                          &scope);
    // As the main loop reads the drawing's own entities.
    while (cursor.Next()) {
        entities.ExtractIfTicked(cursor.Kind());
        if (cursor.AtEnd()) break;
    }
    missingZEntities_ += entities.MissingZEntities();
}

}  // namespace korvel
