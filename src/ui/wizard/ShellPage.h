#pragma once

#include <QWidget>

struct SetupConfig;

// The wizard page for aliases, environment variables, extra ~/.zshrc lines and the backup
// switch. Edits go straight into the bound draft.
class ShellPage : public QWidget {
    Q_OBJECT

public:
    // `config` must outlive the page.
    explicit ShellPage(SetupConfig *config, QWidget *parent = nullptr);

Q_SIGNALS:
    void edited();
};
