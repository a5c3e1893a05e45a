#include "settings/ColumnOrders.h"

#include <QStringList>

namespace ov::settings {

std::vector<int> ParseColumnOrders(const QString& text) {
    std::vector<int> positions;
    const QStringList entries = text.split(u',');
    // Whatever stands before the first "," belongs to no column.
    for (qsizetype i = 1; i < entries.size(); ++i) {
        bool ok = false;
        const int position = entries.at(i).trimmed().toInt(&ok);
        positions.push_back(ok && position >= 0 ? position : -1);
    }
    return positions;
}

QString FormatColumnOrders(const std::vector<int>& positions) {
    QString text;
    for (const int position : positions) {
        text += u',';
        if (position >= 0) text += QString::number(position);
    }
    return text;
}

}  // namespace ov::settings
