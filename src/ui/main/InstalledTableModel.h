#pragma once

#include "brew/InstalledPackage.h"
#include "ui/main/PackageTableModel.h"

#include <QList>

// The rows of the Installed table: a pin mark, name, type, installed version, why it is there
// (asked for or pulled in as a dependency), whether an update waits, and when it was installed.
class InstalledTableModel : public PackageTableModel {
    Q_OBJECT

public:
    enum Column {
        pinColumn,
        nameColumn,
        typeColumn,
        versionColumn,
        reasonColumn,
        statusColumn,
        dateColumn,
        columnCount_
    };

    // QString: the package id ("formula:wget").
    static constexpr int idRole = Qt::UserRole;

    explicit InstalledTableModel(QObject *parent = nullptr);

    void setPackages(const QList<InstalledPackage> &packages);
    const QList<InstalledPackage> &packages() const { return m_packages; }
    // The row showing `id`, or -1.
    int rowOf(const QString &id) const;

    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

    // "On request" or "Dependency".
    static QString reasonText(const InstalledPackage &package);

private:
    int shownRowCount() const override { return int(m_packages.size()); }

    QList<InstalledPackage> m_packages;
};
