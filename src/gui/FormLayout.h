#pragma once

// Where a form's widgets go on its dialog: the form, its frames and the pages
// of its tab strips each hold a grid of rows, with the command buttons in a row below.

#include "platform/ui/Form.h"

#include <QHash>
#include <memory>
#include <vector>

class QGridLayout;
class QGroupBox;
class QHBoxLayout;
class QTabWidget;
class QWidget;

namespace ov::gui {

// A control and the widget that shows it.
struct BoundControl {
    ui::Control* control;
    QWidget* widget;
};

class FormLayout {
public:
    // The dialog's own grid holds what sits in no frame and on no page.
    FormLayout(ui::Form& form, QWidget& dialog, QGridLayout& dialogGrid);
    ~FormLayout();
    FormLayout(const FormLayout&) = delete;
    FormLayout& operator=(const FormLayout&) = delete;

    void AddFrame(const ui::Control& frame, QGroupBox& box);
    // As many pages as the strip lists, or as its controls name.
    void AddPages(const ui::Control& tabStrip, QTabWidget& tabs);

    // Puts every widget in its row, once all are made. A label shares the
    // row of the box it names; the form's own command buttons go to buttonRow.
    void Arrange(const std::vector<BoundControl>& bound, QHBoxLayout& buttonRow);

private:
    struct Container;

    Container& AddContainer(QWidget* widget, QGridLayout* grid);
    Container& ContainerOf(const ui::Control& control);
    const ui::Control* OwnerOf(const ui::Control& control) const;
    const ui::Control* BuddyOf(const ui::Control& label) const;

    ui::Form& m_form;
    std::vector<std::unique_ptr<Container>> m_containers;
    Container* m_root = nullptr;
    QHash<const ui::Control*, Container*> m_frames;
    QHash<const ui::Control*, std::vector<Container*>> m_pages;  // the pages of each tab strip
};

}  // namespace ov::gui
