#include "Settings.h"

namespace {

bool storedBoolean(const QVariant& value, bool& out)
{
    if (value.typeId() == QMetaType::Bool) {
        out = value.toBool();
        return true;
    }
    if (value.typeId() == QMetaType::QString) {
        const QString text = value.toString();
        if (text == QLatin1String("true") || text == QLatin1String("false")) {
            out = text == QLatin1String("true");
            return true;
        }
    }
    return false;
}

bool readFlag(const QString& key)
{
    bool flag = false;
    return storedBoolean(Settings::d().value(key), flag) && flag;
}

} // namespace

namespace Settings {

QSettings& d()
{
    static QSettings settings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Corvalink"),
                              QStringLiteral("Corvalink"));
    return settings;
}

bool hotkeyEnabled()
{
    bool flag = true;
    return storedBoolean(d().value(hotkeyEnabledKey), flag) ? flag : true;
}

void setHotkeyEnabled(bool enabled)
{
    d().setValue(hotkeyEnabledKey, enabled);
}

bool iCloudSync()
{
    return readFlag(iCloudSyncKey);
}

void setICloudSync(bool enabled)
{
    d().setValue(iCloudSyncKey, enabled);
}

std::optional<QString> defaultBrowser()
{
    const QVariant value = d().value(defaultBrowserKey);
    if (!value.isValid())
        return std::nullopt;
    return value.toString();
}

void setDefaultBrowser(const std::optional<QString>& name)
{
    if (name)
        d().setValue(defaultBrowserKey, *name);
    else
        d().remove(defaultBrowserKey);
}

bool incognito()
{
    return readFlag(incognitoKey);
}

void setIncognito(bool enabled)
{
    d().setValue(incognitoKey, enabled);
}

QString extraArgs()
{
    return d().value(extraArgsKey).toString();
}

void setExtraArgs(const QString& text)
{
    d().setValue(extraArgsKey, text);
}

} // namespace Settings
