// The layers of a drawing, each with its state in the LAYER table and its
// entities by type: korvel-cli's --list-layers and the window's layer picker.
#pragma once

#include <string>
#include <vector>

#include "engine/extended_reading.h"
#include "engine/file_pass.h"
#include "settings/export_settings.h"

namespace korvel {

// A pass of its own over `dxfPath` with every type ticked and nothing
// written; the layers come back in the table's order, then those that only
// entities name. False when the drawing cannot be opened; throws what the
// pass throws.
bool ListLayers(const std::string& dxfPath, const NameTables& names, const PassOptions& options,
                std::vector<LayerCensus::Layer>& layers);

// The layers of several drawings as one list: a layer they name alike
// (without regard to case) once, its counts added, in the order first met.
std::vector<LayerCensus::Layer> MergeLayers(
    const std::vector<std::vector<LayerCensus::Layer>>& drawings);

// "on", "off", "frozen", "off, frozen", or "not in the LAYER table".
std::string LayerStateText(const LayerCensus::Layer& layer);

// A header line and a line per layer, fields separated by tabs: name, state,
// and the count of each entity type in the report's order.
std::string LayerListingText(const std::vector<LayerCensus::Layer>& layers);

}  // namespace korvel
