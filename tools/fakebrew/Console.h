#pragma once

#include <QByteArray>
#include <QString>

namespace fakebrew {

// Where the fake's output goes: straight to its standard output and error, flushed line by line so
// readers see it arrive, or, while a sub-command runs inside `brew bundle`, into one buffer that
// is shown only when that sub-command fails.
class Console {
public:
    void out(const QString &line);
    void err(const QString &line);
    void rawOut(const QByteArray &bytes);

    void startCapture();
    QString takeCapture();
    bool isCapturing() const { return m_capturing; }

private:
    bool m_capturing = false;
    QByteArray m_captured;
};

} // namespace fakebrew
