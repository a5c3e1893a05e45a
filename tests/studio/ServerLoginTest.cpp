// Opening a project on a server whose role needs a password the studio was
// not given: the add-in's log-on dialog answered on screen with a right
// password, a wrong one and then the right one, and Cancel; the password
// kept for the run only, never in a file.

#include "StudioTest.h"
#include "platform/system/Registry.h"
#include "studio/EditorArea.h"
#include "studio/MainWindow.h"
#include "studio/ProjectTreeWidget.h"
#include "support/PgCluster.h"

#include <QApplication>
#include <QDialog>
#include <QDirIterator>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <memory>

using namespace Qt::StringLiterals;
using ov::studio::MainWindow;

namespace {

const QString kRole = u"anna"_s;
const QString kPassword = u"Kl3e-blatt!"_s;

// What one showing of the log-on dialog offered, and how it was answered.
struct Answer {
    QString password;  // typed, then OK
    bool cancel = false;
    // Seen on the dialog:
    QString role{};
    QString prompt{};
    bool masked = false;
};

// Plays the person at the dialogs the next calls show, one answer each, in
// order. A message box instead is noted and closed, so that a test fails
// rather than waits.
class LoginPlayer {
public:
    explicit LoginPlayer(std::vector<Answer> answers) : m_answers(std::move(answers)) { Poll(); }
    ~LoginPlayer() { *m_alive = false; }

    const std::vector<Answer>& Answers() const { return m_answers; }
    int Shown() const { return m_next; }
    const QStringList& Boxes() const { return m_boxes; }

private:
    void Poll() {
        QTimer::singleShot(50, [this, alive = m_alive] {
            if (!*alive) return;
            Act();
            Poll();
        });
    }
    void Act() {
        QWidget* shown = QApplication::activeModalWidget();
        if (!shown || shown == m_last || !shown->isVisible()) return;
        if (auto* box = qobject_cast<QMessageBox*>(shown)) {
            m_boxes << box->text();
            box->reject();
            return;
        }
        auto* dialog = qobject_cast<QDialog*>(shown);
        if (!dialog || m_next >= static_cast<int>(m_answers.size())) return;
        m_last = dialog;
        Answer& answer = m_answers[static_cast<size_t>(m_next++)];
        QLineEdit* password = nullptr;
        for (QLineEdit* edit : dialog->findChildren<QLineEdit*>()) {
            if (edit->echoMode() == QLineEdit::Password) password = edit;
            else answer.role = edit->text();
        }
        for (QLabel* label : dialog->findChildren<QLabel*>()) answer.prompt += label->text() + u'\n';
        answer.masked = password != nullptr;
        if (password && !answer.cancel) QTest::keyClicks(password, answer.password);
        Click(*dialog, !answer.cancel);
    }
    // OK is the dialog's default button, Cancel the other one shown.
    static void Click(QDialog& dialog, bool ok) {
        for (QPushButton* button : dialog.findChildren<QPushButton*>())
            if (button->isVisible() && button->isDefault() == ok) {
                button->click();
                return;
            }
        QFAIL("the log-on dialog has no such button");
    }

    std::vector<Answer> m_answers;
    int m_next = 0;
    QPointer<QWidget> m_last;
    QStringList m_boxes;
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};

// Every file below a folder whose bytes hold the text.
QStringList FilesHolding(const QString& folder, const QString& text) {
    QStringList holding;
    QDirIterator files(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (files.hasNext()) {
        QFile file(files.next());
        if (file.open(QIODevice::ReadOnly) && file.readAll().contains(text.toUtf8())) holding << file.fileName();
    }
    return holding;
}

}  // namespace

class ServerLoginTest : public QObject {
    Q_OBJECT

private:
    ov::test::StudioFolder m_folder;
    const ov::test::PgCluster* m_cluster = nullptr;
    QString m_url;
    QString m_file;
    std::unique_ptr<MainWindow> m_window;
    QStringList m_messages;

    MainWindow& Start() {
        m_messages.clear();
        m_window = std::make_unique<MainWindow>();
        m_window->SetMessageHandler([this](const QString& title, const QString& text) { m_messages << title + u':' + text; });
        if (!m_window->LoadAddin()) qFatal("the add-in library did not load");
        m_window->show();
        if (!QTest::qWaitForWindowExposed(m_window.get())) qFatal("the studio did not show");
        return *m_window;
    }
    // The add-in's editor window shows the project's branch.
    bool EditorLoaded() const {
        return m_window->Editor()->findChild<QWidget*>(u"frmtabgridOPC"_s) != nullptr &&
               m_window->Tree()->NodeCount() > 1;
    }

private slots:
    void initTestCase() {
        m_folder.KeepStudioSettingsHere();
        // The add-in speaks English here, so that the refusal can be read.
        ov::sys::Registry(m_folder.Path(u"registry.ini"_s))
            .WriteValue(ov::sys::Hive::LocalMachine, u"SOFTWARE\\Senmark GmbH\\Orvana\\4.0"_s, u"LCID"_s, u"1033"_s);
        // Only the dialog may bring a password.
        qunsetenv("PGPASSWORD");
        qputenv("PGPASSFILE", m_folder.Path(u"no-pgpass"_s).toUtf8());
        m_cluster = ov::test::SharedPgCluster();
        if (!m_cluster) {
            if (ov::test::PgClusterMissing()) QSKIP(qPrintable(ov::test::PgClusterUnavailable()));
            QFAIL(qPrintable(ov::test::PgClusterUnavailable()));
        }
        m_cluster->CreateDatabase(u"studio"_s);
        ov::model::CreateDemoProject(m_cluster->Url(u"studio"_s, u"plant"_s));
        m_cluster->CreateRole(kRole, kPassword);
        m_cluster->RunSql(u"studio"_s, u"GRANT USAGE ON SCHEMA plant TO anna;"
                                       "GRANT SELECT, INSERT, UPDATE, DELETE ON ALL TABLES IN SCHEMA plant TO anna;"
                                       "GRANT USAGE, UPDATE ON ALL SEQUENCES IN SCHEMA plant TO anna"_s);
        m_url = m_cluster->Url(u"studio"_s, u"plant"_s).replace(u"//ov@"_s, u"//anna@"_s);
        m_file = m_folder.Empty(u"local.ovs"_s);
    }

    void cleanup() {
        QVERIFY2(m_messages.isEmpty(), qPrintable(m_messages.join(u'\n')));
        m_window.reset();
    }

    void theRightPasswordOpensTheProjectAndIsNotAskedAgainNorWrittenAnywhere() {
        MainWindow& window = Start();
        {
            LoginPlayer person({Answer{kPassword}});
            QVERIFY(window.OpenProject(m_url));
            QCOMPARE(person.Shown(), 1);
            QVERIFY2(person.Boxes().isEmpty(), qPrintable(person.Boxes().join(u'\n')));
            const Answer& asked = person.Answers()[0];
            QCOMPARE(asked.role, kRole);
            QVERIFY(asked.masked);
            QVERIFY2(asked.prompt.contains(u"127.0.0.1:%1/studio"_s.arg(m_cluster->Port())), qPrintable(asked.prompt));
        }
        QVERIFY(EditorLoaded());
        QVERIFY(!window.IsReadOnly());

        // Another project and back: the same run knows the password.
        QVERIFY(window.OpenProject(m_file));
        {
            LoginPlayer person({});
            QVERIFY(window.OpenProject(m_url));
            QTest::qWait(200);
            QCOMPARE(person.Shown(), 0);
            QVERIFY(person.Boxes().isEmpty());
        }
        QVERIFY(EditorLoaded());
        window.close();
        m_window.reset();

        QVERIFY2(!FilesHolding(m_folder.Root(), u"plant"_s).isEmpty(), "the studio wrote its settings on the project");
        QCOMPARE(FilesHolding(m_folder.Root(), kPassword), QStringList());

        // A new run asks again.
        MainWindow& again = Start();
        LoginPlayer person({Answer{QString(), true}});
        QVERIFY(!again.OpenProject(m_url));
        QCOMPARE(person.Shown(), 1);
    }

    void aWrongPasswordAsksAgainWithTheServersRefusal() {
        MainWindow& window = Start();
        LoginPlayer person({Answer{u"guessed"_s}, Answer{kPassword}});
        QVERIFY(window.OpenProject(m_url));
        QCOMPARE(person.Shown(), 2);
        QVERIFY2(person.Boxes().isEmpty(), qPrintable(person.Boxes().join(u'\n')));
        const Answer& first = person.Answers()[0];
        const Answer& second = person.Answers()[1];
        QVERIFY(!first.prompt.contains(u"refused"_s));
        QVERIFY2(second.prompt.contains(u"refused the password of the role 'anna'"_s), qPrintable(second.prompt));
        QCOMPARE(second.role, kRole);
        QVERIFY(EditorLoaded());
    }

    void cancelLeavesTheOpenProjectAsItWasWithoutAMessage() {
        MainWindow& window = Start();
        QVERIFY(window.OpenProject(m_file));
        const QString title = window.windowTitle();
        LoginPlayer person({Answer{u"guessed"_s}, Answer{QString(), true}});
        QVERIFY(!window.OpenProject(m_url));
        QCOMPARE(person.Shown(), 2);
        QVERIFY(person.Boxes().isEmpty());
        QCOMPARE(window.ProjectPath(), QFileInfo(m_file).absoluteFilePath());
        QCOMPARE(window.windowTitle(), title);
        QVERIFY(EditorLoaded());

        // Without a project open, Cancel leaves none open.
        window.CloseProject();
        LoginPlayer later({Answer{QString(), true}});
        QVERIFY(!window.OpenProject(m_url));
        QVERIFY(!window.HasProject());
        QCOMPARE(window.Tree()->NodeCount(), 0);
    }
};

QTEST_MAIN(ServerLoginTest)
#include "ServerLoginTest.moc"
