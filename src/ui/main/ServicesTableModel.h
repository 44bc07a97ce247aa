#pragma once

#include "brew/ServiceFormats.h"

#include <QAbstractTableModel>
#include <QList>

// The services as the Services table shows them: name, status with a coloured mark, the owner,
// and the exit code when the last run failed.
class ServicesTableModel : public QAbstractTableModel {
    Q_OBJECT

public:
    enum Column { nameColumn, statusColumn, userColumn, exitCodeColumn, columnCount_ };

    // QString: the service (formula) name.
    static constexpr int nameRole = Qt::UserRole;

    explicit ServicesTableModel(QObject *parent = nullptr);

    void setServices(const QList<ServiceEntry> &services);
    const QList<ServiceEntry> &services() const { return m_services; }

    // The colour of a status's mark; unknown values get the neutral one.
    static QColor statusColor(const QString &status);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    QList<ServiceEntry> m_services;
};
