#pragma once

#include <QtGlobal>

#include "common/wiretypes/userstatusbyte.h"

// The fields of the byte. mtOK names no field: setting it fails, testing it
// answers srtError. The names share their "mt" prefix with the message types
// (mtOK is both), so they live in a namespace of their own; the type name is
// also at global scope.
namespace UserStatusMask {
enum UserStatusMaskType : int {
    mtRaise = 1,
    mtYesNO = 2,
    mtSpeaking = 3,
    mtWhiteBoard = 4,
    mtEnableNote = 5,
    mtEnableSpeak = 6,
    mtPrepareBusyFree = 7,
    mtOK = 8,
};
} // namespace UserStatusMask
using UserStatusMaskType = UserStatusMask::UserStatusMaskType;

// Answers of a field test. A lookup of an absent user answers 0, which is
// none of these values; srtOK_Yes and srtOK_No are never produced.
enum StatusResultType : int {
    srtError = -1,
    srtRaise_Yes = 1,
    srtRaise_No = 2,
    srtYes = 3,
    srtNo = 4,
    srtSpeaking_Yes = 5,
    srtSpeaking_No = 6,
    srtWhiteboard_Yes = 7,
    srtWhiteboard_No = 8,
    srtEnableNote_Yes = 9,
    srtEnableNote_No = 10,
    srtEnableSpeak_Yes = 11,
    srtEnableSpeak_No = 12,
    srtPrepare = 13,
    srtBusy = 14,
    srtFree = 15,
    srtOK_Yes = 16,
    srtOK_No = 17,
};

// The kind of a person; 0 where nothing was set.
enum AulixUserType : int {
    ccutStudent = 1,
    ccutTeacher = 2,
};

// View modes of the user list, kept by the roster for the list control.
enum ListViewType : qint16 {
    lvtView = 1,
    lvtList = 2,
    lvtReport = 3,
};
