#include "ui/main/PackageTableModel.h"

using namespace Qt::StringLiterals;

PackageTableModel::PackageTableModel(QStringList columnTitles, QObject *parent)
    : QAbstractTableModel(parent)
    , m_columnTitles(std::move(columnTitles))
{
}

QString PackageTableModel::kindText(PackageKind kind)
{
    return kind == PackageKind::cask ? u"Cask"_s : u"Formula"_s;
}

bool PackageTableModel::isShown(const QModelIndex &index) const
{
    return index.isValid() && index.model() == this && !index.parent().isValid() && index.row() < shownRowCount()
        && index.column() < m_columnTitles.size();
}

int PackageTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : shownRowCount();
}

int PackageTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_columnTitles.size());
}

Qt::ItemFlags PackageTableModel::flags(const QModelIndex &index) const
{
    if (!isShown(index))
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

QVariant PackageTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= m_columnTitles.size())
        return {};
    return m_columnTitles.at(section);
}
