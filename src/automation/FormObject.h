#pragma once

#include <QObject>
#include <QString>
#include <QVariant>
#include <utility>

namespace ov::ui {
class Form;
}

namespace ov::automation {

class StudioObject;

// A dialog handed to an onForm callback.
class FormObject : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString name READ Name CONSTANT)
    Q_PROPERTY(QString caption READ Caption)

public:
    FormObject(StudioObject& studio, ui::Form& form) : m_studio(studio), m_form(form) {}
    QString Name() const;
    QString Caption() const;

    Q_INVOKABLE QVariant get(const QString& control, int index = -1);
    Q_INVOKABLE void set(const QString& control, const QString& text, int index = -1);
    Q_INVOKABLE void check(const QString& control, bool checked, int index = -1);
    Q_INVOKABLE void choose(const QString& control, const QVariant& textOrData, int index = -1);
    Q_INVOKABLE void click(const QString& control, int index = -1);
    Q_INVOKABLE void setCell(const QString& grid, int row, int column, const QVariant& value);
    // A tree view's nodes ({key, parent, text, data}) and a click on one.
    Q_INVOKABLE QVariant nodes(const QString& control);
    Q_INVOKABLE void clickNode(const QString& control, const QString& key);
    // Nodes by path: node texts joined by "/" ("DemoPlant/Line1/Speed"),
    // opening what lies on the way; the tree is the dialog's first one
    // unless named.
    Q_INVOKABLE void expand(const QString& path, const QString& control = QString());
    Q_INVOKABLE void collapse(const QString& path, const QString& control = QString());
    Q_INVOKABLE void tick(const QString& path, const QString& control = QString());
    Q_INVOKABLE void untick(const QString& path, const QString& control = QString());
    // Keys pressed in a control ("Alt+Down"), as the dialog sees them first.
    Q_INVOKABLE void key(const QString& keys, const QString& control = QString());
    Q_INVOKABLE void ok();
    Q_INVOKABLE void cancel();

private:
    template <typename Fn>
    void Act(Fn&& fn);
    // The tree's name and the key of the node at the path; empty after a failure.
    std::pair<QString, QString> NodeAt(const QString& path, const QString& control);

    StudioObject& m_studio;
    ui::Form& m_form;
};

}  // namespace ov::automation
