#include "gui/FormRenderer.h"

#include "gui/FormDialog.h"

#include <QApplication>

namespace ov::gui {

void FormRenderer::ShowModal(ui::Form& form) {
    // A form may close itself while it is activated; then there is nothing to show.
    if (!form.IsShown()) return;
    QWidget* parent = QApplication::activeModalWidget();
    if (!parent) parent = QApplication::activeWindow();
    FormDialog dialog(form, parent);
    form.windowHandle = static_cast<quintptr>(dialog.winId());
    // Once the window is up, so that what the form starts then can be stopped in it.
    dialog.ActLater([&form] { form.Shown(); });
    dialog.exec();
    form.windowHandle = 0;
    // Whatever ended the loop, the form leaves it hidden.
    if (form.IsShown()) form.Hide(false);
}

}  // namespace ov::gui
