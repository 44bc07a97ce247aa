#include "ui/Divider.h"

#include <QFrame>

namespace Divider {

QFrame *horizontal(QWidget *parent)
{
    auto *line = new QFrame(parent);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Plain);
    line->setForegroundRole(QPalette::Mid);
    return line;
}

} // namespace Divider
