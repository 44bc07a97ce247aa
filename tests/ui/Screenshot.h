#pragma once

#include <QCoreApplication>
#include <QDir>
#include <QString>
#include <QWidget>

namespace quillrig::test {

// Saves what a widget shows as <name>.png under $QUILLRIG_SCREENSHOT_DIR (set by CTest for
// widget tests), for people to look over. Does nothing when the variable is unset.
inline void saveScreenshot(QWidget *widget, const QString &name)
{
    const QString dir = qEnvironmentVariable("QUILLRIG_SCREENSHOT_DIR");
    if (dir.isEmpty() || !widget)
        return;
    QDir().mkpath(dir);
    QCoreApplication::processEvents();
    widget->grab().save(QDir(dir).filePath(name + QStringLiteral(".png")));
}

} // namespace quillrig::test
