#pragma once

#include "protocol/aulix_remotesyncdll_export.h"
#include "protocol/framecodec.h"
#include "protocol/msgtypes.h"
#include "protocol/wire.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

// Payload decoders, the mirror of the builders in messages.h: one pure
// function per message, from a frame to its record. The connection class
// turns the records into events; the servers of the simulator and the fuzz
// harnesses call the same functions.
namespace Messages {

// A decoded message: the record as far as it could be read (fields that
// could not be read are 0 or empty), the failure pending at the end of the
// decoding (number 0 when none), and a diagnostic line the caller logs
// before it acts (empty when none). `refused` means the message as a whole
// is not to be acted on.
template <typename Record> struct Decoded {
    Record record;
    Wire::Failure failure;
    QString warning;
    bool refused = false;
};

// The texts of the records below are views into the frame's payload
// (Wire::WideView): a record must not outlive the frame it was decoded from,
// and toString() gives the text to keep.

// mtNotes, verb 0 (to everybody) or 1 (to `ToID`); other verbs are refused.
// A verb-1 payload too short for the recipient is taken as text whole.
struct NoteMsg {
    qint32 FromID = 0;
    qint32 ToID = 0;
    Wire::WideView Message;
};
inline Decoded<NoteMsg> decodeNote(const FrameCodec::FrameView &frame);

// mtWhiteBoard. `lengthsAgree` is false when the two text lengths and the
// payload length disagree (then `warning` holds the line to log).
struct WhiteBoardMsg {
    qint32 ShapeType = 0;
    qint32 x1 = 0;
    qint32 y1 = 0;
    qint32 x2 = 0;
    qint32 y2 = 0;
    qint32 LineWidth = 0;
    qint32 Color = 0;
    Wire::WideView strMark;
    qint16 FontSize = 0;
    Wire::WideView FontName;
    qint32 markBytes = 0;
    qint32 fontBytes = 0;
    bool lengthsAgree = true;
};
inline Decoded<WhiteBoardMsg> decodeWhiteBoard(const FrameCodec::FrameView &frame);

// mtPlay. The position and the media flag are set only when their bytes are
// there and readable: a short payload keeps the receiver's previous values.
struct PlayMsg {
    qint32 TreeNodeID = 0;
    qint32 PlayVerb = 0;
    std::optional<qint32> position;
    std::optional<bool> mediaFile;
};
inline Decoded<PlayMsg> decodePlay(const FrameCodec::FrameView &frame);

// mtVolume (verb 0 microphone, 1 loudspeaker).
struct VolumeMsg {
    qint32 UserID = 0;
    qint32 VolumeValue = 0;
};
AULIX_REMOTESYNCDLL_EXPORT Decoded<VolumeMsg> decodeVolume(const FrameCodec::FrameView &frame);

// mtEnable: the status byte, 0 for an empty payload.
inline Decoded<qint32> decodeEnable(const FrameCodec::FrameView &frame);

// mtUrl, and the questions of mtYesNo and mtOK (verb 1): the byte count and
// the wide text.
struct TextMsg {
    qint32 lngLength = 0;
    Wire::WideView text;
};
inline Decoded<TextMsg> decodeText(const FrameCodec::FrameView &frame);

// The answers of mtYesNo and mtOK (verb 2): yes when bit 0 is set.
struct AnswerMsg {
    qint32 UserID = 0;
    bool boolYes = false;
};
inline Decoded<AnswerMsg> decodeAnswer(const FrameCodec::FrameView &frame);

// mtUserList: the user records as they lie in the payload; strUserList()
// writes the 32-character-a-user text the event carries, once, where it is
// raised. A user number that does not fit refuses the whole list (`warning`
// names the record).
struct AULIX_REMOTESYNCDLL_EXPORT UserListMsg {
    qint32 Count = 0;
    QByteArrayView records; // Count records of UserRecordSize bytes
    qint16 CmdVerb = 0;

    QString strUserList() const;
};
inline Decoded<UserListMsg> decodeUserList(const FrameCodec::FrameView &frame);

// The 22-byte user records of a user-list payload as sent (the servers read
// status reports with it). A record that cannot be read is left out and
// leaves the failure.
AULIX_REMOTESYNCDLL_EXPORT Decoded<QList<UserInfo>> decodeUserRecords(
    const FrameCodec::FrameView &frame);

// mtGetClientKey: the whole payload, and the fixed key length 16.
struct ClientKeyMsg {
    QByteArray UserClientKey;
    qint32 KeyLength = 16;
};
AULIX_REMOTESYNCDLL_EXPORT Decoded<ClientKeyMsg> decodeClientKey(
    const FrameCodec::FrameView &frame);

// mtCampusNewCourse: verb 1 carries the new course's number.
struct NewCourseMsg {
    bool Result = false;
    qint32 NewCourseID = 0;
};
AULIX_REMOTESYNCDLL_EXPORT Decoded<NewCourseMsg> decodeNewCourse(
    const FrameCodec::FrameView &frame);

// mtCampusCourseList: every whole 363-byte record, as it lies in the
// payload; strCourseList() writes them as the 381 characters a course the
// event carries. A course, category or port number that overflows reads as
// 0 and leaves the failure.
struct AULIX_REMOTESYNCDLL_EXPORT CourseListMsg {
    qint32 Count = 0;
    QByteArrayView records; // Count records of CourseRecordSize bytes
    qint32 CmdVerb = 0;

    QString strCourseList() const;
};
AULIX_REMOTESYNCDLL_EXPORT Decoded<CourseListMsg> decodeCourseList(
    const FrameCodec::FrameView &frame);

// mtCampusList: 371-byte records as 377 characters; a last record cut short
// is completed with zero bytes.
struct CategoryListMsg {
    qint32 Count = 0;
    QString strCampusList;
};
AULIX_REMOTESYNCDLL_EXPORT Decoded<CategoryListMsg> decodeCategoryList(
    const FrameCodec::FrameView &frame);

// Messages only servers receive.

// mtLogin verb 0: the user type and the 16 password bytes as sent.
struct LoginMsg {
    qint32 UserType = 0;
    QByteArray password; // 16 bytes, zero-filled
};
AULIX_REMOTESYNCDLL_EXPORT Decoded<LoginMsg> decodeLogin(const FrameCodec::FrameView &frame);

// A payload that is one 32-bit number (choose course, upload failure, new
// course number).
AULIX_REMOTESYNCDLL_EXPORT Decoded<qint32> decodeNumber(const FrameCodec::FrameView &frame);

// mtCampusSetCourse: texts end at their first NUL and are trimmed.
struct SetCourseMsg {
    qint32 CourseID = 0;
    QString CourseTime;
    qint32 MaxUserNumber = 0;
    QString CourseDesc;
    QString CourseName;
};
AULIX_REMOTESYNCDLL_EXPORT Decoded<SetCourseMsg> decodeSetCourse(
    const FrameCodec::FrameView &frame);

// mtCampusUploadComplete verb 0.
struct UploadCompleteMsg {
    qint32 CourseID = 0;
    qint32 CampusID = 0;
    QString CourseName;
    qint32 TeacherID = 0;
    QString CourseIP;
};
AULIX_REMOTESYNCDLL_EXPORT Decoded<UploadCompleteMsg> decodeUploadComplete(
    const FrameCodec::FrameView &frame);

// The decoders of the messages a class sends most often (notes, signs, play
// commands, status changes, answers) run for nearly every received frame.
// Their common case, a payload whose every field reads without a failure, is
// decoded inline; anything else (a short payload, an overflowing number,
// lengths that disagree) goes to the checked decoder, which gives the same
// record and also the failure and the warning. The checked decoders are
// exported for the tests that hold the two paths to the same results.
//
// GCC clears a record that lives in the caller's memory with `rep stos`
// before its fields are written, which costs more than the decoding itself.
// So the checked decoder's record is moved out of a record of its own (made
// in place, it would put the fast path's record in memory too), and the
// whiteboard's record, too large for registers, is given whole in one
// expression.
namespace Checked {
AULIX_REMOTESYNCDLL_EXPORT Decoded<NoteMsg> decodeNote(const FrameCodec::FrameView &frame);
AULIX_REMOTESYNCDLL_EXPORT Decoded<WhiteBoardMsg> decodeWhiteBoard(
    const FrameCodec::FrameView &frame);
AULIX_REMOTESYNCDLL_EXPORT Decoded<PlayMsg> decodePlay(const FrameCodec::FrameView &frame);
AULIX_REMOTESYNCDLL_EXPORT Decoded<AnswerMsg> decodeAnswer(const FrameCodec::FrameView &frame);
AULIX_REMOTESYNCDLL_EXPORT Decoded<UserListMsg> decodeUserList(const FrameCodec::FrameView &frame);
} // namespace Checked

namespace Inline {
// The 32-bit field at `at`; the caller has checked that its bytes are there.
inline qint32 int32At(const uchar *p, qsizetype at)
{
    return qint32(p[at]) | (qint32(p[at + 1]) << 8) | (qint32(p[at + 2]) << 16)
        | (qint32(p[at + 3]) << 24);
}
inline const uchar *bytesOf(QByteArrayView payload)
{
    return reinterpret_cast<const uchar *>(payload.data());
}
} // namespace Inline

inline Decoded<NoteMsg> decodeNote(const FrameCodec::FrameView &frame)
{
    const QByteArrayView payload = frame.payload;
    if (frame.verb == 0) {
        Decoded<NoteMsg> d;
        d.record.FromID = frame.id;
        d.record.Message = Wire::WideView(payload);
        return d;
    }
    if (frame.verb == 1 && payload.size() >= 4 && Inline::bytesOf(payload)[3] < 0x80) {
        Decoded<NoteMsg> d;
        d.record.FromID = frame.id;
        d.record.ToID = Inline::int32At(Inline::bytesOf(payload), 0);
        d.record.Message = Wire::WideView(payload.sliced(4));
        return d;
    }
    Decoded<NoteMsg> checked = Checked::decodeNote(frame);
    return checked;
}

inline Decoded<WhiteBoardMsg> decodeWhiteBoard(const FrameCodec::FrameView &frame)
{
    const qsizetype size = frame.payload.size();
    const uchar *p = Inline::bytesOf(frame.payload);
    if (size >= 32) {
        // The top bytes of the seven numbers: one of 0x80 or more overflows.
        const uchar tops = p[3] | p[7] | p[11] | p[15] | p[19] | p[23] | p[27];
        const qint32 markBytes = Inline::int32At(p, 24);
        // In 64 bits: a mark length near 2^31 must not wrap past the check.
        const qint64 fontAt = 28 + qint64(markBytes);
        if (tops < 0x80 && fontAt + 4 <= size) {
            const uchar *font = p + fontAt;
            const qint32 fontBytes = qint16(font[2] | (font[3] << 8));
            if ((font[1] | font[3]) < 0x80 && fontAt + 4 + fontBytes <= size
                && qint64(markBytes) + fontBytes == qint64(frame.length) - 32) {
                return {
                    WhiteBoardMsg{frame.verb, Inline::int32At(p, 0), Inline::int32At(p, 4),
                        Inline::int32At(p, 8), Inline::int32At(p, 12), Inline::int32At(p, 16),
                        Inline::int32At(p, 20), Wire::WideView(frame.payload.sliced(28, markBytes)),
                        qint16(font[0] | (font[1] << 8)),
                        Wire::WideView(frame.payload.sliced(fontAt + 4, fontBytes)), markBytes,
                        fontBytes, true},
                    {}, {}, false};
            }
        }
    }
    Decoded<WhiteBoardMsg> checked = Checked::decodeWhiteBoard(frame);
    return checked;
}

inline Decoded<PlayMsg> decodePlay(const FrameCodec::FrameView &frame)
{
    const uchar *p = Inline::bytesOf(frame.payload);
    if (frame.payload.size() > 8 && (p[3] | p[7]) < 0x80) {
        Decoded<PlayMsg> d;
        d.record.PlayVerb = frame.verb;
        d.record.TreeNodeID = Inline::int32At(p, 0);
        d.record.position = Inline::int32At(p, 4);
        d.record.mediaFile = p[8] == 1;
        return d;
    }
    Decoded<PlayMsg> checked = Checked::decodePlay(frame);
    return checked;
}

inline Decoded<qint32> decodeEnable(const FrameCodec::FrameView &frame)
{
    Decoded<qint32> d;
    d.record = frame.payload.isEmpty() ? 0 : quint8(frame.payload[0]);
    return d;
}

inline Decoded<TextMsg> decodeText(const FrameCodec::FrameView &frame)
{
    Decoded<TextMsg> d;
    d.record.lngLength = frame.length;
    d.record.text = Wire::WideView(frame.payload);
    return d;
}

inline Decoded<AnswerMsg> decodeAnswer(const FrameCodec::FrameView &frame)
{
    const uchar *p = Inline::bytesOf(frame.payload);
    if (frame.payload.size() >= 4 && p[3] < 0x80) {
        Decoded<AnswerMsg> d;
        d.record.UserID = frame.id;
        d.record.boolYes = (p[0] & 1) == 1;
        return d;
    }
    Decoded<AnswerMsg> checked = Checked::decodeAnswer(frame);
    return checked;
}

inline Decoded<UserListMsg> decodeUserList(const FrameCodec::FrameView &frame)
{
    const qint32 count = qint32(frame.payload.size() / UserRecordSize);
    const uchar *p = Inline::bytesOf(frame.payload);
    // The top bytes of all user numbers, without a branch per user: the list
    // is refused as a whole when one of them overflows.
    // Four at a time into four bytes: one chain of ORs would wait a cycle
    // for each user.
    uchar tops[4] = {};
    qint32 k = 0;
    for (; k + 4 <= count; k += 4) {
        const uchar *q = p + qsizetype(k) * UserRecordSize + 3;
        tops[0] |= q[0];
        tops[1] |= q[UserRecordSize];
        tops[2] |= q[2 * UserRecordSize];
        tops[3] |= q[3 * UserRecordSize];
    }
    for (; k < count; ++k)
        tops[0] |= p[qsizetype(k) * UserRecordSize + 3];
    if ((tops[0] | tops[1] | tops[2] | tops[3]) >= 0x80) {
        Decoded<UserListMsg> checked = Checked::decodeUserList(frame);
        return checked;
    }
    Decoded<UserListMsg> d;
    d.record.Count = count;
    d.record.records = frame.payload.first(qsizetype(count) * UserRecordSize);
    d.record.CmdVerb = qint16(frame.verb);
    return d;
}

} // namespace Messages
