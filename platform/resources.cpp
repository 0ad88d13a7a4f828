#include "platform/resources.h"

#include "platform/errors.h"

#include <QFile>

static void initFormResources()
{
    Q_INIT_RESOURCE(forms);
}

namespace resources {

QByteArray builtInDescription(const QString& className)
{
    initFormResources();
    QFile file(QStringLiteral(":/tallowmere/forms/%1.ui").arg(className));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

QByteArray windowDescription(const QString& className)
{
    const QByteArray data = builtInDescription(className);
    if (data.isEmpty())
        throw EResourceError(QStringLiteral("Resource %1 not found").arg(className));
    return data;
}

} // namespace resources
