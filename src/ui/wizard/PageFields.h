#pragma once

#include <QList>
#include <QString>

#include <functional>

struct KeyValue;
class KeyValueEditor;
class QCheckBox;
class QLineEdit;
class QVBoxLayout;
class QWidget;

// Builders for the settings pages' fields. Each field is bound to one value of the wizard's
// draft: an edit goes straight into it and then calls `edited`, which the pages pass on as
// their own edited() signal.
namespace PageFields {

using Edited = std::function<void()>;

// A line edit showing `*text`, with the placeholder as its hint.
QLineEdit *textField(QString *text, const QString &placeholder, const QString &name, QWidget *parent, Edited edited);
// Shows in every text field below `page` the value it is bound to, where that changed behind
// its back (a detection that filled it in); the field the user is typing in keeps its caret.
void refreshTextFields(QWidget *page);

// A tick box for `*value`.
QCheckBox *toggle(const QString &title, bool *value, const QString &name, QWidget *parent, Edited edited);

// A key/value list editor added to the page's column.
KeyValueEditor *addEditor(QVBoxLayout *column, const QString &title, const QString &keyTitle, const QString &valueTitle,
    QList<KeyValue> *items, const QString &name, QWidget *page, Edited edited);

// A titled block of the page: a headline, then what the caller adds to the block's layout
// (`spacing` points apart).
QWidget *section(const QString &title, int spacing, QWidget *parent);

} // namespace PageFields
