// Settings values and keys as the settings files hold them
// ("tdbI.Splits(1).Columns(\"Name\").Width=1620").

#include "FuzzSupport.h"
#include "settings/InitKey.h"
#include "settings/InitValue.h"

#include <QLocale>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString text = ov::fuzz::Text(data, size);
    const ov::settings::InitValue value = ov::settings::ParseInitValue(text);
    ov::settings::FormatInitValue(value, QLocale::c());
    ov::settings::FormatInitValue(value, QLocale(QLocale::German));
    for (const QString& component : ov::settings::SplitInitKey(text)) ov::settings::ParseInitKeyComponent(component);
    return 0;
}
