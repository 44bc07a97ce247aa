#pragma once

#include <QWidget>

struct SetupConfig;
class KeyValueEditor;
class QLineEdit;

// The wizard page for the Git identity, Git aliases and Git settings.
class GitPage : public QWidget {
    Q_OBJECT

public:
    // `config` must outlive the page.
    explicit GitPage(SetupConfig *config, QWidget *parent = nullptr);

    QLineEdit *nameField() const { return m_name; }
    QLineEdit *emailField() const { return m_email; }
    KeyValueEditor *aliasesEditor() const { return m_aliases; }
    KeyValueEditor *settingsEditor() const { return m_settings; }

Q_SIGNALS:
    void edited();

private:
    SetupConfig *m_config;
    QLineEdit *m_name;
    QLineEdit *m_email;
    KeyValueEditor *m_aliases;
    KeyValueEditor *m_settings;
};
