#include "SitePreset.h"

const QList<SitePreset>& SitePreset::all()
{
    static const QList<SitePreset> presets{
        {QStringLiteral("Claude"), QStringLiteral("https://claude.ai/login")},
        {QStringLiteral("ChatGPT"), QStringLiteral("https://chatgpt.com/auth/login")},
        {QStringLiteral("GitHub"), QStringLiteral("https://github.com/login")},
        {QStringLiteral("Google"), QStringLiteral("https://accounts.google.com/ServiceLogin")},
        {QStringLiteral("Custom"), QStringLiteral("https://")},
    };
    return presets;
}
