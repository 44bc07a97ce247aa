#include "brew/PackageIndex.h"

PackageIndex::PackageIndex(const QList<Package> &catalog)
    : m_catalog(catalog)
{
    m_rows.reserve(catalog.size());
    // Backwards, so that of two entries with one id the first is the one kept.
    for (qsizetype row = m_catalog.size() - 1; row >= 0; --row) {
        const Package &package = m_catalog.at(row);
        m_rows.insert(Key{ package.kind, package.name }, qint32(row));
    }
}

const Package *PackageIndex::find(QStringView id) const
{
    const qsizetype colon = id.indexOf(u':');
    if (colon < 0)
        return nullptr;
    const std::optional<PackageKind> kind = packageKindFromString(id.left(colon));
    if (!kind)
        return nullptr;
    const auto found = m_rows.constFind(Key{ *kind, id.sliced(colon + 1) });
    return found == m_rows.cend() ? nullptr : &m_catalog.at(*found);
}

Package PackageIndex::value(QStringView id) const
{
    const Package *package = find(id);
    return package ? *package : Package();
}
