#pragma once

#include "brew/InstalledPackage.h"

#include <QCoro/QCoroTask>
#include <QDialog>
#include <QList>
#include <QPointer>

class BrewStore;
class BusyIndicator;
class QCheckBox;
class QLabel;
class QPushButton;

// Asks before anything is removed: names every package, tells which formulae other installed
// packages still need (Homebrew refuses those), which are pinned, and offers to remove the
// app data of casks as well. It starts nothing itself; confirmed() hands the choice over once.
class UninstallSheet : public QDialog {
    Q_OBJECT

public:
    UninstallSheet(BrewStore *store, QList<InstalledPackage> packages, QWidget *parent = nullptr);

    // Shows the sheet over `parent`'s window; a confirmation starts the store's uninstall.
    static UninstallSheet *ask(BrewStore *store, const QList<InstalledPackage> &packages, QWidget *parent);

Q_SIGNALS:
    // The user pressed Uninstall; `zap` is true only when the box was ticked for this run.
    void confirmed(const QList<InstalledPackage> &packages, bool zap);

private:
    QCoro::Task<> checkDependents();
    void confirm();
    void refreshZapWarning();

    QPointer<BrewStore> m_store;
    const QList<InstalledPackage> m_packages;
    bool m_confirmed = false;

    QWidget *m_checking = nullptr;
    QLabel *m_dependents = nullptr;
    QCheckBox *m_zap = nullptr;
    QLabel *m_zapWarning = nullptr;
    QPushButton *m_uninstall = nullptr;
};
