#include "controls/coursemanage/courseware/coursewarewriter.h"

#include "controls/coursemanage/courseware/gbktext.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QtEndian>

#include <libdeflate.h>
#include <zlib.h>

#include <limits>
#include <memory>

using namespace Qt::StringLiterals;

namespace Courseware {

namespace {

constexpr qint64 StreamChunk = 256 * 1024;

struct Failure {
    QString text;
};

class RecordWriter
{
public:
    RecordWriter(QIODevice &out, const WriteOptions &options, WriteResult &result)
        : m_out(out)
        , m_options(options)
        , m_result(result)
    { }

    void run(const CourseDocument &document);

private:
    void write(const QByteArray &bytes);
    void writeRecord(const CourseNode &node, bool isRoot);
    void writeGroup(const QList<CourseNode> &group);
    void writeEntry(const QString &source);
    void compressInMemory(QFile &source);
    void compressStreaming(QFile &source);
    void countWork(const CourseNode &node);
    void advance(qint64 amount);

    QIODevice &m_out;
    const WriteOptions &m_options;
    WriteResult &m_result;
    qint64 m_total = 0;
    qint64 m_done = 0;
};

void RecordWriter::write(const QByteArray &bytes)
{
    if (m_out.write(bytes) != bytes.size())
        throw Failure{u"write failed: %1"_s.arg(m_out.errorString())};
    m_result.bytes += bytes.size();
}

QByteArray int16Bytes(qint16 value)
{
    char bytes[2];
    qToLittleEndian(value, bytes);
    return QByteArray(bytes, 2);
}

QByteArray int32Bytes(qint32 value)
{
    char bytes[4];
    qToLittleEndian(value, bytes);
    return QByteArray(bytes, 4);
}

QByteArray textField(const QString &text)
{
    QByteArray field;
    if (!AppendTextField(field, text))
        throw Failure{u"text too long for a courseware file: %1..."_s.arg(text.left(40))};
    return field;
}

bool isFolder(const CourseNode &node)
{
    return node.picture == u"folder"_s;
}

QString sourceOf(const CourseNode &node, const WriteOptions &options)
{
    return ResolveTag(node.tag, options.tempFolder);
}

void RecordWriter::countWork(const CourseNode &node)
{
    m_total += 1;
    if (!isFolder(node) && !IsWebAddressTag(node.tag))
        m_total += std::max<qint64>(0, QFileInfo(sourceOf(node, m_options)).size());
    for (const CourseNode &child : node.children)
        countWork(child);
}

void RecordWriter::advance(qint64 amount)
{
    m_done += amount;
    if (m_options.progress)
        m_options.progress(m_done, m_total);
    if (m_options.cancel && m_options.cancel->load(std::memory_order_relaxed))
        throw Failure{u"cancelled"_s};
}

void RecordWriter::run(const CourseDocument &document)
{
    countWork(document.root);
    QByteArray header(Magic, MagicSize);
    for (const qint16 value : HeaderValues)
        header += int16Bytes(value);
    header += textField(document.root.text);
    header += textField(document.teacherName);
    write(header);
    writeRecord(document.root, true);
    writeGroup(document.root.children);
}

void RecordWriter::writeGroup(const QList<CourseNode> &group)
{
    for (const CourseNode &node : group)
        writeRecord(node, false);
    for (const CourseNode &node : group) {
        if (!node.children.isEmpty())
            writeGroup(node.children);
    }
}

void RecordWriter::writeRecord(const CourseNode &node, bool isRoot)
{
    if (!isRoot && !IsWellFormedKey(node.key))
        throw Failure{u"node \"%1\" has the malformed key \"%2\""_s.arg(node.text, node.key)};
    ++m_result.records;
    if (isRoot || isFolder(node)) {
        write(int16Bytes(qint16(RecordKind::Folder)) + textField(node.text)
            + textField(isRoot ? RootKey : node.key));
        advance(1);
        return;
    }
    QByteArray record = int16Bytes(qint16(RecordKind::Item)) + textField(node.text);
    if (IsWebAddressTag(node.tag)) {
        // A reader tells web addresses by the caption; one whose caption
        // lost ".url" would be read as a file and expect data.
        if (!IsWebAddressTag(node.text))
            record = int16Bytes(qint16(RecordKind::Item)) + textField(node.text + UrlSuffix);
        write(record + textField(node.key));
        advance(1);
        return;
    }
    if (IsWebAddressTag(node.text))
        throw Failure{u"file node \"%1\" has a caption ending in .url"_s.arg(node.text)};
    // The extension of the file name alone: a folder name may hold dots.
    const QString extension = ExtensionOfPath(node.tag);
    write(record + textField(node.key + u'.' + extension));
    writeEntry(sourceOf(node, m_options));
    advance(1);
}

void RecordWriter::writeEntry(const QString &path)
{
    QFile source(path);
    if (!source.open(QIODevice::ReadOnly))
        throw Failure{u"cannot read %1: %2"_s.arg(path, source.errorString())};
    if (source.size() <= m_options.inMemoryLimit)
        compressInMemory(source);
    else
        compressStreaming(source);
}

void RecordWriter::compressInMemory(QFile &source)
{
    const QByteArray plain = source.readAll();
    if (plain.size() != source.size())
        throw Failure{u"cannot read %1: %2"_s.arg(source.fileName(), source.errorString())};
    std::unique_ptr<libdeflate_compressor, void (*)(libdeflate_compressor *)> compressor(
        libdeflate_alloc_compressor(m_options.compressionLevel), libdeflate_free_compressor);
    if (!compressor)
        throw Failure{u"no compressor at level %1"_s.arg(m_options.compressionLevel)};
    const size_t bound = libdeflate_zlib_compress_bound(compressor.get(), size_t(plain.size()));
    QByteArray packed(qsizetype(bound), Qt::Uninitialized);
    const size_t size = libdeflate_zlib_compress(
        compressor.get(), plain.constData(), size_t(plain.size()), packed.data(), bound);
    if (size == 0 || size > size_t(std::numeric_limits<qint32>::max()))
        throw Failure{u"cannot compress %1"_s.arg(source.fileName())};
    packed.resize(qsizetype(size));
    write(int32Bytes(qint32(size)));
    packed.append('\0'); // the one zero byte after the data
    write(packed);
    advance(plain.size());
}

void RecordWriter::compressStreaming(QFile &source)
{
    // The size goes before the data: reserve it and fill it in afterwards.
    const qint64 sizeAt = m_out.pos();
    write(int32Bytes(0));
    z_stream stream{};
    if (deflateInit(&stream, m_options.compressionLevel) != Z_OK)
        throw Failure{u"cannot compress %1"_s.arg(source.fileName())};
    struct Ender {
        z_stream *s;
        ~Ender() { deflateEnd(s); }
    } ender{&stream};
    QByteArray input(StreamChunk, Qt::Uninitialized);
    QByteArray output(StreamChunk, Qt::Uninitialized);
    qint64 packed = 0;
    int status = Z_OK;
    bool atEnd = false;
    while (status != Z_STREAM_END) {
        if (stream.avail_in == 0 && !atEnd) {
            const qint64 got = source.read(input.data(), StreamChunk);
            if (got < 0)
                throw Failure{u"cannot read %1: %2"_s.arg(source.fileName(), source.errorString())};
            atEnd = got < StreamChunk;
            stream.next_in = reinterpret_cast<Bytef *>(input.data());
            stream.avail_in = uInt(got);
            advance(got);
        }
        stream.next_out = reinterpret_cast<Bytef *>(output.data());
        stream.avail_out = uInt(StreamChunk);
        status = deflate(&stream, atEnd ? Z_FINISH : Z_NO_FLUSH);
        if (status == Z_STREAM_ERROR)
            throw Failure{u"cannot compress %1"_s.arg(source.fileName())};
        const qint64 produced = StreamChunk - qint64(stream.avail_out);
        packed += produced;
        if (packed > std::numeric_limits<qint32>::max())
            throw Failure{u"%1 is too large for a courseware file"_s.arg(source.fileName())};
        write(output.left(produced));
    }
    write(QByteArray(1, '\0'));
    const qint64 end = m_out.pos();
    if (!m_out.seek(sizeAt) || m_out.write(int32Bytes(qint32(packed))) != 4 || !m_out.seek(end))
        throw Failure{u"cannot record the size of %1"_s.arg(source.fileName())};
}

} // namespace

WriteResult WriteCourseware(
    QIODevice &out, const CourseDocument &document, const WriteOptions &options)
{
    WriteResult result;
    try {
        RecordWriter writer(out, options, result);
        writer.run(document);
        result.ok = true;
    } catch (const Failure &failure) {
        result.error = failure.text;
    }
    return result;
}

WriteResult WriteCoursewareFile(
    const QString &path, const CourseDocument &document, const WriteOptions &options)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        WriteResult result;
        result.error = u"cannot write %1: %2"_s.arg(path, file.errorString());
        LogCoursewareError(result.error, __LINE__);
        return result;
    }
    WriteResult result = WriteCourseware(file, document, options);
    if (!result.ok) {
        file.cancelWriting();
        LogCoursewareError(result.error, __LINE__);
        return result;
    }
    if (!file.commit()) {
        result.ok = false;
        result.error = u"cannot write %1: %2"_s.arg(path, file.errorString());
        LogCoursewareError(result.error, __LINE__);
    }
    return result;
}

} // namespace Courseware
