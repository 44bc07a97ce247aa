#pragma once

#include <QWidget>

struct SetupConfig;

// The wizard page for the SSH key: its type, file and comment.
class SSHPage : public QWidget {
    Q_OBJECT

public:
    // The key types offered; each is also the value stored.
    static QStringList keyTypes();

    // `config` must outlive the page.
    explicit SSHPage(SetupConfig *config, QWidget *parent = nullptr);

Q_SIGNALS:
    void edited();
};
