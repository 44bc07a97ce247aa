#pragma once

#include "setup/config/KeyValue.h"

#include <QList>
#include <QUuid>
#include <QWidget>

#include <functional>
#include <optional>

class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;
class QVBoxLayout;

// An editable list of key/value rows (aliases, variables, Git settings) bound to a list in the
// wizard's draft. Rows are told apart by id, so editing or removing one never touches another
// with the same key and value. Empty and repeated keys are allowed; a row the file it goes to
// cannot hold (see setProblem) is marked as the user types.
class KeyValueEditor : public QWidget {
    Q_OBJECT

public:
    // `items` must outlive the editor; every edit goes straight into it.
    KeyValueEditor(const QString &title, const QString &keyTitle, const QString &valueTitle, QList<KeyValue> *items,
        QWidget *parent = nullptr);

    // Why a row cannot be written, or none. A row with a reason gets a red edge on the field at
    // fault and the reason beside it (and as tooltip); blank rows are not marked.
    using Problem = std::function<std::optional<QString>(const KeyValue &row)>;
    void setProblem(Problem problem);
    // What one row is, in words ("alias"): screen readers hear "Remove alias ll". The key's
    // title stands in until it is set.
    void setItemNoun(const QString &noun);

Q_SIGNALS:
    // The bound list changed.
    void edited();

private:
    struct Row {
        QUuid id;
        QWidget *widget;
        QLineEdit *key;
        QLineEdit *value;
        QToolButton *remove;
        QLabel *problem;
    };

    void rebuild();
    void addRow();
    void removeRow(const QUuid &id);
    void setKey(const QUuid &id, const QString &key);
    void setValue(const QUuid &id, const QString &value);
    void showProblem(const Row &row, const KeyValue &item) const;

    void nameRow(const Row &row, const QString &key) const;

    QString m_keyTitle;
    QString m_itemNoun;
    QString m_valueTitle;
    QList<KeyValue> *m_items;
    Problem m_problem;
    QPushButton *m_add;
    QLabel *m_empty;
    QVBoxLayout *m_rowsLayout;
    QList<Row> m_rows;
};
