#include "FakeBrewState.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

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

} // namespace

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
