#include "run/layer_listing.h"

#include <unordered_map>

#include "engine/drawing_tables.h"
#include "engine/entity_types.h"
#include "settings/path_text.h"

namespace korvel {

bool ListLayers(const std::string& dxfPath, const NameTables& names, const PassOptions& options,
                std::vector<LayerCensus::Layer>& layers) {
    ExportSettings settings{kDefaultSettingsImage};
    for (const EntityTypeInfo& type : kEntityTypes) settings.Set(type.flag, true);
    LayerCensus census;
    PassOptions counting = options;
    counting.layerCensus = &census;
    FixedListsHost host({"X"}, {});
    RunReport report;
    FilePass pass(settings, names, host, report);
    pass.options = counting;
    pass.CountDxfFile(PathFromText(dxfPath));
    if (pass.OpenFailed()) return false;
    layers = census.Layers();
    return true;
}

std::vector<LayerCensus::Layer> MergeLayers(
    const std::vector<std::vector<LayerCensus::Layer>>& drawings) {
    std::vector<LayerCensus::Layer> merged;
    std::unordered_map<std::string, std::size_t> index;
    for (const auto& layers : drawings) {
        for (const LayerCensus::Layer& layer : layers) {
            const auto [at, added] = index.emplace(TableKey(layer.name), merged.size());
            if (added) {
                merged.push_back(layer);
                continue;
            }
            LayerCensus::Layer& into = merged[at->second];
            for (std::size_t t = 0; t < into.counts.size(); ++t) into.counts[t] += layer.counts[t];
            if (!into.inTable && layer.inTable) {
                into.inTable = true;
                into.off = layer.off;
                into.frozen = layer.frozen;
            }
        }
    }
    return merged;
}

std::string LayerStateText(const LayerCensus::Layer& layer) {
    if (!layer.inTable) return "not in the LAYER table";
    if (layer.off && layer.frozen) return "off, frozen";
    if (layer.off) return "off";
    if (layer.frozen) return "frozen";
    return "on";
}

std::string LayerListingText(const std::vector<LayerCensus::Layer>& layers) {
    std::string text = "Layer\tState";
    for (const EntityTypeInfo& type : kEntityTypes) text.append("\t").append(type.name);
    text += '\n';
    for (const LayerCensus::Layer& layer : layers) {
        text.append(layer.name).append("\t").append(LayerStateText(layer));
        for (std::int64_t count : layer.counts) text.append("\t").append(std::to_string(count));
        text += '\n';
    }
    return text;
}

}  // namespace korvel
