#pragma once

#include "ui/main/ShapedLines.h"

#include <QFont>
#include <QHash>
#include <QPixmap>
#include <QStaticText>
#include <QStyledItemDelegate>

// The table's cells, drawn directly: a search repaints the visible rows on every keystroke, and
// the style's general item drawing (text layout objects, a dozen data roles per cell) costs
// several times more. Selection and alternate rows still come from the style.
class CatalogCellDelegate : public QStyledItemDelegate {
public:
    explicit CatalogCellDelegate(QObject *parent);

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    // Does the costly part of paint() without drawing: shapes the cell's text, or has the model
    // work out a link cell's icon. The table does this in idle time for rows about to come into view.
    void prepare(const QStyleOptionViewItem &option, const QModelIndex &index) const;
    // Frees shaped texts that fell out of use, while the table is still.
    void releaseUnused() const { m_lines.releaseDropped(); }
    bool editorEvent(QEvent *event, QAbstractItemModel *model, const QStyleOptionViewItem &option,
        const QModelIndex &index) override;

private:
    static constexpr int horizontalMargin = 4;

    // A tick box is drawn by the style once per look (state, size, palette) and then copied: the
    // style paints it with gradients and paths, which cost more than the rest of the row.
    struct CheckKey {
        int state;
        QSize size;
        qreal ratio;
        qint64 palette;
        const QStyle *style;
        bool operator==(const CheckKey &) const = default;
    };
    friend size_t qHash(const CheckKey &key, size_t seed = 0) noexcept
    {
        return qHashMulti(seed, key.state, key.size.width(), key.size.height(), key.ratio, key.palette, key.style);
    }

    // An icon drawn once per look and then copied: painting a symbol icon looks it up by a
    // key built from text, which costs more than the copy.
    struct IconKey {
        qint64 icon;
        QSize size;
        qreal ratio;
        bool operator==(const IconKey &) const = default;
    };
    friend size_t qHash(const IconKey &key, size_t seed = 0) noexcept
    {
        return qHashMulti(seed, key.icon, key.size.width(), key.size.height(), key.ratio);
    }

    // The text of a text cell, shaped and cut to fit beside the "deprecated" tag where there is
    // one; null for an empty cell and for the tick and link columns.
    const ShapedLines::Line *shapedText(
        const QStyleOptionViewItem &option, const QModelIndex &index, QFont &font, bool &deprecated) const;
    // A tick box or an icon in the middle of a narrow cell.
    void paintCentred(
        QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index, QStyle *style) const;
    void paintCheck(QPainter *painter, const QStyleOptionViewItem &box, QStyle *style) const;

    QFont m_tagFont;
    QStaticText m_tag;
    mutable ShapedLines m_lines;
    mutable QHash<CheckKey, QPixmap> m_checks;
    mutable QHash<IconKey, QPixmap> m_icons;
};
