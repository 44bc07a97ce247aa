#pragma once

#include <QWidget>

// Root of the main window: decides between looking for Homebrew, the install screen and the
// main view.
class ContentView : public QWidget {
    Q_OBJECT

public:
    explicit ContentView(QWidget *parent = nullptr);
};
