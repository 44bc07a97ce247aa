#pragma once

#include "brew/Package.h"

#include <QPointer>
#include <QWidget>

#include <optional>

class BrewStore;
class PackageDetailView;
class QSplitter;

// The column beside a package table that shows the focused package's detail. The detail view
// belongs to one package: a new package gets a new view, so a late answer for the old one never
// lands in it.
class PackageInspector : public QWidget {
    Q_OBJECT

public:
    // `splitter` holds the table and this column; `closable` adds a close button at the top.
    PackageInspector(BrewStore *store, QSplitter *splitter, bool closable);

    // Shows `package` (nothing when absent) and opens or hides the column.
    void present(const std::optional<Package> &package, bool open);

Q_SIGNALS:
    void closeRequested();

private:
    QPointer<BrewStore> m_store;
    QSplitter *m_splitter;
    PackageDetailView *m_detail = nullptr;
};
