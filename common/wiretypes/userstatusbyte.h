#pragma once

// The user status byte: one byte per person, carried unchanged in the
// classroom's user-list messages and read by the user list. Every value is
// part of the wire format: append only, never renumber.
//
// Bit 5 belongs to two fields: it is the low bit of the answer field
// (bits 6-5) and the speaking flag. A "yes" answer therefore also reads as
// speaking, and clearing the speaking flag of a "yes" turns it into "no".
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
