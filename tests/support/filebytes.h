#pragma once

#include <QByteArray>
#include <QString>

namespace testapp {

// The whole content of a file, or nothing when it cannot be read.
QByteArray fileBytes(const QString& path);

} // namespace testapp
