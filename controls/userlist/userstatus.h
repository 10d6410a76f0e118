#pragma once

#include <QtGlobal>

// The user status byte: one byte per person, carried unchanged in the
// classroom's user-list and status messages, so every value below is part of
// the wire format (append only, never renumber).
//
// Bit 5 belongs to two fields: it is the low bit of the answer field
// (bits 6-5) and the speaking flag. A "yes" answer therefore also reads as
// speaking, and clearing the speaking flag of a "yes" turns it into "no".

// Values written into the fields of the byte.
enum cStatus : int {
    csRaise_Yes = 128,
    csRaise_No = 0,
    csYes = 96,
    csNo = 64,
    csSpeaking_Yes = 32,
    csSpeaking_No = 0,
    csWhiteboard_Yes = 16,
    csWhiteboard_No = 0,
    csEnableNote_Yes = 8,
    csEnableNote_No = 0,
    csEnableSpeake_Yes = 4,
    csEnableSpeake_No = 0,
    csPrepare = 3,
    csBusy = 2,
    csFree = 1,
};

// The fields of the byte. mtOK names no field: setting it fails, testing it
// answers srtError.
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
