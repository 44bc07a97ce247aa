#pragma once

#include "brew/Package.h"

#include <QAbstractTableModel>
#include <QIcon>
#include <QStringList>

// What every package table of the main window has in common: a flat list of rows under fixed
// column titles, selectable whole rows, and the check that an index really is one of its cells.
class PackageTableModel : public QAbstractTableModel {
    Q_OBJECT

public:
    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // "Formula" or "Cask", as the Type columns show it.
    static QString kindText(PackageKind kind);

protected:
    // One title per column; an empty title leaves a narrow column unlabelled.
    PackageTableModel(QStringList columnTitles, QObject *parent);

    virtual int shownRowCount() const = 0;
    bool isShown(const QModelIndex &index) const;

    // The cells the tables share: the pin mark (with what it means in `tooltip`), the name in
    // medium weight, and the type in the secondary colour.
    QVariant pinCell(bool pinned, int role, const QString &tooltip) const;
    static QVariant nameCell(const QString &name, int role);
    static QVariant kindCell(PackageKind kind, int role);

private:
    QStringList m_columnTitles;
    QIcon m_pinIcon;
};
