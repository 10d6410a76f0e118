#include "common/errorlog.h"

#include "common/lumoglobal_logging.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHash>

#include <atomic>
#include <mutex>
#include <utility>

using namespace Qt::StringLiterals;

namespace Global {

namespace {

constexpr qint64 DefaultMaxSize = 10'000'000;
// After its burst a source may write one entry this often, and is told
// about what it left out at most this often.
constexpr qint64 SourcePeriodMs = 1000;

// What one source (module and procedure) has written lately.
struct Source {
    QString module;
    QString procedure;
    double allowance = ErrorLogBurst; // entries it may write now
    qint64 refilledAt = 0;
    qint64 leftOut = 0;
    qint64 leftOutSince = 0; // when the first entry of leftOut came
    qint64 reportedAt = 0; // when leftOut was last written as a count
};

// What was last written, so that repeats are counted instead of written.
// One per process: the libraries share the program's log.
class LogState
{
public:
    LogState() { clock.start(); }
    ~LogState()
    {
        std::lock_guard lock(mutex);
        flushLocked();
        reportLeftOut(clock.elapsed(), true);
    }

    void write(const QString &module, const QString &procedure, const QByteArray &entry);
    void flush()
    {
        std::lock_guard lock(mutex);
        flushLocked();
        reportLeftOut(clock.elapsed(), true);
    }

    std::atomic<qint64> maxSize{DefaultMaxSize};

private:
    void flushLocked();
    // Writes the counts of left-out entries that are due (all with `now`).
    void reportLeftOut(qint64 now, bool all);
    // Whether the source may write an entry now; counts it if not.
    bool allowed(const QString &module, const QString &procedure, qint64 now);
    bool append(const QString &path, const QByteArray &bytes, bool mayRotate = true);
    void writeSummary(const QByteArray &summary);

    std::mutex mutex;
    QString lastPath;
    QString lastModule;
    QString lastProcedure;
    QByteArray lastEntry;
    qint64 sizeAfterLast = -1; // the file's size right after our last write
    qint64 repeats = 0;
    QString failedPath; // said once on the console, not at every entry

    QElapsedTimer clock;
    QString sourcesPath; // the log the sources' counts are about
    QHash<QString, Source> sources;
    int sourcesLeftOut = 0; // sources whose leftOut is not zero
    QString rotatedPath; // the log whose ".1" this process began
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
    if (path != sourcesPath) {
        // Another log (tests switch them): its sources start afresh.
        reportLeftOut(clock.elapsed(), true);
        sources.clear();
        sourcesLeftOut = 0;
        sourcesPath = path;
    }
    const qint64 now = clock.elapsed();
    reportLeftOut(now, false);
    if (!allowed(module, procedure, now))
        return;
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

bool LogState::allowed(const QString &module, const QString &procedure, qint64 now)
{
    const QString key = module + QChar(0) + procedure;
    auto it = sources.find(key);
    if (it == sources.end())
        it = sources.insert(key, Source{module, procedure, double(ErrorLogBurst), now, 0, 0, 0});
    Source &source = *it;
    source.allowance = qMin(double(ErrorLogBurst),
        source.allowance + double(now - source.refilledAt) / double(SourcePeriodMs));
    source.refilledAt = now;
    if (source.allowance >= 1.0) {
        source.allowance -= 1.0;
        return true;
    }
    if (source.leftOut++ == 0) {
        source.leftOutSince = now;
        ++sourcesLeftOut;
    }
    return false;
}

void LogState::reportLeftOut(qint64 now, bool all)
{
    if (sourcesLeftOut == 0 || sourcesPath.isEmpty())
        return;
    for (Source &source : sources) {
        if (source.leftOut == 0)
            continue;
        if (!all && now - qMax(source.reportedAt, source.leftOutSince) < SourcePeriodMs)
            continue;
        const qint64 seconds = qMax<qint64>(1, (now - source.leftOutSince + 999) / 1000);
        const QByteArray summary = FormatErrorLogEntry(source.module, source.procedure,
            u"%1 more entries from this source left out in the last %2 s"_s.arg(source.leftOut)
                .arg(seconds),
            0);
        source.leftOut = 0;
        source.reportedAt = now;
        --sourcesLeftOut;
        writeSummary(summary);
    }
}

void LogState::writeSummary(const QByteArray &summary)
{
    flushLocked();
    if (append(sourcesPath, summary)) {
        lastPath = sourcesPath;
        lastEntry = summary;
    }
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
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append)) {
        if (std::exchange(failedPath, path) != path)
            qCWarning(lcGlobal) << "cannot write the error log" << path << file.errorString();
        return false;
    }
    if (mayRotate && file.size() > 0 && file.size() + bytes.size() > maxSize.load()) {
        const qint64 full = file.size();
        file.close();
        const QString older = path + u".1"_s;
        QByteArray note;
        if (rotatedPath != path) {
            rotatedPath = path;
            QFile::remove(older);
            if (!QFile::rename(path, older))
                QFile::remove(path); // a log that cannot move on must not grow without end
        } else {
            // The older file holds the first entries of this process, where
            // a run of faults began: the middle gives way, not the start.
            QFile::remove(path);
            note = FormatErrorLogEntry(u"ErrorLog"_s, u"Rotate"_s,
                u"%1 bytes of entries after those in %2 were dropped"_s.arg(full).arg(
                    QFileInfo(older).fileName()),
                0);
        }
        if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
            return false;
        if (!note.isEmpty() && file.write(note) != note.size())
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
