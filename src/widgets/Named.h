#pragma once
// Controls carry the system's names as Qt object names, so tests and the caption
// tables find them.

#include <QObject>

template <typename T> T *named(T *object, const char *name) {
    object->setObjectName(QString::fromLatin1(name));
    return object;
}
