// The main window sees the message types and the status fields side by side;
// both say "mtOK", so the status fields keep a namespace of their own.
#include "controls/userlist/clsuserlist.h"
#include "protocol/clsremotesync.h"

#include <gtest/gtest.h>

TEST(WireTypes, MessageTypesAndStatusFieldsLiveTogether)
{
    EXPECT_EQ(mtOK, 10);
    EXPECT_EQ(UserStatusMask::mtOK, 8);
    // One status byte value set for the wire and the list.
    EXPECT_EQ(clsUserList::CheckStatus(UserStatusMask::mtRaise, quint8(csRaise_Yes | csFree)),
        srtRaise_Yes);
    EXPECT_EQ(clsUserList::CheckStatus(UserStatusMask::mtOK, quint8(csYes)), srtError);
}
