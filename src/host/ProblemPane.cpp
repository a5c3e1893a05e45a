#include "host/ProblemPane.h"

#include "settings/TextTable.h"

#include <algorithm>

namespace ov::host {

std::vector<int> ProblemPane::Shown() const {
    std::vector<int> shownRows;
    for (int i = 0; i < static_cast<int>(m_rows.size()); ++i)
        if (m_rows[i].severity <= leastSeverity) shownRows.push_back(i);
    const auto key = [this](int i) -> QString {
        const Row& row = m_rows[i];
        switch (sortColumn) {
            case kCode: return row.code;
            case kObject: return row.object;
            case kMessage: return row.message;
            default: return QString::number(row.severity) + row.code;
        }
    };
    std::stable_sort(shownRows.begin(), shownRows.end(), [&](int a, int b) {
        const int order = QString::compare(key(a), key(b), Qt::CaseInsensitive);
        return descending ? order > 0 : order < 0;
    });
    return shownRows;
}

QString ProblemPane::Summary() const {
    int counts[3] = {0, 0, 0};
    for (const Row& row : m_rows) ++counts[std::clamp(row.severity, 0, 2)];
    return settings::Text(9414)
        .replace(QStringLiteral("<e>"), QString::number(counts[0]))
        .replace(QStringLiteral("<w>"), QString::number(counts[1]))
        .replace(QStringLiteral("<n>"), QString::number(counts[2]));
}

void ProblemPane::SortBy(int column) {
    descending = column == sortColumn ? !descending : false;
    sortColumn = column;
    ++generation;
}

}  // namespace ov::host
