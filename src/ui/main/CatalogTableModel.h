#pragma once

#include "brew/Package.h"
#include "ui/main/PackageTableModel.h"

#include <QColor>
#include <QFont>
#include <QIcon>
#include <QList>
#include <QPointer>
#include <QUrl>

#include <optional>

class BrewStore;

// The rows of the Packages table. It holds the computed rows (positions in a shared copy of the
// catalog) and never filters on its own; ticks and installed marks are read from the store when
// a cell is drawn, so a changed selection only repaints.
class CatalogTableModel : public PackageTableModel {
    Q_OBJECT

public:
    enum Column { tickColumn, nameColumn, typeColumn, versionColumn, descriptionColumn, homepageColumn, columnCount_ };

    // bool: the package is marked deprecated (the name cell adds the word).
    static constexpr int deprecatedRole = Qt::UserRole;
    // QString: the package id ("formula:wget").
    static constexpr int idRole = Qt::UserRole + 1;
    // QUrl: the homepage, when it is a usable web address; invalid otherwise.
    static constexpr int homepageRole = Qt::UserRole + 2;
    // bool: the package is installed (no tick box).
    static constexpr int installedRole = Qt::UserRole + 3;

    explicit CatalogTableModel(BrewStore *store, QObject *parent = nullptr);

    // `catalog` is kept as an implicitly shared copy, so the rows stay valid while the store
    // replaces its own catalog. Another catalog resets the model; new rows over the same one
    // are reported as rows added or removed at the end plus one range of changed rows.
    void setRows(const QList<Package> &catalog, const QList<qsizetype> &rows);
    const Package &packageAt(int row) const;
    // The row showing `id`, or -1.
    int rowOf(const QString &id) const;
    // The tick boxes or installed marks changed without the rows changing.
    void refreshTicks();

    // The address a homepage text stands for, when it is one a browser can open.
    static std::optional<QUrl> homepageUrl(const QString &homepage);

    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

private:
    int shownRowCount() const override { return int(m_rows.size()); }
    // Whether the row's homepage can be opened, worked out once per package: the link column asks
    // on every repaint, and parsing an address costs more than the rest of the row.
    bool hasHomepageUrl(int row) const;

    QPointer<BrewStore> m_store;
    QList<Package> m_catalog;
    QList<qsizetype> m_rows;
    enum : qint8 { unknown, yes, no };
    // By catalog position: unknown, yes or no.
    mutable QList<qint8> m_homepageUsable;
    QIcon m_installedIcon;
    QIcon m_homepageIcon;
    // Asked for on every repaint of every visible row: made once.
    QFont m_nameFont;
};
