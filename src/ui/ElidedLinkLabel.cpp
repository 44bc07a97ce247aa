#include "ui/ElidedLinkLabel.h"

#include <QEvent>
#include <QFontMetrics>

using namespace Qt::StringLiterals;

ElidedLinkLabel::ElidedLinkLabel(QWidget *parent)
    : QLabel(parent)
{
    setTextFormat(Qt::RichText);
    setWordWrap(false);
    setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    // Shortened on purpose: the tooltip and the accessible name carry the whole text.
    setProperty("elidesText", true);
}

void ElidedLinkLabel::setLink(const QUrl &url, const QString &text)
{
    m_url = url;
    m_text = text;
    setToolTip(text);
    setAccessibleName(text);
    render();
}

QSize ElidedLinkLabel::minimumSizeHint() const
{
    return QSize(fontMetrics().horizontalAdvance(u"…"_s) * 4, fontMetrics().height());
}

QSize ElidedLinkLabel::sizeHint() const
{
    const QMargins margins = contentsMargins();
    return QSize(fontMetrics().horizontalAdvance(m_text) + 2 + margins.left() + margins.right(),
        fontMetrics().height() + margins.top() + margins.bottom());
}

void ElidedLinkLabel::resizeEvent(QResizeEvent *event)
{
    QLabel::resizeEvent(event);
    render();
}

void ElidedLinkLabel::changeEvent(QEvent *event)
{
    QLabel::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        render();
}

void ElidedLinkLabel::render()
{
    const int room = std::max(0, contentsRect().width() - 2);
    m_shown = fontMetrics().elidedText(m_text, Qt::ElideMiddle, room);
    setText(
        u"<a href=\"%1\">%2</a>"_s.arg(m_url.toString(QUrl::FullyEncoded).toHtmlEscaped(), m_shown.toHtmlEscaped()));
}
