#include "ui/main/ContentView.h"

#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

ContentView::ContentView(QWidget *parent)
    : QWidget(parent)
{
    auto *layout = new QVBoxLayout(this);
    layout->addStretch();

    auto *spinner = new QProgressBar(this);
    spinner->setObjectName(u"checkingProgress"_s);
    spinner->setRange(0, 0);
    spinner->setMaximumWidth(160);
    spinner->setTextVisible(false);
    layout->addWidget(spinner, 0, Qt::AlignHCenter);

    auto *label = new QLabel(u"Looking for Homebrew…"_s, this);
    label->setObjectName(u"checkingLabel"_s);
    layout->addWidget(label, 0, Qt::AlignHCenter);

    layout->addStretch();
}
