#pragma once

#include "brew/Package.h"
#include "ui/main/PackageTableModel.h"

#include <QList>

// The outdated packages as the Updates table shows them: a pin mark, name, type, installed and
// available version.
class OutdatedTableModel : public PackageTableModel {
    Q_OBJECT

public:
    enum Column { pinColumn, nameColumn, typeColumn, installedColumn, availableColumn, columnCount_ };

    // QString: the package id ("cask:iterm2").
    static constexpr int idRole = Qt::UserRole;

    explicit OutdatedTableModel(QObject *parent = nullptr);

    void setPackages(const QList<OutdatedPackage> &packages);
    const QList<OutdatedPackage> &packages() const { return m_packages; }

    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

private:
    int shownRowCount() const override { return int(m_packages.size()); }

    QList<OutdatedPackage> m_packages;
};
