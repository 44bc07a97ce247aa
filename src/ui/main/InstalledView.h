#pragma once

#include "brew/CatalogFilter.h"
#include "brew/InstalledPackage.h"

#include <QList>
#include <QPointer>
#include <QSet>
#include <QWidget>

#include <optional>

class BrewStore;
class EmptyStateView;
class InstalledTableModel;
class PackageInspector;
class QButtonGroup;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSplitter;
class QStackedWidget;
class QTableView;
class QToolButton;

// The Installed screen: every formula and cask on this Mac with its version, why it is there,
// its pin and whether an update waits; filters by type, by "asked for", and by search; and the
// commands that remove, reinstall, pin and clean up. The list is the store's; the screen keeps
// its filters, the selected rows and the focus, and starts afresh each time it is shown.
class InstalledView : public QWidget {
    Q_OBJECT

public:
    using KindFilter = CatalogFilter::KindFilter;

    explicit InstalledView(BrewStore *store, QWidget *parent = nullptr);
    ~InstalledView() override;

    // The installed packages behind the selected rows, in table order.
    QList<InstalledPackage> selectedPackages() const;

    // Asks before removing the selection (or the given packages) in a sheet.
    void confirmUninstall(const QList<InstalledPackage> &packages);
    void openCleanup();

private:
    QWidget *makeToolbar();
    QWidget *makeBottomBar();

    void recomputeRows();
    void refreshEnabled();
    void refreshInspector();
    void refreshColors();
    void syncTableSelection();
    void tableSelectionChanged();
    void reinstallSelected();
    void togglePinSelected();

    QPointer<BrewStore> m_store;
    CatalogFilter::Filter m_filter;
    bool m_onRequestOnly = false;
    QSet<QString> m_selection;
    bool m_syncingSelection = false;

    QButtonGroup *m_kindGroup = nullptr;
    QCheckBox *m_onRequest = nullptr;
    QLineEdit *m_search = nullptr;
    QToolButton *m_reinstall = nullptr;
    QToolButton *m_pin = nullptr;
    QToolButton *m_cleanup = nullptr;
    QPushButton *m_uninstall = nullptr;
    QSplitter *m_splitter = nullptr;
    QStackedWidget *m_content = nullptr;
    QTableView *m_table = nullptr;
    InstalledTableModel *m_model = nullptr;
    EmptyStateView *m_empty = nullptr;
    QLabel *m_rowCount = nullptr;
    QLabel *m_pill = nullptr;
    QPushButton *m_clearSelection = nullptr;
    PackageInspector *m_inspector = nullptr;
};
