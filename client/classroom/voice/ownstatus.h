#pragma once

class clsRemoteSync;
class UserList;

namespace ClassroomVoice {

// Tells the class the student's own status byte: a one-element user list
// (ID and status only) sent as a status change.
void ReportOwnStatus(clsRemoteSync &remote, const UserList &users);

} // namespace ClassroomVoice
