#pragma once

#include <QWidget>

class QLabel;
class QVBoxLayout;

namespace ov::studio {

// The right-hand side of the studio. The add-in embeds its editor window into
// this widget's layout and takes it out again when its session ends; while
// the area is empty a hint says how to open the editor.
class EditorArea : public QWidget {
    Q_OBJECT

public:
    explicit EditorArea(QWidget* parent = nullptr);

    QVBoxLayout* Layout() const { return m_layout; }
    QLabel* Hint() const { return m_hint; }
    // A widget other than the hint is in the area.
    bool HasEditor() const;
    // Shows the hint exactly while the area is empty.
    void UpdateHint();

protected:
    void childEvent(QChildEvent* event) override;

private:
    QVBoxLayout* m_layout = nullptr;
    QLabel* m_hint = nullptr;
};

}  // namespace ov::studio
