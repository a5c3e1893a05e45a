#include "gui/FormLayout.h"

#include "gui/FormRows.h"

#include <QFontMetrics>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QRegularExpression>
#include <QSet>
#include <QTabWidget>

#include <algorithm>

namespace ov::gui {

using ui::Control;
using ui::ControlType;

struct FormLayout::Container {
    QWidget* widget = nullptr;
    QGridLayout* grid = nullptr;
    int rows = 0;
    bool expands = false;  // holds a control that wants the spare height
};

namespace {

// Frames, tab strips, grids and list views take both columns of their row;
// other controls sit in the second column, beside the label that names them.
bool IsWide(const Control& control) {
    switch (control.Type()) {
        case ControlType::Label:
        case ControlType::Frame:
        case ControlType::TabStrip:
        case ControlType::Grid:
        case ControlType::ListView:
        case ControlType::TreeView:
            return true;
        default:
            return false;
    }
}

bool Expands(const Control& control) {
    switch (control.Type()) {
        case ControlType::TabStrip:
        case ControlType::Grid:
        case ControlType::ListView:
        case ControlType::ListBox:
        case ControlType::TreeView:
            return true;
        case ControlType::TextBox:
            return control.multiLine;
        default:
            return false;
    }
}

}  // namespace

FormLayout::FormLayout(ui::Form& form, QWidget& dialog, QGridLayout& dialogGrid) : m_form(form) {
    m_root = &AddContainer(&dialog, &dialogGrid);
}

FormLayout::~FormLayout() = default;

FormLayout::Container& FormLayout::AddContainer(QWidget* widget, QGridLayout* grid) {
    m_containers.push_back(std::make_unique<Container>());
    Container& container = *m_containers.back();
    container.widget = widget;
    container.grid = grid;
    return container;
}

void FormLayout::AddFrame(const Control& frame, QGroupBox& box) {
    m_frames.insert(&frame, &AddContainer(&box, new QGridLayout(&box)));
}

void FormLayout::AddPages(const Control& tabStrip, QTabWidget& tabs) {
    int pages = ToInt(tabStrip.list.Size());
    for (const auto& control : m_form.Controls())
        if (control.get() != &tabStrip && m_form.TabStripOf(*control) == &tabStrip)
            pages = std::max(pages, control->tabPage + 1);
    std::vector<Container*>& containers = m_pages[&tabStrip];
    for (int i = 0; i < pages; ++i) {
        auto* page = new QWidget;
        containers.push_back(&AddContainer(page, new QGridLayout(page)));
        tabs.addTab(page, QString());
    }
}

const Control* FormLayout::OwnerOf(const Control& control) const {
    if (!control.container.isEmpty()) {
        const Control* frame = m_form.Find(control.container);
        if (frame && frame->Type() == ControlType::Frame && frame != &control) return frame;
    }
    const Control* strip = m_form.TabStripOf(control);
    if (strip && strip != &control) return strip;
    return nullptr;
}

FormLayout::Container& FormLayout::ContainerOf(const Control& control) {
    const Control* owner = OwnerOf(control);
    if (!owner) return *m_root;
    // A frame or tab strip that would end up inside itself goes on the form.
    std::size_t steps = 0;
    for (const Control* up = owner; up; up = OwnerOf(*up))
        if (up == &control || ++steps > m_form.Controls().size()) return *m_root;
    if (owner->Type() == ControlType::TabStrip) return *m_pages.value(owner).at(static_cast<std::size_t>(control.tabPage));
    return *m_frames.value(owner);
}

const Control* FormLayout::BuddyOf(const Control& label) const {
    if (label.buddy.isEmpty()) return nullptr;
    // "txtValue(2)" names an element of a control array.
    static const QRegularExpression element(QStringLiteral(R"(^(.+)\((\d+)\)$)"));
    const QRegularExpressionMatch match = element.match(label.buddy);
    const Control* buddy =
        match.hasMatch() ? m_form.Find(match.captured(1), match.captured(2).toInt()) : m_form.Find(label.buddy);
    return buddy == &label ? nullptr : buddy;
}

void FormLayout::Arrange(const std::vector<BoundControl>& bound, QHBoxLayout& buttonRow) {
    QHash<const Control*, Container*> where;
    for (const BoundControl& each : bound) where.insert(each.control, &ContainerOf(*each.control));
    const auto inButtonRow = [&](const Control& control) {
        return control.Type() == ControlType::CommandButton && where.value(&control) == m_root;
    };

    // Rows follow the order of adding; a label shares the row of the control
    // it names when both sit in the same place.
    QHash<const Control*, int> rowOf;
    QHash<const Control*, const Control*> labelFor;
    QHash<const Control*, const Control*> besides;  // a "…" button and the box it fills
    QSet<const Control*> described;
    for (const BoundControl& each : bound) {
        const Control& control = *each.control;
        if (inButtonRow(control) || control.dropDown) continue;
        if (control.Type() == ControlType::CommandButton) {
            const Control* box = BuddyOf(control);
            if (box && rowOf.contains(box) && where.value(box) == where.value(&control)) {
                besides.insert(&control, box);
                continue;
            }
        }
        if (control.Type() == ControlType::Label) {
            const Control* buddy = BuddyOf(control);
            if (buddy && where.value(buddy) == where.value(&control) && !described.contains(buddy) && !IsWide(*buddy) &&
                !inButtonRow(*buddy)) {
                labelFor.insert(&control, buddy);
                described.insert(buddy);
                continue;
            }
            // A second label of a described box is its unit ("ms", "%"), after it.
            if (buddy && described.contains(buddy) && rowOf.contains(buddy) && where.value(buddy) == where.value(&control)) {
                besides.insert(&control, buddy);
                continue;
            }
        }
        rowOf.insert(&control, where.value(&control)->rows++);
    }

    buttonRow.addStretch(1);
    for (const BoundControl& each : bound) {
        const Control& control = *each.control;
        if (control.dropDown) continue;  // a window of its own
        Container& container = *where.value(&control);
        if (control.Type() == ControlType::Label) {
            // The label's "&" key moves the focus to the control it names.
            const Control* buddy = besides.contains(&control) ? nullptr : BuddyOf(control);
            for (const BoundControl& other : bound)
                if (buddy && other.control == buddy) static_cast<QLabel*>(each.widget)->setBuddy(other.widget);
        }
        if (inButtonRow(control)) {
            buttonRow.addWidget(each.widget);
        } else if (const Control* box = besides.value(&control)) {
            // A small button or a unit at the end of the box's row.
            if (control.Type() == ControlType::CommandButton) {
                const QFontMetrics metrics = each.widget->fontMetrics();
                each.widget->setMaximumWidth(std::max(metrics.horizontalAdvance(QStringLiteral("MMMM")),
                                                      metrics.horizontalAdvance(control.caption) + metrics.averageCharWidth() * 3));
            }
            container.grid->addWidget(each.widget, rowOf.value(box), 2);
        } else if (const Control* buddy = labelFor.value(&control)) {
            container.grid->addWidget(each.widget, rowOf.value(buddy), 0);
        } else if (IsWide(control)) {
            container.grid->addWidget(each.widget, rowOf.value(&control), 0, 1, 2);
        } else {
            container.grid->addWidget(each.widget, rowOf.value(&control), 1);
        }
        if (Expands(control)) container.expands = true;
    }
    for (const auto& container : m_containers) {
        container->grid->setColumnStretch(1, 1);
        // Short pages keep their controls at the top.
        if (!container->expands) container->grid->setRowStretch(container->rows, 1);
    }
}

}  // namespace ov::gui
