#include "ui/main/InstalledTableModel.h"

#include "ui/Colors.h"
#include "ui/Fonts.h"
#include "ui/Symbols.h"

#include <QLocale>

using namespace Qt::StringLiterals;

InstalledTableModel::InstalledTableModel(QObject *parent)
    : PackageTableModel(
        { QString(), u"Name"_s, u"Type"_s, u"Version"_s, u"Installed as"_s, u"Status"_s, u"Installed"_s }, parent)
    , m_pinIcon(Symbols::icon(u"pin.fill"_s, Colors::orange()))
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
        if (!package.pinned)
            return {};
        if (role == Qt::DecorationRole)
            return m_pinIcon;
        if (role == Qt::ToolTipRole || role == Qt::AccessibleTextRole)
            return u"Pinned: upgrades leave it at its version"_s;
        return {};
    case nameColumn:
        if (role == Qt::DisplayRole)
            return package.name;
        if (role == Qt::ToolTipRole && package.displayName != package.name)
            return package.displayName;
        if (role == Qt::FontRole)
            return Fonts::font(Fonts::Style::body, QFont::Medium);
        return {};
    case typeColumn:
        if (role == Qt::DisplayRole)
            return kindText(package.kind);
        if (role == Qt::ForegroundRole)
            return Colors::secondary();
        return {};
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
