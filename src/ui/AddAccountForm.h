#pragma once

#include "Account.h"

#include <QList>
#include <QObject>
#include <QPointer>

#include <functional>

#include "SelectView.h"

#include <QLineEdit>

// The inputs of a new account. Not a view: it owns its controls and wraps the
// same controls in new rows every time a page asks for its sections, so what was
// typed survives every rebuild of the page.
class AddAccountForm : public QObject {
    Q_OBJECT

public:
    AddAccountForm(std::function<void(const Account&)> onSave, std::function<void()> onCancel);
    AddAccountForm() = delete;
    ~AddAccountForm() override;

    // The form's section and its button row.
    QList<QWidget*> sections();

    QLineEdit* labelField() const { return m_labelField; }
    QLineEdit* siteField() const { return m_siteField; }
    QLineEdit* urlField() const { return m_urlField; }
    SelectView* sitePicker() const { return m_sitePicker; }
    SelectView* browserPicker() const { return m_browserPicker; }
    SelectView* colorPicker() const { return m_colorPicker; }

    // Reached through the buttons "Cancel" (Escape) and "Add & Log in" (Return).
    void cancelTapped();
    void saveTapped();

    // Space separators and tabs; line breaks are not trimmed.
    static QString trimmed(const QString& text);

    // What is wrong with the field's text, as shown under it; empty when nothing is.
    static QString problemText(const QLineEdit* field);

Q_SIGNALS:
    // A line under a field came or went: the page must make room.
    void layoutChanged();

private:
    void applyPreset(const QString& name);
    // The field with a line under it that says what is wrong with it.
    QWidget* checked(QLineEdit* field);
    // Shows each field's problem; true when there is none.
    bool showProblems(const QList<std::pair<QLineEdit*, QString>>& problems);

    QPointer<QLineEdit> m_labelField;
    QPointer<QLineEdit> m_siteField;
    QPointer<QLineEdit> m_urlField;
    QPointer<SelectView> m_sitePicker;
    QPointer<SelectView> m_browserPicker;
    QPointer<SelectView> m_colorPicker;
    QList<QPointer<QWidget>> m_checkedFields;
    const std::function<void(const Account&)> m_onSave;
    const std::function<void()> m_onCancel;
};
