#include "brew/CatalogFilter.h"

#include "brew/PackageFormats.h"

#include <algorithm>
#include <array>
#include <bit>
#include <string_view>
#include <vector>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

using namespace Qt::StringLiterals;

namespace {

constexpr QChar separator = QChar(0);

// Characters are listed by class: each lower-case ASCII letter, digit, the space and the common
// punctuation of package names and descriptions has one of its own, everything else (capitals of
// a hand-edited key, other scripts, halves of a surrogate pair) shares the last. A list for a
// class of its own holds exactly the keys with that character; the shared one only narrows down.
constexpr int classCount = 64;
constexpr int otherClass = classCount - 1;
constexpr int pairListsStart = classCount;
constexpr int listCount = classCount + classCount * classCount;
// The same lists again for the names alone.
constexpr int nameListsStart = listCount;

constexpr std::array<quint8, 128> makeClassTable()
{
    std::array<quint8, 128> table{};
    for (quint8 &entry : table)
        entry = otherClass;
    int next = 0;
    for (char c = 'a'; c <= 'z'; ++c)
        table[c] = next++;
    for (char c = '0'; c <= '9'; ++c)
        table[c] = next++;
    for (const char c : std::string_view(" -._+/(),:'@&!#*;=?[]\"%$~<>"))
        table[c] = next++;
    return table;
}

constexpr std::array<quint8, 128> classTable = makeClassTable();
static_assert(classTable['>'] == otherClass - 1, "every class but the shared one is used");

// Each run of three characters of a key sets one of the 256 bits of the key's signature; a key
// lacking a bit of a search's signature cannot contain it.
constexpr int signatureWords = 4;

inline unsigned trigramBit(const char16_t *at)
{
    return ((at[0] * 0x9E3779B1u) ^ (at[1] * 0x85EBCA77u) ^ (at[2] * 0xC2B2AE3Du)) >> 24;
}

inline void addTrigrams(QStringView text, quint64 *signature)
{
    const char16_t *at = reinterpret_cast<const char16_t *>(text.data());
    for (qsizetype i = 0; i + 3 <= text.size(); ++i) {
        const unsigned bit = trigramBit(at + i);
        signature[bit / 64] |= quint64(1) << (bit % 64);
    }
}

inline int classOf(char16_t c)
{
    return c < 128 ? classTable[c] : otherClass;
}

// Tells whether a text contains the needle (not empty). Keys and names are a few dozen
// characters, too short for a general search to pay off its set-up: this compares eight places
// at a time with the needle's first two characters and checks the rest only where both match.
class Finder {
public:
    explicit Finder(QStringView needle)
        : m_needle(reinterpret_cast<const char16_t *>(needle.data()))
        , m_size(needle.size())
    {
#ifdef __SSE2__
        // Spread through registers: _mm_set1_epi16 goes through the stack and stalls.
        auto spread = [](char16_t c) { return _mm_shuffle_epi32(_mm_shufflelo_epi16(_mm_cvtsi32_si128(c), 0), 0); };
        m_first = spread(m_needle[0]);
        m_second = spread(m_size > 1 ? m_needle[1] : 0);
#endif
    }

    bool in(QStringView text) const
    {
        const char16_t *at = reinterpret_cast<const char16_t *>(text.data());
        const qsizetype last = text.size() - m_size; // the last place the needle can start
        qsizetype place = 0;
#ifdef __SSE2__
        // Eight places read nine characters when the needle has two or more; one when it has one.
        for (; place + 8 <= last + 1; place += 8) {
            __m128i hits = _mm_cmpeq_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i *>(at + place)), m_first);
            if (m_size > 1) {
                const __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i *>(at + place + 1));
                hits = _mm_and_si128(hits, _mm_cmpeq_epi16(next, m_second));
            }
            // Two bits per character.
            unsigned mask = unsigned(_mm_movemask_epi8(hits));
            while (mask != 0) {
                const qsizetype hit = place + std::countr_zero(mask) / 2;
                if (m_size <= 2 || restMatches(at + hit, 2))
                    return true;
                mask &= mask - 1;
                mask &= mask - 1;
            }
        }
#endif
        for (; place <= last; ++place) {
            if (at[place] == m_needle[0] && restMatches(at + place, 1))
                return true;
        }
        return false;
    }

private:
    bool restMatches(const char16_t *at, qsizetype from) const
    {
        for (qsizetype i = from; i < m_size; ++i) {
            if (at[i] != m_needle[i])
                return false;
        }
        return true;
    }

    const char16_t *m_needle;
    qsizetype m_size;
#ifdef __SSE2__
    __m128i m_first;
    __m128i m_second;
#endif
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
    m_kinds.reserve(catalog.size());
    qsizetype at = 0;
    for (const Package &package : catalog) {
        m_starts.append(at);
        if (!shared)
            m_text.append(package.searchKey).append(separator);
        at += package.searchKey.size() + 1;
        m_kinds.append(quint8(package.kind));
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
    buildLists();
    m_signatures = QList<quint64>(catalog.size() * signatureWords, 0);
    for (qsizetype row = 0; row < catalog.size(); ++row)
        addTrigrams(key(row), m_signatures.data() + row * signatureWords);
}

void Index::buildLists()
{
    // Two passes over the keys and names: count each list's rows, then fill them into one array.
    // A row is listed once per class or pair however often its text has it: `stamp` holds the
    // last row counted for each list.
    std::vector<qint32> stamp(2 * listCount, -1);
    auto forEachList = [&](auto &&visit) {
        auto visitText = [&](qint32 row, QStringView text, int firstList) {
            int previous = -1;
            for (const QChar c : text) {
                const int characterClass = classOf(c.unicode());
                visit(row, firstList + characterClass);
                if (previous >= 0)
                    visit(row, firstList + pairListsStart + previous * classCount + characterClass);
                previous = characterClass;
            }
        };
        for (qint32 row = 0; row < qint32(m_catalog.size()); ++row) {
            const QStringView text = key(row);
            visitText(row, text, 0);
            const qsizetype nameLength = m_nameLengths.at(row);
            if (nameLength >= 0)
                visitText(row, text.first(nameLength), nameListsStart);
            else
                visitText(row, PackageFormats::lowerCased(m_catalog.at(row).name), nameListsStart);
        }
    };

    m_listStarts = QList<qint32>(2 * listCount + 1, 0);
    qint32 *counts = m_listStarts.data() + 1;
    forEachList([&](qint32 row, int list) {
        if (stamp[list] != row) {
            stamp[list] = row;
            ++counts[list];
        }
    });
    for (int list = 0; list < 2 * listCount; ++list)
        counts[list] += counts[list - 1];

    m_rows = QList<qint32>(m_listStarts.constLast());
    std::vector<qint32> next(m_listStarts.cbegin(), m_listStarts.cend() - 1);
    std::fill(stamp.begin(), stamp.end(), -1);
    qint32 *rows = m_rows.data();
    forEachList([&](qint32 row, int list) {
        if (stamp[list] != row) {
            stamp[list] = row;
            rows[next[list]++] = row;
        }
    });
}

QStringView Index::key(qsizetype row) const
{
    const qsizetype start = m_starts.at(row);
    return QStringView(m_text).mid(start, m_starts.at(row + 1) - 1 - start);
}

std::span<const qint32> Index::characterRows(int list) const
{
    if (m_listStarts.isEmpty())
        return {};
    const qint32 *rows = m_rows.constData();
    return { rows + m_listStarts.at(list), rows + m_listStarts.at(list + 1) };
}

std::span<const qint32> Index::pairRows(int first, int second) const
{
    return characterRows(pairListsStart + first * classCount + second);
}

bool Index::isFor(const QList<Package> &catalog) const
{
    return catalog.size() == m_catalog.size() && catalog.constData() == m_catalog.constData();
}

Index::Keep Index::keep(const Filter &filter, const PackageState &state) const
{
    Keep keep;
    keep.kinds = m_kinds.constData();
    if (filter.kind == KindFilter::formula)
        keep.kind = int(PackageKind::formula);
    else if (filter.kind == KindFilter::cask)
        keep.kind = int(PackageKind::cask);

    const qsizetype count = m_catalog.size();
    switch (filter.status) {
    case StatusFilter::all:
        break;
    case StatusFilter::installed:
    case StatusFilter::notInstalled:
        keep.status = installedRows(state).constData();
        keep.wanted = filter.status == StatusFilter::installed;
        break;
    case StatusFilter::selected:
        if (m_selectedRows.size() != count || m_selectedIDs != state.selectedIDs) {
            m_selectedIDs = state.selectedIDs;
            m_selectedRows.resize(count);
            // One reused buffer keeps the pass free of allocations.
            QString id;
            for (qsizetype row = 0; row < count; ++row) {
                const Package &package = m_catalog.at(row);
                id.resize(0);
                id.append(toString(package.kind)).append(u':').append(package.name);
                m_selectedRows[row] = state.selectedIDs.contains(id);
            }
        }
        keep.status = m_selectedRows.constData();
        break;
    }
    return keep;
}

namespace {

// Whether the name of a row contains the search.
bool nameContains(const Finder &finder, const QString &q, QStringView key, qsizetype nameLength, const Package &package)
{
    // When the key starts with the lower-cased name, that start is the name to look in.
    if (nameLength >= 0)
        return finder.in(key.first(nameLength));
    return PackageFormats::lowerCased(package.name).contains(q);
}

} // namespace

Index::NameRows Index::namesMaybeContaining(const QString &q) const
{
    if (m_listStarts.isEmpty())
        return {};
    const int firstClass = classOf(q.front().unicode());
    if (q.size() == 1)
        return { characterRows(nameListsStart + firstClass), firstClass != otherClass };
    std::span<const qint32> rarest;
    bool shared = false;
    for (qsizetype i = 1; i < q.size(); ++i) {
        const int first = classOf(q.at(i - 1).unicode());
        const int second = classOf(q.at(i).unicode());
        shared = shared || first == otherClass || second == otherClass;
        const std::span<const qint32> pair
            = characterRows(nameListsStart + pairListsStart + first * classCount + second);
        if (i == 1 || pair.size() < rarest.size())
            rarest = pair;
    }
    return { rarest, q.size() == 2 && !shared };
}

std::span<const qint32> Index::keysContaining(const QString &q) const
{
    if (m_listStarts.isEmpty()) // made without a catalog
        return {};
    // A character or a pair of characters with classes of their own: the list is the answer.
    const int firstClass = classOf(q.front().unicode());
    if (q.size() == 1 && firstClass != otherClass)
        return characterRows(firstClass);
    if (q.size() == 2 && firstClass != otherClass && classOf(q.back().unicode()) != otherClass)
        return pairRows(firstClass, classOf(q.back().unicode()));

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

    // Every key containing q holds each of its pairs: look through the rows holding the two
    // rarest ones, or the rows of a shorter search q contains when there are fewer of those.
    int rarest = -1;
    int second = -1;
    auto listSize = [this](int list) { return m_listStarts.at(list + 1) - m_listStarts.at(list); };
    for (qsizetype i = 1; i < q.size(); ++i) {
        const int pair = pairListsStart + classOf(q.at(i - 1).unicode()) * classCount + classOf(q.at(i).unicode());
        if (pair == rarest || pair == second)
            continue;
        if (rarest < 0 || listSize(pair) < listSize(rarest)) {
            second = rarest;
            rarest = pair;
        } else if (second < 0 || listSize(pair) < listSize(second)) {
            second = pair;
        }
    }
    if (rarest < 0) // a single character of the shared class
        rarest = firstClass;
    std::span<const qint32> pool = characterRows(rarest);
    // Reused, as a fresh buffer of this size costs more in page faults than filling it does.
    if (m_scratch.size() < pool.size())
        m_scratch.resize(pool.size());
    if (base && base->rows.size() <= qsizetype(pool.size())) {
        pool = base->rows;
    } else if (second >= 0) {
        const std::span<const qint32> secondRows = characterRows(second);
        const qint32 *end
            = std::set_intersection(pool.begin(), pool.end(), secondRows.begin(), secondRows.end(), m_scratch.data());
        pool = { m_scratch.data(), end };
    }

    // Kept in place: a row is written no later than it is read. The signatures spare most keys
    // without the search from being read.
    std::array<quint64, signatureWords> wanted{};
    addTrigrams(q, wanted.data());
    const quint64 *signatures = m_signatures.constData();
    const Finder finder(q);
    qint32 *kept = m_scratch.data();
    const QChar *text = m_text.constData();
    for (std::size_t i = 0; i < pool.size(); ++i) {
        const qint32 row = pool[i];
        // The rows lie far apart in memory: ask for the keys a few rows ahead while checking this one.
        constexpr std::size_t ahead = 8;
#if defined(__GNUC__)
        if (i + ahead < pool.size())
            __builtin_prefetch(text + m_starts.at(pool[i + ahead]));
#endif
        const quint64 *signature = signatures + qsizetype(row) * signatureWords;
        bool possible = true;
        for (int word = 0; word < signatureWords; ++word)
            possible = possible && (signature[word] & wanted[word]) == wanted[word];
        if (possible && finder.in(key(row)))
            *kept++ = row;
    }
    QList<qint32> found(m_scratch.data(), kept);
    if (m_recent.size() >= recentLimit)
        m_recent.removeFirst();
    m_recent.append({ q, std::move(found) });
    return m_recent.constLast().rows;
}

const QList<quint8> &Index::installedRows(const PackageState &state) const
{
    const qsizetype count = m_catalog.size();
    if (m_installedRows.size() != count || m_installedFormulae != state.installedFormulae
        || m_installedCasks != state.installedCasks) {
        m_installedFormulae = state.installedFormulae;
        m_installedCasks = state.installedCasks;
        m_installedRows.resize(count);
        for (qsizetype row = 0; row < count; ++row)
            m_installedRows[row] = state.isInstalled(m_catalog.at(row));
    }
    return m_installedRows;
}

QList<qsizetype> Index::rows(const Filter &filter, const PackageState &state) const
{
    const QString q = normalizedQuery(filter.query);
    const Keep keeps = keep(filter, state);
    QList<qsizetype> nameMatches;

    if (q.isEmpty()) {
        nameMatches.reserve(m_catalog.size());
        for (qsizetype row = 0; row < m_catalog.size(); ++row)
            if (keeps(row))
                nameMatches.append(row);
        return nameMatches;
    }

    if (q.contains(separator)) {
        // Cannot be typed; searched package by package so the separator keeps no meaning.
        QList<qsizetype> otherMatches;
        for (qsizetype row = 0; row < m_catalog.size(); ++row) {
            const Package &package = m_catalog.at(row);
            if (!keeps(row) || !package.searchKey.contains(q))
                continue;
            (PackageFormats::lowerCased(package.name).contains(q) ? nameMatches : otherMatches).append(row);
        }
        nameMatches.append(otherMatches);
        return nameMatches;
    }

    const std::span<const qint32> found = keysContaining(q);
    const bool everyRow = keeps.everyRow();
    const Finder finder(q);
    // Both in catalog order: one walk through the names' list says which rows may be name matches.
    const NameRows names = namesMaybeContaining(q);
    const qint32 *name = names.rows.data();
    const qint32 *namesEnd = name + names.rows.size();
    nameMatches.reserve(qsizetype(found.size()));
    // Reused: a fresh buffer of this size costs more in page faults than the pass itself.
    m_others.clear();
    m_others.reserve(found.size());
    for (const qint32 row : found) {
        if (!everyRow && !keeps(row))
            continue;
        while (name != namesEnd && *name < row)
            ++name;
        const bool maybeName = name != namesEnd && *name == row;
        if (maybeName && (names.exact || nameContains(finder, q, key(row), m_nameLengths.at(row), m_catalog.at(row))))
            nameMatches.append(row);
        else
            m_others.push_back(row);
    }
    for (const qint32 row : m_others)
        nameMatches.append(row);
    return nameMatches;
}

QList<qsizetype> rows(const QList<Package> &catalog, const Filter &filter, const PackageState &state)
{
    return Index(catalog).rows(filter, state);
}

} // namespace CatalogFilter
