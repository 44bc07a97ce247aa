#pragma once

#include <QObject>
#include <QString>

// A text log that grows as output arrives and, past a limit, drops its oldest part. Both stores
// keep their logs in one; views follow the two signals, so a flood of output never makes them
// re-read the whole text.
class BoundedLog : public QObject {
    Q_OBJECT

public:
    // Past `limit` characters the log is cut back to its newest `keep` characters, so trimming
    // happens once per 50,000 characters instead of on every chunk.
    static constexpr qsizetype limit = 200000;
    static constexpr qsizetype keep = 150000;

    explicit BoundedLog(QObject *parent = nullptr);

    const QString &text() const { return m_text; }
    // Empty text changes nothing and signals nothing.
    void append(const QString &text);
    void clear();

Q_SIGNALS:
    // `text` was appended at the end.
    void appended(const QString &text);
    // The log was cleared or cut back to its newest part; re-read it whole.
    void reset();

private:
    QString m_text;
};
