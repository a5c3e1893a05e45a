#include "studio/ScriptConsoleDialog.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShortcut>
#include <QSplitter>
#include <QVBoxLayout>

namespace ov::studio {

ScriptConsoleDialog::ScriptConsoleDialog(std::unique_ptr<host::IScriptConsole> console, QWidget* parent)
    : QDialog(parent), m_console(std::move(console)) {
    setWindowTitle(QStringLiteral("Script Console"));
    auto* layout = new QVBoxLayout(this);
    auto* splitter = new QSplitter(Qt::Vertical, this);
    const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    m_source = new QPlainTextEdit(splitter);
    m_source->setObjectName(QStringLiteral("scriptSource"));
    m_source->setFont(fixed);
    m_source->setPlaceholderText(QStringLiteral("// studio.click(\"OPCE0\"); print(studio.tree().children.length);"));
    m_output = new QPlainTextEdit(splitter);
    m_output->setObjectName(QStringLiteral("scriptOutput"));
    m_output->setFont(fixed);
    m_output->setReadOnly(true);
    splitter->setStretchFactor(0, 3);
    splitter->setStretchFactor(1, 1);
    layout->addWidget(splitter);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(new QLabel(QStringLiteral("Ctrl+Return runs the script; see docs/automation.md"), this), 1);
    m_run = new QPushButton(QStringLiteral("&Run"), this);
    buttons->addWidget(m_run);
    auto* closeButton = new QPushButton(QStringLiteral("Close"), this);
    buttons->addWidget(closeButton);
    layout->addLayout(buttons);
    connect(m_run, &QPushButton::clicked, this, [this] { Run(); });
    connect(closeButton, &QPushButton::clicked, this, &QDialog::close);
    auto* shortcut = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Return), this);
    connect(shortcut, &QShortcut::activated, this, [this] { Run(); });
    if (!m_console) {
        m_run->setEnabled(false);
        m_output->setPlainText(QStringLiteral("The editor add-in offers no script console."));
    }
    resize(700, 500);
}

ScriptConsoleDialog::~ScriptConsoleDialog() = default;

void ScriptConsoleDialog::Run() {
    if (!m_console) return;
    QString output, error;
    const bool ok = m_console->Run(m_source->toPlainText(), output, error);
    if (!ok) output += QStringLiteral("error: ") + error + u'\n';
    m_output->setPlainText(output);
    if (afterRun) afterRun();
}

}  // namespace ov::studio
