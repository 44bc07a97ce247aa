#pragma once

#include <QPointer>
#include <QString>
#include <QTimer>
#include <QWidget>

class BrewStore;
class BusyIndicator;
class QLabel;
class QPlainTextEdit;
class QPushButton;

// The live output of brew runs under the Packages and Updates screens, always scrolled to the
// newest line. Output is appended as it arrives, at most once per frame, and never re-laid out
// as a whole: a flood of output must not freeze the window.
class LogPanel : public QWidget {
    Q_OBJECT

public:
    explicit LogPanel(BrewStore *store, QWidget *parent = nullptr);

    // The text on screen, once pending output has been shown. For tests.
    QString shownText();
    // Shows the output received so far now instead of at the next frame.
    void flush();

    // How the raw log is shown: a carriage return either ends the line it belongs to ("\r\n")
    // or starts a new one, so every character on screen is one character of the view.
    static QString displayText(QStringView raw);

private:
    void refreshHeader();
    void scheduleFlush();
    void resync();
    void scrollToEnd();

    QPointer<BrewStore> m_store;
    BusyIndicator *m_spinner;
    QLabel *m_title;
    QPushButton *m_clear;
    QPlainTextEdit *m_text;
    // Exactly what the text view holds, so a trimmed log can be matched against it.
    QString m_shown;
    QString m_pending;
    bool m_needsResync = false;
    QTimer m_flushTimer;
};
