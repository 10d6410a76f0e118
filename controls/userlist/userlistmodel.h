#pragma once

#include "controls/userlist/clsuserlist.h"

#include <QAbstractTableModel>

// The list items of the user list: row r shows the user at roster position
// r + 1. Text and picture are derived from the roster when asked for, so a
// row always shows its own user even where two stored nicks are equal.
//
// Appends are announced to the views in one batch on the next turn of the
// event loop (or before any other change), so filling a large class costs
// one insertion, not one per user.
class UserListModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Role { PictureKeyRole = Qt::UserRole + 1, UserIDRole };
    enum Column { NickColumn, IDColumn, AddressColumn, ColumnCount };

    explicit UserListModel(const clsUserList &roster, QObject *parent = nullptr);

    // The picture of a user by the picture rules; the last applicable rule
    // of the user's group wins.
    static QString PictureKey(const utUser &user, bool bOkAnswer);

    // The state a picture shows, in words ("举手", "正在发言" ...).
    static QString StateDescription(const QString &pictureKey);
    // A person as a screen reader says it: "张三，举手".
    static QString SpokenText(const utUser &user, bool own, bool bOkAnswer);

    void setOkAnswer(bool bOkAnswer);
    bool okAnswer() const { return m_okAnswer; }

    // Announce users the roster has just appended.
    void usersAppended();
    // Tell the views about pending appends now.
    void flushAppends();
    // Around the removal of the user at a roster position.
    void beginRemoveUser(qint32 position);
    void endRemoveUser();
    void beginClear();
    void endClear();
    // The user at a roster position changed (status, kind or own ID).
    void userChanged(qint32 position);
    void allChanged();

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    const clsUserList &m_roster;
    int m_shownRows = 0;
    bool m_flushQueued = false;
    bool m_okAnswer = false;
};
