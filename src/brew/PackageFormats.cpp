#include "brew/PackageFormats.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>

#include <simdjson.h>
#include <string_view>

using namespace Qt::StringLiterals;
namespace dom = simdjson::dom;

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

dom::element parseDocument(dom::parser &parser, QByteArrayView json)
{
    dom::element root;
    if (const simdjson::error_code error = parser.parse(json.data(), size_t(json.size())).get(root))
        reject(u"it is not valid JSON (%1)"_s.arg(QString::fromUtf8(simdjson::error_message(error))));
    return root;
}

dom::array rootArray(dom::element root)
{
    dom::array array;
    if (root.get_array().get(array))
        reject(u"it is not a list of entries"_s);
    return array;
}

dom::object entryObject(dom::element element, size_t index)
{
    dom::object object;
    if (element.get_object().get(object))
        reject(entryLabel(index, {}) + u" is not an object"_s);
    return object;
}

// The reading of one entry. Every accessor checks the JSON type of a key it reads; null is an
// absent value for the optional ones.
class EntryReader {
public:
    explicit EntryReader(size_t index)
        : m_index(index)
    {
    }

    void setName(std::string_view name) { m_name = name; }

    std::optional<std::string_view> optionalString(std::string_view key, dom::element value) const
    {
        if (value.is_null())
            return std::nullopt;
        std::string_view text;
        if (value.get_string().get(text))
            wrongType(key, "a string");
        return text;
    }

    std::string_view requiredString(std::string_view key, dom::element value) const
    {
        std::string_view text;
        if (value.get_string().get(text))
            wrongType(key, "a string");
        return text;
    }

    bool optionalBool(std::string_view key, dom::element value) const
    {
        if (value.is_null())
            return false;
        bool flag = false;
        if (value.get_bool().get(flag))
            wrongType(key, "true or false");
        return flag;
    }

    std::optional<dom::object> optionalObject(std::string_view key, dom::element value) const
    {
        if (value.is_null())
            return std::nullopt;
        dom::object object;
        if (value.get_object().get(object))
            wrongType(key, "an object");
        return object;
    }

    // The first element of a list of strings, after checking that every element is a string.
    std::optional<std::string_view> firstOfStrings(std::string_view key, dom::element value) const
    {
        if (value.is_null())
            return std::nullopt;
        dom::array array;
        if (value.get_array().get(array))
            wrongType(key, "a list of strings");
        std::optional<std::string_view> first;
        for (dom::element item : array) {
            std::string_view text;
            if (item.get_string().get(text))
                wrongType(key, "a list of strings");
            if (!first)
                first = text;
        }
        return first;
    }

    [[noreturn]] void missing(std::string_view key) const
    {
        reject(entryLabel(m_index, m_name) + u" has no \""_s + fromUtf8(key) + u'"');
    }

private:
    [[noreturn]] void wrongType(std::string_view key, const char *expected) const
    {
        reject(
            entryLabel(m_index, m_name) + u": \""_s + fromUtf8(key) + u"\" is not "_s + QString::fromLatin1(expected));
    }

    size_t m_index;
    std::string_view m_name;
};

Package packageFrom(PackageKind kind, std::string_view name, std::optional<std::string_view> displayName,
    std::optional<std::string_view> desc, std::optional<std::string_view> homepage,
    std::optional<std::string_view> version, bool deprecated)
{
    Package package;
    package.kind = kind;
    package.name = fromUtf8(name);
    // Most display names are the name itself; sharing the string saves an allocation per entry.
    package.displayName = displayName && *displayName != name ? fromUtf8(*displayName) : package.name;
    if (desc)
        package.desc = fromUtf8(*desc);
    if (homepage)
        package.homepage = fromUtf8(*homepage);
    if (version)
        package.version = fromUtf8(*version);
    package.deprecated = deprecated;
    package.searchKey = searchKey(package.name, package.displayName, package.desc);
    return package;
}

Package formulaFrom(dom::object object, size_t index)
{
    EntryReader reader(index);
    std::optional<std::string_view> name, desc, homepage, stable;
    bool deprecated = false, disabled = false;
    for (const dom::key_value_pair field : object) {
        const std::string_view key = field.key;
        if (key == "name") {
            name = reader.requiredString(key, field.value);
            reader.setName(*name);
        } else if (key == "desc") {
            desc = reader.optionalString(key, field.value);
        } else if (key == "homepage") {
            homepage = reader.optionalString(key, field.value);
        } else if (key == "versions") {
            stable.reset();
            if (const std::optional<dom::object> versions = reader.optionalObject(key, field.value)) {
                for (const dom::key_value_pair version : *versions) {
                    if (version.key == "stable")
                        stable = reader.optionalString("versions.stable", version.value);
                }
            }
        } else if (key == "deprecated") {
            deprecated = reader.optionalBool(key, field.value);
        } else if (key == "disabled") {
            disabled = reader.optionalBool(key, field.value);
        }
    }
    if (!name)
        reader.missing("name");
    return packageFrom(PackageKind::formula, *name, std::nullopt, desc, homepage, stable, deprecated || disabled);
}

Package caskFrom(dom::object object, size_t index)
{
    EntryReader reader(index);
    std::optional<std::string_view> token, firstName, desc, homepage, version;
    bool deprecated = false, disabled = false;
    for (const dom::key_value_pair field : object) {
        const std::string_view key = field.key;
        if (key == "token") {
            token = reader.requiredString(key, field.value);
            reader.setName(*token);
        } else if (key == "name") {
            firstName = reader.firstOfStrings(key, field.value);
        } else if (key == "desc") {
            desc = reader.optionalString(key, field.value);
        } else if (key == "homepage") {
            homepage = reader.optionalString(key, field.value);
        } else if (key == "version") {
            version = reader.optionalString(key, field.value);
        } else if (key == "deprecated") {
            deprecated = reader.optionalBool(key, field.value);
        } else if (key == "disabled") {
            disabled = reader.optionalBool(key, field.value);
        }
    }
    if (!token)
        reader.missing("token");
    return packageFrom(
        PackageKind::cask, *token, firstName ? firstName : token, desc, homepage, version, deprecated || disabled);
}

template<typename Convert> QList<Package> decodeCatalog(QByteArrayView json, const QString &what, Convert convert)
{
    try {
        dom::parser parser;
        const dom::array entries = rootArray(parseDocument(parser, json));
        QList<Package> packages;
        packages.reserve(qsizetype(entries.size()));
        size_t index = 0;
        for (dom::element entry : entries) {
            packages.append(convert(entryObject(entry, index), index));
            ++index;
        }
        return packages;
    } catch (const Invalid &invalid) {
        throw DecodingError(u"The %1 from the server could not be read: %2."_s.arg(what, invalid.detail));
    }
}

// The cache is ours, so it is read back exactly as written: all eight keys, nothing null.
Package cachedPackageFrom(dom::object object, size_t index)
{
    EntryReader reader(index);
    std::optional<std::string_view> kind, name, displayName, desc, homepage, version, key;
    std::optional<bool> deprecated;
    for (const dom::key_value_pair field : object) {
        const std::string_view fieldKey = field.key;
        if (fieldKey == "kind") {
            kind = reader.requiredString(fieldKey, field.value);
        } else if (fieldKey == "name") {
            name = reader.requiredString(fieldKey, field.value);
        } else if (fieldKey == "displayName") {
            displayName = reader.requiredString(fieldKey, field.value);
        } else if (fieldKey == "desc") {
            desc = reader.requiredString(fieldKey, field.value);
        } else if (fieldKey == "homepage") {
            homepage = reader.requiredString(fieldKey, field.value);
        } else if (fieldKey == "version") {
            version = reader.requiredString(fieldKey, field.value);
        } else if (fieldKey == "deprecated") {
            bool flag = false;
            if (field.value.get_bool().get(flag))
                reject({});
            deprecated = flag;
        } else if (fieldKey == "searchKey") {
            key = reader.requiredString(fieldKey, field.value);
        }
    }
    if (!kind || !name || !displayName || !desc || !homepage || !version || !deprecated || !key)
        reject({});
    Package package;
    if (*kind == "formula")
        package.kind = PackageKind::formula;
    else if (*kind == "cask")
        package.kind = PackageKind::cask;
    else
        reject({});
    package.name = fromUtf8(*name);
    package.displayName = *displayName == *name ? package.name : fromUtf8(*displayName);
    package.desc = fromUtf8(*desc);
    package.homepage = fromUtf8(*homepage);
    package.version = fromUtf8(*version);
    package.deprecated = *deprecated;
    package.searchKey = fromUtf8(*key);
    return package;
}

void appendJsonString(QByteArray &out, const QString &text)
{
    static constexpr char hex[] = "0123456789abcdef";
    const QByteArray utf8 = text.toUtf8();
    out.append('"');
    qsizetype clean = 0; // start of the run not yet copied
    for (qsizetype i = 0; i < utf8.size(); ++i) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        if (c >= 0x20 && c != '"' && c != '\\')
            continue;
        out.append(utf8.constData() + clean, i - clean);
        clean = i + 1;
        switch (c) {
        case '"':
            out.append("\\\"");
            break;
        case '\\':
            out.append("\\\\");
            break;
        case '\n':
            out.append("\\n");
            break;
        case '\r':
            out.append("\\r");
            break;
        case '\t':
            out.append("\\t");
            break;
        case '\b':
            out.append("\\b");
            break;
        case '\f':
            out.append("\\f");
            break;
        default: {
            const char escape[] = { '\\', 'u', '0', '0', hex[c >> 4], hex[c & 0xf] };
            out.append(escape, sizeof escape);
        }
        }
    }
    out.append(utf8.constData() + clean, utf8.size() - clean);
    out.append('"');
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
    return package;
}

} // namespace

QString searchKey(const QString &name, const QString &displayName, const QString &desc)
{
    QString key;
    key.reserve(name.size() + displayName.size() + desc.size() + 2);
    key.append(name).append(u' ').append(displayName).append(u' ').append(desc);
    return std::move(key).toLower();
}

QList<Package> decodeFormulae(QByteArrayView json)
{
    return decodeCatalog(json, u"list of formulae"_s, formulaFrom);
}

QList<Package> decodeCasks(QByteArrayView json)
{
    return decodeCatalog(json, u"list of casks"_s, caskFrom);
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

QByteArray encodeCache(const QList<Package> &packages)
{
    QByteArray out;
    // Roughly what an entry takes; saves most of the regrowing for a catalog of 15,000.
    out.reserve(packages.size() * 320 + 2);
    out.append('[');
    bool first = true;
    for (const Package &package : packages) {
        if (!first)
            out.append(',');
        first = false;
        out.append("{\"kind\":\"").append(toString(package.kind).toLatin1()).append("\",\"name\":");
        appendJsonString(out, package.name);
        out.append(",\"displayName\":");
        appendJsonString(out, package.displayName);
        out.append(",\"desc\":");
        appendJsonString(out, package.desc);
        out.append(",\"homepage\":");
        appendJsonString(out, package.homepage);
        out.append(",\"version\":");
        appendJsonString(out, package.version);
        out.append(",\"deprecated\":").append(package.deprecated ? "true" : "false");
        out.append(",\"searchKey\":");
        appendJsonString(out, package.searchKey);
        out.append('}');
    }
    out.append(']');
    return out;
}

std::optional<QList<Package>> decodeCache(QByteArrayView json)
{
    try {
        dom::parser parser;
        const dom::array entries = rootArray(parseDocument(parser, json));
        QList<Package> packages;
        packages.reserve(qsizetype(entries.size()));
        size_t index = 0;
        for (dom::element entry : entries) {
            packages.append(cachedPackageFrom(entryObject(entry, index), index));
            ++index;
        }
        return packages;
    } catch (const Invalid &) {
        return std::nullopt;
    }
}

} // namespace PackageFormats
