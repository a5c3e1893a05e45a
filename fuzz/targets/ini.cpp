// INI files as other programs leave them: read whole, then one key written
// and read back. Writing keeps every other line and must give the value
// written.

#include "FuzzSupport.h"
#include "platform/system/IniFile.h"

#include <QFile>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString path = ov::fuzz::WorkFolder().filePath(QStringLiteral("fuzz.ini"));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return 0;
        file.write(ov::fuzz::Bytes(data, size));
    }
    ov::sys::IniFile ini(path);
    // Everything the file says, as it reads.
    const auto contents = [&ini] {
        QStringList entries;
        for (const QString& section : ini.Sections())
            for (const QString& key : ini.Keys(section)) entries << section + u'|' + key + u'=' + ini.Read(section, key);
        return entries;
    };
    const QStringList before = contents();
    // A key written and deleted again leaves every other entry as it was.
    const QString section = QStringLiteral("FuzzSection");
    if (!ini.Write(section, QStringLiteral("FuzzKey"), QStringLiteral("value 1"))) return 0;  // e.g. not writable
    OV_FUZZ_CHECK(ini.Read(section, QStringLiteral("FuzzKey")) == QStringLiteral("value 1"));
    OV_FUZZ_CHECK(ini.DeleteKey(section, QStringLiteral("FuzzKey")));
    OV_FUZZ_CHECK(ini.Read(section, QStringLiteral("FuzzKey"), QStringLiteral("gone")) == QStringLiteral("gone"));
    OV_FUZZ_CHECK(contents() == before);
    return 0;
}
