#include "platform/resources.h"

#include "platform/errors.h"
#include "platform/strings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QResource>
#include <QtEndian>

#include <memory>
#include <vector>

static void initFormResources()
{
    Q_INIT_RESOURCE(forms);
}

namespace resources {

class ResourceModule
{
public:
    QString path;
    // The whole file; Qt's resource system reads it in place, so it must not move.
    QByteArray data;
    QString root;
};

namespace {

// A module is a few window descriptions; anything far larger is no module.
constexpr qint64 kMaxModuleSize = 64 * 1024 * 1024;

// Like the platform's resource instance there is one per process: set at start-up (or by a
// test) on the main thread, read-only afterwards.
struct State
{
    ResourceModule* installed = nullptr;
    int loaded = 0; // gives every module a root of its own while two are loaded at once
};

State& state()
{
    static State s;
    return s;
}

quint32 be32(const QByteArray& d, qint64 at)
{
    return qFromBigEndian<quint32>(d.constData() + at);
}

quint16 be16(const QByteArray& d, qint64 at)
{
    return qFromBigEndian<quint16>(d.constData() + at);
}

// Qt's resource reader trusts the offsets inside a file and reads wherever they point, so a
// truncated or damaged file is checked here first: every tree node, every name and every
// data block must lie inside the file, and the tree must be a tree.
bool isCompleteResourceFile(const QByteArray& d)
{
    const qint64 size = d.size();
    if (size < 20 || !d.startsWith("qres"))
        return false;
    const quint32 version = be32(d, 4);
    if (version < 1 || version > 3)
        return false;
    const qint64 header = version >= 3 ? 24 : 20;
    const qint64 tree = be32(d, 8);
    const qint64 data = be32(d, 12);
    const qint64 names = be32(d, 16);
    if (size < header || tree < header || data < header || names < header || tree >= size ||
        data > size || names > size)
        return false;
    const qint64 nodeSize = version >= 2 ? 22 : 14;
    const qint64 nodeCount = (size - tree) / nodeSize;
    if (nodeCount < 1)
        return false;
    auto nameFits = [&](qint64 offset) {
        const qint64 at = names + offset;
        return at + 6 <= size && at + 6 + 2 * qint64(be16(d, at)) <= size;
    };
    enum : quint16
    {
        Compressed = 1,
        Directory = 2,
        CompressedZstd = 4
    };
    std::vector<qint64> pending{0};
    qint64 visited = 0;
    while (!pending.empty()) {
        const qint64 index = pending.back();
        pending.pop_back();
        if (++visited > nodeCount)
            return false;
        const qint64 node = tree + index * nodeSize;
        const quint16 flags = be16(d, node + 4);
        if (index != 0 && !nameFits(be32(d, node)))
            return false;
        if (flags & Directory) {
            const qint64 count = be32(d, node + 6);
            const qint64 first = be32(d, node + 10);
            // Children come after their parent, so walking forward can never loop.
            if (count > 0 && (first <= index || first + count > nodeCount))
                return false;
            for (qint64 i = 0; i < count; ++i)
                pending.push_back(first + i);
        } else {
            if (index == 0)
                return false;
            const qint64 at = data + qint64(be32(d, node + 10));
            if (at + 4 > size || at + 4 + qint64(be32(d, at)) > size)
                return false;
            if ((flags & Compressed) && be32(d, at) < 4)
                return false;
        }
    }
    return true;
}

QByteArray readResource(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

} // namespace

QByteArray builtInDescription(const QString& className)
{
    initFormResources();
    return readResource(QStringLiteral(":/tallowmere/forms/%1.ui").arg(className));
}

QByteArray moduleDescription(const ResourceModule* module, const QString& className)
{
    if (!module)
        return builtInDescription(className);
    return readResource(QStringLiteral(":%1/%2").arg(module->root, className));
}

QString descriptionOrigin(const ResourceModule* module, const QString& className)
{
    return module ? QStringLiteral("%1, %2").arg(module->path, className) : className;
}

QByteArray windowDescription(const QString& className)
{
    const QByteArray data = moduleDescription(state().installed, className);
    if (data.isEmpty())
        throw EResourceError(QStringLiteral("Resource %1 not found").arg(className));
    return data;
}

ResourceModule* loadModule(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxModuleSize)
        return nullptr;
    auto module = std::make_unique<ResourceModule>();
    module->path = path;
    module->data = file.readAll();
    if (!isCompleteResourceFile(module->data))
        return nullptr;
    module->root = QStringLiteral("/tallowmere/module%1").arg(++state().loaded);
    if (!QResource::registerResource(reinterpret_cast<const uchar*>(module->data.constData()),
                                     module->root))
        return nullptr;
    return module.release();
}

void freeModule(ResourceModule* module)
{
    if (!module)
        return;
    if (module == state().installed)
        restoreBuiltIn();
    QResource::unregisterResource(reinterpret_cast<const uchar*>(module->data.constData()),
                                  module->root);
    delete module;
}

QString modulePath(const ResourceModule* module)
{
    return module ? module->path : QString();
}

ResourceModule* installedModule()
{
    return state().installed;
}

void installModule(ResourceModule* module)
{
    if (!module) {
        restoreBuiltIn();
        return;
    }
    if (module == state().installed)
        return;
    // Read the strings before anything changes: a module with a broken table is refused whole.
    const QString stringsPath = QStringLiteral(":%1/strings").arg(module->root);
    const StringTable table =
        StringTable::parse(readResource(stringsPath), module->path + QStringLiteral(", strings"));
    ResourceModule* previous = state().installed;
    state().installed = module;
    StringTable::install(table);
    if (previous) {
        QResource::unregisterResource(reinterpret_cast<const uchar*>(previous->data.constData()),
                                      previous->root);
        delete previous;
    }
}

void restoreBuiltIn()
{
    ResourceModule* previous = state().installed;
    state().installed = nullptr;
    StringTable::restoreBuiltIn();
    freeModule(previous);
}

QString findFileIgnoringCase(const QString& folder, const QString& name)
{
    const QDir dir(folder);
    if (QFileInfo(dir.filePath(name)).isFile())
        return name;
    const QStringList entries =
        dir.entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    for (const QString& entry : entries) {
        if (entry.compare(name, Qt::CaseInsensitive) == 0)
            return entry;
    }
    return {};
}

} // namespace resources
