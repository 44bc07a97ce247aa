#pragma once

#include "brew/ServiceFormats.h"

#include <QCoro/QCoroTask>
#include <QPointer>
#include <QStringList>
#include <QWidget>

#include <optional>

class BrewStore;
class EmptyStateView;
class QLabel;
class QPushButton;
class QStackedWidget;
class QTableView;
class QToolButton;
class ServicesTableModel;

// The Services screen: the background services of installed formulae, their state, and
// commands to start, stop, restart or run them once. The focused row's details show beside the
// list. All work is the store's; the screen reads the list afresh each time it is shown.
class ServicesView : public QWidget {
    Q_OBJECT

public:
    explicit ServicesView(BrewStore *store, QWidget *parent = nullptr);
    ~ServicesView() override;

    ServicesTableModel *model() const { return m_model; }
    QTableView *table() const { return m_table; }
    // Names of the selected rows, in the list's order.
    QStringList selectedNames() const;
    // The row whose details are shown; none when no row is focused.
    std::optional<ServiceEntry> focused() const;

private:
    QWidget *makeToolbar();
    QWidget *makeDetails();
    QToolButton *actionButton(
        const QString &text, const QString &symbol, const QString &objectName, const QString &toolTip, int action);

    void refreshList();
    void refreshEnabled();
    void refreshDetails();
    QCoro::Task<> loadDetails(QString name);
    void showDetails(const ServiceEntry &entry, const std::optional<ServiceDetails> &details);

    QPointer<BrewStore> m_store;
    QList<QToolButton *> m_actions;
    QToolButton *m_start = nullptr;
    QToolButton *m_stop = nullptr;
    QToolButton *m_restart = nullptr;
    QToolButton *m_runOnce = nullptr;
    QToolButton *m_refresh = nullptr;
    QLabel *m_banner = nullptr;
    QStackedWidget *m_content = nullptr;
    QWidget *m_listPage = nullptr;
    QTableView *m_table = nullptr;
    ServicesTableModel *m_model = nullptr;
    EmptyStateView *m_loading = nullptr;
    EmptyStateView *m_empty = nullptr;
    EmptyStateView *m_error = nullptr;

    QWidget *m_details = nullptr;
    QLabel *m_detailTitle = nullptr;
    QLabel *m_detailFields = nullptr;
    QLabel *m_readOnly = nullptr;
    QPushButton *m_openLog = nullptr;
    QPushButton *m_openErrorLog = nullptr;
    std::optional<ServiceDetails> m_shownDetails;
    QString m_detailsFor;
};
