#pragma once

#include "brew/CatalogFilter.h"
#include "brew/Package.h"

#include <QList>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <optional>

class BrewStore;
class BusyIndicator;
class CatalogTableModel;
class CatalogTableView;
class EmptyStateView;
class PackageInspector;
class QButtonGroup;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSplitter;
class QStackedWidget;
class QTableView;
class QToolButton;

// The Packages screen: the whole catalog as a searchable, filterable table with tick boxes for a
// bulk install, the counts and selection commands under it, and the focused package in an
// inspector beside it. The catalog, installed sets and ticks belong to the store; this screen
// only keeps its filters, the computed rows and the focus, and starts afresh each time it is
// shown.
class CatalogView : public QWidget {
    Q_OBJECT

public:
    using KindFilter = CatalogFilter::KindFilter;
    using StatusFilter = CatalogFilter::StatusFilter;

    // "Select all shown" ticks at most this many packages, and never only part of them.
    static constexpr qsizetype selectAllLimit = 500;

    explicit CatalogView(BrewStore *store, QWidget *parent = nullptr);
    ~CatalogView() override;

    QString query() const { return m_filter.query; }
    void setQuery(const QString &query);
    KindFilter kind() const { return m_filter.kind; }
    void setKind(KindFilter kind);
    StatusFilter status() const { return m_filter.status; }
    void setStatus(StatusFilter status);

    std::optional<QString> focusedID() const { return m_focusedID; }
    void setFocusedID(const std::optional<QString> &id);
    std::optional<Package> focusedPackage() const;

    // Ticked packages that exist in the catalog and are not installed, in the selection's order.
    QList<Package> selectedNotInstalled() const;
    // Shown packages that are not installed, in row order.
    QList<Package> shownNotInstalled() const;

Q_SIGNALS:
    // The rows were computed again.
    void rowsChanged();
    void focusedIDChanged();

protected:
    void changeEvent(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *makeToolbar();
    QWidget *makeTablePage();
    QWidget *makeBottomBar();
    void fitColumns();

    // `fromFilter`: the user changed what to look for, so the table starts at the top again.
    void recomputeRows(bool fromFilter);
    void refreshContent();
    void refreshRowCounts();
    void refreshSelection();
    void refreshLoading();
    void refreshDate();
    void refreshInspector();
    void fixRowCountSize();
    void refreshColors();
    void syncTableSelection();
    void tableSelectionChanged();
    void installSelected();
    void selectAllShown();

    QPointer<BrewStore> m_store;
    CatalogFilter::Filter m_filter;
    // The store's catalog prepared for searching; rebuilt only when the store replaces it.
    CatalogFilter::Index m_index;
    // Positions in m_index.catalog().
    QList<qsizetype> m_rows;
    std::optional<QString> m_focusedID;
    bool m_syncingSelection = false;

    QButtonGroup *m_kindGroup = nullptr;
    QComboBox *m_statusPicker = nullptr;
    QToolButton *m_refresh = nullptr;
    QLineEdit *m_search = nullptr;
    QPushButton *m_install = nullptr;
    QSplitter *m_splitter = nullptr;
    QStackedWidget *m_content = nullptr;
    QWidget *m_downloading = nullptr;
    EmptyStateView *m_error = nullptr;
    QWidget *m_tablePage = nullptr;
    CatalogTableView *m_table = nullptr;
    CatalogTableModel *m_model = nullptr;
    QLabel *m_rowCount = nullptr;
    QLabel *m_pill = nullptr;
    QPushButton *m_selectAll = nullptr;
    QPushButton *m_clearSelection = nullptr;
    BusyIndicator *m_loading = nullptr;
    QLabel *m_updated = nullptr;
    PackageInspector *m_inspector = nullptr;
    // Keeps "Catalog updated 5 minutes ago" current.
    QTimer m_clock;
};
