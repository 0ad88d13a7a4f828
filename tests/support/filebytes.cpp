#include "support/filebytes.h"

#include <QFile>

namespace testapp {

QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

} // namespace testapp
