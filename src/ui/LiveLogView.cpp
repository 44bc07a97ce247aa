#include "ui/LiveLogView.h"

#include <QScrollBar>
#include <QTextCursor>

namespace {

// Output that arrives within one frame is shown together.
constexpr std::chrono::milliseconds flushInterval{ 30 };

} // namespace

QString LiveLogView::displayText(QStringView raw)
{
    QString text;
    text.reserve(raw.size());
    for (qsizetype i = 0; i < raw.size(); ++i) {
        const QChar c = raw[i];
        if (c == u'\r') {
            if (i + 1 < raw.size() && raw[i + 1] == u'\n')
                continue;
            text.append(u'\n');
        } else if (c == QChar::ParagraphSeparator || c == QChar::LineSeparator) {
            text.append(u'\n');
        } else {
            text.append(c);
        }
    }
    return text;
}

LiveLogView::LiveLogView(QWidget *parent)
    : QPlainTextEdit(parent)
{
    setReadOnly(true);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    setFrameShape(QFrame::NoFrame);
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setUndoRedoEnabled(false);
    setTabChangesFocus(true);

    m_flushTimer.setSingleShot(true);
    m_flushTimer.setInterval(flushInterval);
    connect(&m_flushTimer, &QTimer::timeout, this, &LiveLogView::flush);

    // Scrolling up to read stops the view from following; scrolling back down to the end
    // resumes it. A new layout (more lines, a narrower view) keeps a following view at the end.
    QScrollBar *bar = verticalScrollBar();
    connect(bar, &QScrollBar::valueChanged, this, [this, bar](int value) { m_following = value >= bar->maximum(); });
    connect(bar, &QScrollBar::rangeChanged, this, [this, bar](int, int maximum) {
        if (m_following)
            bar->setValue(maximum);
    });
}

QString LiveLogView::shownText()
{
    flush();
    return toPlainText();
}

QString LiveLogView::sourceLog() const
{
    return m_source && m_read ? m_read() : QString();
}

void LiveLogView::appendOutput(const QString &text)
{
    m_pending.append(text);
    scheduleFlush();
}

void LiveLogView::markReset()
{
    m_needsResync = true;
    scheduleFlush();
}

void LiveLogView::scheduleFlush()
{
    if (!m_flushTimer.isActive())
        m_flushTimer.start();
}

void LiveLogView::reload()
{
    m_flushTimer.stop();
    m_pending.clear();
    m_needsResync = false;
    m_shown = displayText(sourceLog());
    setPlainText(m_shown);
    m_following = true;
    scrollToEnd();
}

void LiveLogView::flush()
{
    m_flushTimer.stop();
    const bool following = m_following;
    if (!m_pending.isEmpty()) {
        const QString text = displayText(m_pending);
        m_pending.clear();
        QTextCursor cursor(document());
        cursor.movePosition(QTextCursor::End);
        cursor.insertText(text);
        m_shown.append(text);
    }
    // The reset may have come before or after the chunks above; either way the log as it is
    // now is the truth, and what is shown is brought in line with it.
    if (m_needsResync)
        resync();
    if (following)
        scrollToEnd();
}

// The log was cleared or cut back to its newest part (and the chunk that caused the cut was
// never announced on its own). Rather than re-laying out the whole text, drop what fell off
// the front and add what is missing at the end.
void LiveLogView::resync()
{
    m_needsResync = false;
    const QString target = displayText(sourceLog());
    if (target.isEmpty()) {
        clear();
        m_shown.clear();
        return;
    }
    // Find where the log now starts inside what is shown: the shown text from there on must be
    // the beginning of the log. Any offset that satisfies this leaves exactly the log on screen.
    const QStringView shown(m_shown);
    const QStringView probe = QStringView(target).left(std::min<qsizetype>(64, target.size()));
    qsizetype offset = std::max<qsizetype>(0, shown.size() - target.size());
    qsizetype found = -1;
    while (offset < shown.size()) {
        offset = shown.indexOf(probe.left(std::min(probe.size(), shown.size() - offset)), offset);
        if (offset < 0)
            break;
        if (QStringView(target).startsWith(shown.mid(offset))) {
            found = offset;
            break;
        }
        ++offset;
    }
    if (found < 0) {
        setPlainText(target);
        m_shown = target;
        return;
    }
    if (found > 0) {
        QTextCursor cursor(document());
        cursor.setPosition(0);
        cursor.setPosition(int(found), QTextCursor::KeepAnchor);
        cursor.removeSelectedText();
    }
    const QStringView missing = QStringView(target).mid(shown.size() - found);
    if (!missing.isEmpty()) {
        QTextCursor cursor(document());
        cursor.movePosition(QTextCursor::End);
        cursor.insertText(missing.toString());
    }
    m_shown = target;
}

void LiveLogView::scrollToEnd()
{
    QScrollBar *bar = verticalScrollBar();
    bar->setValue(bar->maximum());
    m_following = true;
}
