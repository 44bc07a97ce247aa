#include "ui/main/OutdatedTableModel.h"

#include "ui/Colors.h"
#include "ui/Fonts.h"

using namespace Qt::StringLiterals;

OutdatedTableModel::OutdatedTableModel(QObject *parent)
    : PackageTableModel({ QString(), u"Name"_s, u"Type"_s, u"Installed"_s, u"Available"_s }, parent)
{
}

void OutdatedTableModel::setPackages(const QList<OutdatedPackage> &packages)
{
    beginResetModel();
    m_packages = packages;
    endResetModel();
}

QVariant OutdatedTableModel::data(const QModelIndex &index, int role) const
{
    if (!isShown(index))
        return {};
    const OutdatedPackage &package = m_packages.at(index.row());
    if (role == idRole)
        return package.id();
    switch (index.column()) {
    case pinColumn:
        return pinCell(package.pinned, role, u"Pinned: “Upgrade all” leaves it out"_s);
    case nameColumn:
        return nameCell(package.name, role);
    case typeColumn:
        return kindCell(package.kind, role);
    case installedColumn:
        if (role == Qt::DisplayRole || role == Qt::ToolTipRole)
            return package.installed;
        if (role == Qt::ForegroundRole)
            return Colors::secondary();
        return {};
    case availableColumn:
        if (role == Qt::DisplayRole || role == Qt::ToolTipRole)
            return package.current;
        if (role == Qt::ForegroundRole)
            return Colors::green();
        return {};
    default:
        return {};
    }
}
