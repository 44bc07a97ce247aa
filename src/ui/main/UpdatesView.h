#pragma once

#include "brew/Package.h"

#include <QList>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QWidget>

class BrewStore;
class EmptyStateView;
class OutdatedTableModel;
class QCheckBox;
class QLabel;
class QPushButton;
class QStackedWidget;
class QTableView;
class QToolButton;

// The Updates screen: Homebrew's own version and update, the option to include casks that
// update themselves, and the outdated packages with commands to upgrade some or all of them.
// All work is the store's; the screen keeps only which rows are selected, and starts afresh
// each time it is shown.
class UpdatesView : public QWidget {
    Q_OBJECT

public:
    explicit UpdatesView(BrewStore *store, QWidget *parent = nullptr);
    ~UpdatesView() override;

    // The outdated entries whose ids are selected, in the list's order. Ids of packages that
    // are no longer outdated may stay selected; they select nothing and are never upgraded.
    QList<OutdatedPackage> selectedOutdated() const;

protected:
    void changeEvent(QEvent *event) override;

private:
    QWidget *makeToolbar();
    QWidget *makeHomebrewRow();

    void refreshOutdated();
    void refreshHeader();
    void refreshEnabled();
    void refreshColors();
    void syncTableSelection();
    void tableSelectionChanged();

    QPointer<BrewStore> m_store;
    QSet<QString> m_selection;
    bool m_syncingSelection = false;

    QToolButton *m_check = nullptr;
    QToolButton *m_upgradeSelected = nullptr;
    QPushButton *m_upgradeAll = nullptr;
    QLabel *m_pinnedNote = nullptr;
    QWidget *m_homebrewRow = nullptr;
    QLabel *m_symbol = nullptr;
    QLabel *m_version = nullptr;
    QLabel *m_status = nullptr;
    QCheckBox *m_selfUpdating = nullptr;
    QPushButton *m_updateHomebrew = nullptr;
    QStackedWidget *m_content = nullptr;
    QTableView *m_table = nullptr;
    OutdatedTableModel *m_model = nullptr;
    EmptyStateView *m_empty = nullptr;
};
