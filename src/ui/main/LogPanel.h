#pragma once

#include <QPointer>
#include <QWidget>

class BrewStore;
class BusyIndicator;
class LiveLogView;
class QLabel;
class QPushButton;

// The live output of brew runs under the Packages and Updates screens, with a header that names
// the running task and a button that clears the log between runs.
class LogPanel : public QWidget {
    Q_OBJECT

public:
    explicit LogPanel(BrewStore *store, QWidget *parent = nullptr);

private:
    void refreshHeader();

    QPointer<BrewStore> m_store;
    BusyIndicator *m_spinner;
    QLabel *m_title;
    QPushButton *m_clear;
    LiveLogView *m_text;
};
