// libFuzzer harness: any bytes as a courseware file, every embedded file
// expanded into a scratch folder with a small ceiling. Whatever the input,
// nothing may appear outside that folder.
#include "controls/coursemanage/courseware/coursewarereader.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>

namespace {

QTemporaryDir &scratch()
{
    static QTemporaryDir dir;
    return dir;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    // The error log is written on every bad record: keep it in the scratch folder.
    qputenv("LUMO_ERROR_LOG", QFile::encodeName(scratch().filePath(QStringLiteral("log"))));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString folder = scratch().filePath(QStringLiteral("expand"));
    QDir().mkpath(folder);
    QBuffer buffer;
    buffer.setData(reinterpret_cast<const char *>(data), qsizetype(size));
    buffer.open(QIODevice::ReadOnly);
    Courseware::ReadOptions options;
    options.expandFolder = folder;
    options.expandLimit = 1 << 20;
    options.inMemoryLimit = 1 << 16;
    options.totalExpandLimit = 4 << 20;
    options.expandThreads = 1; // one thread keeps runs fast and repeatable
    const Courseware::ReadResult result = Courseware::ReadCourseware(buffer, options);
    (void)result;
    QDirIterator it(scratch().path(), QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        if (!path.startsWith(folder + QLatin1Char('/')) && !path.endsWith(QStringLiteral("/log")))
            std::abort();
    }
    QDir(folder).removeRecursively();
    return 0;
}
