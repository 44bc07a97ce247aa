#include "ui/main/PackageTableModel.h"

#include "ui/Colors.h"
#include "ui/Fonts.h"
#include "ui/Symbols.h"

using namespace Qt::StringLiterals;

PackageTableModel::PackageTableModel(QStringList columnTitles, QObject *parent)
    : QAbstractTableModel(parent)
    , m_columnTitles(std::move(columnTitles))
    , m_pinIcon(Symbols::icon(u"pin.fill"_s, Colors::orange()))
{
}

QVariant PackageTableModel::pinCell(bool pinned, int role, const QString &tooltip) const
{
    if (!pinned)
        return {};
    if (role == Qt::DecorationRole)
        return m_pinIcon;
    if (role == Qt::ToolTipRole || role == Qt::AccessibleTextRole)
        return tooltip;
    return {};
}

QVariant PackageTableModel::nameCell(const QString &name, int role)
{
    if (role == Qt::DisplayRole)
        return name;
    if (role == Qt::FontRole)
        return Fonts::font(Fonts::Style::body, QFont::Medium);
    return {};
}

QVariant PackageTableModel::kindCell(PackageKind kind, int role)
{
    if (role == Qt::DisplayRole)
        return kindText(kind);
    if (role == Qt::ForegroundRole)
        return Colors::secondary();
    return {};
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
