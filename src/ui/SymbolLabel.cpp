#include "ui/SymbolLabel.h"

#include "ui/Symbols.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>

SymbolLabel::SymbolLabel(QWidget *parent)
    : QWidget(parent)
    , m_icon(new QLabel(this))
    , m_text(new QLabel(this))
{
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    layout->addWidget(m_icon, 0, Qt::AlignVCenter);
    layout->addWidget(m_text, 1, Qt::AlignVCenter);
    m_icon->setObjectName(QStringLiteral("symbol"));
    m_text->setObjectName(QStringLiteral("text"));
}

SymbolLabel::SymbolLabel(const QString &symbol, const QString &text, QWidget *parent)
    : SymbolLabel(parent)
{
    m_text->setText(text);
    setSymbol(symbol);
}

void SymbolLabel::setSymbol(const QString &symbol)
{
    m_symbol = symbol;
    refresh();
}

void SymbolLabel::setText(const QString &text)
{
    if (m_text->text() != text)
        m_text->setText(text);
}

QString SymbolLabel::text() const
{
    return m_text->text();
}

void SymbolLabel::setColor(const QColor &color)
{
    if (m_color == color)
        return;
    m_color = color;
    refresh();
}

void SymbolLabel::setTextFont(const QFont &font)
{
    m_text->setFont(font);
    refresh();
}

void SymbolLabel::setSpacing(int spacing)
{
    static_cast<QHBoxLayout *>(layout())->setSpacing(spacing);
}

void SymbolLabel::setSelectable(bool selectable)
{
    m_text->setTextInteractionFlags(selectable ? Qt::TextSelectableByMouse : Qt::NoTextInteraction);
}

void SymbolLabel::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::FontChange)
        refresh();
}

void SymbolLabel::refresh()
{
    const QColor color = m_color.isValid() ? m_color : palette().color(QPalette::WindowText);
    QPalette textPalette = m_text->palette();
    textPalette.setColor(QPalette::WindowText, color);
    textPalette.setColor(QPalette::Text, color);
    m_text->setPalette(textPalette);
    const int side = QFontMetrics(m_text->font()).height();
    m_icon->setPixmap(m_symbol.isEmpty() ? QPixmap() : Symbols::pixmap(m_symbol, side, color, devicePixelRatioF()));
    m_icon->setVisible(!m_symbol.isEmpty());
}
