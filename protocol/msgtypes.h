#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

// Wire enumerations of the classroom and campus protocols: values are fixed
// by the servers, append only.

enum MsgType : quint8 {
    mtLogin = 0,
    mtNotes = 1,
    mtWhiteBoard = 2,
    mtPlay = 3,
    mtVolume = 4,
    mtEnable = 5,
    mtUrl = 6,
    mtYesNo = 7,
    mtUserList = 8,
    mtMicroPhoneRequestion = 9,
    mtOK = 10,
    mtRefreshUserList = 11,
    mtGetClientKey = 12,
    mtClientReady = 13,
    mtRefreshWhiteBoard = 14,
    mtCampusLogin = 21,
    mtCampusCourseList = 22,
    mtCampusList = 23,
    mtCampusChooseCourse = 24,
    mtCampusSetCourse = 25,
    mtCampusNewCourse = 26,
    mtCampusUploadComplete = 27,
    mtCampusLogOut = 28,
};

// Several names share a value; the message type says which applies.
enum CmdVerb : qint32 {
    mvSTUDENTLIST = 1,
    mvTEACHERLIST = 2,
    mvALLLIST = 3,
    mvSCHOOLLIST = 4,
    mvChoose = 1,
    mvCANCEL = 2,
    mvSUCCESS = 1,
    mvERROR = 2,
};

enum EnableStatus : qint32 {
    esError = -1,
    esRaise_Yes = 1,
    esRaise_No = 2,
    esYes = 3,
    esNo = 4,
    esSpeaking_Yes = 5,
    esSpeaking_No = 6,
    esWhiteboard_Yes = 7,
    esWhiteboard_No = 8,
    esEnableNote_Yes = 9,
    esEnableNote_No = 10,
    esEnableSpeake_Yes = 11,
    esEnableSpeake_No = 12,
    esPrepare = 13,
    esBusy = 14,
    esFree = 15,
};

enum GlobalStatus : qint32 {
    gsEnableSpeak = 1,
    gsDisableSpeak = 2,
    gsEnableWhiteBoard = 3,
    gsDisableWhiteBoard = 4,
    gsEnableNote = 5,
    gsDisableNote = 6,
    gsEnableVoice = 7,
    gsDisableVoice = 8,
    gsErrorStatus = -1,
};

// Values of the user status byte carried in user lists (cStatus) are shared
// with the user list.
#include "common/wiretypes/userstatusbyte.h"

// One protocol message. The header fields are wider than on the wire; the
// encoder keeps the bits the wire has room for.
struct MsgContent {
    qint32 mcVersion = 0;
    qint32 mcLanguage = 0;
    qint32 mcReserved1 = 0;
    qint32 mcReserved2 = 0;
    quint8 mcCommandType = 0;
    qint32 mcCommandVerb = 0;
    qint32 mcID = 0;
    qint32 mcReserved3 = 0;
    qint32 mcLength = 0;
    QByteArray mcDatas;
};

// One user of a user-list message.
struct UserInfo {
    qint32 uiUserID = 0;
    QString uiUserNick;
    quint8 uiStatus = 0;
    quint8 uiUserType = 0;
};

inline constexpr int FrameHeaderSize = 16;
inline constexpr int UserRecordSize = 22;
inline constexpr int UserListTextWidth = 32;
inline constexpr int CourseRecordSize = 363;
inline constexpr int CourseListTextWidth = 381;
inline constexpr int CategoryRecordSize = 371;
inline constexpr int CategoryListTextWidth = 377;
