#pragma once
// The stored window descriptions and where they are read from: the program's built-in ones,
// or those of an installed language module.

#include <QByteArray>
#include <QString>

namespace resources {

// The built-in description of a window class, or an empty array when there is none.
QByteArray builtInDescription(const QString& className);

// The description a window of this class is created from. Throws EResourceError naming the
// class when the resources in use hold none.
QByteArray windowDescription(const QString& className);

} // namespace resources
