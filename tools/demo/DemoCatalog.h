#pragma once

#include "FakeBrewState.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// The packages of the demo's simulated Mac: a few hundred real-looking formulae and casks, some
// installed, a handful of them outdated. The same table feeds the fake brew and the catalog
// documents served on loopback, so the two always agree.
namespace DemoCatalog {

struct Entry {
    bool isCask = false;
    QString name; // formula name or cask token
    QString displayName; // casks: the app's name
    QString version; // what the catalog offers
    QString installed; // empty: not installed; else the installed version
    QString desc;
    QString homepage;
    QStringList dependencies; // formulae
    bool autoUpdates = false; // casks that update themselves
    bool operator==(const Entry &) const = default;
};

QList<Entry> entries();

// The documents of the JSON API for these entries.
QByteArray formulaDocument(const QList<Entry> &entries);
QByteArray caskDocument(const QList<Entry> &entries);
// The details document of one package, or an empty array when there is no such package.
QByteArray detailsDocument(const QList<Entry> &entries, bool isCask, const QString &name);

// The rest of a package's life on the simulated Mac, added to the fake brew's state built from
// the entries: descriptions, which formulae came in only as dependencies (two of them no longer
// needed), pinned formulae, older versions waiting for a cleanup, cached downloads, a tap, what a
// zap removes, and services in different states.
void addLifecycle(const QList<Entry> &entries, fakebrew::FakeBrewState &state);
// A Brewfile to import: some of it installed already, some not.
QByteArray brewfile();

} // namespace DemoCatalog
