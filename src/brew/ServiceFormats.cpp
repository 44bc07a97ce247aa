#include "brew/ServiceFormats.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

using namespace Qt::StringLiterals;

namespace {

std::optional<int> optionalInt(const QJsonValue &value)
{
    if (!value.isDouble())
        return std::nullopt;
    return value.toInt();
}

std::optional<QString> optionalString(const QJsonValue &value)
{
    if (!value.isString())
        return std::nullopt;
    return value.toString();
}

} // namespace

namespace ServiceFormats {

std::optional<QList<ServiceEntry>> decodeServiceList(const QByteArray &json)
{
    if (json.trimmed().isEmpty())
        return QList<ServiceEntry>();
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !document.isArray())
        return std::nullopt;
    QList<ServiceEntry> services;
    for (const QJsonValue &value : document.array()) {
        const QJsonObject object = value.toObject();
        const QString name = object.value(u"name"_s).toString();
        if (name.isEmpty())
            continue;
        services.append({ .name = name,
            .status = object.value(u"status"_s).toString(),
            .user = optionalString(object.value(u"user"_s)),
            .file = object.value(u"file"_s).toString(),
            .exitCode = optionalInt(object.value(u"exit_code"_s)) });
    }
    return services;
}

std::optional<ServiceDetails> decodeServiceDetails(const QByteArray &json, const QString &name)
{
    const QJsonDocument document = QJsonDocument::fromJson(json);
    for (const QJsonValue &value : document.array()) {
        const QJsonObject object = value.toObject();
        if (object.value(u"name"_s).toString() != name)
            continue;
        return ServiceDetails{ .name = name,
            .serviceName = object.value(u"service_name"_s).toString(),
            .running = object.value(u"running"_s).toBool(),
            .loaded = object.value(u"loaded"_s).toBool(),
            .registered = object.value(u"registered"_s).toBool(),
            .pid = optionalInt(object.value(u"pid"_s)),
            .exitCode = optionalInt(object.value(u"exit_code"_s)),
            .user = optionalString(object.value(u"user"_s)),
            .status = object.value(u"status"_s).toString(),
            .file = object.value(u"file"_s).toString(),
            .logPath = optionalString(object.value(u"log_path"_s)),
            .errorLogPath = optionalString(object.value(u"error_log_path"_s)) };
    }
    return std::nullopt;
}

QList<BrewfileItem> decodeBundleCheck(const QString &output)
{
    // Kinds of one word put the rest of the text in the name (App names have spaces); longer
    // kinds ("VSCode Extension", "Go Package") have names without spaces.
    static const QStringList oneWordKinds{ u"Tap"_s, u"Formula"_s, u"Cask"_s, u"App"_s, u"Service"_s };
    static const QString marker = u"→ "_s;
    static const QString needs = u" needs to be "_s;
    QList<BrewfileItem> items;
    for (QString line : output.split(u'\n')) {
        line = line.trimmed();
        if (!line.startsWith(marker))
            continue;
        line = line.mid(marker.size());
        const qsizetype at = line.indexOf(needs);
        if (at <= 0)
            continue;
        const QString subject = line.left(at);
        BrewfileItem item;
        item.reason = line.mid(at + 1);
        const QString first = subject.section(u' ', 0, 0);
        if (oneWordKinds.contains(first) || !subject.contains(u' ')) {
            item.kind = first;
            item.name = subject.section(u' ', 1);
        } else {
            item.kind = subject.section(u' ', 0, -2);
            item.name = subject.section(u' ', -1);
        }
        items.append(item);
    }
    return items;
}

BundleLine classifyBundleLine(QStringView line)
{
    if (line.startsWith(u"Using "_s))
        return BundleLine::alreadyThere;
    // "Installing wget", "Upgrading firefox", "Tapping hashicorp/tap"; not brew's failure line
    // "Installing wget has failed!".
    for (const QStringView verb : { QStringView(u"Installing "), QStringView(u"Upgrading "), QStringView(u"Tapping ") })
        if (line.startsWith(verb) && !line.endsWith(u" has failed!"_s))
            return BundleLine::installed;
    return BundleLine::other;
}

QString errorMessage(const QString &output)
{
    static const QRegularExpression lineBreak(u"[\r\n]+"_s);
    const QStringList lines = output.split(lineBreak, Qt::SkipEmptyParts);
    qsizetype first = -1;
    for (qsizetype i = 0; i < lines.size(); ++i)
        if (lines.at(i).startsWith(u"Error: "_s)) {
            first = i;
            break;
        }
    if (first >= 0)
        return lines.mid(first).join(u'\n').trimmed();
    return lines.isEmpty() ? QString() : lines.last().trimmed();
}

} // namespace ServiceFormats
