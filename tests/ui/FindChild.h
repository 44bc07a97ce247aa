#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QtGlobal>

namespace quillrig::test {

// The descendant of `parent` of type T with this objectName. Stops the test with the missing
// name rather than crashing on a null pointer later.
template<typename T> T *child(const QObject *parent, const QString &name)
{
    T *found = parent ? parent->findChild<T *>(name) : nullptr;
    if (!found)
        qFatal("no %s named \"%s\" below %s", T::staticMetaObject.className(), qPrintable(name),
            parent ? qPrintable(parent->objectName()) : "(null)");
    return found;
}

template<typename T> T *child(const QObject &parent, const QString &name)
{
    return child<T>(&parent, name);
}

} // namespace quillrig::test
