#include "model/CDBLanguages.h"

#include "platform/db/Recordset.h"
#include "platform/system/Registry.h"
#include "platform/system/RegistryError.h"
#include "platform/ui/Control.h"

#include <QLocale>

namespace ov::model {

namespace {

// The leading decimal number of a text, 0 when it has none.
double LeadingNumber(const QString& text) {
    const QString t = text.trimmed();
    qsizetype end = 0;
    if (end < t.size() && (t[end] == u'-' || t[end] == u'+')) ++end;
    bool point = false;
    while (end < t.size() && (t[end].isDigit() || (t[end] == u'.' && !point))) {
        point = point || t[end] == u'.';
        ++end;
    }
    return t.left(end).toDouble();
}

struct LcidLocale {
    int lcid;
    const char* locale;
};

// Windows locale identifiers of the languages projects are kept in.
const LcidLocale kLocales[] = {
    {1025, "ar_SA"}, {1026, "bg_BG"}, {1027, "ca_ES"}, {1028, "zh_TW"}, {1029, "cs_CZ"}, {1030, "da_DK"},
    {1031, "de_DE"}, {1032, "el_GR"}, {1033, "en_US"}, {1034, "es_ES"}, {1035, "fi_FI"}, {1036, "fr_FR"},
    {1037, "he_IL"}, {1038, "hu_HU"}, {1039, "is_IS"}, {1040, "it_IT"}, {1041, "ja_JP"}, {1042, "ko_KR"},
    {1043, "nl_NL"}, {1044, "nb_NO"}, {1045, "pl_PL"}, {1046, "pt_BR"}, {1048, "ro_RO"}, {1049, "ru_RU"},
    {1050, "hr_HR"}, {1051, "sk_SK"}, {1052, "sq_AL"}, {1053, "sv_SE"}, {1054, "th_TH"}, {1055, "tr_TR"},
    {1057, "id_ID"}, {1058, "uk_UA"}, {1059, "be_BY"}, {1060, "sl_SI"}, {1061, "et_EE"}, {1062, "lv_LV"},
    {1063, "lt_LT"}, {1066, "vi_VN"}, {1081, "hi_IN"}, {1086, "ms_MY"}, {2052, "zh_CN"}, {2055, "de_CH"},
    {2057, "en_GB"}, {2058, "es_MX"}, {2060, "fr_BE"}, {2064, "it_CH"}, {2067, "nl_BE"}, {2070, "pt_PT"},
    {3076, "zh_HK"}, {3079, "de_AT"}, {3081, "en_AU"}, {3082, "es_ES"}, {3084, "fr_CA"}, {4105, "en_CA"},
    {4108, "fr_CH"}, {5127, "de_LI"}, {6153, "en_IE"},
};

}  // namespace

FontSpec StringToFont(const QString& description) {
    const auto field = [&description](int from) { return LeadingNumber(description.mid(from - 1, 4)); };
    FontSpec font;
    QString name = description.left(32);
    while (!name.isEmpty() && name.back().isSpace()) name.chop(1);
    font.name = name;
    font.size = field(32);
    font.bold = field(36) != 0;
    font.charset = static_cast<int>(field(40));
    font.italic = field(44) != 0;
    font.strikethrough = field(48) != 0;
    font.underline = field(52) != 0;
    font.weight = static_cast<int>(field(56));
    return font;
}

QString CDBLanguages::LanguageName(int lcid) {
    for (const LcidLocale& entry : kLocales) {
        if (entry.lcid != lcid) continue;
        const QLocale locale(QString::fromLatin1(entry.locale));
        // Each language in its own words, as language selectors show them.
        return QStringLiteral("%1 (%2)").arg(locale.nativeLanguageName(), locale.nativeTerritoryName());
    }
    return QStringLiteral("LCID %1").arg(lcid);
}

QString CDBLanguages::GetNameFromLLCID(const QString& column) { return LanguageName(column.mid(1).toInt()); }

void CDBLanguages::Init(const QStringList& textFields, db::Recordset& languages, const sys::Registry& registry) {
    try {
        m_current = registry
                        .ReadValue(sys::Hive::LocalMachine, QStringLiteral("SOFTWARE\\Senmark GmbH\\Orvana\\4.0"),
                                   QStringLiteral("LCID"), QStringLiteral("1031"))
                        .trimmed()
                        .toInt();
    } catch (const sys::RegistryError&) {
        m_current = 1031;
    }
    m_languages.clear();
    languages.SetFilter(QString());
    for (languages.MoveFirst(); !languages.IsEOF(); languages.MoveNext()) {
        CDBLanguage language;
        language.lcid = languages.Value(QStringLiteral("LCID")).toInt();
        language.name = LanguageName(language.lcid);
        language.keyboardLayout = languages.Value(QStringLiteral("kbLayout")).toString();
        language.font = StringToFont(languages.Value(QStringLiteral("Font")).toString());
        for (qsizetype i = textFields.size() - 1; i >= 0; --i) {
            if (textFields[i].compare(language.Key(), Qt::CaseInsensitive) == 0) {
                language.textColumn = static_cast<int>(i);
                break;
            }
        }
        m_languages.push_back(language);
    }
    languages.Close();
}

const CDBLanguage* CDBLanguages::Item(const QString& key) const {
    for (const CDBLanguage& language : m_languages)
        if (language.Key().compare(key, Qt::CaseInsensitive) == 0) return &language;
    return nullptr;
}

const CDBLanguage* CDBLanguages::ItemByLcid(int lcid) const { return Item(QStringLiteral("L%1").arg(lcid)); }

void CDBLanguages::InitLanguageComboBox(ui::Control& selector, int lcid) {
    if (lcid != -1) m_current = lcid;
    selector.list.Clear();
    selector.list.SetStyle(ui::ValueList::Style::DropDownList);
    for (const CDBLanguage& language : m_languages) selector.list.Add(language.lcid, language.name);
    selector.listIndex = -1;
    if (!selector.Select(m_current) && !m_languages.empty()) selector.listIndex = 0;
    if (selector.listIndex >= 0) m_current = selector.SelectedData().toInt();
}

void CDBLanguages::SelectorChanged(const ui::Control& selector) {
    const QVariant picked = selector.SelectedData();
    if (!picked.isValid()) return;
    const int previous = m_current;
    m_current = picked.toInt();
    const CDBLanguage* oldLanguage = ItemByLcid(previous);
    const CDBLanguage* newLanguage = ItemByLcid(m_current);
    if (LanguageChanged && newLanguage) LanguageChanged(oldLanguage ? *oldLanguage : *newLanguage, *newLanguage);
}

}  // namespace ov::model
