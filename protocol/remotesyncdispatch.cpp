// The receive side of clsRemoteSync: the dispatcher picks the decoder of
// each message (decoders.h), logs what the decoding reported and raises the
// message's event.
#include "common/errorlog.h"
#include "protocol/clsremotesync.h"
#include "protocol/decoders.h"
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
    case mtNotes: OnNotes(frame); break;
    case mtWhiteBoard: OnWhiteBoard(frame); break;
    case mtPlay: OnPlay(frame, failure); break;
    case mtVolume: OnVolume(frame, failure); break;
    case mtEnable: OnEnable(frame); break;
    case mtUrl: {
        const auto d = Messages::decodeText(frame);
        Q_EMIT GetMsgURL(d.record.lngLength, d.record.text.toString());
        break;
    }
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
    case mtGetClientKey: {
        const auto d = Messages::decodeClientKey(frame);
        Q_EMIT GetMsgClientKey(d.record.UserClientKey, d.record.KeyLength);
        break;
    }
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
    case mtCampusNewCourse: {
        const auto d = Messages::decodeNewCourse(frame);
        failure = d.failure;
        Q_EMIT GetMsgCampusNewCourse(d.record.Result, d.record.NewCourseID);
        break;
    }
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
    const auto d = Messages::decodeNote(frame);
    if (d.refused)
        return;
    if (d.failure) {
        Global::WriteErrorLog(Module, u"OnNotes"_s, d.failure.description, __LINE__);
        reportFailure(d.failure, u"Error in OnNotes ["_s);
    }
    Q_EMIT GetNoteMessage(d.record.FromID, d.record.ToID, d.record.Message.toString());
}

void clsRemoteSync::OnWhiteBoard(const FrameCodec::FrameView &frame)
{
    const auto d = Messages::decodeWhiteBoard(frame);
    if (!d.warning.isEmpty())
        Q_EMIT SystemLog(d.warning);
    if (d.failure)
        reportFailure(d.failure, u"Error in OnWhiteBoard ["_s);
    const Messages::WhiteBoardMsg &w = d.record;
    Q_EMIT GetMsgWhiteBoard(w.ShapeType, w.x1, w.y1, w.x2, w.y2, w.LineWidth, w.Color,
        w.strMark.toString(), w.FontSize, w.FontName.toString());
}

void clsRemoteSync::OnPlay(const FrameCodec::FrameView &frame, Wire::Failure &failure)
{
    const auto d = Messages::decodePlay(frame);
    failure = d.failure;
    // What the payload does not carry keeps its previous value.
    if (d.record.position)
        m_CurrPlayerPos = *d.record.position;
    if (d.record.mediaFile)
        m_bMediaFile = *d.record.mediaFile;
    if (frame.verb >= 0 && frame.verb <= 2)
        Q_EMIT GetMsgPlayNew(d.record.TreeNodeID, frame.verb, m_bMediaFile);
}

void clsRemoteSync::OnVolume(const FrameCodec::FrameView &frame, Wire::Failure &failure)
{
    const auto d = Messages::decodeVolume(frame);
    failure = d.failure;
    if (frame.verb == 0)
        Q_EMIT GetMsgMPVolume(d.record.UserID, d.record.VolumeValue);
    else if (frame.verb == 1)
        Q_EMIT GetMsgSPVolume(d.record.UserID, d.record.VolumeValue);
    else
        Q_EMIT SystemLog(u"Error Volume type."_s);
}

void clsRemoteSync::OnEnable(const FrameCodec::FrameView &frame)
{
    const QPointer<clsRemoteSync> alive(this);
    const qint32 status = Messages::decodeEnable(frame).record;
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
        const auto d = Messages::decodeText(frame);
        if (yesNo)
            Q_EMIT GetMsgYESNOPrompt(d.record.lngLength, d.record.text.toString());
        else
            Q_EMIT GetMsgOKPrompt(d.record.lngLength, d.record.text.toString());
    } else if (frame.verb == 2) {
        const auto d = Messages::decodeAnswer(frame);
        failure = d.failure;
        if (yesNo)
            Q_EMIT GetMsgYESNOAnswer(d.record.UserID, d.record.boolYes);
        else
            Q_EMIT GetMsgOKAnswer(d.record.UserID, d.record.boolYes);
    } else if (yesNo) {
        Q_EMIT SystemLog(withNumber(u"Type of 'YesNo' Message is wrong:"_s, frame.verb));
    } else {
        Q_EMIT SystemLog(withNumber(u"接收到的mtOK消息 动作无法识别 "_s, frame.verb));
    }
}

bool clsRemoteSync::OnUserList(const FrameCodec::FrameView &frame, Wire::Failure &failure)
{
    const auto d = Messages::decodeUserList(frame);
    failure = d.failure;
    if (!d.warning.isEmpty())
        Q_EMIT SystemLog(d.warning);
    if (d.refused)
        return false;
    if (frame.verb >= 1 && frame.verb <= 3) {
        Q_EMIT GetMsgUserList(d.record.Count, d.record.strUserList(), d.record.CmdVerb);
        return true;
    }
    Q_EMIT SystemLog(u"[Debug] OnUserList: wrong cmdVerb"_s);
    return false;
}

void clsRemoteSync::OnCampusCourseList(const FrameCodec::FrameView &frame)
{
    const auto d = Messages::decodeCourseList(frame);
    if (d.failure)
        Global::WriteErrorLog(Module, u"OnCampusCourseList"_s, d.failure.description, __LINE__);
    Q_EMIT GetMsgCampusCourseList(d.record.Count, d.record.strCourseList(), d.record.CmdVerb);
}

void clsRemoteSync::OnCampusList(const FrameCodec::FrameView &frame)
{
    const auto d = Messages::decodeCategoryList(frame);
    if (d.failure)
        Global::WriteErrorLog(Module, u"OnCampusList"_s, d.failure.description, __LINE__);
    Q_EMIT GetMsgCampusList(d.record.Count, d.record.strCampusList);
}
