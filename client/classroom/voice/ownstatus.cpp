#include "client/classroom/voice/ownstatus.h"

#include "controls/userlist/userlist.h"
#include "protocol/clsremotesync.h"

namespace ClassroomVoice {

void ReportOwnStatus(clsRemoteSync &remote, const UserList &users)
{
    UserInfo own;
    own.uiUserID = users.myID();
    own.uiStatus = users.GetUserStatus(own.uiUserID);
    remote.SendUserListMsg(1, {own}, 2);
}

} // namespace ClassroomVoice
