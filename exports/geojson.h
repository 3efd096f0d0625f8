#pragma once

// GeoJSON (RFC 7946): one FeatureCollection holding the features of every layer, each with
// the name of its layer as the property "layer". Coordinates are longitude and latitude in
// degrees with 9 decimals (about 0.1 mm), always, whatever projection the attributes give.

#include <span>
#include <string>

#include "exports/geo_features.h"

namespace velk {

std::string geoJsonDocument(std::span<const FeatureLayer> layers);

}  // namespace velk
