#include "controls/userlist/userlistmodel.h"

#include "controls/userlist/userpictures.h"

#include <QHash>

using namespace UserStatusMask;

using namespace Qt::StringLiterals;

UserListModel::UserListModel(const clsUserList &roster, QObject *parent)
    : QAbstractTableModel(parent)
    , m_roster(roster)
{ }

QString UserListModel::PictureKey(const utUser &user, bool bOkAnswer)
{
    const auto field = [&user](UserStatusMaskType mask) {
        return clsUserList::CheckStatus(mask, user.UserStatus);
    };
    const StatusResultType activity = field(mtPrepareBusyFree);
    if (user.UserType == ccutTeacher) {
        QString key = field(mtSpeaking) == srtSpeaking_Yes ? u"teacher_speak"_s : u"teacher"_s;
        if (activity != srtPrepare)
            key = u"teacher_chat_student"_s;
        return key;
    }
    if (activity == srtBusy || activity == srtFree)
        return u"student_chat_student"_s;
    if (activity != srtPrepare)
        return u"student_disable"_s;

    const bool hand = field(mtRaise) == srtRaise_Yes;
    const StatusResultType answer = field(mtYesNO);
    QString key;
    if (field(mtEnableSpeak) == srtEnableSpeak_No) {
        key = u"student_disable"_s;
        if (hand)
            key = u"student_hand_disable"_s;
        if (answer == srtYes && !bOkAnswer)
            key = u"student_disable_y"_s;
        if (answer == srtNo && !bOkAnswer)
            key = u"student_disable_n"_s;
        if (answer == srtNo && bOkAnswer)
            key = u"student_disable_ok"_s;
    } else {
        key = u"student_enable"_s;
        if (hand)
            key = u"stu_hand"_s;
        if (field(mtSpeaking) == srtSpeaking_Yes)
            key = u"student_speak"_s;
        if (answer == srtYes && !bOkAnswer)
            key = u"student_y"_s;
        if (answer == srtNo && !bOkAnswer)
            key = u"student_n"_s;
        if (answer == srtNo && bOkAnswer)
            key = u"student_ok"_s;
    }
    return key;
}

QString UserListModel::StateDescription(const QString &pictureKey)
{
    static const QHash<QString, const char *> words = {
        {u"teacher"_s, QT_TR_NOOP("老师")},
        {u"teacher_speak"_s, QT_TR_NOOP("老师，正在发言")},
        {u"teacher_chat_student"_s, QT_TR_NOOP("老师，正在语音密谈")},
        {u"student_disable"_s, QT_TR_NOOP("未获准发言")},
        {u"student_hand_disable"_s, QT_TR_NOOP("举手，未获准发言")},
        {u"student_disable_y"_s, QT_TR_NOOP("回答“是”，未获准发言")},
        {u"student_disable_n"_s, QT_TR_NOOP("回答“否”，未获准发言")},
        {u"student_disable_ok"_s, QT_TR_NOOP("已确认，未获准发言")},
        {u"student_enable"_s, QT_TR_NOOP("可以发言")},
        {u"stu_hand"_s, QT_TR_NOOP("举手")},
        {u"student_speak"_s, QT_TR_NOOP("正在发言")},
        {u"student_y"_s, QT_TR_NOOP("回答“是”")},
        {u"student_n"_s, QT_TR_NOOP("回答“否”")},
        {u"student_ok"_s, QT_TR_NOOP("已确认")},
        {u"student_chat_student"_s, QT_TR_NOOP("正在语音密谈")},
    };
    const char *text = words.value(pictureKey);
    return text ? tr(text) : QString();
}

QString UserListModel::SpokenText(const utUser &user, bool own, bool bOkAnswer)
{
    const QString state = StateDescription(PictureKey(user, bOkAnswer));
    if (own)
        return tr("%1（我），%2").arg(user.UserNick, state);
    return tr("%1，%2").arg(user.UserNick, state);
}

void UserListModel::setOkAnswer(bool bOkAnswer)
{
    if (m_okAnswer == bOkAnswer)
        return;
    m_okAnswer = bOkAnswer;
    allChanged();
}

void UserListModel::usersAppended()
{
    if (m_flushQueued)
        return;
    m_flushQueued = true;
    QMetaObject::invokeMethod(this, &UserListModel::flushAppends, Qt::QueuedConnection);
}

void UserListModel::flushAppends()
{
    m_flushQueued = false;
    const int total = m_roster.Count();
    if (total <= m_shownRows)
        return;
    beginInsertRows({}, m_shownRows, total - 1);
    m_shownRows = total;
    endInsertRows();
}

void UserListModel::beginRemoveUser(qint32 position)
{
    // The row indexes of the removal must match what the views were told.
    flushAppends();
    beginRemoveRows({}, position - 1, position - 1);
}

void UserListModel::endRemoveUser()
{
    --m_shownRows;
    endRemoveRows();
}

void UserListModel::beginClear()
{
    beginResetModel();
}

void UserListModel::endClear()
{
    m_shownRows = m_roster.Count();
    endResetModel();
}

void UserListModel::userChanged(qint32 position)
{
    const int row = position - 1;
    if (row < 0 || row >= m_shownRows)
        return; // an unannounced row is shown fresh when it is announced
    const QModelIndex cell = index(row, NickColumn);
    Q_EMIT dataChanged(cell, cell);
}

void UserListModel::allChanged()
{
    if (m_shownRows > 0)
        Q_EMIT dataChanged(index(0, NickColumn), index(m_shownRows - 1, NickColumn));
}

int UserListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_shownRows;
}

int UserListModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant UserListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_shownRows)
        return {};
    // Items fill only the first column.
    if (index.column() != NickColumn)
        return {};
    const utUser user = m_roster.GetUser(index.row() + 1);
    switch (role) {
    case Qt::DisplayRole:
        if (user.UserID == m_roster.myID())
            return QString(u'[' + user.UserNick + u']');
        return user.UserNick;
    case Qt::ToolTipRole:
    case Qt::AccessibleTextRole:
        // What the picture says, in words: for the screen reader and for
        // anyone who does not know the pictures yet.
        return SpokenText(user, user.UserID == m_roster.myID(), m_okAnswer);
    case Qt::DecorationRole: return UserPictures::icon(PictureKey(user, m_okAnswer));
    case PictureKeyRole: return PictureKey(user, m_okAnswer);
    case UserIDRole: return user.UserID;
    default: return {};
    }
}

QVariant UserListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
    case NickColumn: return tr("用户名");
    case IDColumn: return tr("用户ID");
    case AddressColumn: return tr("IP地址");
    default: return {};
    }
}
