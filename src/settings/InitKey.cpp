#include "settings/InitKey.h"

namespace ov::settings {

QStringList SplitInitKey(const QString& key) {
    QStringList components;
    QString current;
    bool quoted = false;
    int depth = 0;
    for (const QChar c : key) {
        if (c == u'"') {
            quoted = !quoted;
        } else if (!quoted && c == u'(') {
            ++depth;
        } else if (!quoted && c == u')' && depth > 0) {
            --depth;
        } else if (!quoted && depth == 0 && c == u'.') {
            components.append(current.trimmed());
            current.clear();
            continue;
        }
        current += c;
    }
    components.append(current.trimmed());
    for (const QString& component : components)
        if (component.isEmpty()) return {};
    return components;
}

InitKeyComponent ParseInitKeyComponent(const QString& component) {
    const QString text = component.trimmed();
    const qsizetype open = text.indexOf(u'(');
    // Without a closing parenthesis it is no call; the text names nothing the
    // objects know, so it is skipped where it is applied.
    if (open < 0 || !text.endsWith(u')')) return {text, std::nullopt};

    InitKeyComponent result{text.left(open).trimmed(), std::nullopt};
    const QString argument = text.mid(open + 1, text.size() - open - 2).trimmed();
    if (argument.isEmpty()) return result;
    if (argument.size() >= 2 && argument.front() == u'"' && argument.back() == u'"') {
        result.argument = QVariant(argument.mid(1, argument.size() - 2));
        return result;
    }
    bool ok = false;
    if (const int whole = argument.toInt(&ok); ok) {
        result.argument = QVariant(whole);
        return result;
    }
    if (const double number = argument.toDouble(&ok); ok) {
        result.argument = QVariant(number);
        return result;
    }
    result.argument = QVariant(argument);
    return result;
}

}  // namespace ov::settings
