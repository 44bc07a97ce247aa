#pragma once

#include <QWidget>

struct SetupConfig;

// The wizard page for the Git identity, Git aliases and Git settings.
class GitPage : public QWidget {
    Q_OBJECT

public:
    // `config` must outlive the page.
    explicit GitPage(SetupConfig *config, QWidget *parent = nullptr);

Q_SIGNALS:
    void edited();
};
