#include "platform/ui/FormPresenter.h"

#include "platform/ui/ModalState.h"

namespace ov::ui {

namespace {
FormPresenter* g_presenter = nullptr;
QString Key(const QString& name) { return name.toLower(); }
}  // namespace

void ScriptedFormRunner::Once(const QString& formName, Script script) { m_once[Key(formName)].push_back(std::move(script)); }

void ScriptedFormRunner::Always(const QString& formName, Script script) { m_always.insert(Key(formName), std::move(script)); }

void ScriptedFormRunner::Clear() {
    m_once.clear();
    m_always.clear();
    m_shown.clear();
    m_unexpected.clear();
}

void ScriptedFormRunner::ShowModal(Form& form) {
    m_shown << form.Name();
    Script script;
    auto queued = m_once.find(Key(form.Name()));
    if (queued != m_once.end() && !queued->empty()) {
        script = std::move(queued->front());
        queued->pop_front();
    } else if (const auto always = m_always.constFind(Key(form.Name())); always != m_always.constEnd()) {
        script = *always;
    }
    // A handle of its own for every form shown, as a window would have.
    form.windowHandle = reinterpret_cast<quintptr>(&form);
    form.Shown();
    if (script) script(form);
    form.windowHandle = 0;
    if (!script || form.IsShown()) {
        if (!script) m_unexpected << form.Name();
        if (form.IsShown()) form.PressCancel();
        if (form.IsShown()) form.Hide(false);
    }
}

ScriptedFormRunner& DefaultFormRunner() {
    static ScriptedFormRunner runner;
    return runner;
}

FormPresenter& CurrentFormPresenter() { return g_presenter ? *g_presenter : DefaultFormRunner(); }

void InstallFormPresenter(FormPresenter* presenter) { g_presenter = presenter; }

bool ShowModal(Form& form) {
    ModalScope open;
    form.Load();
    if (ViewOnlyActive()) form.SetViewOnly(true);
    form.Activate();
    CurrentFormPresenter().ShowModal(form);
    return form.Confirmed();
}

}  // namespace ov::ui
