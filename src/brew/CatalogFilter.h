#pragma once

#include "brew/Package.h"

#include <QList>
#include <QSet>
#include <QString>
#include <QStringView>

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

// Positions in `catalog` of the packages to show. Packages whose name contains the search come
// first, then those found only through the rest of their search key; each group keeps catalog
// order. One pass, one substring test against the prepared search key per package.
QList<qsizetype> rows(const QList<Package> &catalog, const Filter &filter, const PackageState &state);

} // namespace CatalogFilter
