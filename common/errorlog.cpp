#include "common/errorlog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <atomic>
#include <mutex>

using namespace Qt::StringLiterals;

namespace Global {

namespace {

constexpr qint64 DefaultMaxSize = 10'000'000;

// What was last written, so that repeats are counted instead of written.
// One per process: the libraries share the program's log.
class LogState
{
public:
    ~LogState()
    {
        std::lock_guard lock(mutex);
        flushLocked();
    }

    void write(const QString &module, const QString &procedure, const QByteArray &entry);
    void flush()
    {
        std::lock_guard lock(mutex);
        flushLocked();
    }

    std::atomic<qint64> maxSize{DefaultMaxSize};

private:
    void flushLocked();
    bool append(const QString &path, const QByteArray &bytes, bool mayRotate = true);

    std::mutex mutex;
    QString lastPath;
    QString lastModule;
    QString lastProcedure;
    QByteArray lastEntry;
    qint64 sizeAfterLast = -1; // the file's size right after our last write
    qint64 repeats = 0;
};

LogState &logState()
{
    static LogState state;
    return state;
}

void LogState::write(const QString &module, const QString &procedure, const QByteArray &entry)
{
    const QString path = ErrorLogPath();
    std::lock_guard lock(mutex);
    // Only a repeat of what still ends the file is counted: when the file
    // was removed, rotated or written by someone else, "the entry above"
    // would name the wrong entry.
    if (path == lastPath && entry == lastEntry && QFileInfo(path).size() == sizeAfterLast) {
        ++repeats;
        return;
    }
    flushLocked();
    if (!append(path, entry)) {
        lastPath.clear();
        return;
    }
    lastPath = path;
    lastModule = module;
    lastProcedure = procedure;
    lastEntry = entry;
}

void LogState::flushLocked()
{
    if (repeats == 0 || lastPath.isEmpty())
        return;
    const QByteArray summary = FormatErrorLogEntry(
        lastModule, lastProcedure, u"the entry above repeated %1 times"_s.arg(repeats), 0);
    repeats = 0;
    // The summary is now the entry above: a later repeat of the old entry is
    // written anew.
    // It stays beside its entry even past the size limit.
    lastEntry = append(lastPath, summary, false) ? summary : QByteArray();
}

bool LogState::append(const QString &path, const QByteArray &bytes, bool mayRotate)
{
    // A log that cannot be written is not reported: the log is where reports go.
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return false;
    if (mayRotate && file.size() > 0 && file.size() + bytes.size() > maxSize.load()) {
        file.close();
        const QString older = path + u".1"_s;
        QFile::remove(older);
        if (!QFile::rename(path, older))
            QFile::remove(path); // a log that cannot move on must not grow without end
        if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
            return false;
    }
    if (file.write(bytes) != bytes.size() || !file.flush())
        return false;
    sizeAfterLast = file.size();
    return true;
}

} // namespace

QString ErrorLogPath()
{
    const QString overridden = qEnvironmentVariable("LUMO_ERROR_LOG");
    if (!overridden.isEmpty())
        return overridden;
    QString stateHome = qEnvironmentVariable("XDG_STATE_HOME");
    if (stateHome.isEmpty())
        stateHome = QDir::homePath() + u"/.local/state"_s;
    return stateHome + u"/LumoClass/LumoClass.log"_s;
}

qint64 ErrorLogMaxSize()
{
    return logState().maxSize.load();
}

void SetErrorLogMaxSize(qint64 bytes)
{
    logState().maxSize = bytes > 0 ? bytes : DefaultMaxSize;
}

QByteArray FormatErrorLogEntry(
    const QString &module, const QString &procedure, const QString &description, int line)
{
    const QString text = module + u"\r\n"_s + procedure + u"\r\n"_s + description + u"\r\n"_s
        + u"Line: "_s + QString::number(line) + u"\r\n"_s + u"\r\n"_s;
    return text.toUtf8();
}

void WriteErrorLog(
    const QString &module, const QString &procedure, const QString &description, int line)
{
    logState().write(module, procedure, FormatErrorLogEntry(module, procedure, description, line));
}

void FlushErrorLog()
{
    logState().flush();
}

} // namespace Global
