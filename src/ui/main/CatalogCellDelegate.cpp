#include "ui/main/CatalogCellDelegate.h"

#include "ui/Colors.h"
#include "ui/Fonts.h"
#include "ui/main/CatalogTableModel.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include <cmath>

using namespace Qt::StringLiterals;

CatalogCellDelegate::CatalogCellDelegate(QObject *parent)
    : QStyledItemDelegate(parent)
    , m_tagFont(Fonts::font(Fonts::Style::caption))
    , m_tag(u"deprecated"_s)
{
    m_tag.setTextFormat(Qt::PlainText);
    m_tag.prepare(QTransform(), m_tagFont);
}

void CatalogCellDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    const QWidget *widget = option.widget;
    QStyle *style = widget ? widget->style() : QApplication::style();
    // The view has drawn the (alternate) row background; a selected row is filled here, as the
    // style's item panel would, without the style's general path.
    const bool selected = option.state & QStyle::State_Selected;
    if (selected) {
        const QPalette::ColorGroup group = !(option.state & QStyle::State_Enabled) ? QPalette::Disabled
            : (option.state & QStyle::State_Active)                                ? QPalette::Normal
                                                                                   : QPalette::Inactive;
        painter->fillRect(option.rect, option.palette.brush(group, QPalette::Highlight));
    }
    switch (index.column()) {
    case CatalogTableModel::tickColumn:
    case CatalogTableModel::homepageColumn:
        paintCentred(painter, option, index, style);
        return;
    default:
        break;
    }

    QFont cellFont;
    bool deprecated = false;
    const ShapedLines::Line *shown = shapedText(option, index, cellFont, deprecated);
    if (!shown)
        return;
    const QVariant foreground = index.data(Qt::ForegroundRole);
    QColor color = option.palette.color(selected ? QPalette::HighlightedText : QPalette::Text);
    if (!selected && foreground.isValid())
        color = foreground.value<QColor>();

    const QRect rect = option.rect.adjusted(horizontalMargin, 0, -horizontalMargin, 0);
    const QFontMetricsF metrics(cellFont);
    const QPointF topLeft(rect.left(), rect.top() + (rect.height() - metrics.height()) / 2);

    // The text is cut to the cell already, so no clipping; the glyphs carry their font, and the
    // pen is put back by hand, which costs far less than saving and restoring the whole painter.
    const QPen pen = painter->pen();
    painter->setPen(color);
    for (const QGlyphRun &run : shown->glyphs)
        painter->drawGlyphRun(topLeft, run);
    if (deprecated) {
        // On the name's baseline, though smaller.
        const qreal tagTop = topLeft.y() + metrics.ascent() - QFontMetricsF(m_tagFont).ascent();
        const QFont painterFont = painter->font();
        painter->setFont(m_tagFont);
        painter->setPen(Colors::orange());
        painter->drawStaticText(QPointF(rect.left() + shown->width + 6, tagTop), m_tag);
        painter->setFont(painterFont);
    }
    painter->setPen(pen);
}

void CatalogCellDelegate::prepare(const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    QFont font;
    bool deprecated = false;
    if (!shapedText(option, index, font, deprecated))
        // The tick and link columns: the model works out what they show once per package.
        index.data(Qt::DecorationRole);
}

const ShapedLines::Line *CatalogCellDelegate::shapedText(
    const QStyleOptionViewItem &option, const QModelIndex &index, QFont &font, bool &deprecated) const
{
    if (index.column() == CatalogTableModel::tickColumn || index.column() == CatalogTableModel::homepageColumn)
        return nullptr;
    const QString text = index.data(Qt::DisplayRole).toString();
    if (text.isEmpty())
        return nullptr;
    const QVariant fontData = index.data(Qt::FontRole);
    font = fontData.isValid() ? fontData.value<QFont>() : option.font;
    deprecated
        = index.column() == CatalogTableModel::nameColumn && index.data(CatalogTableModel::deprecatedRole).toBool();
    const int tagWidth = deprecated ? int(std::ceil(m_tag.size().width())) + 6 : 0;
    return &m_lines.line(text, font, std::max(0, option.rect.width() - 2 * horizontalMargin - tagWidth));
}

bool CatalogCellDelegate::editorEvent(
    QEvent *event, QAbstractItemModel *model, const QStyleOptionViewItem &option, const QModelIndex &index)
{
    if (!(index.flags() & Qt::ItemIsUserCheckable) || !(index.flags() & Qt::ItemIsEnabled))
        return false;
    if (event->type() == QEvent::MouseButtonRelease || event->type() == QEvent::MouseButtonDblClick
        || event->type() == QEvent::MouseButtonPress) {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        // The whole narrow cell is the target, not just the small box.
        if (mouse->button() != Qt::LeftButton || !option.rect.contains(mouse->position().toPoint()))
            return false;
        if (event->type() != QEvent::MouseButtonRelease)
            return true;
    } else if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key != Qt::Key_Space && key != Qt::Key_Select)
            return false;
    } else {
        return false;
    }
    const auto state = index.data(Qt::CheckStateRole).value<Qt::CheckState>();
    return model->setData(index, state == Qt::Checked ? Qt::Unchecked : Qt::Checked, Qt::CheckStateRole);
}

void CatalogCellDelegate::paintCentred(
    QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index, QStyle *style) const
{
    const QWidget *widget = option.widget;
    const QVariant check = index.data(Qt::CheckStateRole);
    if (check.isValid()) {
        QStyleOptionViewItem box = option;
        const int width = style->pixelMetric(QStyle::PM_IndicatorWidth, &option, widget);
        const int height = style->pixelMetric(QStyle::PM_IndicatorHeight, &option, widget);
        box.rect
            = QRect(option.rect.center().x() - width / 2 + 1, option.rect.center().y() - height / 2 + 1, width, height);
        box.state &= ~QStyle::State_HasFocus;
        box.state |= check.value<Qt::CheckState>() == Qt::Checked ? QStyle::State_On : QStyle::State_Off;
        paintCheck(painter, box, style);
        return;
    }
    const QVariant decoration = index.data(Qt::DecorationRole);
    if (!decoration.isValid())
        return;
    const QIcon icon = decoration.value<QIcon>();
    if (icon.isNull())
        return;
    const QSize size(16, 16);
    const qreal ratio = painter->device() ? painter->device()->devicePixelRatio() : 1.0;
    const IconKey key{ icon.cacheKey(), size, ratio };
    auto found = m_icons.constFind(key);
    if (found == m_icons.cend()) {
        // Two icons in practice; the limit only guards against icons made anew for every row.
        if (m_icons.size() >= 64)
            m_icons.clear();
        found = m_icons.insert(key, icon.pixmap(size, ratio));
    }
    painter->drawPixmap(
        QRect(QPoint(option.rect.center().x() - size.width() / 2 + 1, option.rect.center().y() - size.height() / 2 + 1),
            size),
        *found);
}

void CatalogCellDelegate::paintCheck(QPainter *painter, const QStyleOptionViewItem &box, QStyle *style) const
{
    const qreal ratio = painter->device() ? painter->device()->devicePixelRatio() : 1.0;
    const CheckKey key{ int(box.state), box.rect.size(), ratio, box.palette.cacheKey(), style };
    auto found = m_checks.constFind(key);
    if (found == m_checks.cend()) {
        QPixmap pixmap(box.rect.size() * ratio);
        pixmap.setDevicePixelRatio(ratio);
        pixmap.fill(Qt::transparent);
        QStyleOptionViewItem atOrigin = box;
        atOrigin.rect.moveTo(0, 0);
        QPainter into(&pixmap);
        style->drawPrimitive(QStyle::PE_IndicatorItemViewItemCheck, &atOrigin, &into, box.widget);
        into.end();
        // A handful of looks in practice; the limit only guards against a palette that keeps changing.
        if (m_checks.size() >= 64)
            m_checks.clear();
        found = m_checks.insert(key, pixmap);
    }
    painter->drawPixmap(box.rect.topLeft(), *found);
}
