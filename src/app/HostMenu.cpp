#include "HostMenu.h"

#include "AccountColor.h"
#include "PlatformTexts.h"

#include <QBuffer>
#include <QIcon>

namespace {

constexpr int dotSize = 16;

QByteArray dotPng(const std::optional<QString>& color)
{
    const QIcon dot = AccountColor::dot(color, dotSize);
    if (dot.isNull())
        return {};
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    dot.pixmap(dotSize, dotSize).save(&buffer, "PNG");
    return png;
}

class Builder {
public:
    HostMenu::Built built;

    DBusMenuItem item(const MenuEntry& entry, const QString& label)
    {
        DBusMenuItem result;
        result.id = ++m_lastId;
        result.label = label;
        result.enabled = entry.enabled;
        result.separator = entry.kind == MenuEntry::Kind::Separator;
        if (entry.account && entry.kind == MenuEntry::Kind::Account)
            result.iconPng = dotPng(entry.account->color);
        if (entry.enabled)
            built.targets.insert(result.id, entry);
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
    int m_lastId = 0;
};

} // namespace

namespace HostMenu {

Built build(const QList<MenuEntry>& entries)
{
    Builder builder;
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

} // namespace HostMenu
