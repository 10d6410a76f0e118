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
AULIX_REMOTESYNCDLL_EXPORT Decoded<NoteMsg> decodeNote(const FrameCodec::FrameView &frame);

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
AULIX_REMOTESYNCDLL_EXPORT Decoded<WhiteBoardMsg> decodeWhiteBoard(
    const FrameCodec::FrameView &frame);

// mtPlay. The position and the media flag are set only when their bytes are
// there and readable: a short payload keeps the receiver's previous values.
struct PlayMsg {
    qint32 TreeNodeID = 0;
    qint32 PlayVerb = 0;
    std::optional<qint32> position;
    std::optional<bool> mediaFile;
};
AULIX_REMOTESYNCDLL_EXPORT Decoded<PlayMsg> decodePlay(const FrameCodec::FrameView &frame);

// mtVolume (verb 0 microphone, 1 loudspeaker).
struct VolumeMsg {
    qint32 UserID = 0;
    qint32 VolumeValue = 0;
};
AULIX_REMOTESYNCDLL_EXPORT Decoded<VolumeMsg> decodeVolume(const FrameCodec::FrameView &frame);

// mtEnable: the status byte, 0 for an empty payload.
AULIX_REMOTESYNCDLL_EXPORT Decoded<qint32> decodeEnable(const FrameCodec::FrameView &frame);

// mtUrl, and the questions of mtYesNo and mtOK (verb 1): the byte count and
// the wide text.
struct TextMsg {
    qint32 lngLength = 0;
    Wire::WideView text;
};
AULIX_REMOTESYNCDLL_EXPORT Decoded<TextMsg> decodeText(const FrameCodec::FrameView &frame);

// The answers of mtYesNo and mtOK (verb 2): yes when bit 0 is set.
struct AnswerMsg {
    qint32 UserID = 0;
    bool boolYes = false;
};
AULIX_REMOTESYNCDLL_EXPORT Decoded<AnswerMsg> decodeAnswer(const FrameCodec::FrameView &frame);

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
AULIX_REMOTESYNCDLL_EXPORT Decoded<UserListMsg> decodeUserList(const FrameCodec::FrameView &frame);

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

} // namespace Messages
