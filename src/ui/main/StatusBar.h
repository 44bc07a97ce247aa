#pragma once

#include <QPointer>
#include <QTimer>
#include <QWidget>

class ActivityStore;
class QLabel;
class QProgressBar;
class QPushButton;
class QToolButton;
class SymbolLabel;

// The one-line bar at the bottom of the main window: the running task, the last result or the
// state of the package catalog. Red means there is an error to look at; a click opens it.
class StatusBar : public QWidget {
    Q_OBJECT

public:
    enum class Level { neutral, ok, busy, error };
    static Level levelOf(const ActivityStore &activity);

    explicit StatusBar(ActivityStore *activity, QWidget *parent = nullptr);

    Level level() const;
    // What the left part says now (the message, or the task title of the task row).
    QString text() const;

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void changeEvent(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void applyMetrics();
    void refresh();
    void showMessage(const QString &symbol, const QString &text, const QColor &color);
    void showTask(const QString &title, std::optional<double> progress, const QString &detail);
    void refreshUpdatedText();

    QPointer<ActivityStore> m_activity;
    QWidget *m_row;
    SymbolLabel *m_message;
    QWidget *m_task;
    QLabel *m_taskTitle;
    QProgressBar *m_taskProgress;
    QLabel *m_taskDetail;
    QPushButton *m_details;
    QToolButton *m_close;
    // Keeps "updated 5 minutes ago" current while it is shown.
    QTimer m_clock;
    bool m_pressed = false;
};
