#pragma once

#include "brew/Package.h"

#include <QHash>
#include <QList>
#include <QStringView>

// Finds catalog entries by id ("formula:wget") without a second copy of them: the position of
// each package in the catalog, keyed by its kind and a view of the name the catalog itself holds.
// Keeps a shared reference to the catalog list, which is what keeps those views valid.
class PackageIndex {
public:
    PackageIndex() = default;
    explicit PackageIndex(const QList<Package> &catalog);

    // Null when no package has this id. The documents never repeat an id; if one did, the first wins.
    const Package *find(QStringView id) const;
    bool contains(QStringView id) const { return find(id) != nullptr; }
    // A default Package when no package has this id.
    Package value(QStringView id) const;
    qsizetype size() const { return m_rows.size(); }

private:
    struct Key {
        PackageKind kind = PackageKind::formula;
        QStringView name;

        friend bool operator==(const Key &a, const Key &b) noexcept { return a.kind == b.kind && a.name == b.name; }
        friend size_t qHash(const Key &key, size_t seed = 0) noexcept { return qHashMulti(seed, key.kind, key.name); }
    };

    QList<Package> m_catalog;
    QHash<Key, qint32> m_rows;
};
