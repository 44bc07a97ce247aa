#include "ui/main/OutdatedTableModel.h"

#include "ui/Colors.h"
#include "ui/Fonts.h"

using namespace Qt::StringLiterals;

OutdatedTableModel::OutdatedTableModel(QObject *parent)
    : QAbstractTableModel(parent)
{
}

void OutdatedTableModel::setPackages(const QList<OutdatedPackage> &packages)
{
    beginResetModel();
    m_packages = packages;
    endResetModel();
}

bool OutdatedTableModel::isShown(const QModelIndex &index) const
{
    return index.isValid() && index.model() == this && !index.parent().isValid() && index.row() < m_packages.size()
        && index.column() < columnCount_;
}

int OutdatedTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_packages.size());
}

int OutdatedTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : columnCount_;
}

QVariant OutdatedTableModel::data(const QModelIndex &index, int role) const
{
    if (!isShown(index))
        return {};
    const OutdatedPackage &package = m_packages.at(index.row());
    if (role == idRole)
        return package.id();
    switch (index.column()) {
    case nameColumn:
        if (role == Qt::DisplayRole)
            return package.name;
        if (role == Qt::FontRole)
            return Fonts::font(Fonts::Style::body, QFont::Medium);
        return {};
    case typeColumn:
        if (role == Qt::DisplayRole)
            return package.kind == PackageKind::cask ? u"Cask"_s : u"Formula"_s;
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

Qt::ItemFlags OutdatedTableModel::flags(const QModelIndex &index) const
{
    if (!isShown(index))
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

QVariant OutdatedTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
    case nameColumn:
        return u"Name"_s;
    case typeColumn:
        return u"Type"_s;
    case installedColumn:
        return u"Installed"_s;
    case availableColumn:
        return u"Available"_s;
    default:
        return {};
    }
}
