#include "settings/TextTable.h"

#include "platform/ui/Form.h"
#include "settings/TextEntries.h"

#include <QStringList>

namespace ov::settings {

TextTable::TextTable() {
    for (const TextEntry& entry : BuiltInTextEntries())
        AddEntry(entry.id, {QString::fromUtf8(entry.german), QString::fromUtf8(entry.english)});
}

TextTable& TextTable::Instance() {
    static TextTable table;
    return table;
}

void TextTable::SetLanguage(int lcid) { m_offset = lcid == kEnglish ? 100000 : 0; }

QString TextTable::Text(int id) const {
    const auto it = m_store.constFind(StoreKey(id + m_offset));
    if (it == m_store.constEnd()) return QStringLiteral("Resource %1 not found").arg(id);
    return *it;
}

bool TextTable::Contains(int id) const { return m_store.contains(StoreKey(id + m_offset)); }

void TextTable::AddEntry(int id, std::initializer_list<QString> texts) {
    int index = 0;
    for (const QString& text : texts) m_store.insert(StoreKey(id + index++ * 100000), text);
}

std::optional<QString> TextTable::CaptionFromTag(const QString& tag) const {
    std::optional<QString> caption;
    for (const QString& token : tag.split(u',')) {
        const QString t = token.trimmed();
        if (t.isEmpty() || (t[0] != u'C' && t[0] != u'c')) continue;
        bool ok = false;
        const int id = t.mid(1).toInt(&ok);
        if (ok) caption = Text(id);
    }
    return caption;
}

QString Text(int id) { return TextTable::Instance().Text(id); }

}  // namespace ov::settings

namespace ov::settings {

namespace {

// "T1418" in a tag names the text of the control's tool tip.
std::optional<QString> ToolTipFromTag(const QString& tag) {
    std::optional<QString> tip;
    for (const QString& token : tag.split(u',')) {
        const QString t = token.trimmed();
        if (t.isEmpty() || (t[0] != u'T' && t[0] != u't')) continue;
        bool ok = false;
        const int id = t.mid(1).toInt(&ok);
        if (ok) tip = Text(id);
    }
    return tip;
}

}  // namespace

void LocaliseCaptions(ui::Form& form) {
    const TextTable& table = TextTable::Instance();
    if (const auto caption = table.CaptionFromTag(form.tag)) form.caption = *caption;
    for (const auto& control : form.Controls()) {
        if (const auto caption = table.CaptionFromTag(control->tag)) control->caption = *caption;
        if (const auto tip = ToolTipFromTag(control->tag)) control->toolTip = *tip;
    }
}

}  // namespace ov::settings
