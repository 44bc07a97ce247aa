#pragma once

#include <QDialog>
#include <QPointer>

class ActivityStore;
class QPlainTextEdit;
class QPushButton;
class SymbolLabel;

// The details of the current error: its title, the full message, and Copy, Try again, Dismiss
// error and Close. Shown window-modal over the main window while the activity store says so.
class ErrorDetailsSheet : public QDialog {
    Q_OBJECT

public:
    explicit ErrorDetailsSheet(ActivityStore *activity, QWidget *parent = nullptr);

private:
    void refresh();
    void copy();
    void tryAgain();
    void dismissError();

    QPointer<ActivityStore> m_activity;
    SymbolLabel *m_title;
    QPlainTextEdit *m_message;
    QPushButton *m_copy;
    QPushButton *m_retry;
    QPushButton *m_dismiss;
    QPushButton *m_close;
};
