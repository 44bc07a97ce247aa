#include "ui/main/LogPanel.h"

#include "brew/BrewStore.h"
#include "ui/BusyIndicator.h"
#include "ui/Fonts.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

// Output that arrives within one frame is shown together.
constexpr std::chrono::milliseconds flushInterval{ 30 };

} // namespace

QString LogPanel::displayText(QStringView raw)
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

LogPanel::LogPanel(BrewStore *store, QWidget *parent)
    : QWidget(parent)
    , m_store(store)
    , m_spinner(new BusyIndicator(this, 12))
    , m_title(new QLabel(this))
    , m_clear(new QPushButton(u"Clear"_s, this))
    , m_text(new QPlainTextEdit(this))
{
    setObjectName(u"logPanel"_s);
    setFixedHeight(190);
    setAutoFillBackground(true);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    auto *header = new QHBoxLayout;
    header->setContentsMargins(12, 6, 12, 6);
    header->setSpacing(8);
    m_spinner->setObjectName(u"logSpinner"_s);
    m_title->setObjectName(u"logTitle"_s);
    m_title->setFont(Fonts::font(Fonts::Style::headline));
    m_clear->setObjectName(u"logClear"_s);
    header->addWidget(m_spinner);
    header->addWidget(m_title);
    header->addStretch(1);
    header->addWidget(m_clear);
    layout->addLayout(header);

    m_text->setObjectName(u"logText"_s);
    m_text->setReadOnly(true);
    m_text->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    m_text->setFont(Fonts::monospaced(Fonts::Style::caption));
    m_text->setFrameShape(QFrame::NoFrame);
    m_text->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_text->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    m_text->setUndoRedoEnabled(false);
    m_text->setStyleSheet(u"QPlainTextEdit#logText { padding-left: 8px; padding-right: 8px; }"_s);
    m_text->document()->setDocumentMargin(4);
    m_text->setContextMenuPolicy(Qt::DefaultContextMenu);
    layout->addWidget(m_text, 1);

    m_flushTimer.setSingleShot(true);
    m_flushTimer.setInterval(flushInterval);
    connect(&m_flushTimer, &QTimer::timeout, this, &LogPanel::flush);

    connect(m_clear, &QPushButton::clicked, this, [this] {
        if (m_store && !m_store->isRunning())
            m_store->clearLog();
    });

    if (m_store) {
        connect(m_store, &BrewStore::logAppended, this, [this](const QString &text) {
            m_pending.append(text);
            scheduleFlush();
        });
        connect(m_store, &BrewStore::logReset, this, [this] {
            m_needsResync = true;
            scheduleFlush();
        });
        connect(m_store, &BrewStore::isRunningChanged, this, &LogPanel::refreshHeader);
        connect(m_store, &BrewStore::taskTitleChanged, this, &LogPanel::refreshHeader);
        m_shown = displayText(m_store->log());
        m_text->setPlainText(m_shown);
    }
    refreshHeader();
    scrollToEnd();
}

QString LogPanel::shownText()
{
    flush();
    return m_text->toPlainText();
}

void LogPanel::refreshHeader()
{
    const bool running = m_store && m_store->isRunning();
    m_spinner->setVisible(running);
    m_title->setText(running ? m_store->taskTitle().value_or(u"Working…"_s) : u"Output"_s);
    m_clear->setEnabled(!running);
}

void LogPanel::scheduleFlush()
{
    if (!m_flushTimer.isActive())
        m_flushTimer.start();
}

void LogPanel::flush()
{
    m_flushTimer.stop();
    if (!m_pending.isEmpty()) {
        const QString text = displayText(m_pending);
        m_pending.clear();
        QTextCursor cursor(m_text->document());
        cursor.movePosition(QTextCursor::End);
        cursor.insertText(text);
        m_shown.append(text);
    }
    if (m_needsResync)
        resync();
    scrollToEnd();
}

// The log was cleared or cut back to its newest part (and the chunk that caused the cut was
// never announced on its own). Rather than re-laying out the whole text, drop what fell off
// the front and add what is missing at the end.
void LogPanel::resync()
{
    m_needsResync = false;
    if (!m_store)
        return;
    const QString target = displayText(m_store->log());
    if (target.isEmpty()) {
        m_text->clear();
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
        m_text->setPlainText(target);
        m_shown = target;
        return;
    }
    if (found > 0) {
        QTextCursor cursor(m_text->document());
        cursor.setPosition(0);
        cursor.setPosition(int(found), QTextCursor::KeepAnchor);
        cursor.removeSelectedText();
    }
    const QStringView missing = QStringView(target).mid(shown.size() - found);
    if (!missing.isEmpty()) {
        QTextCursor cursor(m_text->document());
        cursor.movePosition(QTextCursor::End);
        cursor.insertText(missing.toString());
    }
    m_shown = target;
}

void LogPanel::scrollToEnd()
{
    QScrollBar *bar = m_text->verticalScrollBar();
    bar->setValue(bar->maximum());
}
