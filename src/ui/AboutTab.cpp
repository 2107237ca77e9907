#include "AboutTab.h"

#include "BrowserLauncher.h"
#include "GeneralTab.h"
#include "PlatformTexts.h"
#include "Store.h"
#include "UI.h"

#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QLabel* centredLabel(const QString& text, int pixelSize, QFont::Weight weight, bool secondary)
{
    auto* label = new QLabel(text);
    label->setFont(UI::font(pixelSize, weight));
    label->setAlignment(Qt::AlignCenter);
    if (secondary)
        UI::makeSecondary(label);
    return label;
}

QLabel* factLabel(qsizetype count)
{
    auto* label = new QLabel(QString::number(count));
    label->setFont(UI::font(13));
    UI::makeSecondary(label);
    return label;
}

QWidget* header()
{
    auto* header = new QWidget;
    auto* layout = new QVBoxLayout(header);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    auto* icon = new QLabel;
    icon->setPixmap(QIcon(QStringLiteral(":/corvalink.svg")).pixmap(84, 84));
    icon->setFixedSize(84, 84);
    layout->addWidget(icon, 0, Qt::AlignHCenter);
    layout->addSpacing(10 - 4);
    layout->addWidget(centredLabel(QStringLiteral("Corvalink"), 22, QFont::Bold, false));
    layout->addWidget(centredLabel(AboutTab::versionText(), 12, QFont::Normal, true));
    layout->addWidget(centredLabel(QStringLiteral("Many accounts. One click."), 12, QFont::Normal, true));
    layout->addSpacing(10 - 4);
    layout->addWidget(UI::link(QStringLiteral("Built by "), QStringLiteral("the Corvalink team"),
                               QStringLiteral("https://corvalink.app")));
    return header;
}

} // namespace

QString AboutTab::versionText(const std::optional<QString>& shortVersion, const std::optional<QString>& build)
{
    return QStringLiteral("Version ") + shortVersion.value_or(QStringLiteral("dev")) + QStringLiteral(" (") +
           build.value_or(QStringLiteral("1")) + QLatin1Char(')');
}

QString AboutTab::versionText()
{
#if defined(CORVALINK_VERSION) && defined(CORVALINK_BUILD_NUMBER)
    return versionText(QStringLiteral(CORVALINK_VERSION), QStringLiteral(CORVALINK_BUILD_NUMBER));
#else
    return versionText(std::nullopt, std::nullopt);
#endif
}

QList<QWidget*> AboutTab::sections()
{
    auto* folder = new QPushButton(PlatformTexts::showFolderButton());
    QObject::connect(folder, &QPushButton::clicked, [] { GeneralTab::showFolder(); });
    QWidget* facts = UI::section(
        std::nullopt,
        {UI::row(QStringLiteral("Accounts"), std::nullopt, {}, {factLabel(Store::shared().accounts().size())}),
         UI::row(QStringLiteral("Browsers detected"), std::nullopt, {},
                 {factLabel(BrowserLauncher::installedBrowsers().size())}),
         UI::row(QStringLiteral("Data folder"), std::nullopt, {}, {folder})},
        QStringLiteral("Every account lives in its own isolated Chromium or Firefox profile. Corvalink never reads or "
                       "stores your passwords, makes no network connections and has no analytics. ") +
            PlatformTexts::dataStaysIn(Store::shared().baseDir()));
    QLabel* notice = UI::footnote(QStringLiteral("\u00A9 2026 Corvalink. Chrome, Brave, Edge, Vivaldi, Arc, Opera, "
                                                 "Chromium and Firefox are trademarks of their respective owners."));
    notice->setAlignment(Qt::AlignCenter);
    return {header(), facts, notice};
}
