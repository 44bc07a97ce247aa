#include "ui/main/CatalogTableView.h"

#include "ui/main/CatalogCellDelegate.h"

#include <QAbstractItemDelegate>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionSlider>

#include <optional>

namespace {

// A scroll bar that repaints only when what it shows changes. The row count changes with almost
// every keystroke, but over thousands of rows the handle keeps its smallest size at the top, and
// the style's scroll bar (gradients, translucent lines over the full height) is among the
// costliest things the keystroke would otherwise draw.
class SteadyScrollBar : public QScrollBar {
public:
    using QScrollBar::QScrollBar;

protected:
    void sliderChange(SliderChange change) override
    {
        if (m_painted && *m_painted == look())
            return;
        QScrollBar::sliderChange(change);
    }

    void paintEvent(QPaintEvent *event) override
    {
        m_painted = look();
        QScrollBar::paintEvent(event);
    }

private:
    struct Look {
        QRect handle;
        bool atMinimum;
        bool atMaximum;
        bool empty;
        bool operator==(const Look &) const = default;
    };

    Look look() const
    {
        QStyleOptionSlider option;
        initStyleOption(&option);
        return { style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSlider, this),
            value() == minimum(), value() == maximum(), minimum() == maximum() };
    }

    std::optional<Look> m_painted;
};

} // namespace

CatalogTableView::CatalogTableView(QWidget *parent)
    : QTableView(parent)
{
    setVerticalScrollBar(new SteadyScrollBar(Qt::Vertical, this));
    viewport()->setAutoFillBackground(false);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    m_prepareTimer.setSingleShot(true);
    connect(&m_prepareTimer, &QTimer::timeout, this, &CatalogTableView::prepareRows);
}

void CatalogTableView::setStripedRows(bool striped)
{
    // The style's own alternating rows would be filled once more, cell by cell.
    setAlternatingRowColors(false);
    if (m_stripedRows == striped)
        return;
    m_stripedRows = striped;
    viewport()->update();
}

void CatalogTableView::paintEvent(QPaintEvent *event)
{
    // What lies below may have changed with what is painted: shaping ahead starts over once the
    // table is still.
    m_nextToPrepare = -1;
    m_prepareTimer.start(prepareDelayMs);

    QPainter painter(viewport());
    const QPalette::ColorGroup group = !isEnabled() ? QPalette::Disabled
        : isActiveWindow()                          ? QPalette::Active
                                                    : QPalette::Inactive;
    const QBrush &base = palette().brush(group, QPalette::Base);
    const QBrush &alternate = palette().brush(group, QPalette::AlternateBase);
    const int height = verticalHeader()->defaultSectionSize();
    const int rows = model() && height > 0 ? model()->rowCount(rootIndex()) : 0;
    const QRegion &region = event->region();
    // Below the last row, the plain background.
    const int rowsEnd = rows * height - verticalOffset();
    for (const QRect &rect : region) {
        if (rect.bottom() >= rowsEnd)
            painter.fillRect(rect.adjusted(0, std::max(0, rowsEnd - rect.top()), 0, 0), base);
    }
    if (rows == 0)
        return;

    // The cells, each handed to its delegate. Without a grid, spans or hidden rows this is all the
    // table view would do, minus the style's row panel and the option it builds anew per cell.
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    const QStyle::State state = option.state;
    const QItemSelectionModel *selection = selectionModel();
    const QModelIndex current = currentIndex();
    const bool focused = hasFocus() && current.isValid();
    const int columns = model()->columnCount(rootIndex());
    const QRect bounds = region.boundingRect();
    const int firstRow = std::max(0, (bounds.top() + verticalOffset()) / height);
    const int lastRow = std::min(rows - 1, (bounds.bottom() + verticalOffset()) / height);
    for (int row = firstRow; row <= lastRow; ++row) {
        const int top = row * height - verticalOffset();
        // The row's background right before its cells, while that part of the image is still in
        // the processor's cache for the text drawn onto it.
        const QRect band(0, top, viewport()->width(), height);
        for (const QRect &rect : region) {
            if (const QRect part = band & rect; !part.isEmpty())
                painter.fillRect(part, m_stripedRows && row % 2 ? alternate : base);
        }
        for (int column = 0; column < columns; ++column) {
            if (isColumnHidden(column))
                continue;
            const QRect cell(columnViewportPosition(column), top, columnWidth(column), height);
            if (!bounds.intersects(cell))
                continue;
            const QModelIndex index = model()->index(row, column, rootIndex());
            option.rect = cell;
            option.index = index;
            option.state = state;
            if (selection && selection->isSelected(index))
                option.state |= QStyle::State_Selected;
            if (focused && index == current)
                option.state |= QStyle::State_HasFocus;
            if (!(index.flags() & Qt::ItemIsEnabled))
                option.state &= ~QStyle::State_Enabled;
            itemDelegateForIndex(index)->paint(&painter, option, index);
        }
    }
}

void CatalogTableView::prepareRows()
{
    const auto *delegate = dynamic_cast<const CatalogCellDelegate *>(itemDelegate());
    const int height = verticalHeader()->defaultSectionSize();
    const int rows = model() ? model()->rowCount(rootIndex()) : 0;
    if (!delegate || height <= 0 || rows == 0)
        return;
    const int firstBelow = (viewport()->height() - 1 + verticalOffset()) / height + 1;
    const int last = std::min(rows, firstBelow + prepareScreens * (viewport()->height() / height + 1));
    if (m_nextToPrepare < 0) {
        m_nextToPrepare = firstBelow;
        delegate->releaseUnused();
    }
    const int end = std::min(last, m_nextToPrepare + prepareStep);

    QStyleOptionViewItem option;
    initViewItemOption(&option);
    const int columns = model()->columnCount(rootIndex());
    for (int row = m_nextToPrepare; row < end; ++row) {
        for (int column = 0; column < columns; ++column) {
            if (isColumnHidden(column))
                continue;
            option.rect = QRect(columnViewportPosition(column), 0, columnWidth(column), height);
            option.index = model()->index(row, column, rootIndex());
            delegate->prepare(option, option.index);
        }
    }
    m_nextToPrepare = end;
    if (end < last)
        m_prepareTimer.start(0);
}

void CatalogTableView::setModel(QAbstractItemModel *model)
{
    if (QAbstractItemModel *previous = this->model())
        disconnect(previous, nullptr, this, nullptr);
    QTableView::setModel(model);
    if (!model)
        return;
    // Anything but an insertion or removal needs the full repaint the base class does.
    const auto needsFullLayout = [this] { m_rowsMovedOnly = false; };
    connect(model, &QAbstractItemModel::modelReset, this, needsFullLayout);
    connect(model, &QAbstractItemModel::layoutChanged, this, needsFullLayout);
    connect(model, &QAbstractItemModel::rowsMoved, this, needsFullLayout);
    connect(model, &QAbstractItemModel::columnsInserted, this, needsFullLayout);
    connect(model, &QAbstractItemModel::columnsRemoved, this, needsFullLayout);
}

void CatalogTableView::doItemsLayout()
{
    const bool rowsMovedOnly = std::exchange(m_rowsMovedOnly, false);
    if (!rowsMovedOnly) {
        QTableView::doItemsLayout();
        return;
    }
    // What the base class does, without repainting the rows above the first change.
    const int offset = verticalOffset();
    updateGeometries();
    // Removing rows turns the hidden row header's updates off until the layout is done.
    if (!verticalHeader()->updatesEnabled())
        verticalHeader()->setUpdatesEnabled(true);
    if (verticalOffset() != offset)
        viewport()->update();
}

void CatalogTableView::dataChanged(const QModelIndex &topLeft, const QModelIndex &bottomRight, const QList<int> &roles)
{
    QTableView::dataChanged(topLeft, bottomRight, roles);
    // While a layout is pending the base class leaves the repaint to it, and that layout no longer
    // repaints everything.
    if (m_rowsMovedOnly && !topLeft.parent().isValid())
        updateRows(topLeft.row(), bottomRight.row());
}

void CatalogTableView::rowsInserted(const QModelIndex &parent, int start, int end)
{
    QTableView::rowsInserted(parent, start, end);
    if (parent.isValid())
        return;
    m_rowsMovedOnly = true;
    // The rows from `start` on moved down; past the old end there was nothing.
    updateRows(start, model()->rowCount() - 1);
}

void CatalogTableView::rowsAboutToBeRemoved(const QModelIndex &parent, int start, int end)
{
    QTableView::rowsAboutToBeRemoved(parent, start, end);
    if (parent.isValid())
        return;
    m_rowsMovedOnly = true;
    // The rows after them move up; below the new end there will be nothing.
    updateRows(start, model()->rowCount() - 1);
}

void CatalogTableView::updateRows(int first, int last)
{
    // Every row has the same height, so the place of a row is known even while the row header is
    // still catching up with a change.
    const int height = verticalHeader()->defaultSectionSize();
    const int top = std::max(0, first * height - verticalOffset());
    const int bottom = std::min(viewport()->height(), (last + 1) * height - verticalOffset());
    if (top < bottom)
        viewport()->update(QRect(0, top, viewport()->width(), bottom - top));
}
