#include "ui/main/InstalledTableModel.h"

#include "ui/Colors.h"
#include "ui/Fonts.h"

#include <QLocale>

using namespace Qt::StringLiterals;

InstalledTableModel::InstalledTableModel(QObject *parent)
    : PackageTableModel(
        { QString(), u"Name"_s, u"Type"_s, u"Version"_s, u"Installed as"_s, u"Status"_s, u"Installed"_s }, parent)
{
}

void InstalledTableModel::setPackages(const QList<InstalledPackage> &packages)
{
    beginResetModel();
    m_packages = packages;
    endResetModel();
}

int InstalledTableModel::rowOf(const QString &id) const
{
    for (qsizetype row = 0; row < m_packages.size(); ++row)
        if (m_packages.at(row).id() == id)
            return int(row);
    return -1;
}

QString InstalledTableModel::reasonText(const InstalledPackage &package)
{
    return package.onRequest ? u"On request"_s : u"Dependency"_s;
}

QVariant InstalledTableModel::data(const QModelIndex &index, int role) const
{
    if (!isShown(index))
        return {};
    const InstalledPackage &package = m_packages.at(index.row());
    if (role == idRole)
        return package.id();
    switch (index.column()) {
    case pinColumn:
        return pinCell(package.pinned, role, u"Pinned: upgrades leave it at its version"_s);
    case nameColumn:
        if (role == Qt::ToolTipRole && package.displayName != package.name)
            return package.displayName;
        return nameCell(package.name, role);
    case typeColumn:
        return kindCell(package.kind, role);
    case versionColumn:
        if (role == Qt::DisplayRole)
            return package.version;
        if (role == Qt::ToolTipRole && package.installedVersions.size() > 1)
            return u"Kept versions: "_s + package.installedVersions.join(u", "_s);
        if (role == Qt::ForegroundRole)
            return Colors::secondary();
        return {};
    case reasonColumn:
        if (role == Qt::DisplayRole)
            return reasonText(package);
        if (role == Qt::ForegroundRole)
            return Colors::secondary();
        return {};
    case statusColumn:
        if (!package.outdated)
            return {};
        if (role == Qt::DisplayRole)
            return package.latestVersion.isEmpty() ? u"Update available"_s : u"Update "_s + package.latestVersion;
        if (role == Qt::ForegroundRole)
            return Colors::orange();
        return {};
    case dateColumn:
        if (!package.installedTime)
            return {};
        if (role == Qt::DisplayRole)
            return QLocale().toString(package.installedTime->date(), QLocale::ShortFormat);
        if (role == Qt::ToolTipRole)
            return QLocale().toString(*package.installedTime, QLocale::LongFormat);
        if (role == Qt::ForegroundRole)
            return Colors::secondary();
        return {};
    default:
        return {};
    }
}
