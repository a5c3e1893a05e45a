#include "settings/CInit.h"

#include "platform/system/IniFile.h"
#include "settings/CInitItem.h"
#include "settings/DefaultInits.h"
#include "settings/InitKey.h"
#include "settings/PropertyObject.h"

#include <QSet>
#include <QStringList>
#include <utility>
#include <vector>

namespace ov::settings {

namespace {

// Calls visit(key, item) for every setting below items, depth first in the
// order the items were added: the order of the defaults, and so of the file.
template <typename Items, typename Visit>
void VisitSettings(Items& items, const QString& prefix, Visit& visit) {
    for (auto& item : items) {
        const QString key = prefix.isEmpty() ? item.Name() : prefix + u'.' + item.Name();
        if (item.IsLeaf())
            visit(key, item);
        else
            VisitSettings(item.Children(), key, visit);
    }
}

PropertyObject* ResolveControl(const QString& name, PropertyObject& window) {
    const InitKeyComponent component = ParseInitKeyComponent(name);
    if (!component.argument && QString::compare(component.name, u"Me", Qt::CaseInsensitive) == 0) return &window;
    return window.Child(component.name, component.argument);
}

void AssignBranch(const CInitItem& branch, PropertyObject& object) {
    for (const CInitItem& item : branch.Children()) {
        const InitKeyComponent component = ParseInitKeyComponent(item.Name());
        if (item.IsLeaf())
            object.SetProperty(component.name, component.argument, item.Value());
        else if (PropertyObject* child = object.Child(component.name, component.argument))
            AssignBranch(item, *child);
    }
}

void ReadBranch(CInitItem& branch, PropertyObject& object) {
    for (CInitItem& item : branch.Children()) {
        const InitKeyComponent component = ParseInitKeyComponent(item.Name());
        if (item.IsLeaf()) {
            if (const std::optional<InitValue> value = object.GetProperty(component.name, component.argument))
                item.SetValue(*value);
        } else if (PropertyObject* child = object.Child(component.name, component.argument)) {
            ReadBranch(item, *child);
        }
    }
}

}  // namespace

bool CInit::LoadDefaultInit(const QString& name) {
    m_sectionName = name;
    const QString resource = DefaultInitResource(name);
    if (resource.isEmpty()) return false;
    for (QString line : resource.split(u'\n')) {
        if (line.endsWith(u'\r')) line.chop(1);
        AddLine(line);
    }
    return true;
}

bool CInit::AddLine(const QString& line) {
    const QStringList parts = line.split(u'=');
    if (parts.size() != 2 || parts.front().trimmed().isEmpty()) return false;
    return WriteAValueToCInits(parts.front(), ParseInitValue(parts.back()));
}

void CInit::LoadInits(const QString& filePath) {
    m_filePath = filePath;
    const sys::IniFile ini(m_filePath);
    // Only entries the file has are read: a missing one keeps its value as it
    // is instead of taking a trip through text ("-5,5" would come back a string).
    QSet<QString> present;
    for (const QString& key : ini.Keys(m_sectionName)) present.insert(key.toCaseFolded());
    if (present.isEmpty()) return;
    auto overlay = [&](const QString& key, CInitItem& item) {
        if (present.contains(key.toCaseFolded()))
            item.SetValue(ParseInitValue(ini.Read(m_sectionName, key, FormatValue(item.Value()))));
    };
    VisitSettings(m_items, QString(), overlay);
}

bool CInit::SaveInits(const QString& filePath) {
    if (!filePath.isEmpty()) m_filePath = filePath;
    if (m_filePath.isEmpty() || m_sectionName.isEmpty()) return false;
    // All settings in one write of the file, not one per setting.
    std::vector<std::pair<QString, QString>> entries;
    auto collect = [&](const QString& key, const CInitItem& item) { entries.emplace_back(key, FormatValue(item.Value())); };
    VisitSettings(std::as_const(m_items), QString(), collect);
    return sys::IniFile(m_filePath).WriteMany(m_sectionName, entries);
}

bool CInit::WriteToIni(const QString& key, const InitValue& value) {
    if (m_filePath.isEmpty()) return false;
    sys::IniFile ini(m_filePath);
    return ini.Write(m_sectionName, key, FormatValue(value));
}

bool CInit::WriteAValueToCInits(const QString& key, const InitValue& value) {
    const QStringList path = SplitInitKey(key);
    if (path.isEmpty()) return false;
    CInitItems* level = &m_items;
    CInitItem* item = nullptr;
    for (const QString& component : path) {
        item = &level->Add(component);
        level = &item->Children();
    }
    item->SetValue(value);
    return true;
}

std::optional<InitValue> CInit::ReadAValueFromCInits(const QString& key) const {
    const CInitItem* item = Find(key);
    if (!item) return std::nullopt;
    return item->Value();
}

bool CInit::DeleteAValueInCInits(const QString& key) {
    const QStringList path = SplitInitKey(key);
    if (path.isEmpty()) return false;
    // The levels from the root down to the one holding the item.
    std::vector<CInitItems*> levels{&m_items};
    for (qsizetype i = 0; i + 1 < path.size(); ++i) {
        CInitItem* branch = levels.back()->Item(path.at(i));
        if (!branch) return false;
        levels.push_back(&branch->Children());
    }
    if (!levels.back()->Delete(path.back())) return false;
    for (qsizetype i = path.size() - 2; i >= 0 && levels.at(static_cast<size_t>(i) + 1)->IsEmpty(); --i)
        levels.at(static_cast<size_t>(i))->Delete(path.at(i));
    return true;
}

bool CInit::ParamExist(const QString& key) const { return Find(key) != nullptr; }

void CInit::SetInitToControl(const QString& topLevelName, PropertyObject& window) const {
    const CInitItem* top = m_items.Item(topLevelName.trimmed());
    if (!top || top->IsLeaf()) return;
    if (PropertyObject* control = ResolveControl(top->Name(), window)) AssignBranch(*top, *control);
}

void CInit::GetInitFromControl(const QString& topLevelName, PropertyObject& window) {
    CInitItem* top = m_items.Item(topLevelName.trimmed());
    if (!top || top->IsLeaf()) return;
    if (PropertyObject* control = ResolveControl(top->Name(), window)) ReadBranch(*top, *control);
}

void CInit::SetInitToMotherObject(PropertyObject& window) const {
    for (const CInitItem& top : m_items)
        if (!top.IsLeaf()) SetInitToControl(top.Name(), window);
}

const CInitItem* CInit::Find(const QString& key) const {
    const QStringList path = SplitInitKey(key);
    if (path.isEmpty()) return nullptr;
    const CInitItems* level = &m_items;
    const CInitItem* item = nullptr;
    for (const QString& component : path) {
        item = level->Item(component);
        if (!item) return nullptr;
        level = &item->Children();
    }
    return item;
}

}  // namespace ov::settings
