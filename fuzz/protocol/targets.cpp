#include "fuzz/protocol/targets.h"

#include "protocol/clsremotesync.h"
#include "protocol/decoders.h"
#include "protocol/framecodec.h"
#include "protocol/listtexts.h"
#include "protocol/messages.h"

#include <cstdlib>

namespace ProtocolFuzz {

namespace {

void check(bool holds)
{
    if (!holds)
        std::abort();
}

QByteArrayView bytesOf(const uint8_t *data, size_t size)
{
    return {reinterpret_cast<const char *>(data), qsizetype(size)};
}

// The wire value of a 32-bit field as the decoders read it: 0 on overflow.
qint32 wireNumber(QByteArrayView record, qsizetype offset)
{
    const auto *p = reinterpret_cast<const uchar *>(record.data() + offset);
    if (p[3] >= 0x80)
        return 0;
    return qint32(p[0] | (p[1] << 8) | (p[2] << 16) | (quint32(p[3]) << 24));
}

} // namespace

void receivePath(const uint8_t *data, size_t size)
{
    if (size < 1)
        return;
    const QByteArrayView bytes = bytesOf(data + 1, size - 1);
    const qsizetype chunk = data[0] % 65 == 0 ? qMax<qsizetype>(bytes.size(), 1) : data[0] % 65;

    clsRemoteSync sync;
    qint64 events = 0;
    QObject::connect(
        &sync, &clsRemoteSync::GetMsgUserList, &sync, [&](qint32 count, const QString &text) {
            check(text.size() == qsizetype(count) * UserListTextWidth);
            ++events;
        });
    QObject::connect(&sync, &clsRemoteSync::GetMsgCampusCourseList, &sync,
        [&](qint32 count, const QString &text) {
            check(text.size() == qsizetype(count) * CourseListTextWidth);
            ++events;
        });
    for (qsizetype at = 0; at < bytes.size(); at += chunk) {
        // Every other read arrives while disabled: whole frames are dropped,
        // the stream stays in step.
        sync.setbEnabled((at / chunk) % 4 != 3);
        sync.ReceiveBytes(bytes.sliced(at, qMin(chunk, bytes.size() - at)));
        check(sync.PendingBytes() <= 16 + 65535);
    }

    Wire::Failure failure;
    const MsgContent msg = FrameCodec::ConvertToMessage(bytes, qint32(bytes.size()), failure);
    const QByteArray again = FrameCodec::ConvertToStream(msg, msg.mcLength + 16, failure);
    check(again.size() == msg.mcLength + 16);
}

void decoders(const uint8_t *data, size_t size)
{
    if (size < 2)
        return;
    const QByteArrayView payload = bytesOf(data + 2, size - 2);
    const FrameCodec::FrameView frame = FrameCodec::viewPayload(data[0], data[1], 7, payload);

    const auto note = Messages::decodeNote(frame);
    check(note.refused == (frame.verb > 1));
    const auto board = Messages::decodeWhiteBoard(frame);
    check(board.record.lengthsAgree || !board.warning.isEmpty());
    const auto play = Messages::decodePlay(frame);
    check(play.record.mediaFile.has_value() == (payload.size() > 8));
    Messages::decodeVolume(frame);
    Messages::decodeEnable(frame);
    check(Messages::decodeText(frame).record.text.size() == payload.size() / 2);
    Messages::decodeAnswer(frame);
    Messages::decodeClientKey(frame);
    Messages::decodeNewCourse(frame);
    Messages::decodeLogin(frame);
    Messages::decodeNumber(frame);
    Messages::decodeSetCourse(frame);
    Messages::decodeUploadComplete(frame);
    const auto records = Messages::decodeUserRecords(frame);
    check(records.record.size() <= payload.size() / UserRecordSize);

    // The lists: the event text read back must give every record with the
    // numbers of the wire (numbers that overflow read as 0).
    const auto users = Messages::decodeUserList(frame);
    if (!users.refused) {
        check(users.record.Count == payload.size() / UserRecordSize);
        const auto parsed
            = ListTexts::parseUserList(users.record.strUserList(), users.record.Count);
        check(parsed.records.size() == users.record.Count && parsed.refused.isEmpty());
        for (qsizetype k = 0; k < parsed.records.size(); ++k) {
            const QByteArrayView record = payload.sliced(k * UserRecordSize, UserRecordSize);
            const ListTexts::RosterRecord &r = parsed.records[k];
            check(r.uiUserID == wireNumber(record, 0));
            check(r.uiStatus == quint8(record[20]) && r.uiUserType == quint8(record[21]));
            check(!r.uiUserNick.contains(QChar(0)));
        }
    }
    const auto courses = Messages::decodeCourseList(frame);
    check(courses.record.strCourseList().size()
        == qsizetype(courses.record.Count) * CourseListTextWidth);
    const auto parsedCourses
        = ListTexts::parseCourseList(courses.record.strCourseList(), courses.record.Count);
    check(parsedCourses.records.size() == courses.record.Count);
    for (qsizetype k = 0; k < parsedCourses.records.size(); ++k) {
        const QByteArrayView record = payload.sliced(k * CourseRecordSize, CourseRecordSize);
        const ListTexts::CourseRecord &c = parsedCourses.records[k];
        check(c.CourseID == wireNumber(record, 0) && c.CategoryID == wireNumber(record, 4)
            && c.ServerPort == wireNumber(record, 139));
    }
    const auto categories = Messages::decodeCategoryList(frame);
    check(categories.record.strCampusList.size()
        == qsizetype(categories.record.Count) * CategoryListTextWidth);
    const auto parsedCategories
        = ListTexts::parseCategoryList(categories.record.strCampusList, categories.record.Count);
    check(parsedCategories.records.size() == categories.record.Count);
    for (const ListTexts::CategoryRecord &c : parsedCategories.records) {
        for (const QChar ch : c.WebHost)
            check(
                ch.isDigit() || (ch.unicode() < 128 && ch.isLetter()) || ch == u'.' || ch == u':');
    }
}

void listTexts(const uint8_t *data, size_t size)
{
    if (size < 1)
        return;
    const int count = data[0];
    const QByteArrayView bytes = bytesOf(data + 1, size - 1);
    const QString text = Wire::wideText(bytes);

    const auto users = ListTexts::parseUserList(text, count);
    check(users.records.size() <= qMin<qsizetype>(count, text.size() / 32));
    for (const auto &user : users.records)
        check(!user.uiUserNick.contains(QChar(0)) && user.uiUserNick.trimmed().size() <= 16);
    const auto courses = ListTexts::parseCourseList(text, count);
    check(courses.records.size() <= qMin<qsizetype>(count, text.size() / 381));
    for (const auto &course : courses.records)
        check(course.CourseName().startsWith(QStringLiteral("Course")));
    const auto categories = ListTexts::parseCategoryList(text, count);
    check(categories.records.size() <= qMin<qsizetype>(count, text.size() / 377));
    for (const auto &category : categories.records) {
        check(category.WebHost.size() <= 15);
        // The box text reads back to the number it shows.
        check(ListTexts::categoryFromComboText(category.ComboText()) == category.CategoryID
            || category.CategoryID < 0);
    }
    ListTexts::categoryFromComboText(text);
}

} // namespace ProtocolFuzz
