#include "brew/CatalogFilter.h"

#include "brew/PackageFormats.h"

#include <QStringMatcher>

using namespace Qt::StringLiterals;

namespace {

constexpr QChar separator = QChar(0);

// Finds `needle` in `text` from `from` on. Short needles look for their first character with the
// vectorised single-character search and compare from there, which beats the general search
// over megabytes; long ones use the Boyer-Moore matcher.
class Finder {
public:
    explicit Finder(const QString &needle)
        : m_needle(needle)
        , m_matcher(needle)
    {
    }

    qsizetype indexIn(QStringView text, qsizetype from) const
    {
        if (m_needle.size() > 6)
            return m_matcher.indexIn(text, from);
        const QChar first = m_needle.front();
        const QStringView rest = QStringView(m_needle).mid(1);
        while (true) {
            const qsizetype at = text.indexOf(first, from);
            if (at < 0 || at + m_needle.size() > text.size())
                return -1;
            if (text.mid(at + 1, rest.size()) == rest)
                return at;
            from = at + 1;
        }
    }

private:
    QString m_needle;
    QStringMatcher m_matcher;
};

} // namespace

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
    return PackageFormats::lowerCased(query.trimmed());
}

namespace {

// The text from the first key to the NUL after the last when the keys already lie back to back
// in one shared block, as the decoders lay them out (each followed by a NUL); otherwise null.
QString sharedKeyBlock(const QList<Package> &catalog)
{
    if (catalog.isEmpty())
        return {};
    const QString::DataPointer &first = catalog.first().searchKey.data_ptr();
    if (!first.d)
        return {};
    const QChar *expected = catalog.first().searchKey.constData();
    for (const Package &package : catalog) {
        const QString &key = package.searchKey;
        if (key.data_ptr().d != first.d || key.constData() != expected || key.constData()[key.size()] != separator)
            return {};
        expected += key.size() + 1;
    }
    QString::DataPointer block = first; // shares the keys' allocation
    block.size = expected - catalog.first().searchKey.constData();
    return QString(std::move(block));
}

bool isAscii(QStringView text)
{
    for (const QChar c : text) {
        if (c.unicode() >= 0x80)
            return false;
    }
    return true;
}

} // namespace

Index::Index(const QList<Package> &catalog)
    : m_catalog(catalog)
    , m_text(sharedKeyBlock(catalog))
{
    const bool shared = !m_text.isNull();
    if (!shared) {
        qsizetype length = 0;
        for (const Package &package : catalog)
            length += package.searchKey.size() + 1;
        m_text.reserve(length);
    }
    m_starts.reserve(catalog.size() + 1);
    m_nameLengths.reserve(catalog.size());
    qsizetype at = 0;
    for (const Package &package : catalog) {
        m_starts.append(at);
        if (!shared)
            m_text.append(package.searchKey).append(separator);
        at += package.searchKey.size() + 1;
        const QString &key = package.searchKey;
        // An ASCII name lower-cases character by character: then the key starting with it as is
        // settles the question without making the lower-cased copy.
        if (isAscii(package.name) && key.startsWith(package.name)) {
            m_nameLengths.append(package.name.size());
            continue;
        }
        const QString lowerName = PackageFormats::lowerCased(package.name);
        m_nameLengths.append(key.startsWith(lowerName) ? lowerName.size() : -1);
    }
    m_starts.append(at);
}

bool Index::isFor(const QList<Package> &catalog) const
{
    return catalog.size() == m_catalog.size() && catalog.constData() == m_catalog.constData();
}

bool Index::passes(const Package &package, const Filter &filter, const PackageState &state, QString &idBuffer) const
{
    if (filter.kind == KindFilter::formula && package.kind != PackageKind::formula)
        return false;
    if (filter.kind == KindFilter::cask && package.kind != PackageKind::cask)
        return false;
    switch (filter.status) {
    case StatusFilter::all:
        return true;
    case StatusFilter::installed:
        return state.isInstalled(package);
    case StatusFilter::notInstalled:
        return !state.isInstalled(package);
    case StatusFilter::selected:
        // One reused buffer keeps the pass free of allocations.
        idBuffer.resize(0);
        idBuffer.append(toString(package.kind)).append(u':').append(package.name);
        return state.selectedIDs.contains(idBuffer);
    }
    return false;
}

bool Index::nameContains(qsizetype row, const QString &q) const
{
    // When the key starts with the lower-cased name, that start is the name to look in.
    const qsizetype nameLength = m_nameLengths.at(row);
    if (nameLength >= 0)
        return QStringView(m_text).mid(m_starts.at(row), nameLength).contains(q);
    return PackageFormats::lowerCased(m_catalog.at(row).name).contains(q);
}

const QList<qint32> &Index::keysContaining(const QString &q) const
{
    // Enough for a long search typed and erased again; a few hundred kB at most.
    constexpr qsizetype recentLimit = 24;
    const Recent *base = nullptr;
    for (qsizetype i = m_recent.size() - 1; i >= 0; --i) {
        const Recent &recent = m_recent.at(i);
        if (recent.query == q) {
            if (i != m_recent.size() - 1)
                m_recent.move(i, m_recent.size() - 1);
            return m_recent.constLast().rows;
        }
        if (q.contains(recent.query) && (!base || recent.query.size() > base->query.size()))
            base = &recent;
    }

    const Finder finder(q);
    const QStringView text(m_text);
    QList<qint32> found;
    if (base) {
        // Whatever contains q contains the shorter search too.
        for (const qint32 row : base->rows) {
            const qsizetype start = m_starts.at(row);
            if (finder.indexIn(text.mid(start, m_starts.at(row + 1) - 1 - start), 0) >= 0)
                found.append(row);
        }
    } else {
        qsizetype row = 0;
        qsizetype from = 0;
        while (true) {
            const qsizetype at = finder.indexIn(text, from);
            if (at < 0)
                break;
            // Rows only move forward: walk to the key holding the match.
            while (m_starts.at(row + 1) <= at)
                ++row;
            found.append(qint32(row));
            from = m_starts.at(row + 1);
        }
    }
    if (m_recent.size() >= recentLimit)
        m_recent.removeFirst();
    m_recent.append({ q, std::move(found) });
    return m_recent.constLast().rows;
}

QList<qsizetype> Index::rows(const Filter &filter, const PackageState &state) const
{
    const QString q = normalizedQuery(filter.query);
    QList<qsizetype> nameMatches;
    QList<qsizetype> otherMatches;
    QString idBuffer;

    if (q.isEmpty()) {
        nameMatches.reserve(m_catalog.size());
        for (qsizetype row = 0; row < m_catalog.size(); ++row)
            if (passes(m_catalog.at(row), filter, state, idBuffer))
                nameMatches.append(row);
        return nameMatches;
    }

    if (q.contains(separator)) {
        // Cannot be typed; searched package by package so the separator keeps no meaning.
        for (qsizetype row = 0; row < m_catalog.size(); ++row) {
            const Package &package = m_catalog.at(row);
            if (!passes(package, filter, state, idBuffer) || !package.searchKey.contains(q))
                continue;
            (PackageFormats::lowerCased(package.name).contains(q) ? nameMatches : otherMatches).append(row);
        }
        nameMatches.append(otherMatches);
        return nameMatches;
    }

    for (const qint32 row : keysContaining(q)) {
        if (passes(m_catalog.at(row), filter, state, idBuffer))
            (nameContains(row, q) ? nameMatches : otherMatches).append(row);
    }
    nameMatches.append(otherMatches);
    return nameMatches;
}

QList<qsizetype> rows(const QList<Package> &catalog, const Filter &filter, const PackageState &state)
{
    return Index(catalog).rows(filter, state);
}

} // namespace CatalogFilter
