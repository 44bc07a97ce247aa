#pragma once

#include <QScrollArea>

class QVBoxLayout;

// The scrolling container every wizard page sits in: the page as a left-aligned column filling
// the available width, 22 points between its items and 20 points around them.
class PageScroll : public QScrollArea {
    Q_OBJECT

public:
    // Takes ownership of `page`.
    explicit PageScroll(QWidget *page, QWidget *parent = nullptr);

    // The column layout a page puts its items into.
    static QVBoxLayout *makeColumn(QWidget *page);
};
