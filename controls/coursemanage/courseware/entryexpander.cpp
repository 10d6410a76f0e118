#include "controls/coursemanage/courseware/entryexpander.h"

#include "controls/coursemanage/courseware/expansionbudget.h"

#include <QIODevice>

#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>

namespace Courseware {

namespace {

constexpr size_t StreamChunk = 256 * 1024;

bool writeAll(QIODevice &out, const char *data, qint64 size)
{
    return out.write(data, size) == size;
}

} // namespace

EntryExpander::EntryExpander(qint64 expandLimit, qint64 inMemoryLimit)
    : m_expandLimit(std::max<qint64>(0, expandLimit))
    , m_inMemoryLimit(std::max<qint64>(0, inMemoryLimit))
    , m_decompressor(libdeflate_alloc_decompressor())
{ }

EntryExpander::~EntryExpander()
{
    if (m_decompressor)
        libdeflate_free_decompressor(m_decompressor);
}

ExpandOutcome EntryExpander::expand(QByteArrayView compressed, QIODevice &out)
{
    const qint64 memoryCeiling = std::min(m_expandLimit, m_inMemoryLimit);
    if (!m_decompressor)
        return expandWithZlib(compressed, nullptr, compressed.size(), out);

    // libdeflate needs room for the whole output up front and the zlib format
    // does not record the size: start from a guess and double.
    size_t want = std::max<size_t>(m_capacity, size_t(compressed.size()) * 4 + 4096);
    want = size_t(std::min<qint64>(qint64(want), memoryCeiling));
    for (;;) {
        if (want > m_capacity) {
            m_buffer.reset(new char[want]); // not zeroed: every byte used is written first
            m_capacity = want;
        }
        const size_t room = size_t(std::min<qint64>(qint64(m_capacity), memoryCeiling));
        size_t usedIn = 0;
        size_t produced = 0;
        const libdeflate_result result = libdeflate_zlib_decompress_ex(m_decompressor,
            compressed.data(), size_t(compressed.size()), m_buffer.get(), room, &usedIn, &produced);
        if (result == LIBDEFLATE_SUCCESS) {
            if (m_budget && !m_budget->claim(qint64(produced)))
                return {ExpandStatus::BudgetSpent, 0};
            if (!writeAll(out, m_buffer.get(), qint64(produced)))
                return {ExpandStatus::WriteFailed, 0};
            return {ExpandStatus::Ok, qint64(produced)};
        }
        if (result != LIBDEFLATE_INSUFFICIENT_SPACE)
            return {ExpandStatus::Corrupt, 0};
        if (qint64(room) >= memoryCeiling) {
            if (memoryCeiling >= m_expandLimit)
                return {ExpandStatus::TooLarge, 0};
            // Larger than we hold in memory but maybe within the limit.
            return expandWithZlib(compressed, nullptr, compressed.size(), out);
        }
        want = size_t(std::min<qint64>(qint64(room) * 2, memoryCeiling));
    }
}

ExpandOutcome EntryExpander::expandStream(QIODevice &in, qint64 size, QIODevice &out)
{
    return expandWithZlib({}, &in, size, out);
}

ExpandOutcome EntryExpander::expandWithZlib(
    QByteArrayView compressed, QIODevice *in, qint64 size, QIODevice &out)
{
    z_stream stream{};
    if (inflateInit(&stream) != Z_OK)
        return {ExpandStatus::Corrupt, 0};
    struct Ender {
        z_stream *s;
        ~Ender() { inflateEnd(s); }
    } ender{&stream};

    std::unique_ptr<char[]> input;
    if (in)
        input.reset(new char[StreamChunk]);
    std::unique_ptr<char[]> output(new char[StreamChunk]);
    qint64 remaining = size;
    qint64 offset = 0;
    qint64 written = 0;
    int status = Z_OK;
    while (status != Z_STREAM_END) {
        if (stream.avail_in == 0) {
            if (remaining <= 0)
                return {ExpandStatus::Corrupt, written}; // data ended inside the stream
            const qint64 piece = std::min<qint64>(remaining, StreamChunk);
            if (in) {
                if (in->read(input.get(), piece) != piece)
                    return {ExpandStatus::ReadFailed, written};
                stream.next_in = reinterpret_cast<Bytef *>(input.get());
            } else {
                stream.next_in
                    = reinterpret_cast<Bytef *>(const_cast<char *>(compressed.data())) + offset;
                offset += piece;
            }
            stream.avail_in = uInt(piece);
            remaining -= piece;
        }
        stream.next_out = reinterpret_cast<Bytef *>(output.get());
        stream.avail_out = uInt(StreamChunk);
        status = inflate(&stream, Z_NO_FLUSH);
        if (status != Z_OK && status != Z_STREAM_END && status != Z_BUF_ERROR)
            return {ExpandStatus::Corrupt, written};
        const qint64 produced = qint64(StreamChunk - stream.avail_out);
        if (written + produced > m_expandLimit)
            return {ExpandStatus::TooLarge, written};
        if (produced > 0 && m_budget && !m_budget->claim(produced))
            return {ExpandStatus::BudgetSpent, written};
        if (produced > 0 && !writeAll(out, output.get(), produced))
            return {ExpandStatus::WriteFailed, written};
        written += produced;
        if (status == Z_BUF_ERROR && produced == 0 && stream.avail_in != 0)
            return {ExpandStatus::Corrupt, written};
    }
    return {ExpandStatus::Ok, written};
}

} // namespace Courseware
