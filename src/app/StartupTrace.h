#pragma once

#include <QObject>
#include <QString>

class BrewStore;
class QWidget;

// Reports how fast the application gets ready, for the start-up benchmark: when the environment
// variable QUILLRIG_STARTUP_TRACE names a file, the moments below are appended to it, one per
// line. Without it nothing is watched and nothing is written.
//
//   main <ms>           the monotonic clock (CLOCK_MONOTONIC, as QElapsedTimer) when main() began
//   rss-before <kB>     resident memory when Homebrew has been found, just before the catalog
//                       starts loading
//   window <ms>         the main window has been painted for the first time
//   searchable <ms>     the catalog is in the store, every screen has taken it in and the
//                       event loop is free again to take keystrokes
//   rss-after <kB>      resident memory then
//
// Times other than the first are milliseconds since main() began; the launcher adds the time from
// its own start of the process to main().
class StartupTrace : public QObject {
    Q_OBJECT

public:
    // Notes the time; call first thing in main().
    static void markMainEntered();

    // Watches `window` and `store` when tracing is asked for. The trace lives as long as `window`.
    static void watch(QWidget *window, BrewStore *store);

    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    StartupTrace(QWidget *window, BrewStore *store, QString path);

    void record(const QString &line);
    void recordWindow();
    void catalogChanged();
    void statusChanged();
    double msSinceMain() const;

    BrewStore *m_store;
    QString m_path;
    bool m_windowSeen = false;
    bool m_searchableSeen = false;
    bool m_readySeen = false;
};
