#include "engine/extended_reading.h"

#include "engine/number_format.h"
#include "settings/korvel_error.h"

namespace korvel {

namespace {

LayerPatterns Patterns(const std::string& list, const char* what) {
    try {
        return LayerPatterns(list);
    } catch (const KorvelError& e) {
        throw KorvelError(std::string(what) + " " + e.what());
    }
}

std::string Quoted(std::string_view text) {
    return "\"" + std::string(text) + "\"";
}

}  // namespace

void LayerCensus::Count(std::string_view layer, EntityType type) {
    const std::string key = TableKey(layer);
    auto found = index_.find(key);
    if (found == index_.end()) {
        found = index_.emplace(key, layers_.size()).first;
        layers_.push_back({std::string(layer), {}, false, false, false});
    }
    ++layers_[found->second].counts[static_cast<std::size_t>(type)];
}

std::vector<LayerCensus::Layer> LayerCensus::Layers() const {
    std::vector<Layer> layers;
    std::unordered_map<std::string, bool> inTable;
    for (const LayerEntry& entry : table_) {
        const std::string key = TableKey(entry.name);
        if (!inTable.emplace(key, true).second) continue;
        Layer layer{entry.name, {}, true, entry.off, entry.frozen};
        const auto found = index_.find(key);
        if (found != index_.end()) layer.counts = layers_[found->second].counts;
        layers.push_back(layer);
    }
    for (const Layer& counted : layers_)
        if (inTable.find(TableKey(counted.name)) == inTable.end()) layers.push_back(counted);
    return layers;
}

ExtendedReading::ExtendedReading(const ExtendedOptions& options, LayerCensus* layerCensus)
    : census(layerCensus),
      options_(options),
      include_(Patterns(options.layers.include, "Layers to take:")),
      exclude_(Patterns(options.layers.exclude, "Layers to leave out:")) {}

bool ExtendedReading::NeedsTables() const {
    return options_.layers.visibleOnly || KeepBlocks() || census != nullptr;
}

bool ExtendedReading::Passes(std::string_view layer, bool paperSpace) const {
    if (census != nullptr) return true;  // a listing takes every entity
    if (paperSpace && options_.layers.modelSpaceOnly) return false;
    // An entity without a layer group is on layer "0".
    const std::string_view name = layer.empty() ? std::string_view("0") : layer;
    const auto known = layerPasses_.find(name);
    if (known != layerPasses_.end()) return known->second;
    const bool passes = LayerPasses(name);
    layerPasses_.emplace(name, passes);
    return passes;
}

bool ExtendedReading::LayerPasses(std::string_view name) const {
    if (!include_.Empty() && !include_.Match(name)) return false;
    if (exclude_.Match(name)) return false;
    if (options_.layers.visibleOnly) {
        const LayerEntry* entry = tables.Layer(name);
        if (entry != nullptr && (entry->off || entry->frozen)) return false;
    }
    return true;
}

void ExtendedReading::AppendReport(RunReport& report) const {
    const AttributeOptions& tags = options_.attributes;
    const auto lack = [&](const std::string& tag, std::int64_t count, const char* use) {
        if (tag.empty() || count == 0) return;
        report.push_back("*** Warning, " + std::to_string(count) + " of " +
                         std::to_string(tally.insertsWithTags) +
                         (tally.insertsWithTags == 1 ? " block lacks" : " blocks lack") +
                         " the attribute " + Quoted(tag) + " (" + use + ") ***");
    };
    lack(tags.number, tally.lackNumber, "Number");
    lack(tags.z, tally.lackZ, "Z");
    lack(tags.text, tally.lackText, "text");
    if (tally.zNotNumber > 0)
        report.push_back("*** Warning, " + std::to_string(tally.zNotNumber) +
                         (tally.zNotNumber == 1 ? " block holds" : " blocks hold") +
                         " an attribute " + Quoted(tags.z) +
                         " that is not a number: its Z is the insertion point's ***");
    for (const auto& [name, count] : tally.undefinedBlocks)
        report.push_back("*** Warning, " + std::to_string(count) +
                         (count == 1 ? " INSERT entity refers" : " INSERT entities refer") +
                         " to " + Quoted(name) + ", a block the drawing does not define ***");
    if (tally.emptyArrays > 0)
        report.push_back("*** Warning, " + std::to_string(tally.emptyArrays) +
                         (tally.emptyArrays == 1 ? " INSERT entity has" : " INSERT entities have") +
                         " no column or no row: the entities of its block are left out ***");
}

bool IsPaperSpace(std::string_view space) {
    const std::optional<std::int32_t> value = ParseIntegerText(space);
    return value && *value == 1;
}

}  // namespace korvel
