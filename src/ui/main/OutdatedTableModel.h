#pragma once

#include "brew/Package.h"

#include <QAbstractTableModel>
#include <QList>

// The outdated packages as the Updates table shows them: name, type, installed and available
// version.
class OutdatedTableModel : public QAbstractTableModel {
    Q_OBJECT

public:
    enum Column { nameColumn, typeColumn, installedColumn, availableColumn, columnCount_ };

    // QString: the package id ("cask:iterm2").
    static constexpr int idRole = Qt::UserRole;

    explicit OutdatedTableModel(QObject *parent = nullptr);

    void setPackages(const QList<OutdatedPackage> &packages);
    const QList<OutdatedPackage> &packages() const { return m_packages; }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    bool isShown(const QModelIndex &index) const;

    QList<OutdatedPackage> m_packages;
};
