#include "Settings.h"

#include "KeyFile.h"

namespace {

// "true" and "false" in any case, 1 and 0, as a hand-edited file may say it.
bool storedBoolean(const QVariant& value, bool& out)
{
    if (value.typeId() == QMetaType::Bool || value.typeId() == QMetaType::Int) {
        out = value.toInt() != 0;
        return value.toInt() == 0 || value.toInt() == 1;
    }
    if (value.typeId() == QMetaType::QString) {
        const QString text = value.toString().toLower();
        for (const char* word : {"true", "1", "false", "0"}) {
            if (text == QLatin1String(word)) {
                out = text == QLatin1String("true") || text == QLatin1String("1");
                return true;
            }
        }
    }
    return false;
}

// The value after "key=" in the file, as the user wrote it. QSettings reads an
// unquoted comma as a list separator and a ";" as the start of a comment.
QString writtenValue(const QString& key)
{
    return KeyFile::group(Settings::d().fileName(), QStringLiteral("General"), true).value(key);
}

bool readFlag(const QString& key)
{
    bool flag = false;
    return storedBoolean(Settings::d().value(key), flag) && flag;
}

// Quotes and escapes are QSettings' own writing, which it reads best; anything
// else with a comma or a semicolon was written by hand.
bool writtenByHand(const QString& written)
{
    return !written.startsWith(QLatin1Char('"')) && !written.contains(QLatin1Char('\\')) &&
           (written.contains(QLatin1Char(',')) || written.contains(QLatin1Char(';')));
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

QString previousWebBrowser()
{
    return d().value(previousWebBrowserKey).toString();
}

void setPreviousWebBrowser(const QString& desktopId)
{
    d().setValue(previousWebBrowserKey, desktopId);
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
    const QString written = writtenValue(extraArgsKey);
    return writtenByHand(written) ? written : d().value(extraArgsKey).toString();
}

void reread()
{
    // Before QSettings reads the file and writes it back, which would keep the
    // hand-written value as a list, or cut at the semicolon.
    const QString written = writtenValue(extraArgsKey);
    d().sync();
    if (writtenByHand(written))
        setExtraArgs(written);
}

void setExtraArgs(const QString& text)
{
    d().setValue(extraArgsKey, text);
}

} // namespace Settings
