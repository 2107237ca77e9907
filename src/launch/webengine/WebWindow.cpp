#include "WebWindow.h"

#include <QGuiApplication>
#include <QScreen>
#include <QShortcut>
#include <QVBoxLayout>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineView>

WebWindow::WebWindow(const QString& profileName, const QString& storageDir)
    : m_profile(new QWebEngineProfile(profileName))
    , m_view(new QWebEngineView(this))
{
    setAttribute(Qt::WA_DeleteOnClose);
    // Storage and cache must be set before the first page of the profile exists.
    m_profile->setPersistentStoragePath(storageDir);
    m_profile->setCachePath(storageDir + QStringLiteral("/cache"));
    // Logins often use session cookies; keep them so a login survives a restart.
    m_profile->setPersistentCookiesPolicy(QWebEngineProfile::ForcePersistentCookies);
    m_view->setPage(new QWebEnginePage(m_profile, m_view));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_view);
    resize(1100, 760);
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    new QShortcut(QKeySequence::Close, this, this, &QWidget::close);
}

WebWindow::~WebWindow()
{
    // The page must go before its profile, which then writes its cookies out.
    delete m_view;
    delete m_profile;
}

void WebWindow::load(const QUrl& url)
{
    m_view->load(url);
}

void WebWindow::bringToFront()
{
    show();
    raise();
    activateWindow();
}

void WebWindow::handleCommands(const QByteArray& commands)
{
    // Whole lines only: a link's text may hold any command word.
    for (const QByteArray& line : commands.split('\n')) {
        const QByteArray command = line.trimmed();
        if (command == "close") {
            close();
            return;
        }
        if (command == "raise")
            bringToFront();
        if (!command.startsWith("open "))
            continue;
        // A link handed to this account while its window is open.
        const QUrl link = QUrl::fromEncoded(command.mid(5), QUrl::StrictMode);
        if (link.isValid() && (link.scheme() == QLatin1String("http") || link.scheme() == QLatin1String("https")))
            load(link);
        bringToFront();
    }
}
