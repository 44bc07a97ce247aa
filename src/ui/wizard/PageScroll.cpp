#include "ui/wizard/PageScroll.h"

#include <QVBoxLayout>

using namespace Qt::StringLiterals;

PageScroll::PageScroll(QWidget *page, QWidget *parent)
    : QScrollArea(parent)
{
    setObjectName(u"pageScroll"_s);
    setFrameShape(QFrame::NoFrame);
    setWidgetResizable(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // The page keeps its natural height and the free space stays below it.
    if (auto *column = qobject_cast<QVBoxLayout *>(page->layout()))
        column->addStretch(1);
    setWidget(page);
    // Pages paint on the sheet's own background, not on the scroll area's base colour.
    viewport()->setAutoFillBackground(false);
    page->setAutoFillBackground(false);
}

QVBoxLayout *PageScroll::makeColumn(QWidget *page)
{
    auto *column = new QVBoxLayout(page);
    column->setContentsMargins(20, 20, 20, 20);
    column->setSpacing(22);
    return column;
}
