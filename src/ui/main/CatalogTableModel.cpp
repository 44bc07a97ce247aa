#include "ui/main/CatalogTableModel.h"

#include "brew/BrewStore.h"
#include "ui/Colors.h"
#include "ui/Fonts.h"
#include "ui/Symbols.h"

#include <QFont>

using namespace Qt::StringLiterals;

CatalogTableModel::CatalogTableModel(BrewStore *store, QObject *parent)
    : PackageTableModel({ QString(), u"Name"_s, u"Type"_s, u"Version"_s, u"Description"_s, QString() }, parent)
    , m_store(store)
    , m_installedIcon(Symbols::icon(u"checkmark.circle.fill"_s, Colors::green()))
    , m_homepageIcon(Symbols::icon(u"safari"_s, Colors::blue()))
    , m_nameFont(Fonts::font(Fonts::Style::body, QFont::Medium))
{
}

void CatalogTableModel::setRows(const QList<Package> &catalog, const QList<qsizetype> &rows)
{
    if (!catalog.isSharedWith(m_catalog)) {
        beginResetModel();
        m_catalog = catalog;
        m_rows = rows;
        m_homepageUsable.fill(unknown, catalog.size());
        endResetModel();
        return;
    }
    // The same catalog, another search: rows are added or removed at the end, and the places that
    // now show another package are reported as one changed range, so a view repaints only those.
    const qsizetype shown = m_rows.size();
    if (rows.size() < shown) {
        beginRemoveRows(QModelIndex(), int(rows.size()), int(shown - 1));
        m_rows.resize(rows.size());
        endRemoveRows();
    } else if (rows.size() > shown) {
        beginInsertRows(QModelIndex(), int(shown), int(rows.size() - 1));
        m_rows.append(rows.sliced(shown));
        endInsertRows();
    }
    const qsizetype kept = std::min(shown, rows.size());
    qsizetype first = 0;
    while (first < kept && m_rows.at(first) == rows.at(first))
        ++first;
    qsizetype last = kept;
    while (last > first && m_rows.at(last - 1) == rows.at(last - 1))
        --last;
    m_rows = rows;
    if (first < last)
        Q_EMIT dataChanged(index(int(first), 0), index(int(last - 1), columnCount() - 1));
}

const Package &CatalogTableModel::packageAt(int row) const
{
    return m_catalog.at(m_rows.at(row));
}

int CatalogTableModel::rowOf(const QString &id) const
{
    const qsizetype colon = id.indexOf(u':');
    if (colon < 0)
        return -1;
    const std::optional<PackageKind> kind = packageKindFromString(QStringView(id).left(colon));
    if (!kind)
        return -1;
    const QStringView name = QStringView(id).mid(colon + 1);
    for (qsizetype row = 0; row < m_rows.size(); ++row) {
        const Package &package = m_catalog.at(m_rows.at(row));
        if (package.kind == *kind && package.name == name)
            return int(row);
    }
    return -1;
}

void CatalogTableModel::refreshTicks()
{
    if (!m_rows.isEmpty())
        Q_EMIT dataChanged(index(0, tickColumn), index(rowCount() - 1, tickColumn));
}

bool CatalogTableModel::hasHomepageUrl(int row) const
{
    qint8 &usable = m_homepageUsable[m_rows.at(row)];
    if (usable == unknown)
        usable = homepageUrl(packageAt(row).homepage) ? yes : no;
    return usable == yes;
}

std::optional<QUrl> CatalogTableModel::homepageUrl(const QString &homepage)
{
    if (homepage.trimmed().isEmpty())
        return std::nullopt;
    const QUrl url(homepage, QUrl::StrictMode);
    // Only an absolute address can be opened; "example" alone would be a relative path.
    if (!url.isValid() || url.isRelative() || url.scheme().isEmpty())
        return std::nullopt;
    if ((url.scheme() == u"http"_s || url.scheme() == u"https"_s) && url.host().isEmpty())
        return std::nullopt;
    return url;
}

QVariant CatalogTableModel::data(const QModelIndex &index, int role) const
{
    if (!isShown(index))
        return {};
    const Package &package = packageAt(index.row());
    if (role == idRole)
        return package.id();
    if (role == deprecatedRole)
        return package.deprecated;

    switch (index.column()) {
    case tickColumn: {
        const bool installed = m_store && m_store->isInstalled(package);
        if (role == installedRole)
            return installed;
        if (installed) {
            if (role == Qt::DecorationRole)
                return m_installedIcon;
            if (role == Qt::ToolTipRole)
                return u"Already installed"_s;
            if (role == Qt::AccessibleTextRole)
                return u"Already installed"_s;
            return {};
        }
        if (role == Qt::CheckStateRole)
            return m_store && m_store->selectedIDs().contains(package.id()) ? Qt::Checked : Qt::Unchecked;
        if (role == Qt::AccessibleTextRole)
            return u"Select "_s + package.name;
        return {};
    }
    case nameColumn:
        if (role == Qt::DisplayRole)
            return package.name;
        if (role == Qt::FontRole)
            return m_nameFont;
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
        if (role == Qt::ForegroundRole)
            return Colors::secondary();
        return {};
    case descriptionColumn:
        if (role == Qt::DisplayRole || role == Qt::ToolTipRole)
            return package.desc;
        return {};
    case homepageColumn: {
        if (role != Qt::DecorationRole && role != Qt::ToolTipRole && role != homepageRole
            && role != Qt::AccessibleTextRole)
            return {};
        if (role == Qt::DecorationRole)
            return hasHomepageUrl(index.row()) ? QVariant(m_homepageIcon) : QVariant();
        const std::optional<QUrl> url = homepageUrl(package.homepage);
        if (!url)
            return {};
        if (role == Qt::ToolTipRole)
            return package.homepage;
        if (role == Qt::AccessibleTextRole)
            return u"Homepage "_s + package.homepage;
        return *url;
    }
    default:
        return {};
    }
}

bool CatalogTableModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (role != Qt::CheckStateRole || !m_store || index.column() != tickColumn || !isShown(index))
        return false;
    const Package &package = packageAt(index.row());
    if (m_store->isInstalled(package))
        return false;
    // Copied first: with the "Selected" filter the store's signal recomputes the rows at once.
    const QString id = package.id();
    m_store->setSelected(id, value.value<Qt::CheckState>() == Qt::Checked);
    return true;
}

Qt::ItemFlags CatalogTableModel::flags(const QModelIndex &index) const
{
    if (!isShown(index))
        return Qt::NoItemFlags;
    Qt::ItemFlags flags = PackageTableModel::flags(index);
    if (index.column() == tickColumn && !(m_store && m_store->isInstalled(packageAt(index.row()))))
        flags |= Qt::ItemIsUserCheckable;
    return flags;
}
