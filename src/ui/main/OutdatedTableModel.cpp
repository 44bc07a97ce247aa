#include "ui/main/OutdatedTableModel.h"

#include "ui/Colors.h"
#include "ui/Fonts.h"
#include "ui/Symbols.h"

using namespace Qt::StringLiterals;

OutdatedTableModel::OutdatedTableModel(QObject *parent)
    : PackageTableModel({ QString(), u"Name"_s, u"Type"_s, u"Installed"_s, u"Available"_s }, parent)
    , m_pinIcon(Symbols::icon(u"pin.fill"_s, Colors::orange()))
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
        if (!package.pinned)
            return {};
        if (role == Qt::DecorationRole)
            return m_pinIcon;
        if (role == Qt::ToolTipRole || role == Qt::AccessibleTextRole)
            return u"Pinned: “Upgrade all” leaves it out"_s;
        return {};
    case nameColumn:
        if (role == Qt::DisplayRole)
            return package.name;
        if (role == Qt::FontRole)
            return Fonts::font(Fonts::Style::body, QFont::Medium);
        return {};
    case typeColumn:
        if (role == Qt::DisplayRole)
            return kindText(package.kind);
        if (role == Qt::ForegroundRole)
            return Colors::secondary();
        return {};
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
