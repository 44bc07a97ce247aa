#include "brew/InstalledFormats.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

using namespace Qt::StringLiterals;

namespace InstalledFormats {

namespace {

QString string(const QJsonObject &object, QLatin1StringView key)
{
    const QJsonValue value = object.value(key);
    return value.isString() ? value.toString() : QString();
}

std::optional<QDateTime> time(const QJsonValue &value)
{
    // Old receipts have no time.
    if (!value.isDouble() || value.toDouble() <= 0)
        return std::nullopt;
    return QDateTime::fromSecsSinceEpoch(qint64(value.toDouble()));
}

std::optional<InstalledPackage> formulaFrom(const QJsonObject &item)
{
    InstalledPackage package;
    package.kind = PackageKind::formula;
    package.name = string(item, "name"_L1);
    const QJsonArray kegs = item.value("installed"_L1).toArray();
    if (package.name.isEmpty() || kegs.isEmpty())
        return std::nullopt;
    package.displayName = package.name;
    package.desc = string(item, "desc"_L1);
    package.homepage = string(item, "homepage"_L1);
    package.latestVersion = string(item.value("versions"_L1).toObject(), "stable"_L1);
    // Kegs run from the oldest to the newest; the newest decides how it was installed.
    for (const QJsonValue &keg : kegs)
        package.installedVersions.append(string(keg.toObject(), "version"_L1));
    const QJsonObject newest = kegs.last().toObject();
    const QString linked = string(item, "linked_keg"_L1);
    package.version = linked.isEmpty() ? package.installedVersions.last() : linked;
    // Homebrew 5.1.9 and later record only installed_on_request; what it does not say was
    // asked for came in as a dependency.
    package.onRequest = newest.value("installed_on_request"_L1).toBool(false);
    package.installedTime = time(newest.value("time"_L1));
    package.pinned = item.value("pinned"_L1).toBool(false);
    package.outdated = item.value("outdated"_L1).toBool(false);
    return package;
}

std::optional<InstalledPackage> caskFrom(const QJsonObject &item)
{
    InstalledPackage package;
    package.kind = PackageKind::cask;
    package.name = string(item, "token"_L1);
    package.version = string(item, "installed"_L1);
    if (package.name.isEmpty() || package.version.isEmpty())
        return std::nullopt;
    const QJsonArray names = item.value("name"_L1).toArray();
    package.displayName = !names.isEmpty() && names.first().isString() ? names.first().toString() : package.name;
    package.desc = string(item, "desc"_L1);
    package.homepage = string(item, "homepage"_L1);
    package.latestVersion = string(item, "version"_L1);
    package.installedVersions = { package.version };
    package.onRequest = true;
    package.installedTime = time(item.value("installed_time"_L1));
    package.pinned = item.value("pinned"_L1).toBool(false);
    package.outdated = item.value("outdated"_L1).toBool(false);
    package.autoUpdates = item.value("auto_updates"_L1).toBool(false);
    return package;
}

} // namespace

std::optional<QList<InstalledPackage>> decodeInstalled(QByteArrayView json)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json.toByteArray(), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    const QJsonObject root = document.object();
    const QJsonValue formulae = root.value("formulae"_L1);
    const QJsonValue casks = root.value("casks"_L1);
    if (!formulae.isArray() || !casks.isArray())
        return std::nullopt;
    QList<InstalledPackage> packages;
    for (const QJsonValue &value : formulae.toArray())
        if (auto package = formulaFrom(value.toObject()))
            packages.append(std::move(*package));
    for (const QJsonValue &value : casks.toArray())
        if (auto package = caskFrom(value.toObject()))
            packages.append(std::move(*package));
    return packages;
}

QStringList names(const QString &output)
{
    static const QRegularExpression lineBreak(u"[\r\n]"_s);
    QStringList result;
    for (const QString &line : output.split(lineBreak, Qt::SkipEmptyParts)) {
        const QString name = line.trimmed();
        if (!name.isEmpty())
            result.append(name);
    }
    return result;
}

CleanupPreview parseCleanupPreview(const QString &cleanupOutput, const QString &autoremoveOutput)
{
    static const QRegularExpression total(u"^==> This operation would free approximately (\\S+) of disk space\\."_s);
    CleanupPreview preview;
    for (const QString &line : names(cleanupOutput)) {
        if (line.startsWith(u"Would remove: "_s))
            preview.removals.append(line.mid(14));
        else if (line.startsWith(u"Would remove ("_s)) // broken links and empty folders
            preview.removals.append(line.mid(13));
        else if (const auto match = total.match(line); match.hasMatch())
            preview.total = match.captured(1);
    }
    // "==> Would autoremove 2 unneeded formulae:" and then one name per line.
    bool inList = false;
    for (const QString &line : names(autoremoveOutput)) {
        if (line.startsWith(u"==> "_s)) {
            inList = line.startsWith(u"==> Would autoremove "_s);
            continue;
        }
        if (inList)
            preview.unneeded.append(line);
    }
    return preview;
}

std::optional<QString> freedSpace(const QString &cleanupOutput)
{
    static const QRegularExpression freed(
        u"^==> This operation has freed approximately (\\S+) of disk space\\."_s, QRegularExpression::MultilineOption);
    const auto match = freed.match(cleanupOutput);
    if (!match.hasMatch())
        return std::nullopt;
    return match.captured(1);
}

} // namespace InstalledFormats
