#include "app/testfiles.h"

#include "platform/textfile.h"

#include <QByteArray>

namespace testfiles {

namespace {

static_assert(sizeof kContentLine - 1 == 88);

constexpr bool sizesAddUp()
{
    for (const TestFile& f : kTestFiles) {
        if (f.lineCount * int64_t(sizeof kContentLine - 1 + 2) + f.fillerLength + 2 != f.sizeBytes)
            return false;
    }
    return true;
}
static_assert(sizesAddUp());

QByteArray content(const TestFile& file)
{
    QByteArray data;
    data.reserve(file.sizeBytes);
    for (int i = 0; i < file.lineCount; ++i) {
        data += kContentLine;
        data += "\r\n";
    }
    data += QByteArray(file.fillerLength, 'X');
    data += "\r\n";
    return data;
}

} // namespace

void writeTestFiles(const QString& folder)
{
    QString prefix = folder;
    if (!prefix.isEmpty() && !prefix.endsWith(u'/'))
        prefix += u'/';
    for (const TestFile& file : kTestFiles)
        textfile::rewriteBytes(prefix + QString::fromLatin1(file.name), content(file));
}

} // namespace testfiles
