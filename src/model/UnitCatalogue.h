#pragma once

#include <QString>
#include <vector>

namespace ov::model::units {

// The predefined conversions the unit dialog offers: categories, groups of
// one source unit, and conversions carrying "x1;y1;x2;y2;DecPointDisp;text".
// Nodes come in tree order, each after its parent; categories and groups
// carry no data.
struct CatalogueNode {
    QString key;
    QString parentKey;  // empty for a category
    QString german;
    QString english;
    QString image;  // "Temperature", "Length", "Weight" or "Unit"
    QString data;
};

const std::vector<CatalogueNode>& ConversionCatalogue();

}  // namespace ov::model::units
