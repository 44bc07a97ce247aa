#pragma once

#include <QList>
#include <QMetaObject>
#include <QPlainTextEdit>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <functional>

// The live output of a run: shows a store's log and keeps up with it. Output is appended as it
// arrives, at most once per frame, and never re-laid out as a whole, so a flood of output does
// not freeze the window. The view stays on the newest line unless the user has scrolled up to
// read something, and follows again once they scroll back to the end.
//
// A source is any store with `log()` and the signals `logAppended(const QString &)` (text added
// at the end) and `logReset()` (cleared or cut back to its newest part).
class LiveLogView : public QPlainTextEdit {
    Q_OBJECT

public:
    explicit LiveLogView(QWidget *parent = nullptr);

    template<typename Store> void setSource(Store *store)
    {
        for (const QMetaObject::Connection &connection : std::as_const(m_connections))
            disconnect(connection);
        m_connections.clear();
        m_source = store;
        m_read = nullptr;
        if (store) {
            m_read = [store] { return store->log(); };
            m_connections << connect(store, &Store::logAppended, this, &LiveLogView::appendOutput)
                          << connect(store, &Store::logReset, this, &LiveLogView::markReset);
        }
        reload();
    }

    // The text on screen, once output waiting for the next frame has been shown.
    QString shownText();
    // Shows the output received so far now instead of at the next frame.
    void flush();

    // How the raw log is shown: a carriage return either ends the line it belongs to ("\r\n")
    // or starts a new one, so every character on screen is one character of the view.
    static QString displayText(QStringView raw);

private:
    void appendOutput(const QString &text);
    void markReset();
    void scheduleFlush();
    void reload();
    void resync();
    void scrollToEnd();
    QString sourceLog() const;

    QPointer<QObject> m_source;
    std::function<QString()> m_read;
    QList<QMetaObject::Connection> m_connections;
    // Exactly what the document holds, so a trimmed log can be matched against it.
    QString m_shown;
    QString m_pending;
    bool m_needsResync = false;
    // Whether the view sits at the end of the text and so moves along with new output.
    bool m_following = true;
    QTimer m_flushTimer;
};
