#include "ui/wizard/KeyValueEditor.h"

#include "ui/Colors.h"
#include "ui/Fonts.h"
#include "ui/Symbols.h"
#include "ui/WizardStyle.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

KeyValueEditor::KeyValueEditor(
    const QString &title, const QString &keyTitle, const QString &valueTitle, QList<KeyValue> *items, QWidget *parent)
    : QWidget(parent)
    , m_keyTitle(keyTitle)
    , m_itemNoun(keyTitle)
    , m_valueTitle(valueTitle)
    , m_items(items)
    , m_add(new QPushButton(Symbols::icon(u"plus"_s), u"Add"_s, this))
    , m_empty(WizardStyle::secondaryLabel(u"None"_s, Fonts::Style::callout, this))
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);

    auto *header = new QHBoxLayout;
    header->setSpacing(8);
    auto *heading = new QLabel(title, this);
    heading->setObjectName(u"editorTitle"_s);
    heading->setFont(Fonts::font(Fonts::Style::headline));
    header->addWidget(heading);
    m_add->setObjectName(u"addButton"_s);
    m_add->setAutoDefault(false);
    header->addWidget(m_add);
    header->addStretch(1);
    layout->addLayout(header);

    m_rowsLayout = new QVBoxLayout;
    m_rowsLayout->setContentsMargins(0, 0, 0, 0);
    m_rowsLayout->setSpacing(6);
    layout->addLayout(m_rowsLayout);

    m_empty->setObjectName(u"emptyLabel"_s);
    layout->addWidget(m_empty);

    connect(m_add, &QPushButton::clicked, this, &KeyValueEditor::addRow);
    rebuild();
}

void KeyValueEditor::setItemNoun(const QString &noun)
{
    m_itemNoun = noun;
    m_add->setAccessibleName(u"Add "_s + noun);
    for (const Row &row : std::as_const(m_rows))
        nameRow(row, row.key->text());
}

void KeyValueEditor::nameRow(const Row &row, const QString &key) const
{
    const QString trimmed = key.trimmed();
    row.remove->setAccessibleName(
        trimmed.isEmpty() ? u"Remove empty "_s + m_itemNoun : u"Remove "_s + m_itemNoun + u' ' + trimmed);
}

void KeyValueEditor::setProblem(Problem problem)
{
    m_problem = std::move(problem);
    rebuild();
}

void KeyValueEditor::showProblem(const Row &row, const KeyValue &item) const
{
    std::optional<QString> reason;
    if (m_problem && !(item.key.trimmed().isEmpty() && item.value.trimmed().isEmpty()))
        reason = m_problem(item);
    // The name is at fault when the row is refused even without its value.
    const bool keyAtFault = reason && m_problem(KeyValue{ item.id, item.key, QString() }).has_value();
    const QString edge
        = u"QLineEdit { border: 1px solid %1; border-radius: 3px; padding: 1px 2px; }"_s.arg(Colors::red().name());
    row.key->setStyleSheet(reason && keyAtFault ? edge : QString());
    row.value->setStyleSheet(reason && !keyAtFault ? edge : QString());
    row.key->setToolTip(reason && keyAtFault ? *reason : QString());
    row.value->setToolTip(reason && !keyAtFault ? *reason : QString());
    row.problem->setText(reason.value_or(QString()));
    row.problem->setVisible(reason.has_value());
}

void KeyValueEditor::rebuild()
{
    for (const Row &row : std::as_const(m_rows))
        delete row.widget;
    m_rows.clear();

    const QFont mono = Fonts::monospaced(Fonts::Style::body);
    for (const KeyValue &item : std::as_const(*m_items)) {
        auto *widget = new QWidget(this);
        widget->setObjectName(u"row"_s);
        auto *rowColumn = new QVBoxLayout(widget);
        rowColumn->setContentsMargins(0, 0, 0, 0);
        rowColumn->setSpacing(2);
        auto *line = new QHBoxLayout;
        line->setContentsMargins(0, 0, 0, 0);
        line->setSpacing(8);
        rowColumn->addLayout(line);

        auto *key = new QLineEdit(item.key, widget);
        key->setObjectName(u"keyField"_s);
        key->setPlaceholderText(m_keyTitle);
        key->setFont(mono);
        key->setAccessibleName(m_keyTitle);
        // About twenty characters of the monospaced font, whatever its size.
        key->setFixedWidth(QFontMetrics(mono).horizontalAdvance(u'M') * 20 + 10);
        line->addWidget(key);

        auto *value = new QLineEdit(item.value, widget);
        value->setObjectName(u"valueField"_s);
        value->setPlaceholderText(m_valueTitle);
        value->setFont(mono);
        value->setAccessibleName(m_valueTitle);
        line->addWidget(value, 1);

        auto *remove = new QToolButton(widget);
        remove->setObjectName(u"removeButton"_s);
        remove->setIcon(Symbols::icon(u"minus.circle"_s, Colors::red()));
        remove->setAutoRaise(true);
        remove->setToolTip(u"Remove"_s);
        line->addWidget(remove);

        const QUuid id = item.id;
        connect(key, &QLineEdit::textEdited, this, [this, id](const QString &text) { setKey(id, text); });
        connect(value, &QLineEdit::textEdited, this, [this, id](const QString &text) { setValue(id, text); });
        // Removing deletes the button that was clicked: let its click finish first.
        connect(
            remove, &QToolButton::clicked, this, [this, id] { removeRow(id); }, Qt::QueuedConnection);

        auto *problem = new QLabel(widget);
        problem->setObjectName(u"problemLabel"_s);
        problem->setFont(Fonts::font(Fonts::Style::caption));
        problem->setStyleSheet(u"color: %1;"_s.arg(Colors::red().name()));
        problem->setWordWrap(true);
        rowColumn->addWidget(problem);

        m_rowsLayout->addWidget(widget);
        m_rows.append({ id, widget, key, value, remove, problem });
        nameRow(m_rows.last(), item.key);
        showProblem(m_rows.last(), item);
    }
    m_empty->setVisible(m_items->isEmpty());
}

void KeyValueEditor::addRow()
{
    m_items->append(KeyValue::make(QString(), QString()));
    rebuild();
    m_rows.last().key->setFocus();
    Q_EMIT edited();
}

void KeyValueEditor::removeRow(const QUuid &id)
{
    const auto found
        = std::find_if(m_items->begin(), m_items->end(), [&](const KeyValue &row) { return row.id == id; });
    if (found == m_items->end())
        return;
    m_items->erase(found);
    rebuild();
    Q_EMIT edited();
}

void KeyValueEditor::setKey(const QUuid &id, const QString &key)
{
    for (KeyValue &row : *m_items) {
        if (row.id == id) {
            row.key = key;
            for (const Row &shown : std::as_const(m_rows)) {
                if (shown.id == id) {
                    showProblem(shown, row);
                    nameRow(shown, key);
                }
            }
            Q_EMIT edited();
            return;
        }
    }
}

void KeyValueEditor::setValue(const QUuid &id, const QString &value)
{
    for (KeyValue &row : *m_items) {
        if (row.id == id) {
            row.value = value;
            for (const Row &shown : std::as_const(m_rows))
                if (shown.id == id)
                    showProblem(shown, row);
            Q_EMIT edited();
            return;
        }
    }
}
