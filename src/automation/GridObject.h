#pragma once

#include <QObject>
#include <QString>
#include <QVariant>

namespace ov::ui {
class GridModel;
}

namespace ov::automation {

class StudioObject;

// A grid of the editor window, for scripts: studio.grid("tdbI").
class GridObject : public QObject {
    Q_OBJECT
    Q_PROPERTY(QVariant current READ Current)

public:
    GridObject(StudioObject& studio, const QString& name);

    Q_INVOKABLE QVariant rows();
    Q_INVOKABLE int count();
    Q_INVOKABLE int find(const QString& column, const QVariant& value);
    Q_INVOKABLE void select(const QVariantList& rows);
    Q_INVOKABLE bool setCell(int row, const QString& column, const QVariant& value);
    Q_INVOKABLE void key(const QString& keys);
    Q_INVOKABLE void click(int row, const QString& column, const QString& how = QString());
    Q_INVOKABLE QVariant rightClick(int row);
    QVariant Current();

private:
    ui::GridModel* Grid();
    int Column(ui::GridModel& grid, const QString& name);
    bool CheckRow(ui::GridModel& grid, int row);

    StudioObject& m_studio;
    QString m_name;
};

}  // namespace ov::automation
