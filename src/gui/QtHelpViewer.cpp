#include "gui/QtHelpViewer.h"

#include "settings/HelpTopics.h"
#include "settings/TextTable.h"

#include <QApplication>
#include <QDesktopServices>
#include <QHBoxLayout>
#include <QTextDocument>
#include <QToolButton>
#include <QVBoxLayout>

namespace ov::gui {

namespace help = settings::help;

namespace {
const QString kScheme = QStringLiteral("ovhelp");

QString WithoutAccessKey(QString caption) {
    return caption.remove(u'&');
}
}  // namespace

HelpBrowser::HelpBrowser(QWidget* parent) : QTextBrowser(parent) {
    // Links between pages open here, relative to the page shown; links to
    // the web open in the desktop's browser.
    setOpenLinks(false);
    connect(this, &QTextBrowser::anchorClicked, this, [this](const QUrl& link) {
        if (!link.scheme().isEmpty() && link.scheme() != kScheme) {
            QDesktopServices::openUrl(link);
            return;
        }
        if (link.path().isEmpty() && link.hasFragment()) {
            scrollToAnchor(link.fragment());
            return;
        }
        setSource(source().resolved(link), QTextDocument::MarkdownResource);
    });
}

QUrl HelpBrowser::PageUrl(const QString& language, const QString& page) {
    QUrl url;
    url.setScheme(kScheme);
    url.setPath(QStringLiteral("/%1/%2.md").arg(language, page));
    return url;
}

QVariant HelpBrowser::loadResource(int type, const QUrl& name) {
    if (name.scheme() != kScheme) return QTextBrowser::loadResource(type, name);
    // "/en/dlg-item.md": the language folder and the page.
    const QStringList parts = name.path().split(u'/', Qt::SkipEmptyParts);
    if (parts.size() != 2) return QVariant();
    QString page = parts[1];
    if (page.endsWith(QStringLiteral(".md"))) page.chop(3);
    const auto text = help::PageText(parts[0], page);
    return text ? QVariant(*text) : QVariant();
}

HelpWindow::HelpWindow(QWidget* owner) : QWidget(owner, Qt::Window) {
    setObjectName(QStringLiteral("helpWindow"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(WithoutAccessKey(settings::Text(12)));
    resize(640, 720);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    auto* bar = new QHBoxLayout();
    m_back = new QToolButton(this);
    m_back->setArrowType(Qt::LeftArrow);
    m_back->setObjectName(QStringLiteral("back"));
    m_forward = new QToolButton(this);
    m_forward->setArrowType(Qt::RightArrow);
    m_forward->setObjectName(QStringLiteral("forward"));
    auto* contents = new QToolButton(this);
    contents->setObjectName(QStringLiteral("contents"));
    contents->setText(QStringLiteral("\u2302"));
    bar->addWidget(m_back);
    bar->addWidget(m_forward);
    bar->addWidget(contents);
    bar->addStretch(1);
    layout->addLayout(bar);
    m_browser = new HelpBrowser(this);
    m_browser->setObjectName(QStringLiteral("helpBrowser"));
    layout->addWidget(m_browser, 1);
    connect(m_back, &QToolButton::clicked, m_browser, &QTextBrowser::backward);
    connect(m_forward, &QToolButton::clicked, m_browser, &QTextBrowser::forward);
    connect(contents, &QToolButton::clicked, this,
            [this] { ShowPage(HelpBrowser::PageUrl(help::LanguageOfTexts(), QStringLiteral("index"))); });
    connect(m_browser, &QTextBrowser::backwardAvailable, m_back, &QToolButton::setEnabled);
    connect(m_browser, &QTextBrowser::forwardAvailable, m_forward, &QToolButton::setEnabled);
    m_back->setEnabled(false);
    m_forward->setEnabled(false);
}

void HelpWindow::ShowPage(const QUrl& page) {
    m_browser->setSource(page, QTextDocument::MarkdownResource);
}

QtHelpViewer::~QtHelpViewer() {
    // At the very end of the program the application may be gone already.
    if (QCoreApplication::instance()) CloseAll();
}

void QtHelpViewer::ShowTopic(const QString& /*helpFile*/, int topic, host::WindowHandle /*owner*/) {
    // The pages are built in; the help file of the installation is not needed.
    HelpWindow* window = nullptr;
    if (QWidget* dialog = QApplication::activeModalWidget()) {
        // A modal dialog blocks every other window: its help is a window of its own.
        window = new HelpWindow(dialog);
        m_dialogWindows.append(window);
    } else {
        if (!m_window) m_window = new HelpWindow(nullptr);
        window = m_window;
    }
    window->ShowPage(HelpBrowser::PageUrl(help::LanguageOfTexts(), help::PageOfTopic(topic)));
    window->show();
    window->raise();
    m_lastShown = window;
}

void QtHelpViewer::CloseAll() {
    if (m_window) m_window->close();
    for (const QPointer<HelpWindow>& window : std::as_const(m_dialogWindows))
        if (window) window->close();
    m_dialogWindows.clear();
}

}  // namespace ov::gui
