#include "HostMenu.h"

#include "AccountColor.h"
#include "PlatformTexts.h"

#include <QBuffer>
#include <QIcon>
#include <QSet>

namespace {

constexpr int dotSize = 16;

QByteArray dotPng(const std::optional<QString>& color)
{
    // Accounts without a colour keep the indent of those with one.
    const QIcon dot = AccountColor::dotOrSpace(color, dotSize);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    dot.pixmap(dotSize, dotSize).save(&buffer, "PNG");
    return png;
}

// Hosts draw the text as it comes, however long: about forty characters, then "…".
QString shortened(const QString& text)
{
    constexpr qsizetype longest = 40;
    if (text.size() <= longest)
        return text;
    qsizetype cut = longest - 1;
    if (text.at(cut - 1).isHighSurrogate())
        --cut;
    return text.left(cut) + QChar(0x2026);
}

QString keyOf(const MenuEntry& entry, const QString& label)
{
    if (!entry.account)
        return QStringLiteral("item:") + label;
    switch (entry.kind) {
    case MenuEntry::Kind::Account:
        return QStringLiteral("open:") + entry.account->idText();
    case MenuEntry::Kind::RemoveAlternate:
        return QStringLiteral("remove:") + entry.account->idText();
    case MenuEntry::Kind::Header:
        return QStringLiteral("site:") + label;
    default:
        return QStringLiteral("item:") + label;
    }
}

class Builder {
public:
    explicit Builder(HostMenu::Ids& ids)
        : m_ids(ids)
    {
    }

    HostMenu::Built built;

    DBusMenuItem item(const MenuEntry& entry, const QString& label)
    {
        DBusMenuItem result;
        // The n-th separator stays a separator.
        const QString key = entry.kind == MenuEntry::Kind::Separator
                                ? QStringLiteral("separator:%1").arg(++m_separators)
                                : keyOf(entry, label);
        result.id = m_ids.of(key);
        built.keys.append(key);
        result.label = shortened(label);
        result.enabled = entry.enabled;
        result.separator = entry.kind == MenuEntry::Kind::Separator;
        if (entry.account && entry.kind == MenuEntry::Kind::Account)
            result.iconPng = dotPng(entry.account->color);
        if (entry.enabled)
            built.targets.insert(key, entry);
        return result;
    }

    DBusMenuItem removeSubmenu(const QList<MenuEntry>& entries)
    {
        MenuEntry title;
        title.kind = MenuEntry::Kind::Info;
        DBusMenuItem submenu = item(title, QStringLiteral("Remove account"));
        for (const MenuEntry& entry : entries) {
            if (entry.kind == MenuEntry::Kind::RemoveAlternate && entry.account)
                submenu.children.append(item(entry, entry.account->displayName() + QStringLiteral("\u2026")));
        }
        submenu.enabled = !submenu.children.isEmpty();
        return submenu;
    }

private:
    HostMenu::Ids& m_ids;
    int m_separators = 0;
};

HostMenu::Built buildOnce(const QList<MenuEntry>& entries, HostMenu::Ids& ids)
{
    Builder builder(ids);
    for (const MenuEntry& entry : entries) {
        if (entry.kind == MenuEntry::Kind::RemoveAlternate)
            continue;
        if (entry.kind == MenuEntry::Kind::Info && entry.title == PlatformTexts::removeHint())
            builder.built.items.append(builder.removeSubmenu(entries));
        else
            builder.built.items.append(builder.item(entry, entry.title));
    }
    return builder.built;
}

} // namespace

namespace HostMenu {

int Ids::of(const QString& key)
{
    auto it = m_ids.constFind(key);
    if (it == m_ids.cend()) {
        m_keys.insert(m_next, key);
        it = m_ids.insert(key, m_next++);
    }
    return *it;
}

void Ids::renew()
{
    QHash<int, QString> held;
    for (auto it = m_ids.cbegin(); it != m_ids.cend(); ++it)
        held.insert(it.value(), it.key());
    m_keys = std::move(held);
    m_ids.clear();
}

bool Ids::reordered(const QStringList& keys) const
{
    const auto common = [](const QStringList& order, const QSet<QString>& others) {
        QStringList kept;
        for (const QString& key : order) {
            if (others.contains(key))
                kept.append(key);
        }
        return kept;
    };
    const QSet<QString> now(keys.cbegin(), keys.cend()), before(m_lastOrder.cbegin(), m_lastOrder.cend());
    return common(keys, before) != common(m_lastOrder, now);
}

Built build(const QList<MenuEntry>& entries, Ids& ids)
{
    Built built = buildOnce(entries, ids);
    if (ids.reordered(built.keys)) {
        ids.renew();
        built = buildOnce(entries, ids);
    }
    ids.remember(built.keys);
    return built;
}

} // namespace HostMenu
