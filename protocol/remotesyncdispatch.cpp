// The receive side of clsRemoteSync: one decoder per message type, and the
// dispatcher that picks it.
#include "common/errorlog.h"
#include "protocol/clsremotesync.h"
#include "protocol/framecodec.h"

#include <QPointer>

using namespace Qt::StringLiterals;

namespace {

const QString Module = u"RemoteSync"_s;

QString withNumber(const QString &text, qint64 number)
{
    return text + QString::number(number);
}

} // namespace

void clsRemoteSync::dispatch(const FrameCodec::FrameView &frame)
{
    Wire::Failure failure;
    const qint32 verb = frame.verb;
    switch (frame.type) {
    case mtLogin:
        if (verb == 1)
            Q_EMIT GetMsgLogOut(frame.id);
        break;
    case mtNotes:
        if (verb == 0 || verb == 1)
            OnNotes(frame);
        break;
    case mtWhiteBoard: OnWhiteBoard(frame); break;
    case mtPlay: OnPlay(frame, failure); break;
    case mtVolume: OnVolume(frame, failure); break;
    case mtEnable: OnEnable(frame); break;
    case mtUrl: Q_EMIT GetMsgURL(frame.length, Wire::wideText(frame.payload)); break;
    case mtYesNo:
    case mtOK: OnYesNoOrOk(frame, failure); break;
    case mtUserList: OnUserList(frame, failure); break;
    case mtMicroPhoneRequestion:
        if (verb == 0)
            Q_EMIT GetMsgMicroPhoneRelease();
        else if (verb == 1)
            Q_EMIT GetMsgMicroPhoneHold();
        else
            Q_EMIT SystemLog(
                withNumber(u"接收到的 mtMicroPhoneRequestion 消息 动作无法识别 "_s, verb));
        break;
    case mtGetClientKey:
        // The key length is fixed; the payload is handed over whole.
        Q_EMIT GetMsgClientKey(frame.payload.toByteArray(), 16);
        break;
    case mtCampusLogin:
        if (verb == mvSUCCESS || verb == mvERROR)
            Q_EMIT GetMsgCampusLogIn(verb == mvSUCCESS);
        else
            Q_EMIT SystemLog(withNumber(u"接收到的mtCmapusLogin消息 动作无法识别 "_s, verb));
        break;
    case mtCampusCourseList:
        if (verb >= mvSTUDENTLIST && verb <= mvSCHOOLLIST)
            OnCampusCourseList(frame);
        else
            Q_EMIT SystemLog(withNumber(u"接收到的mtCampusCourseList消息 动作无法识别 "_s, verb));
        break;
    case mtCampusList: OnCampusList(frame); break;
    case mtCampusChooseCourse: Q_EMIT GetMsgCampusChooseCourse(verb == 1); break;
    case mtCampusNewCourse:
        if (verb == 1) {
            Wire::Reader reader(frame.payload, failure);
            Q_EMIT GetMsgCampusNewCourse(true, reader.int32(0));
        } else {
            Q_EMIT GetMsgCampusNewCourse(false, 0);
        }
        break;
    case mtCampusUploadComplete: Q_EMIT GetMsgCampusUploadComplete(verb == 1); break;
    case mtCampusLogOut:
        if (verb == 1 || verb == 2)
            Q_EMIT GetMsgCampusLogOut(verb == 1);
        else
            Q_EMIT SystemLog(withNumber(u"接收到的mtCmapusLogOut消息 动作无法识别 "_s, verb));
        break;
    default: Q_EMIT SystemLog(withNumber(u"接收到的消息类型无法识别 "_s, frame.type)); break;
    }
    if (failure) {
        Global::WriteErrorLog(Module, u"MessageDispatch"_s, failure.description, __LINE__);
        Q_EMIT SystemLog(u"Error in MessageDispatch : ["_s + QString::number(failure.number)
            + u"] "_s + failure.description);
    }
}

void clsRemoteSync::OnNotes(const FrameCodec::FrameView &frame)
{
    Wire::Failure failure;
    qint32 toID = 0;
    QString text;
    if (frame.verb == 0) {
        text = Wire::wideText(frame.payload);
    } else {
        Wire::Reader reader(frame.payload, failure);
        toID = reader.int32(0);
        // A payload too short for the recipient is taken as text whole.
        text = Wire::wideText(frame.payload.size() >= 4 ? frame.payload.sliced(4) : frame.payload);
    }
    if (failure) {
        Global::WriteErrorLog(Module, u"OnNotes"_s, failure.description, __LINE__);
        reportFailure(failure, u"Error in OnNotes ["_s);
    }
    Q_EMIT GetNoteMessage(frame.id, toID, text);
}

void clsRemoteSync::OnWhiteBoard(const FrameCodec::FrameView &frame)
{
    Wire::Failure failure;
    Wire::Reader reader(frame.payload, failure);
    const qint32 x1 = reader.int32(0);
    const qint32 y1 = reader.int32(4);
    const qint32 x2 = reader.int32(8);
    const qint32 y2 = reader.int32(12);
    const qint32 lineWidth = reader.int32(16);
    const qint32 color = reader.int32(20);
    const qint32 m = reader.int32(24);
    const QString mark = Wire::wideText(reader.bytes(28, m));
    const qint64 fontAt = 28 + qint64(m);
    const qint16 fontSize = fontAt + 2 <= frame.payload.size() ? reader.int16(fontAt) : 0;
    const quint16 f = fontAt + 4 <= frame.payload.size() ? quint16(reader.int16(fontAt + 2)) : 0;
    const QString fontName = f > 0 ? Wire::wideText(reader.bytes(fontAt + 4, f)) : QString();
    if (fontAt + 4 > frame.payload.size())
        failure = Wire::makeFailure(Wire::IndexOutOfRange);
    if (qint64(m) + f != qint64(frame.length) - 32) {
        Q_EMIT SystemLog(u"[Warnning] String Length in WhiteBoard is wrong: Total Length ("_s
            + QString::number(frame.length) + u") <> ("_s + QString::number(m) + u')');
    }
    if (failure)
        reportFailure(failure, u"Error in OnWhiteBoard ["_s);
    Q_EMIT GetMsgWhiteBoard(frame.verb, x1, y1, x2, y2, lineWidth, color, mark, fontSize, fontName);
}

void clsRemoteSync::OnPlay(const FrameCodec::FrameView &frame, Wire::Failure &failure)
{
    Wire::Reader reader(frame.payload, failure);
    const qint32 node = reader.int32(0);
    const qint32 position = reader.int32(4);
    if (frame.payload.size() >= 8)
        m_CurrPlayerPos = position;
    m_bMediaFile = reader.byte(8) == 1;
    if (frame.verb >= 0 && frame.verb <= 2)
        Q_EMIT GetMsgPlayNew(node, frame.verb, m_bMediaFile);
}

void clsRemoteSync::OnVolume(const FrameCodec::FrameView &frame, Wire::Failure &failure)
{
    Wire::Reader reader(frame.payload, failure);
    const qint32 user = reader.int32(0);
    const qint32 value = reader.int32(4);
    if (frame.verb == 0)
        Q_EMIT GetMsgMPVolume(user, value);
    else if (frame.verb == 1)
        Q_EMIT GetMsgSPVolume(user, value);
    else
        Q_EMIT SystemLog(u"Error Volume type."_s);
}

void clsRemoteSync::OnEnable(const FrameCodec::FrameView &frame)
{
    const QPointer<clsRemoteSync> alive(this);
    const qint32 status = frame.payload.isEmpty() ? 0 : quint8(frame.payload[0]);
    Q_EMIT GetMsgEnable(status);
    if (!alive)
        return;
    switch (status) {
    case gsEnableSpeak: Q_EMIT GetMsgGlobalSpeakStatus(true); break;
    case gsDisableSpeak: Q_EMIT GetMsgGlobalSpeakStatus(false); break;
    case gsEnableWhiteBoard: Q_EMIT GetMsgGlobalWhiteBoardStatus(true); break;
    case gsDisableWhiteBoard: Q_EMIT GetMsgGlobalWhiteBoardStatus(false); break;
    case gsEnableNote: Q_EMIT GetMsgGlobalNoteStatus(true); break;
    case gsDisableNote: Q_EMIT GetMsgGlobalNoteStatus(false); break;
    case gsEnableVoice: Q_EMIT GetMsgGlobalVoiceStatus(true); break;
    case gsDisableVoice: Q_EMIT GetMsgGlobalVoiceStatus(false); break;
    default:
        // Nothing failed: the line carries the empty pending failure.
        Q_EMIT SystemLog(u"Error in OnEnable [0]"_s);
        break;
    }
}

void clsRemoteSync::OnYesNoOrOk(const FrameCodec::FrameView &frame, Wire::Failure &failure)
{
    const bool yesNo = frame.type == mtYesNo;
    if (frame.verb == 1) {
        const QString text = Wire::wideText(frame.payload);
        if (yesNo)
            Q_EMIT GetMsgYESNOPrompt(frame.length, text);
        else
            Q_EMIT GetMsgOKPrompt(frame.length, text);
    } else if (frame.verb == 2) {
        Wire::Reader reader(frame.payload, failure);
        const bool yes = (reader.int32(0) & 1) == 1;
        if (yesNo)
            Q_EMIT GetMsgYESNOAnswer(frame.id, yes);
        else
            Q_EMIT GetMsgOKAnswer(frame.id, yes);
    } else if (yesNo) {
        Q_EMIT SystemLog(withNumber(u"Type of 'YesNo' Message is wrong:"_s, frame.verb));
    } else {
        Q_EMIT SystemLog(withNumber(u"接收到的mtOK消息 动作无法识别 "_s, frame.verb));
    }
}

bool clsRemoteSync::OnUserList(const FrameCodec::FrameView &frame, Wire::Failure &failure)
{
    const qint32 count = frame.length / UserRecordSize;
    QString text;
    text.reserve(qsizetype(count) * UserListTextWidth);
    for (qint32 k = 0; k < count; ++k) {
        const QByteArrayView record
            = frame.payload.sliced(qsizetype(k) * UserRecordSize, UserRecordSize);
        Wire::Reader reader(record, failure);
        if (quint8(record[3]) >= 0x80) {
            // A user number that does not fit: the whole list is refused, as
            // peers expect, but the log says which record it was.
            failure = Wire::makeFailure(Wire::Overflow);
            Q_EMIT SystemLog(u"[Debug] OnUserList: record "_s + QString::number(k + 1) + u" of "_s
                + QString::number(count) + u" refused, user number "_s + Wire::hex(record.first(4))
                + u" out of range"_s);
            return false;
        }
        Wire::appendNumberField(text, reader.int32(0), 10);
        Wire::appendAnsiField(text, record.sliced(4, 16), 16);
        Wire::appendNumberField(text, quint8(record[20]), 3);
        Wire::appendNumberField(text, quint8(record[21]), 3);
    }
    if (frame.verb >= 1 && frame.verb <= 3) {
        Q_EMIT GetMsgUserList(count, text, qint16(frame.verb));
        return true;
    }
    Q_EMIT SystemLog(u"[Debug] OnUserList: wrong cmdVerb"_s);
    return false;
}

void clsRemoteSync::OnCampusCourseList(const FrameCodec::FrameView &frame)
{
    // Every whole record of the payload, however many: no counter limit.
    const qint32 count = frame.length / CourseRecordSize;
    QString text;
    text.reserve(qsizetype(count) * CourseListTextWidth);
    Wire::Failure failure;
    for (qint32 k = 0; k < count; ++k) {
        const QByteArrayView record
            = frame.payload.sliced(qsizetype(k) * CourseRecordSize, CourseRecordSize);
        Wire::Reader reader(record, failure);
        Wire::appendNumberField(text, reader.int32(0), 10);
        Wire::appendNumberField(text, reader.int32(4), 10);
        Wire::appendAnsiField(text, record.sliced(8, 100), 100);
        Wire::appendAnsiField(text, record.sliced(108, 16), 16);
        Wire::appendAnsiField(text, record.sliced(124, 15), 15);
        Wire::appendNumberField(text, reader.int32(139), 10);
        Wire::appendAnsiField(text, record.sliced(143, 20), 20);
        Wire::appendAnsiField(text, record.sliced(163, 200), 200);
    }
    if (failure)
        Global::WriteErrorLog(Module, u"OnCampusCourseList"_s, failure.description, __LINE__);
    Q_EMIT GetMsgCampusCourseList(count, text, frame.verb);
}

void clsRemoteSync::OnCampusList(const FrameCodec::FrameView &frame)
{
    QString text;
    qint32 count = 0;
    Wire::Failure failure;
    QByteArray padded; // a last record cut short is completed with zero bytes
    for (qsizetype at = 0; at < frame.length; at += CategoryRecordSize) {
        QByteArrayView record = frame.payload.sliced(at);
        if (record.size() < CategoryRecordSize) {
            padded = Wire::fixedWidth(record, CategoryRecordSize);
            record = padded;
        } else {
            record = record.first(CategoryRecordSize);
        }
        Wire::Reader reader(record, failure);
        Wire::appendNumberField(text, reader.int32(0), 10);
        Wire::appendAnsiField(text, record.sliced(4, 20), 20);
        Wire::appendAnsiField(text, record.sliced(24, 100), 100);
        Wire::appendAnsiField(text, record.sliced(124, 200), 200);
        Wire::appendAnsiField(text, record.sliced(324, 15), 15);
        Wire::appendAnsiField(text, record.sliced(339, 16), 16);
        Wire::appendAnsiField(text, record.sliced(355, 16), 16);
        ++count;
    }
    if (failure)
        Global::WriteErrorLog(Module, u"OnCampusList"_s, failure.description, __LINE__);
    Q_EMIT GetMsgCampusList(count, text);
}
