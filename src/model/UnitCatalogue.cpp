#include "model/UnitCatalogue.h"

#include <initializer_list>

namespace ov::model::units {

namespace {

struct Conversion {
    const char* german;
    const char* english;  // null: as the German label
    const char* data;
};
struct Group {
    const char* german;
    const char* english;
    std::initializer_list<Conversion> conversions;
};
struct Category {
    const char* german;
    const char* english;
    const char* image;
    std::initializer_list<Group> groups;
};

// Labels and data as engineers know them from the classic tables.
const std::initializer_list<Category> kCatalogue = {
    {"Temperaturmaße",
     "Temperature measures",
     "Temperature",
     {{"°C (Celsius) > ...",
       nullptr,
       {{"°C > °F (Fahrenheit)", nullptr, "0;32;100;212;0;°F"},
        {"°C > °R (Réaumur)", nullptr, "0;0;100;80;0;°R"},
        {"°C > K (Kelvin)", nullptr, "0;273.15;100;373.15;0;K"}}},
      {"°F (Fahrenheit) > ...",
       nullptr,
       {{"°F > °C (Celsius)", nullptr, "32;0;212;100;0;°C"},
        {"°F > °R (Réaumur)", nullptr, "32;0;41;4;0;°R"},
        {"°F > K (Kelvin)", nullptr, "32;273.15;212;373.15;0;K"}}},
      {"°R (Réaumur) > ...",
       nullptr,
       {{"°R > °C (Celsius)", nullptr, "0;0;80;100;0;°C"},
        {"°R > °F (Fahrenheit)", nullptr, "0;32;80;212;0;°F"},
        {"°R > K (Kelvin)", nullptr, "0;273.15;80;373.15;0;K"}}},
      {"K (Kelvin) > ...",
       nullptr,
       {{"K > °C (Celsius)", nullptr, "0;-273.15;273.15;0;0;°C"},
        {"K > °F (Fahrenheit)", nullptr, "273.15;32;373.15;212;0;°F"},
        {"K > °R (Réaumur)", nullptr, "273.15;0;373.15;80;0;°R"}}}}},
    {"Längenmaße",
     "Linear measures",
     "Length",
     {{"mm (Millimeter) > ...", "mm (Millimetres) > ...", {{"mm > in. (Inch)", nullptr, "0;0;25.4;1;0;in."}}},
      {"m (Meter) > ...",
       "m (Metre) > ...",
       {{"m > in. (Inch)", "m > in. (Inch) > ...", "0;0;0.0254;1;0;in."},
        {"m > ft (Foot)", nullptr, "0;0;0.3048;1;0;ft"},
        {"m > yd (Yard)", nullptr, "0;0;0.9144;1;0;yd"}}},
      {"km (Kilometer) > ...",
       "km (Kilometre) > ...",
       {{"km > m. (Meile)", "km > m. (Mile) > ...", "0;0;1.609;1;0;m."},
        {"km > sm (Seemeile)", "km > sm (Nautical Mile)", "0;0;1.852;1;0;sm"}}}}},
    {"Gewichte",
     "Weights",
     "Weight",
     {{"g (Gramm) > ...",
       "g (Gramme) > ...",
       {{"g > gr. (Gran)", "g > gr. (Grain)", "0;0;0.065;1;0;gr."},
        {"g > dr. (Dram)", nullptr, "0;0;1.772;1;2;dr."},
        {"g > oz. (Unze)", "g > oz. (Ounce)", "0;0;28.35;1;3;oz."}}},
      {"kg (Kilogramm) > ...",
       "kg (Kilogramme) > ...",
       {{"kg > lb. (Pfund)", "kg > lb. (Pound) > ...", "0;0;0.453592;1;0;lb."},
        {"kg > qr (Quarter)", nullptr, "0;0;12.701;1;0;qr"},
        {"kg > qr (USA-Quarter)", nullptr, "0;0;11.339;1;0;qr"},
        {"kg > st. (Stone)", nullptr, "0;0;6.35;1;0;st."}}},
      {"t (Tonne) > ...",
       "t (Ton) > ...",
       {{"t > t. (British Ton)", "t > t. (British Ton) > ...", "0;0;1;0.984;0;t."},
        {"t > t. (U.S. Ton)", nullptr, "0;0;1;1.1023;0;t."}}}}},
};

QString Label(const char* german, const char* english) {
    return QString::fromUtf8(english ? english : german);
}

std::vector<CatalogueNode> Build() {
    std::vector<CatalogueNode> nodes;
    int c = 0;
    for (const Category& category : kCatalogue) {
        const QString categoryKey = QStringLiteral("C%1").arg(c++);
        const QString image = QString::fromUtf8(category.image);
        nodes.push_back({categoryKey, QString(), QString::fromUtf8(category.german), Label(category.german, category.english),
                         image, QString()});
        int g = 0;
        for (const Group& group : category.groups) {
            const QString groupKey = categoryKey + QStringLiteral("G%1").arg(g++);
            nodes.push_back({groupKey, categoryKey, QString::fromUtf8(group.german), Label(group.german, group.english), image,
                             QString()});
            int u = 0;
            for (const Conversion& conversion : group.conversions)
                nodes.push_back({groupKey + QStringLiteral("U%1").arg(u++), groupKey, QString::fromUtf8(conversion.german),
                                 Label(conversion.german, conversion.english), QStringLiteral("Unit"),
                                 QString::fromUtf8(conversion.data)});
        }
    }
    return nodes;
}

}  // namespace

const std::vector<CatalogueNode>& ConversionCatalogue() {
    static const std::vector<CatalogueNode> nodes = Build();
    return nodes;
}

}  // namespace ov::model::units
