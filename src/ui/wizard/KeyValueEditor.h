#pragma once

#include "setup/config/KeyValue.h"

#include <QList>
#include <QUuid>
#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;
class QVBoxLayout;

// An editable list of key/value rows (aliases, variables, Git settings) bound to a list in the
// wizard's draft. Rows are told apart by id, so editing or removing one never touches another
// with the same key and value. Nothing is validated here: empty and repeated keys are allowed.
class KeyValueEditor : public QWidget {
    Q_OBJECT

public:
    // `items` must outlive the editor; every edit goes straight into it.
    KeyValueEditor(const QString &title, const QString &keyTitle, const QString &valueTitle, QList<KeyValue> *items,
        QWidget *parent = nullptr);

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
    };

    void rebuild();
    void addRow();
    void removeRow(const QUuid &id);
    void setKey(const QUuid &id, const QString &key);
    void setValue(const QUuid &id, const QString &value);

    QString m_keyTitle;
    QString m_valueTitle;
    QList<KeyValue> *m_items;
    QPushButton *m_add;
    QLabel *m_empty;
    QVBoxLayout *m_rowsLayout;
    QList<Row> m_rows;
};
