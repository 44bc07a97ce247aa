#include "ui/wizard/PageFields.h"

#include "ui/WizardStyle.h"
#include "ui/wizard/KeyValueEditor.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace PageFields {

namespace {

constexpr const char *boundTextProperty = "quillrigBoundText";

} // namespace

QLineEdit *textField(QString *text, const QString &placeholder, const QString &name, QWidget *parent, Edited edited)
{
    auto *field = new QLineEdit(*text, parent);
    field->setObjectName(name);
    field->setPlaceholderText(placeholder);
    field->setProperty(boundTextProperty, QVariant::fromValue(quintptr(text)));
    QObject::connect(field, &QLineEdit::textEdited, parent, [text, edited = std::move(edited)](const QString &typed) {
        *text = typed;
        edited();
    });
    return field;
}

void refreshTextFields(QWidget *page)
{
    for (QLineEdit *field : page->findChildren<QLineEdit *>()) {
        const auto *text = reinterpret_cast<const QString *>(field->property(boundTextProperty).value<quintptr>());
        if (!text || field->text() == *text)
            continue;
        const int caret = field->cursorPosition();
        field->setText(*text);
        if (field->hasFocus())
            field->setCursorPosition(std::min(caret, int(text->size())));
    }
}

QCheckBox *toggle(const QString &title, bool *value, const QString &name, QWidget *parent, Edited edited)
{
    auto *box = new QCheckBox(title, parent);
    box->setObjectName(name);
    box->setChecked(*value);
    QObject::connect(box, &QCheckBox::toggled, parent, [value, edited = std::move(edited)](bool on) {
        *value = on;
        edited();
    });
    return box;
}

KeyValueEditor *addEditor(QVBoxLayout *column, const QString &title, const QString &keyTitle, const QString &valueTitle,
    QList<KeyValue> *items, const QString &name, QWidget *page, Edited edited)
{
    auto *editor = new KeyValueEditor(title, keyTitle, valueTitle, items, page);
    editor->setObjectName(name);
    column->addWidget(editor);
    QObject::connect(editor, &KeyValueEditor::edited, page, std::move(edited));
    return editor;
}

QWidget *section(const QString &title, int spacing, QWidget *parent)
{
    auto *block = new QWidget(parent);
    auto *layout = new QVBoxLayout(block);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(spacing);
    layout->addWidget(WizardStyle::label(title, Fonts::Style::headline, block));
    return block;
}

} // namespace PageFields
