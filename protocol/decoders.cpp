#include "protocol/decoders.h"

#include <QtEndian>

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

using namespace Qt::StringLiterals;

namespace Messages {

namespace {

// A fixed-width text field of a client's message: its bytes up to the first
// zero byte, from the ANSI code page, trimmed of blanks.
QString fixedText(Wire::Reader &reader, qsizetype offset, qsizetype width)
{
    QByteArrayView bytes = reader.bytes(offset, width);
    const qsizetype nul = bytes.indexOf('\0');
    if (nul >= 0)
        bytes = bytes.first(nul);
    return Wire::ansiText(bytes).trimmed();
}

// The three characters of a status or type byte ("7  ", "15 ", "255"), made
// at compile time: two table reads instead of two conversions per user. A
// fourth character, 0, makes each entry 8 bytes, one load.
struct ByteFieldTable {
    alignas(8) char16_t text[256][4];
};
constexpr ByteFieldTable makeByteFieldTable()
{
    ByteFieldTable table{};
    for (int value = 0; value < 256; ++value) {
        char16_t digits[3] = {u' ', u' ', u' '};
        int n = 0;
        if (value >= 100)
            digits[n++] = char16_t(u'0' + value / 100);
        if (value >= 10)
            digits[n++] = char16_t(u'0' + value / 10 % 10);
        digits[n] = char16_t(u'0' + value % 10);
        for (int i = 0; i < 3; ++i)
            table.text[value][i] = digits[i];
    }
    return table;
}
constexpr ByteFieldTable byteFields = makeByteFieldTable();

// The digits of a user number over the blanks of its field, left-aligned.
void writeUserNumber(char16_t *dst, quint32 id)
{
    int digits = 1;
    for (quint32 rest = id; rest >= 10; rest /= 10)
        ++digits;
    for (int i = digits; i-- > 0; id /= 10)
        dst[i] = char16_t(u'0' + id % 10);
}

// Whether a user record's text can be written in one go: its number does not
// overflow and its nick is ASCII (NULs included), as nearly every nick is.
bool plainUserRecord(const uchar *record)
{
#if defined(__SSE2__)
    const __m128i nick = _mm_loadu_si128(reinterpret_cast<const __m128i *>(record + 4));
    return record[3] < 0x80 && _mm_movemask_epi8(nick) == 0;
#else
    quint64 halves[2];
    std::memcpy(halves, record + 4, sizeof halves);
    return record[3] < 0x80 && ((halves[0] | halves[1]) & 0x8080808080808080ull) == 0;
#endif
}

// The 32 characters of a plain user record, the same as the field-by-field
// writer gives.
void writePlainUserRecord(char16_t *dst, const uchar *record)
{
#if defined(__SSE2__)
    // The record's 64 bytes of text in five stores, later ones over earlier
    // ones: the number's blanks (characters 0-9), the nick widened in two
    // halves (10-25), then characters 24-31 (the nick's last two, the status,
    // the type) put together in a register. The number's digits go over the
    // blanks last. Overlapping stores take fewer instructions than shifting
    // the nick into four separate blocks, and far fewer than a store a field.
    const __m128i nick = _mm_loadu_si128(reinterpret_cast<const __m128i *>(record + 4));
    const __m128i zero = _mm_setzero_si128();
    const __m128i low = _mm_unpacklo_epi8(nick, zero);
    const __m128i high = _mm_unpackhi_epi8(nick, zero);
    const __m128i status
        = _mm_loadl_epi64(reinterpret_cast<const __m128i *>(byteFields.text[record[20]]));
    const __m128i type
        = _mm_loadl_epi64(reinterpret_cast<const __m128i *>(byteFields.text[record[21]]));
    _mm_storeu_si128(reinterpret_cast<__m128i *>(dst), _mm_set1_epi16(short(u' ')));
    static constexpr char16_t blanks[2] = {u' ', u' '};
    std::memcpy(dst + 8, blanks, sizeof blanks);
    _mm_storeu_si128(reinterpret_cast<__m128i *>(dst + 10), low);
    _mm_storeu_si128(reinterpret_cast<__m128i *>(dst + 18), high);
    _mm_storeu_si128(reinterpret_cast<__m128i *>(dst + 24),
        _mm_or_si128(_mm_or_si128(_mm_srli_si128(high, 12), _mm_slli_si128(status, 4)),
            _mm_slli_si128(type, 10)));
#else
    for (int i = 0; i < 10; ++i)
        dst[i] = u' ';
    for (int i = 0; i < 16; ++i)
        dst[10 + i] = record[4 + i];
    std::memcpy(dst + 26, byteFields.text[record[20]], 3 * sizeof(char16_t));
    std::memcpy(dst + 29, byteFields.text[record[21]], 3 * sizeof(char16_t));
#endif
    writeUserNumber(dst, qFromLittleEndian<quint32>(record));
}

} // namespace

Decoded<NoteMsg> Checked::decodeNote(const FrameCodec::FrameView &frame)
{
    Decoded<NoteMsg> d;
    d.record.FromID = frame.id;
    if (frame.verb == 0) {
        d.record.Message = Wire::WideView(frame.payload);
    } else if (frame.verb == 1) {
        Wire::Reader reader(frame.payload, d.failure);
        d.record.ToID = reader.int32(0);
        d.record.Message
            = Wire::WideView(frame.payload.size() >= 4 ? frame.payload.sliced(4) : frame.payload);
    } else {
        d.refused = true;
    }
    return d;
}

Decoded<WhiteBoardMsg> Checked::decodeWhiteBoard(const FrameCodec::FrameView &frame)
{
    Decoded<WhiteBoardMsg> d;
    WhiteBoardMsg &w = d.record;
    const qsizetype size = frame.payload.size();
    Wire::Reader reader(frame.payload, d.failure);
    w.ShapeType = frame.verb;
    w.x1 = reader.int32(0);
    w.y1 = reader.int32(4);
    w.x2 = reader.int32(8);
    w.y2 = reader.int32(12);
    w.LineWidth = reader.int32(16);
    w.Color = reader.int32(20);
    w.markBytes = reader.int32(24);
    w.strMark = Wire::WideView(reader.bytes(28, w.markBytes));
    const qint64 fontAt = 28 + qint64(w.markBytes);
    if (fontAt + 2 <= size)
        w.FontSize = reader.int16(fontAt);
    if (fontAt + 4 <= size)
        w.fontBytes = reader.int16(fontAt + 2);
    else
        d.failure = Wire::makeFailure(Wire::IndexOutOfRange);
    if (w.fontBytes > 0)
        w.FontName = Wire::WideView(reader.bytes(fontAt + 4, w.fontBytes));
    w.lengthsAgree = qint64(w.markBytes) + w.fontBytes == qint64(frame.length) - 32;
    if (!w.lengthsAgree) {
        d.warning = u"[Warnning] String Length in WhiteBoard is wrong: Total Length ("_s
            + QString::number(frame.length) + u") <> ("_s + QString::number(w.markBytes) + u')';
    }
    return d;
}

Decoded<PlayMsg> Checked::decodePlay(const FrameCodec::FrameView &frame)
{
    Decoded<PlayMsg> d;
    Wire::Reader reader(frame.payload, d.failure);
    d.record.PlayVerb = frame.verb;
    d.record.TreeNodeID = reader.int32(0);
    // A field that cannot be read leaves the receiver's value alone.
    Wire::Failure field;
    Wire::Reader fields(frame.payload, field);
    const qint32 position = fields.int32(4);
    if (!field)
        d.record.position = position;
    else
        d.failure = field;
    if (frame.payload.size() > 8)
        d.record.mediaFile = quint8(frame.payload[8]) == 1;
    else
        d.failure = Wire::makeFailure(Wire::IndexOutOfRange);
    return d;
}

Decoded<VolumeMsg> decodeVolume(const FrameCodec::FrameView &frame)
{
    Decoded<VolumeMsg> d;
    Wire::Reader reader(frame.payload, d.failure);
    d.record.UserID = reader.int32(0);
    d.record.VolumeValue = reader.int32(4);
    return d;
}

Decoded<AnswerMsg> Checked::decodeAnswer(const FrameCodec::FrameView &frame)
{
    Decoded<AnswerMsg> d;
    Wire::Reader reader(frame.payload, d.failure);
    d.record.UserID = frame.id;
    d.record.boolYes = (reader.int32(0) & 1) == 1;
    return d;
}

Decoded<UserListMsg> Checked::decodeUserList(const FrameCodec::FrameView &frame)
{
    Decoded<UserListMsg> d;
    const qint32 count = qint32(frame.payload.size() / UserRecordSize);
    d.record.CmdVerb = qint16(frame.verb);
    const auto *bytes = reinterpret_cast<const uchar *>(frame.payload.data());
    // The whole list is refused when one user number does not fit, so the
    // numbers are checked before the list is handed on.
    for (qint32 k = 0; k < count; ++k) {
        const uchar *record = bytes + qsizetype(k) * UserRecordSize;
        if (record[3] >= 0x80) {
            // As peers expect, but the log says which record it was.
            d.failure = Wire::makeFailure(Wire::Overflow);
            d.warning = u"[Debug] OnUserList: record "_s + QString::number(k + 1) + u" of "_s
                + QString::number(count) + u" refused, user number "_s
                + Wire::hex(frame.payload.sliced(qsizetype(k) * UserRecordSize, 4))
                + u" out of range"_s;
            d.refused = true;
            return d;
        }
    }
    d.record.records = frame.payload.first(qsizetype(count) * UserRecordSize);
    d.record.Count = count;
    return d;
}

QString UserListMsg::strUserList() const
{
    // Count and the records agree when they come from decodeUserList(); a
    // record put together by hand is held to its whole records.
    const qsizetype count = qMin<qsizetype>(qMax(Count, 0), records.size() / UserRecordSize);
    const auto *bytes = reinterpret_cast<const uchar *>(records.data());
    Wire::FieldText text(count * UserListTextWidth);
    // Plain records, each at its known place, until the first that is not:
    // no running length to carry from one record to the next.
    qsizetype k = 0;
    if (count > 0) {
        char16_t *out = text.append(count * UserListTextWidth);
        while (k < count && plainUserRecord(bytes + k * UserRecordSize)) {
            writePlainUserRecord(out + k * UserListTextWidth, bytes + k * UserRecordSize);
            ++k;
        }
        text.giveBack((count - k) * UserListTextWidth);
    }
    for (; k < count; ++k) {
        const uchar *record = bytes + k * UserRecordSize;
        if (plainUserRecord(record)) {
            writePlainUserRecord(text.append(UserListTextWidth), record);
            continue;
        }
        Wire::Failure ignored; // an overflowing number reads as 0, as the reader gives it
        text.number(Wire::Reader(QByteArrayView(record, UserRecordSize), ignored).int32(0), 10);
        text.ansi(QByteArrayView(record + 4, 16), 16);
        text.number(record[20], 3);
        text.number(record[21], 3);
    }
    return text.take();
}

Decoded<QList<UserInfo>> decodeUserRecords(const FrameCodec::FrameView &frame)
{
    Decoded<QList<UserInfo>> d;
    const qsizetype count = frame.payload.size() / UserRecordSize;
    d.record.reserve(count);
    for (qsizetype k = 0; k < count; ++k) {
        const QByteArrayView record = frame.payload.sliced(k * UserRecordSize, UserRecordSize);
        Wire::Failure failure;
        Wire::Reader reader(record, failure);
        UserInfo user;
        user.uiUserID = reader.int32(0);
        user.uiUserNick = fixedText(reader, 4, 16);
        user.uiStatus = reader.byte(20);
        user.uiUserType = reader.byte(21);
        if (failure)
            d.failure = failure;
        else
            d.record.append(user);
    }
    return d;
}

Decoded<ClientKeyMsg> decodeClientKey(const FrameCodec::FrameView &frame)
{
    Decoded<ClientKeyMsg> d;
    d.record.UserClientKey = frame.payload.toByteArray();
    return d;
}

Decoded<NewCourseMsg> decodeNewCourse(const FrameCodec::FrameView &frame)
{
    Decoded<NewCourseMsg> d;
    if (frame.verb == 1) {
        Wire::Reader reader(frame.payload, d.failure);
        d.record.Result = true;
        d.record.NewCourseID = reader.int32(0);
    }
    return d;
}

Decoded<CourseListMsg> decodeCourseList(const FrameCodec::FrameView &frame)
{
    // Every whole record of the payload, however many: no counter limit.
    Decoded<CourseListMsg> d;
    const qint32 count = qint32(frame.payload.size() / CourseRecordSize);
    d.record.Count = count;
    d.record.CmdVerb = frame.verb;
    d.record.records = frame.payload.first(qsizetype(count) * CourseRecordSize);
    const auto *bytes = reinterpret_cast<const uchar *>(frame.payload.data());
    for (qint32 k = 0; k < count; ++k) {
        const uchar *record = bytes + qsizetype(k) * CourseRecordSize;
        // The top bytes of the course, category and port numbers.
        if (record[3] >= 0x80 || record[7] >= 0x80 || record[142] >= 0x80)
            d.failure = Wire::makeFailure(Wire::Overflow);
    }
    return d;
}

QString CourseListMsg::strCourseList() const
{
    const qsizetype count = qMin<qsizetype>(qMax(Count, 0), records.size() / CourseRecordSize);
    Wire::FieldText text(count * CourseListTextWidth);
    Wire::Failure ignored; // decoding reported it; an overflowing number reads as 0
    for (qsizetype k = 0; k < count; ++k) {
        const QByteArrayView record = records.sliced(k * CourseRecordSize, CourseRecordSize);
        Wire::Reader reader(record, ignored);
        text.number(reader.int32(0), 10);
        text.number(reader.int32(4), 10);
        text.ansi(record.sliced(8, 100), 100);
        text.ansi(record.sliced(108, 16), 16);
        text.ansi(record.sliced(124, 15), 15);
        text.number(reader.int32(139), 10);
        text.ansi(record.sliced(143, 20), 20);
        text.ansi(record.sliced(163, 200), 200);
    }
    return text.take();
}

Decoded<CategoryListMsg> decodeCategoryList(const FrameCodec::FrameView &frame)
{
    Decoded<CategoryListMsg> d;
    const qsizetype size = frame.payload.size();
    Wire::FieldText text(
        (size + CategoryRecordSize - 1) / CategoryRecordSize * CategoryListTextWidth);
    QByteArray padded; // a last record cut short is completed with zero bytes
    for (qsizetype at = 0; at < size; at += CategoryRecordSize) {
        QByteArrayView record = frame.payload.sliced(at);
        if (record.size() < CategoryRecordSize) {
            padded = Wire::fixedWidth(record, CategoryRecordSize);
            record = padded;
        } else {
            record = record.first(CategoryRecordSize);
        }
        Wire::Reader reader(record, d.failure);
        text.number(reader.int32(0), 10);
        text.ansi(record.sliced(4, 20), 20);
        text.ansi(record.sliced(24, 100), 100);
        text.ansi(record.sliced(124, 200), 200);
        text.ansi(record.sliced(324, 15), 15);
        text.ansi(record.sliced(339, 16), 16);
        text.ansi(record.sliced(355, 16), 16);
        ++d.record.Count;
    }
    d.record.strCampusList = text.take();
    return d;
}

Decoded<LoginMsg> decodeLogin(const FrameCodec::FrameView &frame)
{
    Decoded<LoginMsg> d;
    if (frame.payload.size() != 18) {
        d.failure = Wire::makeFailure(Wire::IndexOutOfRange);
        d.refused = true;
        return d;
    }
    d.record.UserType = quint8(frame.payload[0]);
    d.record.password = frame.payload.sliced(2, 16).toByteArray();
    return d;
}

Decoded<qint32> decodeNumber(const FrameCodec::FrameView &frame)
{
    Decoded<qint32> d;
    Wire::Reader reader(frame.payload, d.failure);
    d.record = reader.int32(0);
    return d;
}

Decoded<SetCourseMsg> decodeSetCourse(const FrameCodec::FrameView &frame)
{
    Decoded<SetCourseMsg> d;
    Wire::Reader reader(frame.payload, d.failure);
    d.record.CourseID = reader.int32(0);
    d.record.CourseTime = fixedText(reader, 4, 20);
    d.record.MaxUserNumber = reader.int32(24);
    d.record.CourseDesc = fixedText(reader, 28, 200);
    d.record.CourseName = fixedText(reader, 228, 100);
    return d;
}

Decoded<UploadCompleteMsg> decodeUploadComplete(const FrameCodec::FrameView &frame)
{
    Decoded<UploadCompleteMsg> d;
    Wire::Reader reader(frame.payload, d.failure);
    d.record.CourseID = reader.int32(0);
    d.record.CampusID = reader.int32(4);
    d.record.CourseName = fixedText(reader, 8, 100);
    d.record.TeacherID = reader.int32(108);
    d.record.CourseIP = fixedText(reader, 112, 15);
    return d;
}

} // namespace Messages
