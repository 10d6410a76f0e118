#pragma once

#include "controls/userlist/aulix_userlist_export.h"
#include "controls/userlist/userstatus.h"
#include "controls/userlist/utuser.h"

#include <QWidget>

#include <memory>
#include <optional>

class UserListPrivate;

// The people of the class with a status picture each, kept in step with the
// roster the control owns, and the two popup menus (teacher side, student
// side) that turn a right-click on a person into events for the host.
// Shows no messages and writes no log.
class AULIX_USERLIST_EXPORT UserList : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(qint32 myID READ myID WRITE setMyID)
    Q_PROPERTY(qint32 Language READ Language WRITE setLanguage)
    Q_PROPERTY(qint32 Count READ Count)
    Q_PROPERTY(qint32 UserType READ UserType WRITE setUserType)
    Q_PROPERTY(bool bOkAnswer READ bOkAnswer WRITE setbOkAnswer)
    Q_PROPERTY(bool bInPrivateTalk READ bInPrivateTalk WRITE setbInPrivateTalk)

public:
    explicit UserList(QWidget *parent = nullptr);
    ~UserList() override;

    qint32 myID() const;
    void setMyID(qint32 value);
    qint32 Language() const;
    void setLanguage(qint32 value);
    qint32 Count() const;
    // 2 makes a teacher-side list; any other value a student-side list,
    // which always shows the plain list view.
    qint32 UserType() const;
    void setUserType(qint32 value);
    ListViewType ViewType() const;
    void setViewType(ListViewType value);
    // Show the answer field as an "OK" acknowledgement instead of yes/no.
    bool bOkAnswer() const;
    void setbOkAnswer(bool value);
    // Set by the host for the length of the local user's private voice
    // talk: "结束语音密谈" is offered only then.
    bool bInPrivateTalk() const;
    void setbInPrivateTalk(bool value);
    // The user of the selected item, UserType left 0; all zero with an
    // empty nick when nothing is selected.
    utUser SelectedUser() const;

    // Before the users of a full user list are added: makes room for that
    // many users in all (the count the list carries), so the first fill of
    // a large class does not grow the roster step by step.
    void ReserveUsers(qint32 UserCount);
    bool AddUser(qint32 UserID, const QString &UserNick, quint8 UserStatus, quint8 UserType);
    bool RemoveUser(qint32 UserID);
    bool RemoveAllUsers();
    utUser GetUserByID(qint32 UserID) const;
    qint32 GetUserIDByIndex(qint32 Index) const;
    qint32 GetTeacherID() const;
    quint8 GetUserStatus(qint32 UserID) const;
    StatusResultType GetUserStatusEx(qint32 UserID, UserStatusMaskType MaskType) const;
    bool SetUserStatus(qint32 UserID, quint8 UserStatus);
    // -1 when the user exists, 0 when not (or the ID is below 1); empty when
    // the mask type names no field, and then nothing changes.
    std::optional<int> SetUserStatusEx(qint32 UserID, UserStatusMaskType MaskType, cStatus Value);

    bool CheckUserVoiceStatus(qint32 UserID) const;
    bool SetUserVoiceStatus(qint32 UserID, bool booltrue);
    bool CheckUserNoteStatus(qint32 UserID) const;
    bool SetUserNoteStatus(qint32 UserID, bool booltrue);
    bool CheckUserWhiteBoardStatus(qint32 UserID) const;
    bool SetUserWhiteBoardStatus(qint32 UserID, bool booltrue);
    bool CheckUserYesNoStatus(qint32 UserID) const;
    bool SetUserYesNoStatus(qint32 UserID, bool booltrue);
    // Writes the "no" pattern whatever booltrue says: an OK prompt is
    // answered by that pattern and shown as OK while bOkAnswer is set.
    bool SetUserOkStatus(qint32 UserID, bool booltrue);
    bool CheckUserRaiseStatus(qint32 UserID) const;
    bool SetUserRaiseStatus(qint32 UserID, bool booltrue);
    bool CheckUserSpeakingStatus(qint32 UserID) const;
    bool SetUserSpeakingStatus(qint32 UserID, bool booltrue);
    bool CheckUserBusyStatus(qint32 UserID) const;
    bool SetUserBusyStatus(qint32 UserID);
    bool CheckUserFreeStatus(qint32 UserID) const;
    bool SetUserFreeStatus(qint32 UserID);
    bool CheckUserPrepareStatus(qint32 UserID) const;
    bool SetUserPrepareStatus(qint32 UserID);

Q_SIGNALS:
    // The teacher menu's permission commands, raised for a teacher's host;
    // the student client offers no permission commands (its list is a
    // student-side one, whose menu has none).
    void OnSetUserVoiceStatus(qint32 UserID, const QString &UserNick, bool boolValue);
    void OnSetUserNoteStatus(qint32 UserID, const QString &UserNick, bool boolValue);
    void OnSetUserWhiteBoardStatus(qint32 UserID, const QString &UserNick, bool boolValue);
    // Declared for hosts that listen to it; the control never raises it.
    void OnUserStatusChanged(qint32 UserID, quint8 UserStatus);
    // Teacher menu "查看他的信息 (&I)", raised for a teacher's host; the
    // student client offers no such command.
    void OnCheckUserInfo(qint32 UserID, const QString &UserNick, quint8 UserStatus);
    void OnSendUserNoteMessage(qint32 UserID, const QString &UserNick);
    void OnSendUserVoice(qint32 UserID, const QString &UserNick);
    void OnEndUserVoice(qint32 UserID, const QString &UserNick);
    // Raised only by a teacher-side list; the student client's list stays
    // in the plain list view.
    void OnViewTypeChanged(ListViewType vtViewType);
    // Teacher menu "远程调节音量", raised for a teacher's host; the student
    // client offers no remote volume.
    void OnRemoteVolume(qint32 UserID, const QString &UserNick);
    void OnRefreshUserList(bool booltrue);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    friend class UserListPrivate;
    std::unique_ptr<UserListPrivate> const d;
};
