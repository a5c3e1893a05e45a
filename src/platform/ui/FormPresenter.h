#pragma once

#include "platform/ui/Form.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <deque>
#include <functional>

namespace ov::ui {

// Shows a form modally and returns when the form is hidden. The program
// installs its Qt renderer; headless runs and tests use ScriptedFormRunner.
class FormPresenter {
public:
    virtual ~FormPresenter() = default;
    virtual void ShowModal(Form& form) = 0;
};

// Plays the person's part: a script per form name acts on the form (types,
// clicks, presses OK). A form shown without a script, or left open by its
// script, is cancelled and noted as unexpected.
class ScriptedFormRunner : public FormPresenter {
public:
    using Script = std::function<void(Form&)>;

    // A script for the next showing of a form (several queue up in order).
    void Once(const QString& formName, Script script);
    // A script for every showing of a form without a queued one.
    void Always(const QString& formName, Script script);
    void Clear();

    void ShowModal(Form& form) override;

    const QStringList& Shown() const { return m_shown; }
    const QStringList& Unexpected() const { return m_unexpected; }

private:
    QHash<QString, std::deque<Script>> m_once;
    QHash<QString, Script> m_always;
    QStringList m_shown;
    QStringList m_unexpected;
};

FormPresenter& CurrentFormPresenter();
void InstallFormPresenter(FormPresenter* presenter);  // null restores the scripted default
ScriptedFormRunner& DefaultFormRunner();

// Loads the form when needed, activates it and shows it modally; gives
// whether the person confirmed it.
bool ShowModal(Form& form);

}  // namespace ov::ui
