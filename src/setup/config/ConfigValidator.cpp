#include "setup/config/ConfigValidator.h"

#include "setup/config/SetupConfig.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QUuid>

using namespace Qt::StringLiterals;

namespace ConfigValidator {

namespace {

enum class Type { string, boolean, integer, stringList, rows, object };

QString typeName(Type type)
{
    switch (type) {
    case Type::string:
        return u"a string"_s;
    case Type::boolean:
        return u"true or false"_s;
    case Type::integer:
        return u"a whole number"_s;
    case Type::stringList:
        return u"an array of strings"_s;
    case Type::rows:
        return u"an array of objects with id, key and value"_s;
    case Type::object:
        return u"an object"_s;
    }
    return {};
}

struct Field {
    QString key;
    Type type;
};

std::optional<QString> checkValue(const QString &path, const QJsonValue &value, Type type)
{
    const QString expected = path + u": expected "_s + typeName(type);
    switch (type) {
    case Type::string:
        return value.isString() ? std::nullopt : std::optional(expected);
    case Type::boolean:
        return value.isBool() ? std::nullopt : std::optional(expected);
    case Type::integer: {
        const double number = value.toDouble();
        return value.isDouble() && number == double(qint64(number)) ? std::nullopt : std::optional(expected);
    }
    case Type::object:
        return value.isObject() ? std::nullopt : std::optional(expected);
    case Type::stringList: {
        if (!value.isArray())
            return expected;
        const QJsonArray array = value.toArray();
        for (qsizetype i = 0; i < array.size(); ++i) {
            if (!array[i].isString())
                return path + u'[' + QString::number(i) + u"]: expected a string"_s;
        }
        return std::nullopt;
    }
    case Type::rows: {
        if (!value.isArray())
            return expected;
        const QJsonArray array = value.toArray();
        for (qsizetype i = 0; i < array.size(); ++i) {
            const QString rowPath = path + u'[' + QString::number(i) + u']';
            if (!array[i].isObject())
                return rowPath + u": expected an object with id, key and value"_s;
            const QJsonObject row = array[i].toObject();
            for (const QString &key : { u"id"_s, u"key"_s, u"value"_s }) {
                if (!row.contains(key))
                    return rowPath + u'.' + key + u": missing"_s;
                if (!row.value(key).isString())
                    return rowPath + u'.' + key + u": expected a string"_s;
            }
            if (QUuid::fromString(row.value(u"id"_s).toString()).isNull())
                return rowPath + u".id: expected a UUID"_s;
        }
        return std::nullopt;
    }
    }
    return std::nullopt;
}

std::optional<QString> checkObject(const QString &prefix, const QJsonObject &object, const QList<Field> &fields)
{
    for (const Field &field : fields) {
        const QString path = prefix.isEmpty() ? field.key : prefix + u'.' + field.key;
        if (!object.contains(field.key))
            return path + u": missing"_s;
        if (const auto problem = checkValue(path, object.value(field.key), field.type))
            return problem;
    }
    return std::nullopt;
}

// Line and column (both from 1) of a character offset into the document.
QString position(const QByteArray &json, int offset)
{
    const QByteArray before = json.left(offset);
    const qsizetype line = before.count('\n') + 1;
    const qsizetype column = offset - (before.lastIndexOf('\n') + 1) + 1;
    return u"line "_s + QString::number(line) + u", column "_s + QString::number(column);
}

} // namespace

std::optional<QString> firstProblem(const QByteArray &json)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError)
        return u"not JSON: "_s + error.errorString() + u" at "_s + position(json, error.offset);
    if (!document.isObject())
        return u"not a configuration: the document must be a JSON object"_s;
    const QJsonObject root = document.object();
    const QList<Field> top{ { u"plugins"_s, Type::stringList }, { u"p10kStyle"_s, Type::string },
        { u"aliases"_s, Type::rows }, { u"environment"_s, Type::rows }, { u"zshrcExtras"_s, Type::string },
        { u"backupDotfiles"_s, Type::boolean }, { u"dock"_s, Type::object }, { u"finder"_s, Type::object },
        { u"keyboard"_s, Type::object }, { u"gitName"_s, Type::string }, { u"gitEmail"_s, Type::string },
        { u"gitAliases"_s, Type::rows }, { u"gitSettings"_s, Type::rows }, { u"sshKeyType"_s, Type::string },
        { u"sshKeyFile"_s, Type::string }, { u"sshComment"_s, Type::string } };
    if (const auto problem = checkObject(QString(), root, top))
        return problem;
    const QList<Field> dock{ { u"autohide"_s, Type::boolean }, { u"autohideDelay"_s, Type::integer },
        { u"tileSize"_s, Type::integer }, { u"magnification"_s, Type::boolean }, { u"minimizeToApp"_s, Type::boolean },
        { u"showRecents"_s, Type::boolean } };
    const QList<Field> finder{ { u"showHiddenFiles"_s, Type::boolean }, { u"showExtensions"_s, Type::boolean },
        { u"showPathBar"_s, Type::boolean }, { u"showStatusBar"_s, Type::boolean }, { u"viewStyle"_s, Type::string } };
    const QList<Field> keyboard{ { u"keyRepeat"_s, Type::integer }, { u"initialKeyRepeat"_s, Type::integer },
        { u"disableSmartQuotes"_s, Type::boolean }, { u"disableSmartDashes"_s, Type::boolean } };
    if (const auto problem = checkObject(u"dock"_s, root.value(u"dock"_s).toObject(), dock))
        return problem;
    if (const auto problem = checkObject(u"finder"_s, root.value(u"finder"_s).toObject(), finder))
        return problem;
    if (const auto problem = checkObject(u"keyboard"_s, root.value(u"keyboard"_s).toObject(), keyboard))
        return problem;
    // Whatever the checks above do not cover is still refused as a whole.
    if (!SetupConfig::fromJson(json))
        return u"not a valid configuration"_s;
    return std::nullopt;
}

} // namespace ConfigValidator
