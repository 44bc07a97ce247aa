#pragma once

#include <QtGlobal>

#include <utility>

// The setter of a store field: assign, and tell observers only when the value really changed.
// Returns whether it did.
template<typename Object, typename Field, typename Value>
bool setAndNotify(Object *object, Field &field, Value &&value, void (Object::*changed)())
{
    if (field == value)
        return false;
    field = std::forward<Value>(value);
    Q_EMIT(object->*changed)();
    return true;
}
