#include "OpenRequest.h"

#include "AccountOpener.h"
#include "CommandLine.h"
#include "Store.h"
#include "WebFallbackWindow.h"

namespace OpenRequest {

void run(const QString& key, const QString& link, const Done& done)
{
    Store& store = Store::shared();
    store.reload();
    // A list that could not be read is not an empty one: say so, and touch nothing.
    if (!store.readError().isEmpty()) {
        done({2,
              QStringLiteral("the accounts file %1 could not be read: %2").arg(store.activeFile(), store.readError())});
        return;
    }
    const auto lookup = CommandLine::find(store.accounts(), key);
    if (!lookup.account) {
        done({2, lookup.error});
        return;
    }
    const auto accepted = CommandLine::acceptedLink(link);
    if (!link.isEmpty() && !accepted) {
        done({2, CommandLine::linkRefusal});
        return;
    }
    open(*lookup.account, accepted, done);
}

void open(const Account& account, const std::optional<QUrl>& link, const Done& done)
{
    QString refusal;
    const AccountOpener::Outcome outcome =
        link ? AccountOpener::openLink(account, *link, &refusal) : AccountOpener::open(account, &refusal);
    if (outcome != AccountOpener::Outcome::WebWindow) {
        done(outcome == AccountOpener::Outcome::Browser ? SingleInstance::Answer{}
                                                        : SingleInstance::Answer{2, refusal});
        return;
    }
    WebFallbackWindow* window = WebFallbackWindow::open().value(account.id);
    if (!window) {
        done({1, QStringLiteral("The account could not be opened.")});
        return;
    }
    if (window->isShown()) {
        done({});
        return;
    }
    // Exactly one answer: whichever comes first.
    auto answered = std::make_shared<bool>(false);
    const auto answer = [done, answered](const SingleInstance::Answer& result) {
        if (!std::exchange(*answered, true))
            done(result);
    };
    QObject::connect(window, &WebFallbackWindow::shown, window, [answer] { answer({}); });
    QObject::connect(window, &WebFallbackWindow::closed, window, [answer](bool wasShown) {
        answer(wasShown ? SingleInstance::Answer{}
                        : SingleInstance::Answer{1, QStringLiteral("The web window could not be started.")});
    });
}

} // namespace OpenRequest
