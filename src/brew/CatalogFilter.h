#pragma once

#include "brew/Package.h"

#include <QList>
#include <QSet>
#include <QString>
#include <QStringView>

#include <span>
#include <vector>

// The rows of the Packages screen: which catalog entries a search and the two filters keep, and
// in which order. Pure, so it can be tested without a window and timed on its own.
namespace CatalogFilter {

enum class KindFilter { all, formula, cask };
enum class StatusFilter { all, installed, notInstalled, selected };

// The raw value of each case, which is also its label: "All", "Formulae", "Casks".
QString toString(KindFilter kind);
// "Any status", "Installed", "Not installed", "Selected".
QString toString(StatusFilter status);
QList<KindFilter> allKindFilters();
QList<StatusFilter> allStatusFilters();

struct Filter {
    QString query;
    KindFilter kind = KindFilter::all;
    StatusFilter status = StatusFilter::all;

    bool operator==(const Filter &) const = default;
};

// What the filter reads besides the catalog: the store's installed sets and ticked ids.
struct PackageState {
    const QSet<QString> &installedFormulae;
    const QSet<QString> &installedCasks;
    const QSet<QString> &selectedIDs;

    bool isInstalled(const Package &package) const;
};

// The search text as it is matched: trimmed, then lower-cased. Blank means "no search".
QString normalizedQuery(QStringView query);

// One catalog prepared for searching as the user types: all search keys in one block of text,
// plus, for every character and every pair of adjacent characters, the rows whose key holds it
// and the rows whose name does. A one- or two-letter search is then such a list as it stands; a
// longer one reads only the keys that hold its two rarest pairs and whose signature (a bit for
// each run of three characters) allows it. Built once per catalog (about 20 ms and 5 MB for
// 15,000 packages); keeps a shared copy of it. When the keys already share one block in catalog
// order (as decoded catalogs have them) the index uses that block instead of a copy.
class Index {
public:
    Index() = default;
    explicit Index(const QList<Package> &catalog);

    const QList<Package> &catalog() const { return m_catalog; }
    // Whether this index was built from exactly this catalog (the same shared list).
    bool isFor(const QList<Package> &catalog) const;

    // Positions in the catalog of the packages to show. Packages whose name contains the search
    // come first, then those found only through the rest of their search key; each group keeps
    // catalog order. Remembers the last few searches (not safe to call from two threads at once).
    QList<qsizetype> rows(const Filter &filter, const PackageState &state) const;
    // Whether each catalog package is installed (1) or not (0), by position, for these sets;
    // worked out again only when a set changed.
    const QList<quint8> &installedRows(const PackageState &state) const;

private:
    // A recent search and the rows whose keys contain it, in catalog order, of every kind and status.
    struct Recent {
        QString query;
        QList<qint32> rows;
    };

    // Which rows the kind and status filters keep, settled once per call of rows().
    struct Keep {
        const quint8 *kinds = nullptr;
        int kind = -1; // a PackageKind, or -1 for both
        const quint8 *status = nullptr; // per row: installed, or ticked; null when any status goes
        bool wanted = true;

        bool operator()(qsizetype row) const
        {
            return (kind < 0 || kinds[row] == kind) && (!status || bool(status[row]) == wanted);
        }
        bool everyRow() const { return kind < 0 && !status; }
    };

    Keep keep(const Filter &filter, const PackageState &state) const;
    void buildLists();
    QStringView key(qsizetype row) const;
    // A list of rows by its number: a character class, or a pair of classes after those.
    std::span<const qint32> characterRows(int list) const;
    std::span<const qint32> pairRows(int first, int second) const;
    // The rows, in catalog order, whose keys contain q (neither blank nor holding a NUL).
    std::span<const qint32> keysContaining(const QString &q) const;
    // The rows whose names may contain q, in catalog order; exactly those when `exact`.
    struct NameRows {
        std::span<const qint32> rows;
        bool exact = false;
    };
    NameRows namesMaybeContaining(const QString &q) const;

    QList<Package> m_catalog;
    // The search keys, each followed by a NUL; a search never contains one, so a match never
    // spans two packages. Often the catalog's own block of keys rather than a copy.
    QString m_text;
    // Where each key starts in m_text, plus one past the end.
    QList<qsizetype> m_starts;
    // Length of the lower-cased name at the start of each key, or -1 when the key does not start
    // with it (a hand-edited cache) and the name has to be looked at itself.
    QList<qsizetype> m_nameLengths;
    // The rows whose key holds each character class, then those holding each pair of classes,
    // then the same for the names alone; in catalog order: list i is
    // m_rows[m_listStarts[i], m_listStarts[i + 1]).
    QList<qint32> m_listStarts;
    QList<qint32> m_rows;
    // 256 bits per key, one for each run of three characters it holds (hashed).
    QList<quint64> m_signatures;
    // Typing a search one letter at a time: each search contains the one before, so it only
    // looks through that one's rows; a backspace finds its search here as it was.
    mutable QList<Recent> m_recent;
    // The rows found through the rest of their keys, gathered while the name matches are.
    mutable std::vector<qint32> m_others;
    // Rows to look through, and those found, while a search is checked key by key.
    mutable std::vector<qint32> m_scratch;
    // Each row's PackageKind.
    QList<quint8> m_kinds;
    // Whether each row is installed, and whether it is ticked, for the sets kept beside them:
    // copies that share the store's sets, so an unchanged set is recognised at once and a
    // changed one (which then no longer shares) has its rows looked up again.
    mutable QSet<QString> m_installedFormulae;
    mutable QSet<QString> m_installedCasks;
    mutable QList<quint8> m_installedRows;
    mutable QSet<QString> m_selectedIDs;
    mutable QList<quint8> m_selectedRows;
};

// The same computation without a prepared index.
QList<qsizetype> rows(const QList<Package> &catalog, const Filter &filter, const PackageState &state);

} // namespace CatalogFilter
