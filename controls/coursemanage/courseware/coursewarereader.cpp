#include "controls/coursemanage/courseware/coursewarereader.h"

#include "controls/coursemanage/courseware/coursepictures.h"
#include "controls/coursemanage/courseware/entryexpander.h"
#include "controls/coursemanage/courseware/gbktext.h"
#include "controls/coursemanage/courseware/parallelexpander.h"

#include <QFile>
#include <QSet>
#include <QtEndian>
#include <QThread>

using namespace Qt::StringLiterals;

namespace Courseware {

namespace {

// Larger entries are expanded on the reading thread, so the queue of
// entries waiting for a worker never holds more than a few of these.
constexpr qint64 ParallelEntryLimit = qint64(16) << 20;

class RecordReader
{
public:
    RecordReader(QIODevice &in, const ReadOptions &options, ReadResult &result)
        : m_in(in)
        , m_options(options)
        , m_result(result)
        , m_expander(options.expandLimit, options.inMemoryLimit)
        , m_budget(
              options.expandFolder, options.totalExpandLimit, options.minFreeSpace, options.cancel)
    {
        m_expander.setBudget(&m_budget);
        const int threads = options.expandThreads > 0 ? options.expandThreads
                                                      : std::min(QThread::idealThreadCount(), 4);
        // This thread reads and parses; workers expand what it has read.
        if (threads > 1 && !options.expandFolder.isEmpty())
            m_parallel = std::make_unique<ParallelExpander>(
                threads, options.expandLimit, options.inMemoryLimit, &m_budget);
    }

    void run();

private:
    enum class Step { Next, Stop };

    bool readInt16(qint16 &value);
    bool readInt32(qint32 &value);
    bool readText(QString &text, const char *what);
    void problem(const QString &description, int line);
    void stopTruncated(const QString &what, int line);
    Step readRecord();
    bool accept(CourseRecord &record, int line);
    void expandEntry(CourseRecord &record, qsizetype index);
    void finishEntry(CourseRecord &record, const EntryDone &done);
    void collectParallel();
    void reportBudget();

    QIODevice &m_in;
    const ReadOptions &m_options;
    ReadResult &m_result;
    EntryExpander m_expander;
    ExpansionBudget m_budget;
    int m_notExpanded = 0; // entries left packed once the budget ran out
    QSet<QString> m_keys;
    QByteArray m_compressed;
    std::unique_ptr<ParallelExpander> m_parallel;
};

bool RecordReader::readInt16(qint16 &value)
{
    char bytes[2];
    if (m_in.read(bytes, 2) != 2)
        return false;
    value = qFromLittleEndian<qint16>(bytes);
    return true;
}

bool RecordReader::readInt32(qint32 &value)
{
    char bytes[4];
    if (m_in.read(bytes, 4) != 4)
        return false;
    value = qFromLittleEndian<qint32>(bytes);
    return true;
}

void RecordReader::problem(const QString &description, int line)
{
    m_result.problems.append(description);
    if (m_options.logProblems)
        LogCoursewareError(description, line);
}

void RecordReader::stopTruncated(const QString &what, int line)
{
    m_result.complete = false;
    problem(u"truncated courseware file: %1 at offset %2"_s.arg(what).arg(m_in.pos()), line);
}

bool RecordReader::readText(QString &text, const char *what)
{
    switch (ReadTextField(m_in, text)) {
    case TextFieldStatus::Ok: return true;
    case TextFieldStatus::Truncated:
        stopTruncated(u"text field %1"_s.arg(QLatin1StringView(what)), __LINE__);
        return false;
    case TextFieldStatus::NegativeCount:
        stopTruncated(u"negative character count in %1"_s.arg(QLatin1StringView(what)), __LINE__);
        return false;
    }
    return false;
}

void RecordReader::run()
{
    char magic[MagicSize];
    if (m_in.read(magic, MagicSize) != MagicSize || QByteArrayView(magic, MagicSize) != Magic) {
        m_result.status = ReadStatus::NotCourseware;
        return;
    }
    qint16 ignored = 0;
    qint16 version = 0;
    if (!readInt16(ignored) || !readInt16(version)) {
        stopTruncated(u"header"_s, __LINE__);
        return;
    }
    m_result.version = version;
    if (version > FormatVersion) {
        m_result.status = ReadStatus::UnsupportedVersion;
        return;
    }
    for (int i = 0; i < 3; ++i) {
        if (!readInt16(ignored)) {
            stopTruncated(u"header"_s, __LINE__);
            return;
        }
    }
    if (!readText(m_result.courseName, "course name")
        || !readText(m_result.teacherName, "teacher name"))
        return;

    while (!m_in.atEnd()) {
        if (m_options.cancel && m_options.cancel->load(std::memory_order_relaxed)) {
            m_result.cancelled = true;
            m_result.complete = false;
            break;
        }
        const Step step = readRecord();
        if (m_options.progress)
            m_options.progress(m_in.pos(), m_in.size());
        if (step == Step::Stop)
            break;
    }
    collectParallel();
    reportBudget();
}

void RecordReader::reportBudget()
{
    m_result.expansionStopped = m_budget.stopped();
    switch (m_budget.stopped()) {
    case ExpansionBudget::Stop::None:
    case ExpansionBudget::Stop::Cancelled: return;
    case ExpansionBudget::Stop::Total:
        problem(
            u"expanding stopped: the course expands past %1 bytes in all; %2 files left packed"_s
                .arg(m_budget.totalLimit())
                .arg(m_notExpanded),
            __LINE__);
        return;
    case ExpansionBudget::Stop::Disk:
        problem(
            u"expanding stopped: the disk would keep less than %1 bytes free; %2 files left packed"_s
                .arg(m_budget.minFreeSpace())
                .arg(m_notExpanded),
            __LINE__);
        return;
    }
}

bool RecordReader::accept(CourseRecord &record, int line)
{
    auto reject = [&](const QString &why) {
        ++m_result.rejectedRecords;
        problem(u"record \"%1\" skipped: %2"_s.arg(record.name, why), line);
        return false;
    };
    if (!IsPlainFileName(record.name))
        return reject(u"its name is not a plain file name"_s);
    if (!IsWellFormedKey(record.key))
        return reject(u"malformed key"_s);
    if (m_keys.contains(record.key))
        return reject(u"duplicate key"_s);
    record.parentKey = ParentKeyOf(record.key);
    if (record.key == RootKey) {
        if (record.kind != NodeKind::Folder)
            return reject(u"the root must be a folder"_s);
    } else if (!m_keys.contains(record.parentKey)) {
        return reject(u"its parent %1 was not read before it"_s.arg(record.parentKey));
    }
    m_keys.insert(record.key);
    m_result.nextNodeNumber = NodeNumberOf(record.key) + 1;
    return true;
}

RecordReader::Step RecordReader::readRecord()
{
    qint16 kind = 0;
    if (!readInt16(kind)) {
        stopTruncated(u"record kind"_s, __LINE__);
        return Step::Stop;
    }
    if (kind != qint16(RecordKind::Folder) && kind != qint16(RecordKind::Item)) {
        problem(u"record kind %1 at offset %2 ends the course tree"_s.arg(kind).arg(m_in.pos() - 2),
            __LINE__);
        return Step::Stop;
    }
    CourseRecord record;
    if (!readText(record.text, "caption") || !readText(record.name, "name"))
        return Step::Stop;

    if (kind == qint16(RecordKind::Folder)) {
        record.kind = NodeKind::Folder;
        record.key = record.name;
        record.picture = u"folder"_s;
        record.tag = record.key;
        if (accept(record, __LINE__))
            m_result.records.append(record);
        return Step::Next;
    }
    if (IsWebAddressTag(record.text)) {
        record.kind = NodeKind::WebAddress;
        record.key = record.name;
        record.picture = u"url"_s;
        record.tag = record.text;
        if (accept(record, __LINE__))
            m_result.records.append(record);
        return Step::Next;
    }

    record.kind = NodeKind::File;
    const qsizetype dot = record.name.lastIndexOf(u'.');
    record.key = dot < 0 ? QString() : record.name.left(dot);
    record.extension = dot < 0 ? QString() : record.name.mid(dot + 1);
    record.picture = PictureForExtension(record.extension);
    record.tag = record.name;

    qint32 size = 0;
    if (!readInt32(size)) {
        stopTruncated(u"entry size"_s, __LINE__);
        return Step::Stop;
    }
    const qint64 dataStart = m_in.pos();
    // The data and its zero byte must fit in what is left of the file.
    if (size < 0 || qint64(size) + 1 > m_in.size() - dataStart) {
        stopTruncated(u"entry \"%1\" claims %2 bytes"_s.arg(record.name).arg(size), __LINE__);
        return Step::Stop;
    }
    record.compressedSize = size;
    const bool accepted = dot >= 0 ? accept(record, __LINE__) : [&] {
        ++m_result.rejectedRecords;
        problem(
            u"record \"%1\" skipped: a file name without extension"_s.arg(record.name), __LINE__);
        return false;
    }();
    if (accepted) {
        if (!m_options.expandFolder.isEmpty())
            expandEntry(record, m_result.records.size());
        m_result.records.append(record);
    }
    if (!m_in.seek(dataStart + qint64(size) + 1)) {
        stopTruncated(u"entry data"_s, __LINE__);
        return Step::Stop;
    }
    return Step::Next;
}

void RecordReader::expandEntry(CourseRecord &record, qsizetype index)
{
    if (m_budget.stopped() != ExpansionBudget::Stop::None) {
        ++m_notExpanded;
        return;
    }
    EntryJob job{index, {}, {}, JoinFolder(m_options.expandFolder, record.name), record.name};
    const qint64 size = record.compressedSize;
    // The file is read rather than mapped: a mapping of a file that another
    // program truncates meanwhile would crash the reader.
    if (m_parallel && size <= ParallelEntryLimit) {
        job.owned.resize(size);
        if (m_in.read(job.owned.data(), size) != size) {
            problem(u"entry \"%1\" could not be read"_s.arg(record.name), __LINE__);
            return;
        }
        m_parallel->submit(std::move(job));
    } else if (size <= m_options.inMemoryLimit) {
        m_compressed.resize(size);
        if (m_in.read(m_compressed.data(), size) != size) {
            problem(u"entry \"%1\" could not be read"_s.arg(record.name), __LINE__);
            return;
        }
        job.data = m_compressed;
        finishEntry(record, ExpandToFile(m_expander, job));
    } else {
        finishEntry(record, ExpandToFile(m_expander, job, &m_in, size));
    }
}

void RecordReader::finishEntry(CourseRecord &record, const EntryDone &done)
{
    if (done.budgetSpent) {
        ++m_notExpanded; // reported once, by reportBudget()
        return;
    }
    if (!done.ok) {
        problem(done.problem, done.line);
        return;
    }
    record.expanded = true;
    record.expandedSize = done.written;
    m_result.expandedBytes += done.written;
}

void RecordReader::collectParallel()
{
    if (!m_parallel)
        return;
    const std::vector<EntryDone> done = m_parallel->finish();
    for (const EntryDone &entry : done)
        finishEntry(m_result.records[entry.index], entry);
}

} // namespace

ReadResult ReadCourseware(QIODevice &in, const ReadOptions &options)
{
    ReadResult result;
    if (!in.isOpen() || !in.isReadable() || in.isSequential()) {
        result.status = ReadStatus::OpenFailed;
        return result;
    }
    RecordReader reader(in, options, result);
    reader.run();
    return result;
}

ReadResult ReadCoursewareFile(const QString &path, const ReadOptions &options)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        ReadResult result;
        result.status = ReadStatus::OpenFailed;
        result.problems.append(u"cannot open %1: %2"_s.arg(path, file.errorString()));
        LogCoursewareError(result.problems.last(), __LINE__);
        return result;
    }
    return ReadCourseware(file, options);
}

QString CoursewareFault(QIODevice &in)
{
    // Every record is kept in the result: a file of millions of tiny
    // records would cost gigabytes before its end, so the check stops
    // far above any real course.
    constexpr int RecordLimit = 100000;
    std::atomic_bool tooMany = false;
    int records = 0;
    ReadOptions options;
    options.logProblems = false;
    options.expandThreads = 1;
    options.cancel = &tooMany;
    options.progress = [&](qint64, qint64) {
        if (++records > RecordLimit)
            tooMany = true;
    };
    const ReadResult result = ReadCourseware(in, options);
    if (result.cancelled)
        return u"the course tree has more than %1 records"_s.arg(RecordLimit);
    switch (result.status) {
    case ReadStatus::OpenFailed: return u"the file cannot be read"_s;
    case ReadStatus::NotCourseware: return u"not a courseware file"_s;
    case ReadStatus::UnsupportedVersion:
        return u"courseware format %1 is newer than this program reads"_s.arg(result.version);
    case ReadStatus::Ok: break;
    }
    if (!result.complete)
        return result.problems.isEmpty() ? u"the courseware file is incomplete"_s
                                         : result.problems.last();
    if (result.records.isEmpty() || result.records.first().key != RootKey)
        return u"the courseware file holds no course tree"_s;
    return {};
}

} // namespace Courseware
