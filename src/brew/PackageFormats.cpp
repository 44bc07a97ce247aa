#include "brew/PackageFormats.h"

#include <QBuffer>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QRunnable>
#include <QSemaphore>
#include <QThreadPool>
#include <QtEndian>
#include <QtNumeric>

#include <array>
#ifdef Q_OS_LINUX
#include <sys/mman.h>
#endif
#include <cstring>
#include <deque>
#include <limits>
#include <memory>
#include <simdjson.h>
#include <string_view>
#include <unordered_map>
#include <vector>

using namespace Qt::StringLiterals;

static_assert(PackageFormats::readAheadBytes >= qsizetype(simdjson::SIMDJSON_PADDING));

namespace PackageFormats {

namespace {

// Why a document is rejected, in words; turned into a DecodingError (or an absent cache) at the
// public functions.
struct Invalid {
    QString detail;
};

[[noreturn]] void reject(QString detail)
{
    throw Invalid{ std::move(detail) };
}

[[noreturn]] void rejectSyntax(simdjson::error_code error)
{
    reject(u"it is not valid JSON (%1)"_s.arg(QString::fromUtf8(simdjson::error_message(error))));
}

QString fromUtf8(std::string_view text)
{
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

// "entry 12" ("entry 12 (wget)" once the name is known): enough for someone to find it in a
// 30 MB document.
QString entryLabel(size_t index, std::string_view name)
{
    QString label = u"entry %1"_s.arg(index + 1);
    if (!name.empty())
        label += u" ("_s + fromUtf8(name) + u')';
    return label;
}

// The parser reads up to readAheadBytes past the end of the text (never using what it finds
// there). Buffers from readPadded() have that room already; any other is copied, which for a
// 30 MB catalog adds a good part of the parsing time again.
class PaddedJson {
public:
    explicit PaddedJson(const QByteArray &json)
    {
        // data_ptr() is only non-const in Qt 6.4; nothing is changed through it.
        const qsizetype spare = const_cast<QByteArray &>(json).data_ptr().freeSpaceAtEnd();
        if (spare >= readAheadBytes) {
            m_view = simdjson::padded_string_view(json.constData(), size_t(json.size()), size_t(json.size() + spare));
        } else {
            m_copy = simdjson::padded_string(json.constData(), size_t(json.size()));
            m_view = m_copy;
        }
    }

    simdjson::padded_string_view view() const { return m_view; }

private:
    simdjson::padded_string m_copy;
    simdjson::padded_string_view m_view;
};

// Texts that had escapes, resolved; they stay where they are while more are added.
using Unescaped = std::deque<std::string>;

void appendUtf8(std::string &out, char32_t c)
{
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | (c >> 6));
        out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += char(0xE0 | (c >> 12));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xF0 | (c >> 18));
        out += char(0x80 | ((c >> 12) & 0x3F));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
}

// The four hex digits of a \u escape at `at`, or -1. Stops at the first non-digit, so it never
// reads past a closing quote.
int hexQuad(const char *at)
{
    int value = 0;
    for (int i = 0; i < 4; ++i) {
        const char c = at[i];
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else
            return -1;
        value = value * 16 + digit;
    }
    return value;
}

// The string whose opening quote is at `quote`. One without escapes (nearly all) is taken as it
// stands in the document; the rest are resolved into `unescaped`. An unknown escape or a lone
// surrogate makes the document invalid.
std::string_view stringAt(const char *quote, Unescaped &unescaped)
{
    const char *begin = quote + 1;
    const char *end = begin;
    while (*end != '"' && *end != '\\')
        ++end;
    if (*end == '"')
        return std::string_view(begin, size_t(end - begin));
    std::string &out = unescaped.emplace_back(begin, size_t(end - begin));
    for (const char *at = end; *at != '"';) {
        if (*at != '\\') {
            out += *at++;
            continue;
        }
        const char escape = at[1];
        at += 2;
        switch (escape) {
        case '"':
        case '\\':
        case '/':
            out += escape;
            break;
        case 'b':
            out += '\b';
            break;
        case 'f':
            out += '\f';
            break;
        case 'n':
            out += '\n';
            break;
        case 'r':
            out += '\r';
            break;
        case 't':
            out += '\t';
            break;
        case 'u': {
            const int unit = hexQuad(at);
            if (unit < 0 || (unit >= 0xDC00 && unit <= 0xDFFF))
                rejectSyntax(simdjson::STRING_ERROR);
            at += 4;
            char32_t c = char32_t(unit);
            if (unit >= 0xD800 && unit <= 0xDBFF) {
                const int low = at[0] == '\\' && at[1] == 'u' ? hexQuad(at + 2) : -1;
                if (low < 0xDC00 || low > 0xDFFF)
                    rejectSyntax(simdjson::STRING_ERROR);
                at += 6;
                c = QChar::surrogateToUcs4(char16_t(unit), char16_t(low));
            }
            appendUtf8(out, c);
            break;
        }
        default:
            rejectSyntax(simdjson::STRING_ERROR);
        }
    }
    return out;
}

// How each token changes the nesting depth: +1 for an opening bracket, -1 for a closing one.
constexpr std::array<signed char, 256> bracketDepth = [] {
    std::array<signed char, 256> depth{};
    depth['{'] = depth['['] = 1;
    depth['}'] = depth[']'] = -1;
    return depth;
}();

// Whether `text` holds a backslash; keys are short, so eight bytes at a time without a call.
bool hasBackslash(const char *text, size_t size)
{
    size_t i = 0;
    for (; i + 8 <= size; i += 8) {
        quint64 word;
        std::memcpy(&word, text + i, 8);
        const quint64 match = word ^ 0x5C5C5C5C5C5C5C5CULL;
        if ((match - 0x0101010101010101ULL) & ~match & 0x8080808080808080ULL)
            return true;
    }
    for (; i < size; ++i) {
        if (text[i] == '\\')
            return true;
    }
    return false;
}

// The tokens simdjson's first stage finds: the position of every bracket, colon, comma, string
// and other value, in document order, after the text was checked to be valid UTF-8 with closed
// strings free of control characters. The catalog is read straight off these positions: an
// entry's unread keys (most of a formula's 4 kB) are passed over by counting brackets, which
// costs a fraction of going through a parser's value objects.
class Tokens {
public:
    Tokens(const char *text, const uint32_t *at, size_t count)
        : m_text(text)
        , m_at(at)
        , m_count(count)
    {
    }

    bool atEnd() const { return m_next >= m_count; }
    // The first character of the current token; NUL past the last.
    char kind() const { return atEnd() ? '\0' : m_text[m_at[m_next]]; }
    const char *start() const { return m_text + m_at[m_next]; }
    void advance() { ++m_next; }

    bool take(char punctuation)
    {
        if (atEnd() || m_text[m_at[m_next]] != punctuation)
            return false;
        ++m_next;
        return true;
    }

    void expect(char punctuation)
    {
        if (!take(punctuation))
            rejectSyntax(atEnd() ? simdjson::INCOMPLETE_ARRAY_OR_OBJECT : simdjson::TAPE_ERROR);
    }

    // Whether the current token starts a value (rather than being a comma, colon or closing bracket).
    bool atValue() const
    {
        switch (kind()) {
        case ',':
        case ':':
        case '}':
        case ']':
            return false;
        default:
            return !atEnd();
        }
    }

    // Past one value of any kind. A list or object is only checked for balanced brackets.
    void skipValue()
    {
        if (!atValue())
            rejectSyntax(atEnd() ? simdjson::INCOMPLETE_ARRAY_OR_OBJECT : simdjson::TAPE_ERROR);
        const char first = kind();
        ++m_next;
        if (first != '{' && first != '[')
            return;
        // Without a branch per token: which kind comes next is anyone's guess.
        ptrdiff_t depth = 1;
        for (size_t i = m_next; i < m_count; ++i) {
            depth += bracketDepth[static_cast<unsigned char>(m_text[m_at[i]])];
            if (depth == 0) {
                m_next = i + 1;
                return;
            }
        }
        rejectSyntax(simdjson::INCOMPLETE_ARRAY_OR_OBJECT);
    }

    // Whether the current token is the literal `word` ("null", "true"…), ended as JSON ends one.
    bool atLiteral(std::string_view word) const
    {
        if (atEnd())
            return false;
        const char *at = start();
        if (std::memcmp(at, word.data(), word.size()) != 0)
            return false;
        switch (at[word.size()]) {
        case ' ':
        case '\t':
        case '\n':
        case '\r':
        case ',':
        case ':':
        case '[':
        case ']':
        case '{':
        case '}':
            return true;
        default:
            return false;
        }
    }

    // The text of the key at the cursor. The token after a key is its colon, and only spaces can
    // stand between the two: the key's closing quote is then right before the colon, and the key
    // is known without looking for its end.
    std::string_view key(Unescaped &unescaped) const
    {
        const char *quote = start();
        if (m_next + 1 < m_count) {
            const char *colon = m_text + m_at[m_next + 1];
            if (*colon == ':' && colon[-1] == '"' && colon - 1 > quote) {
                const char *begin = quote + 1;
                const size_t size = size_t(colon - 1 - begin);
                if (!hasBackslash(begin, size))
                    return std::string_view(begin, size);
            }
        }
        return stringAt(quote, unescaped);
    }

private:
    const char *m_text;
    const uint32_t *m_at;
    size_t m_count;
    size_t m_next = 0;
};

// The reading of one entry. Every accessor takes the value at the cursor and checks its JSON
// type; a null is an absent value for the optional ones. Keys nobody reads are skipped.
class EntryReader {
public:
    EntryReader(Tokens &tokens, Unescaped &unescaped, size_t index)
        : m_tokens(tokens)
        , m_unescaped(unescaped)
        , m_index(index)
    {
    }

    void setName(std::string_view name) { m_name = name; }

    // Calls `read(key)` for every field of the object whose '{' was just taken; `read` takes
    // the value with one of the accessors or skip().
    template<typename Read> void forEachField(Read read)
    {
        if (m_tokens.take('}'))
            return;
        for (;;) {
            if (m_tokens.kind() != '"')
                rejectSyntax(m_tokens.atEnd() ? simdjson::INCOMPLETE_ARRAY_OR_OBJECT : simdjson::TAPE_ERROR);
            const std::string_view key = m_tokens.key(m_unescaped);
            m_tokens.advance();
            m_tokens.expect(':');
            read(key);
            if (m_tokens.take(','))
                continue;
            m_tokens.expect('}');
            return;
        }
    }

    void skip() { m_tokens.skipValue(); }

    std::string_view requiredString(std::string_view key)
    {
        if (m_tokens.kind() != '"')
            fail(key, "a string");
        const std::string_view text = stringAt(m_tokens.start(), m_unescaped);
        m_tokens.advance();
        return text;
    }

    std::optional<std::string_view> optionalString(std::string_view key)
    {
        if (takeNull())
            return std::nullopt;
        return requiredString(key);
    }

    bool requiredBool(std::string_view key)
    {
        bool flag;
        if (m_tokens.atLiteral("true"))
            flag = true;
        else if (m_tokens.atLiteral("false"))
            flag = false;
        else
            fail(key, "true or false");
        m_tokens.advance();
        return flag;
    }

    bool optionalBool(std::string_view key) { return !takeNull() && requiredBool(key); }

    // The "stable" entry of an object such as "versions".
    std::optional<std::string_view> optionalMember(std::string_view key, std::string_view member)
    {
        if (takeNull())
            return std::nullopt;
        if (!m_tokens.take('{'))
            fail(key, "an object");
        std::optional<std::string_view> found;
        forEachField([&](std::string_view name) {
            if (name == member)
                found = optionalString(member);
            else
                skip();
        });
        return found;
    }

    // The first element of a list of strings, after checking that every element is a string.
    std::optional<std::string_view> firstOfStrings(std::string_view key)
    {
        if (takeNull())
            return std::nullopt;
        if (!m_tokens.take('['))
            fail(key, "a list of strings");
        std::optional<std::string_view> first;
        if (m_tokens.take(']'))
            return first;
        for (;;) {
            if (m_tokens.kind() != '"')
                fail(key, "a list of strings");
            const std::string_view text = stringAt(m_tokens.start(), m_unescaped);
            m_tokens.advance();
            if (!first)
                first = text;
            if (m_tokens.take(','))
                continue;
            m_tokens.expect(']');
            return first;
        }
    }

    [[noreturn]] void missing(std::string_view key) const
    {
        reject(entryLabel(m_index, m_name) + u" has no \""_s + fromUtf8(key) + u'"');
    }

private:
    bool takeNull()
    {
        if (!m_tokens.atLiteral("null"))
            return false;
        m_tokens.advance();
        return true;
    }

    // A value of the wrong type; where there is no value at all, the document is broken instead.
    [[noreturn]] void fail(std::string_view key, const char *expected) const
    {
        if (!m_tokens.atValue())
            rejectSyntax(m_tokens.atEnd() ? simdjson::INCOMPLETE_ARRAY_OR_OBJECT : simdjson::TAPE_ERROR);
        reject(
            entryLabel(m_index, m_name) + u": \""_s + fromUtf8(key) + u"\" is not "_s + QString::fromLatin1(expected));
    }

    Tokens &m_tokens;
    Unescaped &m_unescaped;
    size_t m_index;
    std::string_view m_name;
};

// One catalog entry as read, its text still pointing into the document (or its unescaped texts).
// Packages are made from all entries at once, so that their strings can share one allocation
// (TextBlock).
struct RawEntry {
    PackageKind kind = PackageKind::formula;
    std::string_view name;
    std::optional<std::string_view> displayName; // absent: the name
    std::optional<std::string_view> desc;
    std::optional<std::string_view> homepage;
    std::optional<std::string_view> version;
    bool deprecated = false;
};

// Whether every byte is below 0x80; eight at a time.
bool isAscii(std::string_view text)
{
    size_t i = 0;
    for (; i + 8 <= text.size(); i += 8) {
        quint64 word;
        std::memcpy(&word, text.data() + i, 8);
        if (word & 0x8080808080808080ULL)
            return false;
    }
    for (; i < text.size(); ++i) {
        if (static_cast<unsigned char>(text[i]) >= 0x80)
            return false;
    }
    return true;
}

// Many strings in one allocation. Each string handed out is a slice of the block that shares its
// reference count, and is followed by a NUL so that utf16() still gives a terminated string. A
// catalog has some 60,000 strings; one allocation instead of one each saves their headers and
// the allocator's overhead, and the time to make and free them.
class TextBlock {
public:
    struct Span {
        qsizetype at = 0;
        qsizetype size = 0;
    };

    // Room for `capacity` UTF-16 units, NULs included. UTF-8 never takes fewer bytes than UTF-16
    // units, so the byte count of the text plus one per string is always enough.
    explicit TextBlock(qsizetype capacity)
        : m_text(capacity, Qt::Uninitialized)
        , m_begin(m_text.data())
        , m_end(m_begin)
    {
    }

    // Writes behind every slice handed out so far, never into one: the block is written through
    // the pointer taken while it was still unshared.
    Span append(std::string_view utf8)
    {
        Span span{ m_end - m_begin, 0 };
        if (isAscii(utf8)) {
            for (size_t i = 0; i < utf8.size(); ++i)
                m_end[i] = QChar(char16_t(static_cast<unsigned char>(utf8[i])));
            m_end += utf8.size();
        } else {
            const QString text = fromUtf8(utf8);
            std::memcpy(static_cast<void *>(m_end), text.constData(), size_t(text.size()) * sizeof(QChar));
            m_end += text.size();
        }
        span.size = (m_end - m_begin) - span.at;
        *m_end++ = QChar(0);
        return span;
    }

    QString text(Span span) const
    {
        // Empty but not null, like a string decoded on its own: a present "" stays present.
        if (span.size == 0)
            return QString(0, Qt::Uninitialized);
        QString::DataPointer slice = m_text.data_ptr(); // one more reference to the block
        slice.ptr += span.at;
        slice.size = span.size;
        return QString(std::move(slice));
    }

private:
    QString m_text;
    QChar *m_begin;
    QChar *m_end;
};

qsizetype utf8Room(const std::optional<std::string_view> &text)
{
    return text ? qsizetype(text->size()) + 1 : 0;
}

QList<Package> packagesFrom(const std::vector<RawEntry> &entries)
{
    qsizetype room = 0;
    for (const RawEntry &entry : entries) {
        room += qsizetype(entry.name.size()) + 1 + utf8Room(entry.desc) + utf8Room(entry.homepage)
            + utf8Room(entry.version);
        if (entry.displayName && *entry.displayName != entry.name)
            room += utf8Room(entry.displayName);
    }
    TextBlock text(room);
    // Versions repeat a lot ("latest", "1.0"): each distinct one is stored once.
    std::unordered_map<std::string_view, QString> versions;
    QList<Package> packages;
    packages.reserve(qsizetype(entries.size()));
    for (const RawEntry &entry : entries) {
        Package package;
        package.kind = entry.kind;
        package.name = text.text(text.append(entry.name));
        if (entry.displayName && *entry.displayName != entry.name)
            package.displayName = text.text(text.append(*entry.displayName));
        else
            package.displayName = package.name;
        if (entry.desc)
            package.desc = text.text(text.append(*entry.desc));
        if (entry.homepage)
            package.homepage = text.text(text.append(*entry.homepage));
        if (entry.version) {
            const auto [found, added] = versions.try_emplace(*entry.version);
            if (added)
                found->second = text.text(text.append(*entry.version));
            package.version = found->second;
        }
        package.deprecated = entry.deprecated;
        packages.append(std::move(package));
    }
    return packages;
}

// Whether `key` is `word`; a compare of a known length, which the compiler does inline.
template<size_t N> bool is(std::string_view key, const char (&word)[N])
{
    return key.size() == N - 1 && std::memcmp(key.data(), word, N - 1) == 0;
}

RawEntry formulaFrom(EntryReader &reader)
{
    std::optional<std::string_view> name, desc, homepage, stable;
    bool deprecated = false, disabled = false;
    reader.forEachField([&](std::string_view key) {
        if (is(key, "name")) {
            name = reader.requiredString(key);
            reader.setName(*name);
        } else if (is(key, "desc")) {
            desc = reader.optionalString(key);
        } else if (is(key, "homepage")) {
            homepage = reader.optionalString(key);
        } else if (is(key, "versions")) {
            stable = reader.optionalMember(key, "stable");
        } else if (is(key, "deprecated")) {
            deprecated = reader.optionalBool(key);
        } else if (is(key, "disabled")) {
            disabled = reader.optionalBool(key);
        } else {
            reader.skip();
        }
    });
    if (!name)
        reader.missing("name");
    return { PackageKind::formula, *name, std::nullopt, desc, homepage, stable, deprecated || disabled };
}

RawEntry caskFrom(EntryReader &reader)
{
    std::optional<std::string_view> token, firstName, desc, homepage, version;
    bool deprecated = false, disabled = false;
    reader.forEachField([&](std::string_view key) {
        if (is(key, "token")) {
            token = reader.requiredString(key);
            reader.setName(*token);
        } else if (is(key, "name")) {
            firstName = reader.firstOfStrings(key);
        } else if (is(key, "desc")) {
            desc = reader.optionalString(key);
        } else if (is(key, "homepage")) {
            homepage = reader.optionalString(key);
        } else if (is(key, "version")) {
            version = reader.optionalString(key);
        } else if (is(key, "deprecated")) {
            deprecated = reader.optionalBool(key);
        } else if (is(key, "disabled")) {
            disabled = reader.optionalBool(key);
        } else {
            reader.skip();
        }
    });
    if (!token)
        reader.missing("token");
    return { PackageKind::cask, *token, firstName ? firstName : token, desc, homepage, version,
        deprecated || disabled };
}

// The first stage writes the token positions (some 15 MB for the formulae) into memory never
// touched before, 4 kB page by 4 kB page: a page fault each, a third of its time. Where the
// system hands out 2 MB pages on request, asking for them makes that a handful of faults. Only
// whole 2 MB pages inside the buffer (room for `capacity` positions) are asked for, and memory
// is only taken where the stage writes, as before.
void adviseHugePages(uint32_t *positions, size_t capacity)
{
#if defined(Q_OS_LINUX) && defined(MADV_HUGEPAGE)
    constexpr quintptr hugePage = 2 * 1024 * 1024;
    const quintptr begin = (quintptr(positions) + hugePage - 1) & ~(hugePage - 1);
    const quintptr end = quintptr(positions + capacity) & ~(hugePage - 1);
    if (end > begin)
        madvise(reinterpret_cast<void *>(begin), size_t(end - begin), MADV_HUGEPAGE);
#else
    Q_UNUSED(positions);
    Q_UNUSED(capacity);
#endif
}

// A top-level array of objects, each read by `convert`, turned into packages. Throws Invalid.
QList<Package> decodeEntries(const QByteArray &json, RawEntry (*convert)(EntryReader &))
{
    const PaddedJson input(json);
    const simdjson::padded_string_view text = input.view();
    if (text.length() > 0xFFFFFFFFu)
        rejectSyntax(simdjson::CAPACITY);
    std::unique_ptr<simdjson::internal::dom_parser_implementation> stage;
    if (const simdjson::error_code error
        = simdjson::get_active_implementation()->create_dom_parser_implementation(text.length(), 1, stage))
        rejectSyntax(error);
    // The stage allocated room for at least one position per byte.
    adviseHugePages(stage->structural_indexes.get(), text.length());
    if (const simdjson::error_code error
        = stage->stage1(reinterpret_cast<const uint8_t *>(text.data()), text.length(), simdjson::stage1_mode::regular))
        rejectSyntax(error);
    Tokens tokens(text.data(), stage->structural_indexes.get(), stage->n_structural_indexes);

    if (!tokens.take('[')) {
        if (tokens.atValue())
            reject(u"it is not a list of entries"_s);
        rejectSyntax(simdjson::TAPE_ERROR);
    }
    Unescaped unescaped;
    std::vector<RawEntry> raw;
    // No entry takes fewer than a few hundred bytes in these documents; room reserved beyond
    // what is used is never touched, and so costs no memory.
    raw.reserve(size_t(json.size() / 256) + 16);
    if (!tokens.take(']')) {
        for (size_t index = 0;; ++index) {
            if (!tokens.take('{')) {
                if (tokens.atValue())
                    reject(entryLabel(index, {}) + u" is not an object"_s);
                rejectSyntax(tokens.atEnd() ? simdjson::INCOMPLETE_ARRAY_OR_OBJECT : simdjson::TAPE_ERROR);
            }
            EntryReader reader(tokens, unescaped, index);
            raw.push_back(convert(reader));
            if (tokens.take(','))
                continue;
            tokens.expect(']');
            break;
        }
    }
    if (!tokens.atEnd())
        reject(u"there is more after the list"_s);
    // The entries point into the document and `unescaped`, which live until the end of this function.
    return packagesFrom(raw);
}

template<typename Convert>
QList<Package> decodeCatalog(const QByteArray &json, const QString &what, Convert convert, SearchKeys keys)
{
    try {
        QList<Package> packages = decodeEntries(json, convert);
        if (keys == SearchKeys::build)
            assignSearchKeys(packages);
        return packages;
    } catch (const Invalid &invalid) {
        throw DecodingError(u"The %1 from the server could not be read: %2."_s.arg(what, invalid.detail));
    }
}

std::optional<QString> stringValue(const QJsonValue &value)
{
    if (!value.isString())
        return std::nullopt;
    return value.toString();
}

// Only a list made entirely of strings counts; anything else is "no list".
std::optional<QStringList> stringList(const QJsonValue &value)
{
    if (!value.isArray())
        return std::nullopt;
    const QJsonArray array = value.toArray();
    QStringList strings;
    strings.reserve(array.size());
    for (const QJsonValue &item : array) {
        if (!item.isString())
            return std::nullopt;
        strings.append(item.toString());
    }
    return strings;
}

// A JSON number that is a whole number representable as qint64 (true/false are not numbers).
std::optional<qint64> integerValue(const QJsonValue &value)
{
    if (!value.isDouble())
        return std::nullopt;
    const qint64 sentinel = std::numeric_limits<qint64>::min();
    const qint64 integer = value.toInteger(sentinel);
    if (integer == sentinel)
        return std::nullopt;
    return integer;
}

std::optional<qint64> installsIn30Days(const QJsonObject &document)
{
    const QJsonValue analytics = document.value("analytics"_L1);
    if (!analytics.isObject())
        return std::nullopt;
    const QJsonValue install = analytics.toObject().value("install"_L1);
    if (!install.isObject())
        return std::nullopt;
    const QJsonValue days = install.toObject().value("30d"_L1);
    if (!days.isObject())
        return std::nullopt;
    qint64 sum = 0;
    const QJsonObject counts = days.toObject();
    for (auto it = counts.begin(); it != counts.end(); ++it) {
        const std::optional<qint64> count = integerValue(it.value());
        if (!count || qAddOverflow(sum, *count, &sum))
            return std::nullopt;
    }
    return sum;
}

std::optional<QJsonObject> jsonObject(QByteArrayView json)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json.toByteArray(), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    return document.object();
}

std::optional<OutdatedPackage> outdatedFrom(const QJsonValue &value, PackageKind kind)
{
    if (!value.isObject())
        return std::nullopt;
    const QJsonObject item = value.toObject();
    const std::optional<QString> name = stringValue(item.value("name"_L1));
    if (!name)
        return std::nullopt;
    OutdatedPackage package{ kind, *name, {}, stringValue(item.value("current_version"_L1)).value_or(QString()) };
    const QJsonValue installed = item.value("installed_versions"_L1);
    if (const std::optional<QStringList> versions = stringList(installed))
        package.installed = versions->join(", "_L1);
    else
        package.installed = stringValue(installed).value_or(QString());
    package.pinned = item.value("pinned"_L1).toBool(false);
    return package;
}

} // namespace

QByteArray readPadded(QIODevice &device)
{
    qsizetype size = 0;
    QByteArray bytes(qsizetype(qMax<qint64>(device.bytesAvailable(), 0)) + readAheadBytes + 1, Qt::Uninitialized);
    for (;;) {
        if (bytes.size() - size <= readAheadBytes)
            bytes.resize(bytes.size() * 2);
        const qint64 count = device.read(bytes.data() + size, bytes.size() - size - readAheadBytes);
        if (count <= 0)
            break;
        size += qsizetype(count);
    }
    // Shrinking keeps the allocation: the spare bytes stay behind the text.
    bytes.resize(size);
    return bytes;
}

namespace {

constexpr char16_t capitalSigma = 0x03A3;
constexpr char16_t finalSigma = 0x03C2;
constexpr char16_t smallSigma = 0x03C3;

char32_t codePointBefore(QStringView text, qsizetype &at)
{
    --at;
    if (at > 0 && text[at].isLowSurrogate() && text[at - 1].isHighSurrogate()) {
        --at;
        return QChar::surrogateToUcs4(text[at], text[at + 1]);
    }
    return text[at].unicode();
}

char32_t codePointAt(QStringView text, qsizetype &at)
{
    if (at + 1 < text.size() && text[at].isHighSurrogate() && text[at + 1].isLowSurrogate()) {
        at += 2;
        return QChar::surrogateToUcs4(text[at - 2], text[at - 1]);
    }
    return text[at++].unicode();
}

bool isCased(char32_t c)
{
    return QChar::isLower(c) || QChar::isUpper(c) || QChar::isTitleCase(c);
}

// Marks, format characters, modifiers and the in-word punctuation of the Unicode word rules: what
// may stand between a letter and a final sigma without ending the word.
bool isCaseIgnorable(char32_t c)
{
    switch (QChar::category(c)) {
    case QChar::Mark_NonSpacing:
    case QChar::Mark_Enclosing:
    case QChar::Other_Format:
    case QChar::Letter_Modifier:
    case QChar::Symbol_Modifier:
        return true;
    default:
        break;
    }
    static constexpr char32_t midWord[] = { u'\'', u'.', u':', 0x00B7, 0x0387, 0x055F, 0x05F4, 0x2018, 0x2019, 0x2024,
        0x2027, 0xFE13, 0xFE52, 0xFE55, 0xFF07, 0xFF0E, 0xFF1A };
    return std::find(std::begin(midWord), std::end(midWord), c) != std::end(midWord);
}

// Whether the capital sigma at `at` ends a word: a cased letter before it and none after it,
// looking past case-ignorable characters.
bool isFinalSigma(QStringView text, qsizetype at)
{
    bool casedBefore = false;
    for (qsizetype i = at; i > 0;) {
        const char32_t c = codePointBefore(text, i);
        if (!isCaseIgnorable(c)) {
            casedBefore = isCased(c);
            break;
        }
    }
    if (!casedBefore)
        return false;
    for (qsizetype i = at + 1; i < text.size();) {
        const char32_t c = codePointAt(text, i);
        if (!isCaseIgnorable(c))
            return !isCased(c);
    }
    return true;
}

// Lower-cases [begin, end) in place when every character maps to exactly one: no surrogate, no
// capital I with dot above (which becomes two) and no capital sigma (which depends on its
// neighbours). Returns false, changing nothing, otherwise. Several times faster than
// QString::toLower() on the mostly ASCII text of a catalog.
// `nuls` is set to the number of NULs in the range.
bool lowerCaseRange(char16_t *begin, char16_t *end, qsizetype &nuls)
{
    nuls = 0;
    for (const char16_t *c = begin; c != end; ++c) {
        nuls += *c == 0;
        if (*c >= 0x80 && (QChar::isSurrogate(*c) || *c == 0x0130 || *c == capitalSigma))
            return false;
    }
    for (char16_t *c = begin; c != end; ++c) {
        if (*c < 0x80)
            *c = char16_t(*c + (unsigned(*c - u'A') < 26u ? 32 : 0));
        else
            *c = char16_t(QChar::toLower(char32_t(*c)));
    }
    return true;
}

bool lowerCaseInPlace(QString &text)
{
    char16_t *begin = reinterpret_cast<char16_t *>(text.data());
    qsizetype nuls;
    return lowerCaseRange(begin, begin + text.size(), nuls);
}

} // namespace

QString lowerCased(QStringView text)
{
    QString lower = text.toString();
    if (lowerCaseInPlace(lower))
        return lower;
    // QString::toLower() maps each character on its own; the one context-dependent mapping, the
    // capital sigma that ends a word, is done here.
    qsizetype sigma = text.indexOf(QChar(capitalSigma));
    if (sigma < 0)
        return std::move(lower).toLower();
    lower.clear();
    lower.reserve(text.size());
    qsizetype done = 0;
    for (; sigma >= 0; sigma = text.indexOf(QChar(capitalSigma), done)) {
        lower += text.sliced(done, sigma - done).toString().toLower();
        lower += QChar(isFinalSigma(text, sigma) ? finalSigma : smallSigma);
        done = sigma + 1;
    }
    lower += text.sliced(done).toString().toLower();
    return lower;
}

QString searchKey(const QString &name, const QString &displayName, const QString &desc)
{
    QString key;
    key.reserve(name.size() + displayName.size() + desc.size() + 2);
    key.append(name).append(u' ').append(displayName).append(u' ').append(desc);
    return lowerCased(key);
}

QList<Package> decodeFormulae(const QByteArray &json, SearchKeys keys)
{
    return decodeCatalog(json, u"list of formulae"_s, formulaFrom, keys);
}

QList<Package> decodeCasks(const QByteArray &json, SearchKeys keys)
{
    return decodeCatalog(json, u"list of casks"_s, caskFrom, keys);
}

void assignSearchKeys(QList<Package> &packages)
{
    // All keys are written into one text, lower-cased and then handed out as slices. The NUL
    // after each key is neither cased nor case-ignorable, so the final-sigma rule sees each key
    // on its own, as if it were lower-cased by itself.
    const qsizetype count = packages.size();
    std::vector<qsizetype> starts(size_t(count) + 1);
    qsizetype length = 0;
    for (qsizetype i = 0; i < count; ++i) {
        starts[size_t(i)] = length;
        const Package &package = packages[i];
        length += package.name.size() + package.displayName.size() + package.desc.size() + 3;
    }
    starts[size_t(count)] = length;
    QString text(length, Qt::Uninitialized);
    char16_t *const block = reinterpret_cast<char16_t *>(text.data());
    // Writes the keys of packages [from, to) and lower-cases them where every character maps to
    // one; false if some does not, or if a key holds a NUL of its own (possible in JSON), which
    // would split it in two for the search index.
    const auto write = [&](qsizetype from, qsizetype to) {
        char16_t *out = block + starts[size_t(from)];
        const auto put = [&out](const QString &part) {
            std::memcpy(out, part.constData(), size_t(part.size()) * sizeof(char16_t));
            out += part.size();
        };
        for (qsizetype i = from; i < to; ++i) {
            const Package &package = packages[i];
            put(package.name);
            *out++ = u' ';
            put(package.displayName);
            *out++ = u' ';
            put(package.desc);
            *out++ = 0;
        }
        qsizetype nuls = 0;
        return lowerCaseRange(block + starts[size_t(from)], out, nuls) && nuls == to - from;
    };

    // A whole catalog's keys are written in two halves side by side, one on a pool thread. If
    // the pool has not started its half by the time this one is done, it is done here too.
    bool simple = true;
    if (count >= 4096) {
        const qsizetype middle = count / 2;
        bool firstSimple = true;
        QSemaphore firstDone;
        const std::unique_ptr<QRunnable> first(QRunnable::create([&] {
            firstSimple = write(0, middle);
            firstDone.release();
        }));
        first->setAutoDelete(false);
        QThreadPool *pool = QThreadPool::globalInstance();
        pool->start(first.get());
        const bool secondSimple = write(middle, count);
        if (pool->tryTake(first.get()))
            first->run();
        firstDone.acquire();
        simple = firstSimple && secondSimple;
    } else {
        simple = write(0, count);
    }
    if (simple) {
        // Every key kept its length: its place is known.
        for (qsizetype i = 0; i < count; ++i) {
            QString::DataPointer slice = text.data_ptr();
            slice.ptr += starts[size_t(i)];
            slice.size = starts[size_t(i) + 1] - starts[size_t(i)] - 1;
            packages[i].searchKey = QString(std::move(slice));
        }
        return;
    }
    // Some character lower-cases to more or fewer, or a key holds a NUL: the text is written
    // again (parts of it are lower-cased already) and lower-cased as a whole.
    write(0, count);
    text = lowerCased(text);

    // Lower-casing may change lengths, so the keys are found again by their NULs. A text that
    // holds a NUL of its own (possible in JSON) throws the count off: then key by key.
    const QStringView all(text);
    QList<std::pair<qsizetype, qsizetype>> spans;
    spans.reserve(packages.size());
    qsizetype from = 0;
    for (qsizetype i = 0; i < packages.size(); ++i) {
        const qsizetype end = all.indexOf(QChar(0), from);
        if (end < 0)
            break;
        spans.append({ from, end - from });
        from = end + 1;
    }
    if (spans.size() != packages.size() || from != text.size()) {
        for (Package &package : packages)
            package.searchKey = searchKey(package.name, package.displayName, package.desc);
        return;
    }
    for (qsizetype i = 0; i < packages.size(); ++i) {
        QString::DataPointer slice = text.data_ptr();
        slice.ptr += spans[i].first;
        slice.size = spans[i].second;
        packages[i].searchKey = QString(std::move(slice));
    }
}

std::optional<QList<OutdatedPackage>> decodeOutdatedReport(QByteArrayView json)
{
    const std::optional<QJsonObject> report = jsonObject(json);
    if (!report)
        return std::nullopt;
    const QJsonValue formulae = report->value("formulae"_L1);
    const QJsonValue casks = report->value("casks"_L1);
    if (!formulae.isArray() || !casks.isArray())
        return std::nullopt;
    QList<OutdatedPackage> packages;
    for (const auto &[list, kind] : { std::pair{ formulae, PackageKind::formula }, { casks, PackageKind::cask } }) {
        for (const QJsonValue &value : list.toArray()) {
            std::optional<OutdatedPackage> package = outdatedFrom(value, kind);
            if (!package)
                return std::nullopt;
            packages.append(std::move(*package));
        }
    }
    return packages;
}

std::optional<PackageDetails> decodeDetails(QByteArrayView json)
{
    const std::optional<QJsonObject> document = jsonObject(json);
    if (!document)
        return std::nullopt;
    PackageDetails details;
    details.license = stringValue(document->value("license"_L1));
    details.tap = stringValue(document->value("tap"_L1));
    if (const std::optional<QString> caveats = stringValue(document->value("caveats"_L1)))
        details.caveats = caveats->trimmed();
    const QJsonValue autoUpdates = document->value("auto_updates"_L1);
    if (autoUpdates.isBool())
        details.autoUpdates = autoUpdates.toBool();
    details.aliases = stringList(document->value("aliases"_L1)).value_or(QStringList());
    if (const std::optional<QStringList> dependencies = stringList(document->value("dependencies"_L1))) {
        details.dependencies = *dependencies;
    } else {
        // Casks list the formulae they need under depends_on.
        const QJsonValue dependsOn = document->value("depends_on"_L1);
        if (dependsOn.isObject())
            details.dependencies = stringList(dependsOn.toObject().value("formula"_L1)).value_or(QStringList());
    }
    details.installs30d = installsIn30Days(*document);
    return details;
}

namespace {

// The catalog cache is a binary file laid out so that loading it is little more than one copy:
//
//   header   8 bytes cacheMagic, u32 package count, u32 length of the text in UTF-16 units
//   records  one per package: u8 kind (0 formula, 1 cask), u8 deprecated (0 or 1), u16 zero, then
//            for name, display name, description, homepage, version and search key a u32 start
//            and a u32 length in the text
//   text     UTF-16; every string is followed by a NUL
//
// All numbers are little-endian. The text becomes one QString and every package string a slice of
// it; the search keys lie back to back in catalog order, which the search index then uses as is.
// A file of another layout (such as the JSON caches of earlier versions) has another magic and
// reads as no cache at all.
constexpr char cacheMagic[8] = { 'Q', 'R', 'C', 'A', 'T', '\x01', '\r', '\n' };
constexpr qsizetype cacheHeaderSize = 16;
constexpr int cacheStringCount = 6;
constexpr qsizetype cacheRecordSize = 4 + cacheStringCount * 8;

struct CacheSpan {
    quint32 at = 0;
    quint32 size = 0;
};

// Builds the text of a cache, one NUL-terminated string at a time.
class CacheText {
public:
    CacheSpan add(const QString &text)
    {
        if (text.isEmpty())
            return {};
        const CacheSpan span{ quint32(m_text.size()), quint32(text.size()) };
        m_text.append(text).append(QChar(0));
        return span;
    }

    // Versions repeat a lot ("latest", "1.0"): each distinct one is written once.
    CacheSpan addShared(const QString &text)
    {
        const auto found = m_shared.constFind(text);
        if (found != m_shared.cend())
            return *found;
        const CacheSpan span = add(text);
        m_shared.insert(text, span);
        return span;
    }

    const QString &text() const { return m_text; }

private:
    QString m_text;
    QHash<QString, CacheSpan> m_shared;
};

void put32(char *out, quint32 value)
{
    qToLittleEndian(value, out);
}

quint32 get32(const char *in)
{
    return qFromLittleEndian<quint32>(in);
}

} // namespace

QByteArray encodeCache(const QList<Package> &packages)
{
    // The keys first and back to back, so that they form one run of the text.
    CacheText text;
    std::vector<std::array<CacheSpan, cacheStringCount>> spans(size_t(packages.size()));
    for (qsizetype i = 0; i < packages.size(); ++i)
        spans[size_t(i)][5] = text.add(packages[i].searchKey);
    for (qsizetype i = 0; i < packages.size(); ++i) {
        const Package &package = packages[i];
        auto &span = spans[size_t(i)];
        span[0] = text.add(package.name);
        span[1] = package.displayName == package.name ? span[0] : text.add(package.displayName);
        span[2] = text.add(package.desc);
        span[3] = text.add(package.homepage);
        span[4] = text.addShared(package.version);
    }

    const qsizetype textAt = cacheHeaderSize + packages.size() * cacheRecordSize;
    QByteArray out(textAt + text.text().size() * 2, '\0');
    char *data = out.data();
    std::memcpy(data, cacheMagic, sizeof cacheMagic);
    put32(data + 8, quint32(packages.size()));
    put32(data + 12, quint32(text.text().size()));
    for (qsizetype i = 0; i < packages.size(); ++i) {
        char *record = data + cacheHeaderSize + i * cacheRecordSize;
        record[0] = packages[i].kind == PackageKind::cask ? 1 : 0;
        record[1] = packages[i].deprecated ? 1 : 0;
        for (int s = 0; s < cacheStringCount; ++s) {
            put32(record + 4 + s * 8, spans[size_t(i)][size_t(s)].at);
            put32(record + 8 + s * 8, spans[size_t(i)][size_t(s)].size);
        }
    }
    qToLittleEndian<quint16>(text.text().constData(), text.text().size(), data + textAt);
    return out;
}

std::optional<QList<Package>> decodeCache(QIODevice &device)
{
    char header[cacheHeaderSize];
    if (device.read(header, cacheHeaderSize) != cacheHeaderSize
        || std::memcmp(header, cacheMagic, sizeof cacheMagic) != 0)
        return std::nullopt;
    const quint32 count = get32(header + 8);
    const quint32 units = get32(header + 12);
    const qint64 recordBytes = qint64(count) * cacheRecordSize;
    // Nothing is allocated for more than the file holds.
    if (!device.isSequential() && device.size() - device.pos() != recordBytes + qint64(units) * 2)
        return std::nullopt;

    QByteArray records(qsizetype(recordBytes), Qt::Uninitialized);
    QString text(qsizetype(units), Qt::Uninitialized);
    // The text is read straight into the block the strings will share: no second copy of it.
    if (device.read(records.data(), recordBytes) != recordBytes
        || device.read(reinterpret_cast<char *>(text.data()), qint64(units) * 2) != qint64(units) * 2)
        return std::nullopt;
    char rest;
    if (device.read(&rest, 1) != 0)
        return std::nullopt;
    qFromLittleEndian<quint16>(text.constData(), qsizetype(units), text.data());

    const QChar *chars = text.constData();
    const QString::DataPointer &block = text.data_ptr();
    // A string must lie inside the text and be followed by its NUL.
    const auto slice = [&](const char *field, QString &into) {
        const quint32 at = get32(field);
        const quint32 size = get32(field + 4);
        if (size == 0)
            return true;
        if (quint64(at) + size >= units || chars[at + size] != QChar(0))
            return false;
        QString::DataPointer part = block; // one more reference to the text
        part.ptr += at;
        part.size = size;
        into = QString(std::move(part));
        return true;
    };

    QList<Package> packages;
    packages.reserve(qsizetype(count));
    for (quint32 i = 0; i < count; ++i) {
        const char *record = records.constData() + qsizetype(i) * cacheRecordSize;
        const auto kind = static_cast<unsigned char>(record[0]);
        const auto deprecated = static_cast<unsigned char>(record[1]);
        if (kind > 1 || deprecated > 1 || record[2] != 0 || record[3] != 0)
            return std::nullopt;
        Package &package = packages.emplace_back();
        package.kind = kind == 1 ? PackageKind::cask : PackageKind::formula;
        package.deprecated = deprecated == 1;
        if (!slice(record + 4, package.name) || !slice(record + 12, package.displayName)
            || !slice(record + 20, package.desc) || !slice(record + 28, package.homepage)
            || !slice(record + 36, package.version) || !slice(record + 44, package.searchKey))
            return std::nullopt;
    }
    return packages;
}

std::optional<QList<Package>> decodeCache(const QByteArray &bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    return decodeCache(buffer);
}

} // namespace PackageFormats
