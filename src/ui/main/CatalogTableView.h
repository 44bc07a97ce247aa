#pragma once

#include <QTableView>
#include <QTimer>

// The Packages table. A search changes the row list on every keystroke, and the model reports
// exactly which rows changed (rows added or removed at the end, one range of changed rows), so
// only those rows are repainted: a plain table view repaints every visible row whenever the row
// count changes, which costs more than all the rest of a keystroke. Every row must have the row
// header's default height. The view paints itself: each row's background once, one band per row
// (striped, see setStripedRows()), then each visible cell through its delegate, which draws the
// selection. It draws no grid, spans, hover or focus frame (the Packages table has none).
//
// Once the table has been still for a moment, it has its delegate (a CatalogCellDelegate) shape
// the texts of the three screenfuls of rows below the visible ones, a few rows at a time: a
// narrower search or a page down shows them next, and shaping is the costliest part of drawing a
// new row.
class CatalogTableView : public QTableView {
    Q_OBJECT

public:
    explicit CatalogTableView(QWidget *parent = nullptr);

    void setModel(QAbstractItemModel *model) override;
    // Every other row on the alternate background. Turns the item view's own alternating rows off.
    void setStripedRows(bool striped);
    void doItemsLayout() override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void dataChanged(
        const QModelIndex &topLeft, const QModelIndex &bottomRight, const QList<int> &roles = QList<int>()) override;
    void rowsInserted(const QModelIndex &parent, int start, int end) override;
    void rowsAboutToBeRemoved(const QModelIndex &parent, int start, int end) override;

private:
    // Repaints the visible part of rows `first` to `last`.
    void updateRows(int first, int last);
    // Shapes the next few rows below the visible ones; reschedules itself until
    // `prepareScreens` screenfuls are done.
    void prepareRows();

    // How long the table stays unchanged before rows are shaped ahead, and how many rows are
    // shaped at a time: a key pressed meanwhile waits for at most one such step.
    static constexpr int prepareDelayMs = 10;
    static constexpr int prepareStep = 4;
    static constexpr int prepareScreens = 3;
    QTimer m_prepareTimer;
    // The next row to shape ahead, or -1 to start below the visible rows.
    int m_nextToPrepare = -1;

    // The next layout follows only row insertions or removals, which repainted what they moved.
    bool m_rowsMovedOnly = false;
    bool m_stripedRows = false;
};
