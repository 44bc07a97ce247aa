#pragma once

#include "brew/InstalledFormats.h"

#include <QCoro/QCoroTask>
#include <QDialog>
#include <QPointer>

class BrewStore;
class QLabel;
class QPlainTextEdit;
class QPushButton;

// "Clean up…": asks Homebrew what a cleanup and an autoremove would remove, shows the old
// versions and downloads with the total Homebrew reports and the unneeded dependencies by name,
// and hands the preview over once the user confirms. Nothing is removed from here.
class CleanupSheet : public QDialog {
    Q_OBJECT

public:
    explicit CleanupSheet(BrewStore *store, QWidget *parent = nullptr);

    // Shows the sheet over `parent`'s window; a confirmation starts the store's clean-up.
    static CleanupSheet *ask(BrewStore *store, QWidget *parent);

Q_SIGNALS:
    void confirmed(const InstalledFormats::CleanupPreview &preview);

private:
    QCoro::Task<> loadPreview();
    void confirm();

    QPointer<BrewStore> m_store;
    std::optional<InstalledFormats::CleanupPreview> m_preview;
    bool m_confirmed = false;

    QWidget *m_looking = nullptr;
    QWidget *m_result = nullptr;
    QLabel *m_total = nullptr;
    QPlainTextEdit *m_removals = nullptr;
    QLabel *m_unneededTitle = nullptr;
    QLabel *m_unneeded = nullptr;
    QPushButton *m_cleanUp = nullptr;
};
