// The send operations of clsRemoteSync: one frame each.
#include "protocol/clsremotesync.h"
#include "protocol/messages.h"

using namespace Qt::StringLiterals;

namespace {
const QString Module = u"RemoteSync"_s;
const QString ModuleLower = u"Remotesync"_s;
const QString NoLog;
} // namespace

void clsRemoteSync::SendNoteMessage(qint32 FromID, qint32 ToID, const QString &Message)
{
    if (Message.isEmpty())
        return;
    const Messages::Built built = Messages::note(FromID, ToID, Message);
    sendMessage(mtNotes, built.verb, built.payload, {}, u"SendNoteMessage"_s, Module,
        u"Error in SendNotMessage."_s, __LINE__);
}

void clsRemoteSync::SendPlayMsg(qint32 TreeNodeID)
{
    sendMessage(mtPlay, 0, Messages::play(TreeNodeID, 0, false), {}, u"SendPlayMsg"_s, Module,
        u"Error in SendPlayMessage."_s, __LINE__);
}

void clsRemoteSync::SendPlayMsgAd(qint32 TreeNodeID, qint32 PlayVerb)
{
    sendMessage(mtPlay, PlayVerb, Messages::play(TreeNodeID, m_CurrPlayerPos, m_bMediaFile), {},
        u"SendPlayMsg"_s, Module, u"Error in SendPlayMessage."_s, __LINE__);
}

void clsRemoteSync::SendWhiteBoardMsg(qint32 ShapeType, qint32 x1, qint32 y1, qint32 x2, qint32 y2,
    qint32 LineWidth, qint32 Color, const QString &strMark, qint16 FontSize,
    const QString &FontName)
{
    sendMessage(mtWhiteBoard, ShapeType,
        Messages::whiteBoard(x1, y1, x2, y2, LineWidth, Color, strMark, FontSize, FontName), {},
        u"SendWhiteBoardMsg"_s, NoLog, u"Error in SendWhiteBoardMsg."_s, __LINE__);
}

void clsRemoteSync::SendMPVolumeMsg(qint32 UserID, qint32 VolumeValue)
{
    sendMessage(mtVolume, 0, Messages::twoNumbers(UserID, VolumeValue), {}, u"SendMPVolumeMsg"_s,
        Module, u"Error in SendMPVolumeMsg."_s, __LINE__);
}

void clsRemoteSync::SendSPVolumeMsg(qint32 UserID, qint32 VolumeValue)
{
    sendMessage(mtVolume, 1, Messages::twoNumbers(UserID, VolumeValue), {}, u"SendSPVolumeMsg"_s,
        Module, u"Error in SendSPVolumeMsg."_s, __LINE__);
}

void clsRemoteSync::SendEnableMsg(qint32 GlobalStatus)
{
    Wire::Failure failure;
    const QByteArray payload = Messages::enable(GlobalStatus, failure);
    sendMessage(mtEnable, 0, payload, failure, u"SendEnableMsg"_s, Module,
        u"Error in SendEnableMsg."_s, __LINE__);
}

void clsRemoteSync::SendGlobalSpeakStatus(bool boolValue)
{
    SendEnableMsg(boolValue ? gsEnableSpeak : gsDisableSpeak);
}

void clsRemoteSync::SendGlobalWhiteBoardStatus(bool boolValue)
{
    SendEnableMsg(boolValue ? gsEnableWhiteBoard : gsDisableWhiteBoard);
}

void clsRemoteSync::SendGlobalNoteStatus(bool boolValue)
{
    SendEnableMsg(boolValue ? gsEnableNote : gsDisableNote);
}

void clsRemoteSync::SendGlobalVoiceStatus(bool boolValue)
{
    SendEnableMsg(boolValue ? gsEnableVoice : gsDisableVoice);
}

void clsRemoteSync::SendURLMsg(const QString &strURL)
{
    sendMessage(mtUrl, 0, Wire::wideBytes(strURL), {}, u"SendURLMsg"_s, Module,
        u"Error in SendURLMsg."_s, __LINE__);
}

void clsRemoteSync::SendPromptMsg(const QString &strQuestion)
{
    sendMessage(mtYesNo, 1, Wire::wideBytes(strQuestion), {}, u"SendPromptMsg"_s, Module,
        u"Error in SendPromptMsg."_s, __LINE__);
}

void clsRemoteSync::SendAnswerMsg(bool boolYes)
{
    sendMessage(mtYesNo, 2, Messages::answer(boolYes), {}, u"SendAnswerMsg"_s, Module,
        u"Error in SendAnswerMsg."_s, __LINE__);
}

void clsRemoteSync::SendOKPromptMsg(const QString &strQuestion)
{
    sendMessage(mtOK, 1, Wire::wideBytes(strQuestion), {}, u"SendOKPromptMsg"_s, Module,
        u"Error in SendOKPromptMsg."_s, __LINE__);
}

void clsRemoteSync::SendOKAnswerMsg(bool boolYes)
{
    sendMessage(mtOK, 2, Messages::answer(boolYes), {}, u"SendOKAnswerMsg"_s, Module,
        u"Error in SendOKAnswerMsg."_s, __LINE__);
}

void clsRemoteSync::SendUserListMsg(
    qint32 UserCount, const QList<UserInfo> &UserList, qint16 CmdVerb)
{
    Wire::Failure failure;
    const QByteArray payload = Messages::userList(UserCount, UserList, failure);
    sendMessage(mtUserList, CmdVerb, payload, failure, u"SendUserListMsg"_s, Module,
        u"Error in SendUserListMsg."_s, __LINE__);
}

void clsRemoteSync::SendMicroPhoneRequestion(bool boolRequestion)
{
    sendMessage(mtMicroPhoneRequestion, boolRequestion ? 1 : 0, {}, {},
        u"SendMicroPhoneRequestion"_s, Module, u"Error in SendMicroPhoneRequestion."_s, __LINE__);
}

void clsRemoteSync::SendMsgRefreshUserList()
{
    sendMessage(mtRefreshUserList, 0, {}, {}, u"SendMsgRefreshUserList"_s, Module,
        u"Error in SendMsgRefreshUserList."_s, __LINE__);
}

void clsRemoteSync::SendMsgGetClientKey()
{
    sendMessage(mtGetClientKey, 0, {}, {}, u"SendMsgGetClientKey"_s, Module,
        u"Error in SendMsgGetClientKey."_s, __LINE__);
}

void clsRemoteSync::SendMsgClientReady()
{
    sendMessage(mtClientReady, 0, {}, {}, u"SendMsgClientReady"_s, ModuleLower,
        u"Error in SendMsgClientReady"_s, __LINE__);
}

void clsRemoteSync::SendMsgRefreshWhiteBoard()
{
    sendMessage(mtRefreshWhiteBoard, 0, {}, {}, u"SendMsgRefreshWhiteBoard"_s, ModuleLower,
        u"Error in SendMsgRefreshWhiteBoard"_s, __LINE__);
}

void clsRemoteSync::SendCampusLoginMsg(const QString &strPassword)
{
    sendMessage(mtCampusLogin, 0, Messages::campusLogin(strPassword), {}, u"SendCampusLoginMsg"_s,
        NoLog, u"Error in SendCampusLoginMsg."_s, __LINE__);
}

void clsRemoteSync::SendCampusCourseListMsg(qint16 CmdVerb)
{
    sendMessage(mtCampusCourseList, CmdVerb, {}, {}, u"SendCampusCourseListMsg"_s, Module,
        u"Error in SendCampusCourseListMsg."_s, __LINE__);
}

void clsRemoteSync::SendCampusListMsg()
{
    sendMessage(mtCampusList, 0, {}, {}, u"SendCampusListMsg"_s, Module,
        u"Error in SendCampusListMsg."_s, __LINE__);
}

void clsRemoteSync::SendCampusChooseCourseMsg(qint32 CourseID, qint32 CmdVerb)
{
    sendMessage(mtCampusChooseCourse, CmdVerb, Messages::number(CourseID), {},
        u"SendCampusChooseCourseMsg"_s, Module, u"Error in SendCampusChooseCourseMsg."_s, __LINE__);
}

void clsRemoteSync::SendCampusSetCourseMsg(qint32 CourseID, const QString &CourseTime,
    qint32 MaxUserNumber, const QString &CourseDesc, const QString &CourseName)
{
    sendMessage(mtCampusSetCourse, 0,
        Messages::setCourse(CourseID, CourseTime, MaxUserNumber, CourseDesc, CourseName), {},
        u"SendCampusSetCourseMsg"_s, Module, u"Error in SendCampusSetCourseMsg."_s, __LINE__);
}

void clsRemoteSync::SendCampusNewCourseMsg()
{
    sendMessage(mtCampusNewCourse, 0, {}, {}, u"SendCampusNewCourseMsg"_s, Module,
        u"Error in SendCampusNewCourseMsg."_s, __LINE__);
}

void clsRemoteSync::SendCampusUploadCompleteMsg(qint32 CourseID, qint32 CampusID,
    const QString &CourseName, qint32 TeacherID, const QString &CourseIP)
{
    sendMessage(mtCampusUploadComplete, 0,
        Messages::uploadComplete(CourseID, CampusID, CourseName, TeacherID, CourseIP), {},
        u"SendCampusUploadCompleteMsg"_s, NoLog, u"Error in SendCampusUploadCompleteMsg."_s,
        __LINE__);
}

void clsRemoteSync::SendCampusUploadFailureMsg(qint32 CourseID)
{
    sendMessage(mtCampusUploadComplete, 1, Messages::number(CourseID), {},
        u"SendCampusUploadFailureMsg"_s, NoLog, u"Error in SendCampusUploadFailureMsg."_s,
        __LINE__);
}

void clsRemoteSync::SendCampusLogOutMsg()
{
    sendMessage(mtCampusLogOut, 0, {}, {}, u"SendCampusLogOutMsg"_s, Module,
        u"Error in SendCampusLogOutMsg."_s, __LINE__);
}
