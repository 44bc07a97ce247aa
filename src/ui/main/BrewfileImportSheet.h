#pragma once

#include "brew/ServiceFormats.h"

#include <QCoro/QCoroTask>
#include <QDialog>
#include <QPointer>

class BrewStore;
class BusyIndicator;
class QLabel;
class QPushButton;
class QTreeWidget;

// The sheet of File ▸ Import Brewfile…: says what a Brewfile is before anything runs, asks brew
// what the file lacks (which changes nothing), lists it by kind, and hands "Install missing" to
// the store. The sheet never reads or runs the file itself.
class BrewfileImportSheet : public QDialog {
    Q_OBJECT

public:
    BrewfileImportSheet(BrewStore *store, QString path, QWidget *parent = nullptr);
    ~BrewfileImportSheet() override;

    QString path() const { return m_path; }
    // The last check's answer; none before the first one finished.
    std::optional<BrewfileCheck> check() const { return m_check; }

    // Kinds as the list groups them ("Formulae", "Casks", "VSCode Extensions").
    static QString groupTitle(const QString &kind);

private:
    QCoro::Task<> runCheck();
    void showCheck();
    void refreshEnabled();
    void installMissing();

    QPointer<BrewStore> m_store;
    QString m_path;
    std::optional<BrewfileCheck> m_check;
    bool m_checking = false;

    QLabel *m_status = nullptr;
    BusyIndicator *m_busy = nullptr;
    QTreeWidget *m_missing = nullptr;
    QPushButton *m_checkButton = nullptr;
    QPushButton *m_install = nullptr;
    QPushButton *m_close = nullptr;
};
