#pragma once

#include <QWidget>

struct SetupConfig;
class QLineEdit;
class SegmentedControl;

// The wizard page for the SSH key: its type, file and comment.
class SSHPage : public QWidget {
    Q_OBJECT

public:
    // The key types offered; each is also the value stored.
    static QStringList keyTypes();

    // `config` must outlive the page.
    explicit SSHPage(SetupConfig *config, QWidget *parent = nullptr);

    SegmentedControl *keyTypeControl() const { return m_keyType; }
    QLineEdit *keyFileField() const { return m_keyFile; }
    QLineEdit *commentField() const { return m_comment; }

Q_SIGNALS:
    void edited();

private:
    SetupConfig *m_config;
    SegmentedControl *m_keyType;
    QLineEdit *m_keyFile;
    QLineEdit *m_comment;
};
