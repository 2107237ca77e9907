#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// One item of a menu that a tray host draws itself (com.canonical.dbusmenu).
struct DBusMenuItem {
    int id = 0;
    QString label; // plain text, shown exactly as it stands
    bool enabled = true;
    bool separator = false;
    QByteArray iconPng;
    QList<DBusMenuItem> children;
};
