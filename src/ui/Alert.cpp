#include "Alert.h"

#include "UI.h"

#include <QApplication>
#include <QDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

namespace Alert {

int run(const QString& message, const QString& informative, const QStringList& buttons, QWidget* accessory)
{
    QDialog dialog;
    dialog.setWindowTitle(QStringLiteral("Corvalink"));
    dialog.setWindowFlag(Qt::WindowStaysOnTopHint);
    dialog.setFont(UI::font(13));
    auto* layout = new QVBoxLayout(&dialog);
    layout->setContentsMargins(20, 20, 20, 16);
    layout->setSpacing(10);

    // Messages quote site names and labels: never read them as markup.
    auto* title = new QLabel(message);
    title->setTextFormat(Qt::PlainText);
    title->setFont(UI::font(13, QFont::Bold));
    title->setWordWrap(true);
    layout->addWidget(title);
    if (!informative.isEmpty()) {
        auto* text = new QLabel(informative);
        text->setTextFormat(Qt::PlainText);
        text->setFont(UI::font(11));
        text->setWordWrap(true);
        layout->addWidget(text);
    }
    if (accessory)
        layout->addWidget(accessory);

    auto* row = new QHBoxLayout;
    row->addStretch(1);
    int answer = firstButton + int(buttons.size()) - 1;
    for (qsizetype i = 0; i < buttons.size(); ++i) {
        // A lone "&" would mark a mnemonic instead of showing itself.
        auto* button = new QPushButton(QString(buttons.at(i)).replace(QLatin1Char('&'), QStringLiteral("&&")));
        // Return answers with the focused button; the first is the default.
        button->setAutoDefault(true);
        button->setDefault(i == 0);
        QObject::connect(button, &QPushButton::clicked, &dialog, [&dialog, &answer, i] {
            answer = firstButton + int(i);
            dialog.accept();
        });
        row->addWidget(button);
    }
    layout->addLayout(row);
    dialog.setMinimumWidth(360);
    if (accessory)
        accessory->setFocus();
    dialog.exec();
    // The caller owns the accessory and reads it after the answer.
    if (accessory)
        accessory->setParent(nullptr);
    return answer;
}

} // namespace Alert
