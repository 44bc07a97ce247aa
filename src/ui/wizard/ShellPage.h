#pragma once

#include <QWidget>

struct SetupConfig;
class KeyValueEditor;
class QCheckBox;
class QPlainTextEdit;

// The wizard page for aliases, environment variables, extra ~/.zshrc lines and the backup
// switch. Edits go straight into the bound draft.
class ShellPage : public QWidget {
    Q_OBJECT

public:
    // `config` must outlive the page.
    explicit ShellPage(SetupConfig *config, QWidget *parent = nullptr);

    KeyValueEditor *aliasesEditor() const { return m_aliases; }
    KeyValueEditor *environmentEditor() const { return m_environment; }
    QPlainTextEdit *extrasEditor() const { return m_extras; }
    QCheckBox *backupToggle() const { return m_backup; }

Q_SIGNALS:
    void edited();

private:
    SetupConfig *m_config;
    KeyValueEditor *m_aliases;
    KeyValueEditor *m_environment;
    QPlainTextEdit *m_extras;
    QCheckBox *m_backup;
};
