#include "brew/CatalogFilter.h"

using namespace Qt::StringLiterals;

namespace CatalogFilter {

QString toString(KindFilter kind)
{
    switch (kind) {
    case KindFilter::all:
        return u"All"_s;
    case KindFilter::formula:
        return u"Formulae"_s;
    case KindFilter::cask:
        return u"Casks"_s;
    }
    return {};
}

QString toString(StatusFilter status)
{
    switch (status) {
    case StatusFilter::all:
        return u"Any status"_s;
    case StatusFilter::installed:
        return u"Installed"_s;
    case StatusFilter::notInstalled:
        return u"Not installed"_s;
    case StatusFilter::selected:
        return u"Selected"_s;
    }
    return {};
}

QList<KindFilter> allKindFilters()
{
    return { KindFilter::all, KindFilter::formula, KindFilter::cask };
}

QList<StatusFilter> allStatusFilters()
{
    return { StatusFilter::all, StatusFilter::installed, StatusFilter::notInstalled, StatusFilter::selected };
}

bool PackageState::isInstalled(const Package &package) const
{
    return package.kind == PackageKind::formula ? installedFormulae.contains(package.name)
                                                : installedCasks.contains(package.name);
}

QString normalizedQuery(QStringView query)
{
    return query.trimmed().toString().toLower();
}

QList<qsizetype> rows(const QList<Package> &catalog, const Filter &filter, const PackageState &state)
{
    const QString q = normalizedQuery(filter.query);
    QList<qsizetype> nameMatches;
    QList<qsizetype> otherMatches;
    if (q.isEmpty())
        nameMatches.reserve(catalog.size());

    // Ids are only needed for the "Selected" filter; one buffer keeps that pass free of allocations.
    QString id;
    const QString formulaPrefix = toString(PackageKind::formula) + u':';
    const QString caskPrefix = toString(PackageKind::cask) + u':';

    for (qsizetype i = 0; i < catalog.size(); ++i) {
        const Package &package = catalog.at(i);
        if (filter.kind == KindFilter::formula && package.kind != PackageKind::formula)
            continue;
        if (filter.kind == KindFilter::cask && package.kind != PackageKind::cask)
            continue;

        switch (filter.status) {
        case StatusFilter::all:
            break;
        case StatusFilter::installed:
            if (!state.isInstalled(package))
                continue;
            break;
        case StatusFilter::notInstalled:
            if (state.isInstalled(package))
                continue;
            break;
        case StatusFilter::selected:
            id.resize(0);
            id.append(package.kind == PackageKind::formula ? formulaPrefix : caskPrefix).append(package.name);
            if (!state.selectedIDs.contains(id))
                continue;
            break;
        }

        if (q.isEmpty()) {
            nameMatches.append(i);
            continue;
        }
        if (!package.searchKey.contains(q))
            continue;
        // Names are lower-case already almost always, and toLower() then shares instead of copying.
        if (package.name.toLower().contains(q))
            nameMatches.append(i);
        else
            otherMatches.append(i);
    }
    nameMatches.append(otherMatches);
    return nameMatches;
}

} // namespace CatalogFilter
