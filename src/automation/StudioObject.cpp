#include "automation/StudioObject.h"

#include "platform/system/ScriptedSaveFileDialog.h"
#include "platform/system/SystemTools.h"

#include "automation/FormObject.h"
#include "automation/GridObject.h"
#include "automation/ScriptKeys.h"
#include "automation/ScriptSession.h"
#include "check/ProjectCheck.h"
#include "editor/frmtabgridOPC.h"
#include "host/CToolbox.h"
#include "host/Connect.h"
#include "host/NodeKey.h"
#include "model/DataConnection.h"
#include "platform/db/DbError.h"
#include "platform/db/Recordset.h"
#include "platform/host/HostStudio.h"
#include "platform/ui/CommandBar.h"
#include "platform/ui/FormPresenter.h"
#include "platform/ui/MessageBox.h"

#include <QJSEngine>

namespace ov::automation {

namespace nodekey = host::nodekey;

namespace {

const char* const kGrids[] = {"tdbI", "tdbS", "tdbG", "tdbU"};

// The kind of object a finding is about, as ovopc check --json names it.

QVariantMap ToolEntry(const ui::Tool& tool) {
    return {{QStringLiteral("tool"), tool.name},
            {QStringLiteral("caption"), tool.caption},
            {QStringLiteral("visible"), tool.visible},
            {QStringLiteral("enabled"), tool.enabled}};
}

}  // namespace

StudioObject::StudioObject(QJSEngine& engine, ScriptSession& session, ui::ScriptedFormRunner& forms,
                           ui::ScriptedMessageBoxes& messages, ui::ScriptedPopups& popups)
    : m_engine(engine), m_session(session), m_forms(forms), m_messages(messages), m_popups(popups) {
    // The browse's question takes the answers queued with answer(), like a
    // message box; without one it takes its default, Yes.
    m_forms.Always(QStringLiteral("FBrowseItemsOCXMessage"), [this](ui::Form& form) {
        static const QHash<ui::Answer, int> kButtons{{ui::Answer::Yes, 0}, {ui::Answer::YesToAll, 1},
                                                     {ui::Answer::No, 2}, {ui::Answer::NoToAll, 3}};
        form.UserClick(QStringLiteral("cmdAnswer"), kButtons.value(m_messages.TakeQueued(), 0));
    });
}

QString StudioObject::Separator() const { return QString(nodekey::kSeparator); }

bool StudioObject::Fail(const QString& message) {
    m_engine.throwError(QJSValue::GenericError, message);
    return false;
}

bool StudioObject::RequireSession() {
    if (m_session.Session() && m_session.Session()->SessionState() != host::Connect::State::Ended) return true;
    return Fail(QStringLiteral("No project is open: call studio.open(path) first."));
}

editor::frmtabgridOPC* StudioObject::Window() {
    host::Connect* session = m_session.Session();
    return session ? dynamic_cast<editor::frmtabgridOPC*>(session->Window()) : nullptr;
}

bool StudioObject::open(const QString& path) {
    QString error;
    if (!m_session.Open(path, &error)) return Fail(error);
    return true;
}

bool StudioObject::create(const QString& path, const QJSValue& options) {
    const bool demo = options.isObject() && options.property(QStringLiteral("demo")).toBool();
    QString error;
    if (!m_session.Create(path, demo, &error)) return Fail(error);
    return true;
}

void StudioObject::close() { m_session.Close(); }

void StudioObject::setAuthorizationLevel(int level, bool overwriteInternal) {
    qint16 value = static_cast<qint16>(level);
    host::CToolbox().SetExternalAuthorizationLevel(value, overwriteInternal);
}

QVariant StudioObject::NodeToVariant(const QString& key) {
    host::HostStudio* h = m_session.Host();
    QVariant text, count;
    h->GetNodeProperty(key, host::kPropertyText, text);
    QVariantMap node{{QStringLiteral("key"), key},
                     {QStringLiteral("text"), text.toString()},
                     {QStringLiteral("image"), key.count(nodekey::kSeparator) >= 3 && nodekey::Kind(key) == QStringLiteral("OPCD")
                                                   ? host::images::kItemBranch
                                                   : nodekey::ImageKey(key)}};
    if (h->GetNodeProperty(key, host::kPropertyItemCount, count) == 0 && count.isValid() && !count.toString().isEmpty())
        node.insert(QStringLiteral("count"), count.toString().toInt());
    QVariantList children;
    for (const QString& child : h->GetChildKeys(key, 1)) children << NodeToVariant(child);
    node.insert(QStringLiteral("children"), children);
    return node;
}

QVariant StudioObject::tree() {
    if (!RequireSession()) return QVariant();
    QVariant probe;
    if (m_session.Host()->GetNodeProperty(nodekey::kRoot, host::kPropertyText, probe) != 0) return QVariant();
    return NodeToVariant(nodekey::kRoot);
}

void StudioObject::AfterEvent() {
    const QStringList& unexpected = m_forms.Unexpected();
    for (qsizetype i = m_reportedForms; i < unexpected.size(); ++i)
        if (onWarning) onWarning(QStringLiteral("The dialog %1 opened without an onForm callback and was cancelled.").arg(unexpected[i]));
    m_reportedForms = unexpected.size();
    if (pendingError) {
        const QJSValue error = *pendingError;
        pendingError.reset();
        m_engine.throwError(error);
    }
}

void StudioObject::click(const QString& key) {
    if (RequireSession()) m_session.Session()->NodeClick(QString(), key, QString());
    AfterEvent();
}

void StudioObject::dblClick(const QString& key) {
    if (RequireSession()) m_session.Session()->NodeDblClick(QString(), key, QString());
    AfterEvent();
}

void StudioObject::expand(const QString& key) {
    if (RequireSession()) m_session.Session()->NodeExpand(QString(), key, QString());
    AfterEvent();
}

void StudioObject::keyDown(const QString& key, const QString& keys) {
    int code = 0, shift = 0;
    if (!ParseKeys(keys, code, shift)) {
        Fail(QStringLiteral("Unknown key \"%1\" (use e.g. \"F8\", \"Ctrl+C\", \"Alt+F6\").").arg(keys));
        return;
    }
    if (RequireSession()) m_session.Session()->NodeKeyDown(QString(), key, QString(), code, shift);
    AfterEvent();
}

int StudioObject::keyPress(const QString& key, int ascii) {
    if (!RequireSession()) return 0;
    m_session.Session()->NodeKeyPress(QString(), key, QString(), ascii);
    return ascii;
}

QVariant StudioObject::PoppedBand(const std::function<void()>& pop, const QString& key, bool fromTree) {
    std::optional<OpenMenu> popped;
    m_popups.onPopup = [&popped, &key, fromTree](const ui::CommandBar& bar, const QString& band) {
        OpenMenu menu{key, fromTree, band, {}};
        if (const ui::Band* b = bar.FindBand(band))
            for (const ui::Tool& tool : b->tools)
                if (tool.visible && tool.enabled && !tool.separator && !tool.heading) menu.offered << tool.name;
        popped = menu;
    };
    pop();
    m_popups.onPopup = nullptr;
    AfterEvent();
    m_openMenu = popped;
    if (!popped || !Window()) return QVariant();
    QVariantList entries;
    if (const ui::Band* band = Window()->abr().FindBand(popped->band))
        for (const ui::Tool& tool : band->tools)
            if (!tool.separator && !tool.heading) entries << ToolEntry(tool);
    return entries;
}

QVariant StudioObject::rightClick(const QString& key) {
    if (!RequireSession()) return QVariant();
    return PoppedBand([&] { m_session.Session()->NodeMouseUp(QString(), key, QString(), 2, 0, 0, 0); }, key, true);
}

bool StudioObject::choose(const QString& tool) {
    if (!m_openMenu) return Fail(QStringLiteral("No menu is open: call rightClick first."));
    const OpenMenu menu = *m_openMenu;
    m_openMenu.reset();
    if (!menu.offered.contains(tool, Qt::CaseInsensitive))
        return Fail(QStringLiteral("The menu %1 does not offer %2 (offered: %3).").arg(menu.band, tool, menu.offered.join(QStringLiteral(", "))));
    editor::frmtabgridOPC* window = Window();
    if (!window) return Fail(QStringLiteral("The editor is not loaded."));
    window->ComputeAvailability(menu.key, menu.fromTree);
    window->ClickTool(tool);
    AfterEvent();
    return true;
}

bool StudioObject::tool(const QString& name) {
    editor::frmtabgridOPC* window = Window();
    if (!window) return Fail(QStringLiteral("The editor is not loaded: click a node of the project tree first."));
    if (!window->abr().FindTool(name)) return Fail(QStringLiteral("Unknown tool \"%1\".").arg(name));
    window->ComputeAvailability(window->CurrentNode(), false);
    const bool enabled = window->IsToolEnabled(name);
    window->ClickTool(name);  // a disabled tool beeps
    AfterEvent();
    return enabled;
}

QVariant StudioObject::toolState(const QString& name) {
    editor::frmtabgridOPC* window = Window();
    if (!window) return Fail(QStringLiteral("The editor is not loaded: click a node of the project tree first."));
    if (!window->abr().FindTool(name)) return Fail(QStringLiteral("Unknown tool \"%1\".").arg(name));
    window->ComputeAvailability(window->CurrentNode(), false);
    const ui::Tool* t = window->abr().FindTool(name);
    return QVariantMap{{QStringLiteral("visible"), t->visible}, {QStringLiteral("enabled"), t->enabled}};
}

bool StudioObject::undo() { return StepHistory(false); }

bool StudioObject::redo() { return StepHistory(true); }

bool StudioObject::StepHistory(bool redo) {
    editor::frmtabgridOPC* window = Window();
    if (!window) return Fail(QStringLiteral("The editor is not loaded: click a node of the project tree first."));
    // As the menu does it: pending grid edits first, then the step.
    window->CommitGridEdits();
    host::Connect* session = m_session.Session();
    const bool done = redo ? session->Redo() : session->Undo();
    AfterEvent();
    return done;
}

QVariant StudioObject::history() {
    host::Connect* session = m_session.Session();
    if (!session) return Fail(QStringLiteral("No project is open."));
    return QVariantMap{{QStringLiteral("undo"), session->History().UndoNames()},
                       {QStringLiteral("redo"), session->History().RedoNames()}};
}

QJSValue StudioObject::grid(const QString& name) {
    for (const char* known : kGrids) {
        if (name.compare(QLatin1String(known), Qt::CaseInsensitive) == 0) {
            if (!Window()) {
                Fail(QStringLiteral("The editor is not loaded: click a node of the project tree first."));
                return QJSValue();
            }
            return m_engine.newQObject(new GridObject(*this, QString::fromUtf8(known)));
        }
    }
    Fail(QStringLiteral("Unknown grid \"%1\" (tdbI, tdbS, tdbG or tdbU).").arg(name));
    return QJSValue();
}

void StudioObject::onForm(const QString& name, const QJSValue& callback) {
    if (!callback.isCallable()) {
        Fail(QStringLiteral("onForm needs a function for \"%1\".").arg(name));
        return;
    }
    m_forms.Always(name, [this, callback](ui::Form& form) {
        FormObject handle(*this, form);
        QJSEngine::setObjectOwnership(&handle, QJSEngine::CppOwnership);
        QJSValue function = callback;
        const QJSValue result = function.call({m_engine.newQObject(&handle)});
        if (result.isError() && !pendingError) pendingError = result;
    });
}

QVariant StudioObject::query(const QString& sql) {
    editor::frmtabgridOPC* window = Window();
    if (!window || !window->Data()) return Fail(QStringLiteral("The editor is not loaded: click a node of the project tree first."));
    try {
        db::Recordset rs;
        if (!sql.trimmed().startsWith(QStringLiteral("SELECT"), Qt::CaseInsensitive))
            return Fail(QStringLiteral("query only reads (SELECT); the editor's commands change data."));
        // Statements that are not plain queries are refused by the recordset.
        rs.Open(sql, window->Data()->Connection());
        QVariantList rows;
        const QStringList fields = rs.FieldNames();
        for (; !rs.IsEOF(); rs.MoveNext()) {
            QVariantMap row;
            for (int f = 0; f < fields.size(); ++f) row.insert(fields[f], rs.Fields(f).Value());
            rows << row;
        }
        return rows;
    } catch (const db::DbError& e) {
        return Fail(e.Description());
    }
}

QVariant StudioObject::check(const QJSValue& options) {
    check::CheckOptions chosen;
    if (!options.isUndefined() && !options.isNull()) {
        if (!options.isObject()) return Fail(QStringLiteral("check takes an object such as {severity: \"error\", rules: [\"PV101\"]}."));
        const QJSValue severity = options.property(QStringLiteral("severity"));
        if (!severity.isUndefined()) {
            const auto least = check::SeverityFromName(severity.toString());
            if (!least) return Fail(QStringLiteral("Unknown severity \"%1\" (error, warning or note).").arg(severity.toString()));
            chosen.least = *least;
        }
        const QJSValue rules = options.property(QStringLiteral("rules"));
        if (!rules.isUndefined()) {
            if (!rules.isArray()) return Fail(QStringLiteral("rules takes a list of codes such as [\"PV101\", \"PV203\"]."));
            const int count = rules.property(QStringLiteral("length")).toInt();
            for (int i = 0; i < count; ++i) chosen.rules << rules.property(static_cast<quint32>(i)).toString().trimmed();
            if (const QString unknown = check::UnknownRule(chosen.rules); !unknown.isEmpty())
                return Fail(QStringLiteral("There is no rule \"%1\".").arg(unknown));
        }
    }
    if (!RequireSession()) return QVariant();
    host::Connect* session = m_session.Session();
    editor::frmtabgridOPC* window = session->EnsureLoaded() ? Window() : nullptr;
    if (!window || !window->Data()) return Fail(QStringLiteral("The editor could not be loaded."));
    // Pending grid edits count, as they do for the menu's commands.
    window->CommitGridEdits();
    chosen.registry = &sys::SystemTools::Instance().GetRegistry();
    chosen.projectArgument = session->ProjectArgument();
    QVariantList findings;
    try {
        for (const check::Finding& f : check::CheckProject(window->Data()->Connection(), chosen))
            findings << QVariantMap{{QStringLiteral("severity"), check::SeverityName(f.severity)},
                                    {QStringLiteral("code"), f.code},
                                    {QStringLiteral("kind"), check::KindName(f.kind)},
                                    {QStringLiteral("id"), f.id},
                                    {QStringLiteral("object"), f.object},
                                    {QStringLiteral("message"), f.message},
                                    {QStringLiteral("repairable"), f.repairable}};
    } catch (const db::DbError& e) {
        return Fail(e.Description());
    }
    AfterEvent();
    return findings;
}

void StudioObject::answer(const QString& button) {
    QString wanted = button;
    wanted.remove(u' ');  // "Yes to all" and "YesToAll" alike
    for (ui::Answer a : {ui::Answer::OK, ui::Answer::Cancel, ui::Answer::Abort, ui::Answer::Retry, ui::Answer::Ignore,
                         ui::Answer::Yes, ui::Answer::No, ui::Answer::YesToAll, ui::Answer::NoToAll}) {
        if (ui::AnswerName(a).compare(wanted, Qt::CaseInsensitive) == 0) {
            m_messages.Queue(a);
            return;
        }
    }
    Fail(QStringLiteral("Unknown answer \"%1\" (OK, Cancel, Yes, No, Abort, Retry, Ignore, YesToAll, NoToAll).").arg(button));
}

void StudioObject::answerFile(const QString& path) {
    auto* files = dynamic_cast<sys::ScriptedSaveFileDialog*>(&sys::SystemTools::Instance().FileDialog());
    if (!files) {
        Fail(QStringLiteral("File dialogs are answered by the person here, not by the script."));
        return;
    }
    files->Queue(path);
}

QVariant StudioObject::messages() {
    QVariantList list;
    for (const ui::MessageRequest& m : m_messages.Shown()) {
        QStringList buttons;
        for (ui::Answer a : ui::AnswersOf(m.buttons)) buttons << ui::AnswerName(a);
        list << QVariantMap{{QStringLiteral("text"), m.text}, {QStringLiteral("title"), m.title}, {QStringLiteral("buttons"), buttons}};
    }
    return list;
}

QVariant StudioObject::status() {
    editor::frmtabgridOPC* window = Window();
    if (!window) return QVariant();
    QStringList panels;
    for (int i = 1; i <= ui::StatusBar::kPanels; ++i) panels << window->sb().PanelText(i);
    return panels;
}

QString StudioObject::caption() {
    editor::frmtabgridOPC* window = Window();
    return window ? window->Caption() : QString();
}

}  // namespace ov::automation
