#include "FakeBrewState.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace fakebrew {

namespace {

QStringList toStringList(const QJsonValue &value)
{
    QStringList result;
    const QJsonArray array = value.toArray();
    for (const QJsonValue &item : array)
        if (item.isString())
            result.append(item.toString());
    return result;
}

QJsonObject toJson(const FakeBrewState::Package &package)
{
    return QJsonObject{
        { u"name"_s, package.name },
        { u"version"_s, package.version },
        { u"installedVersions"_s, QJsonArray::fromStringList(package.installedVersions) },
        { u"dependencies"_s, QJsonArray::fromStringList(package.dependencies) },
        { u"app"_s, package.app },
        { u"fonts"_s, QJsonArray::fromStringList(package.fonts) },
        { u"autoUpdates"_s, package.autoUpdates },
        { u"pinned"_s, package.pinned },
        { u"inCatalog"_s, package.inCatalog },
        { u"fails"_s, package.fails },
        { u"failureMessage"_s, package.failureMessage },
        { u"delayMs"_s, package.delayMs },
        { u"floodBytes"_s, package.floodBytes },
        { u"installedOnRequest"_s, package.installedOnRequest },
        { u"installedTime"_s, package.installedTime },
        { u"desc"_s, package.desc },
        { u"tap"_s, package.tap },
        { u"displayName"_s, package.displayName },
        { u"zap"_s, QJsonArray::fromStringList(package.zap) },
    };
}

FakeBrewState::Package packageFromJson(const QJsonObject &object)
{
    FakeBrewState::Package package;
    package.name = object.value(u"name"_s).toString();
    package.version = object.value(u"version"_s).toString();
    package.installedVersions = toStringList(object.value(u"installedVersions"_s));
    package.dependencies = toStringList(object.value(u"dependencies"_s));
    package.app = object.value(u"app"_s).toString();
    package.fonts = toStringList(object.value(u"fonts"_s));
    package.autoUpdates = object.value(u"autoUpdates"_s).toBool();
    package.pinned = object.value(u"pinned"_s).toBool();
    package.inCatalog = object.value(u"inCatalog"_s).toBool(true);
    package.fails = object.value(u"fails"_s).toBool();
    package.failureMessage = object.value(u"failureMessage"_s).toString();
    package.delayMs = object.value(u"delayMs"_s).toInt();
    package.floodBytes = object.value(u"floodBytes"_s).toInteger();
    package.installedOnRequest = object.value(u"installedOnRequest"_s).toBool(true);
    package.installedTime = object.value(u"installedTime"_s).toInteger();
    package.desc = object.value(u"desc"_s).toString();
    package.tap = object.value(u"tap"_s).toString();
    package.displayName = object.value(u"displayName"_s).toString();
    package.zap = toStringList(object.value(u"zap"_s));
    return package;
}

QJsonArray toJson(const QList<FakeBrewState::Package> &packages)
{
    QJsonArray array;
    for (const FakeBrewState::Package &package : packages)
        array.append(toJson(package));
    return array;
}

QList<FakeBrewState::Package> packagesFromJson(const QJsonValue &value)
{
    QList<FakeBrewState::Package> packages;
    const QJsonArray array = value.toArray();
    for (const QJsonValue &item : array)
        if (item.isObject())
            packages.append(packageFromJson(item.toObject()));
    return packages;
}

QJsonObject toJson(const FakeBrewState::Service &service)
{
    return QJsonObject{
        { u"name"_s, service.name },
        { u"status"_s, service.status },
        { u"pid"_s, service.pid },
        { u"exitCode"_s, service.exitCode ? QJsonValue(*service.exitCode) : QJsonValue() },
        { u"registered"_s, service.registered },
        { u"user"_s, service.user },
        { u"interval"_s, service.interval },
        { u"cron"_s, service.cron },
        { u"crashExitCode"_s, service.crashExitCode },
        { u"bootstrapFails"_s, service.bootstrapFails },
        { u"label"_s, service.label },
    };
}

FakeBrewState::Service serviceFromJson(const QJsonObject &object)
{
    FakeBrewState::Service service;
    service.name = object.value(u"name"_s).toString();
    service.status = object.value(u"status"_s).toString(service.status);
    service.pid = object.value(u"pid"_s).toInt();
    if (object.value(u"exitCode"_s).isDouble())
        service.exitCode = object.value(u"exitCode"_s).toInt();
    service.registered = object.value(u"registered"_s).toBool();
    service.user = object.value(u"user"_s).toString();
    service.interval = object.value(u"interval"_s).toInt();
    service.cron = object.value(u"cron"_s).toString();
    service.crashExitCode = object.value(u"crashExitCode"_s).toInt();
    service.bootstrapFails = object.value(u"bootstrapFails"_s).toBool();
    service.label = object.value(u"label"_s).toString();
    return service;
}

QList<int> versionNumbers(const QString &version)
{
    QList<int> numbers;
    const QStringList parts = version.split(u'.');
    for (const QString &part : parts) {
        qsizetype digits = 0;
        while (digits < part.size() && part.at(digits).isDigit())
            ++digits;
        numbers.append(part.left(digits).toInt());
    }
    return numbers;
}

} // namespace

FakeBrewState::Service *FakeBrewState::service(const QString &name)
{
    for (Service &entry : services)
        if (entry.name == name)
            return &entry;
    return nullptr;
}

bool FakeBrewState::versionAtLeast(const QString &version) const
{
    QList<int> have = versionNumbers(homebrewVersion);
    QList<int> want = versionNumbers(version);
    const qsizetype length = std::max(have.size(), want.size());
    have.resize(length, 0);
    want.resize(length, 0);
    return have >= want;
}

QString FakeBrewState::fullName(const Package &package, Kind kind)
{
    const QString defaultTap = kind == Kind::formula ? u"homebrew/core"_s : u"homebrew/cask"_s;
    return package.tap.isEmpty() || package.tap == defaultTap ? package.name : package.tap + u'/' + package.name;
}

FakeBrewState::Package *FakeBrewState::find(Kind kind, const QString &name)
{
    for (Package &package : packages(kind))
        if (package.name == name)
            return &package;
    return nullptr;
}

const FakeBrewState::Package *FakeBrewState::find(Kind kind, const QString &name) const
{
    return const_cast<FakeBrewState *>(this)->find(kind, name);
}

QByteArray FakeBrewState::toJson() const
{
    QJsonObject failing;
    for (auto it = failingCommands.cbegin(); it != failingCommands.cend(); ++it)
        failing.insert(it.key(), it.value());
    const QJsonObject update{
        { u"homebrewVersion"_s, pendingUpdate.homebrewVersion },
        { u"newFormulae"_s, QJsonArray::fromStringList(pendingUpdate.newFormulae) },
        { u"newCasks"_s, QJsonArray::fromStringList(pendingUpdate.newCasks) },
    };
    QJsonArray services_;
    for (const Service &service : services)
        services_.append(fakebrew::toJson(service));
    QJsonArray downloads_;
    for (const Download &download : downloads)
        downloads_.append(QJsonObject{
            { u"file"_s, download.file }, { u"bytes"_s, download.bytes }, { u"ageDays"_s, download.ageDays } });
    QJsonArray masApps_;
    for (const MasApp &app : masApps)
        masApps_.append(QJsonObject{ { u"name"_s, app.name }, { u"id"_s, app.id } });
    QJsonArray extensions_;
    for (const Extension &extension : extensions)
        extensions_.append(QJsonObject{ { u"type"_s, extension.type }, { u"name"_s, extension.name } });
    const QJsonObject root{
        { u"homebrewVersion"_s, homebrewVersion },
        { u"prefix"_s, prefix },
        { u"bottleTag"_s, bottleTag },
        { u"systemRoot"_s, systemRoot },
        { u"home"_s, home },
        { u"formulae"_s, fakebrew::toJson(formulae) },
        { u"casks"_s, fakebrew::toJson(casks) },
        { u"failingCommands"_s, failing },
        { u"pendingUpdate"_s, update },
        { u"services"_s, services_ },
        { u"taps"_s, QJsonArray::fromStringList(taps) },
        { u"downloads"_s, downloads_ },
        { u"masApps"_s, masApps_ },
        { u"extensions"_s, extensions_ },
    };
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

std::optional<FakeBrewState> FakeBrewState::fromJson(const QByteArray &json)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    const QJsonObject root = document.object();
    FakeBrewState state;
    state.homebrewVersion = root.value(u"homebrewVersion"_s).toString(state.homebrewVersion);
    state.prefix = root.value(u"prefix"_s).toString(state.prefix);
    state.bottleTag = root.value(u"bottleTag"_s).toString(state.bottleTag);
    state.systemRoot = root.value(u"systemRoot"_s).toString();
    state.home = root.value(u"home"_s).toString();
    state.formulae = packagesFromJson(root.value(u"formulae"_s));
    state.casks = packagesFromJson(root.value(u"casks"_s));
    const QJsonObject failing = root.value(u"failingCommands"_s).toObject();
    for (auto it = failing.constBegin(); it != failing.constEnd(); ++it)
        state.failingCommands.insert(it.key(), it.value().toString());
    const QJsonObject update = root.value(u"pendingUpdate"_s).toObject();
    state.pendingUpdate.homebrewVersion = update.value(u"homebrewVersion"_s).toString();
    state.pendingUpdate.newFormulae = toStringList(update.value(u"newFormulae"_s));
    state.pendingUpdate.newCasks = toStringList(update.value(u"newCasks"_s));
    for (const QJsonValue &item : root.value(u"services"_s).toArray())
        state.services.append(serviceFromJson(item.toObject()));
    state.taps = toStringList(root.value(u"taps"_s));
    for (const QJsonValue &item : root.value(u"downloads"_s).toArray()) {
        const QJsonObject object = item.toObject();
        state.downloads.append({ object.value(u"file"_s).toString(), object.value(u"bytes"_s).toInteger(),
            object.value(u"ageDays"_s).toInt() });
    }
    for (const QJsonValue &item : root.value(u"masApps"_s).toArray()) {
        const QJsonObject object = item.toObject();
        state.masApps.append({ object.value(u"name"_s).toString(), object.value(u"id"_s).toInteger() });
    }
    for (const QJsonValue &item : root.value(u"extensions"_s).toArray()) {
        const QJsonObject object = item.toObject();
        state.extensions.append({ object.value(u"type"_s).toString(), object.value(u"name"_s).toString() });
    }
    return state;
}

std::optional<FakeBrewState> FakeBrewState::load(const QString &folder)
{
    QFile file(QDir(folder).filePath(fileName()));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return fromJson(file.readAll());
}

bool FakeBrewState::save(const QString &folder) const
{
    if (!QDir().mkpath(folder))
        return false;
    QSaveFile file(QDir(folder).filePath(fileName()));
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const QByteArray json = toJson();
    return file.write(json) == json.size() && file.commit();
}

} // namespace fakebrew
