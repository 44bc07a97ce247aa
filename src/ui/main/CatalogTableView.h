#pragma once

#include <QTableView>

// The Packages table. A search changes the row list on every keystroke, and the model reports
// exactly which rows changed (rows added or removed at the end, one range of changed rows), so
// only those rows are repainted: a plain table view repaints every visible row whenever the row
// count changes, which costs more than all the rest of a keystroke. Every row must have the row
// header's default height. The view paints itself: each row's background once, one band per row
// (striped, see setStripedRows()), then each visible cell through its delegate, which draws the
// selection. It draws no grid, spans, hover or focus frame (the Packages table has none).
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

    // The next layout follows only row insertions or removals, which repainted what they moved.
    bool m_rowsMovedOnly = false;
    bool m_stripedRows = false;
};
