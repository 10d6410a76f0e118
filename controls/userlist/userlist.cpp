#include "controls/userlist/userlist.h"

#include "controls/userlist/clsuserlist.h"
#include "controls/userlist/userlistmodel.h"
#include "controls/userlist/userpictures.h"
#include "controls/userlist/userrowview.h"

#include <QKeyEvent>
#include <QListView>
#include <QMenu>
#include <QMouseEvent>
#include <QStackedLayout>
#include <QTreeView>

#include <array>

using namespace UserStatusMask;

using namespace Qt::StringLiterals;

namespace {

// Column widths of the report view, given in twips (15 to a pixel).
constexpr int TwipsPerPixel = 15;
constexpr int ColumnTwips[] = {3000, 1500, 1500};

enum class Look { LargeIcons, SmallIcons, List, Report };

} // namespace

class UserListPrivate
{
public:
    explicit UserListPrivate(UserList *owner)
        : q(owner)
    { }

    void build();
    QAbstractItemView *activeView() const { return active; }
    std::array<QAbstractItemView *, 3> views() const { return {rows, icons, tree}; }
    bool isView(QObject *object) const
    {
        return object == rows || object == icons || object == tree;
    }
    void redraw() const { activeView()->viewport()->update(); }
    void show(Look look);
    bool refreshUserItem(qint32 UserID);
    bool setField(qint32 UserID, UserStatusMaskType mask, cStatus value);
    bool checkField(qint32 UserID, UserStatusMaskType mask, StatusResultType yes) const
    {
        return q->GetUserStatusEx(UserID, mask) == yes;
    }
    int selectedRow() const;
    void mouseDown(QMouseEvent *event);
    void popUpMenu(const utUser &user, const QPoint &globalPos);
    bool noteAllowedWith(qint32 UserID) const;
    bool keyPress(QAbstractItemView *view, QKeyEvent *event);
    QAction *addCommand(QMenu *menu, const QString &caption, void (UserListPrivate::*slot)());
    // The person the open menu was raised for; 0 once that person left.
    qint32 menuUserID() const { return roster.FindUserByID(menuUser) ? menuUser : 0; }

    void toggleVoice() { togglePermission(actVoice, mtEnableSpeak, csEnableSpeake_Yes); }
    void toggleWhiteBoard() { togglePermission(actWhiteBoard, mtWhiteBoard, csWhiteboard_Yes); }
    void toggleNote() { togglePermission(actNote, mtEnableNote, csEnableNote_Yes); }
    void togglePermission(QAction *action, UserStatusMaskType mask, cStatus yes);
    void checkInfo();
    void remoteVolume();
    void sendNote();
    void sendVoice();
    void endVoice();
    void refresh() { Q_EMIT q->OnRefreshUserList(true); }
    void viewList() { chooseView(actViewList, lvtList); }
    void viewReport() { chooseView(actViewReport, lvtReport); }
    void viewLarge() { chooseView(actViewLarge, lvtView); }
    void chooseView(QAction *action, ListViewType value);

    UserList *const q;
    clsUserList roster;
    UserListModel *model = nullptr;
    // One selection for the three views, so the selected person stays
    // selected when the view mode changes.
    QItemSelectionModel *selection = nullptr;
    QStackedLayout *stack = nullptr;
    UserRowView *rows = nullptr; // the plain list: the student side's view
    QListView *icons = nullptr; // large and small icons
    QTreeView *tree = nullptr; // report
    QAbstractItemView *active = nullptr;
    qint32 menuUser = 0;

    QMenu *teacherMenu = nullptr;
    QMenu *studentMenu = nullptr;
    QAction *actVoice = nullptr;
    QAction *actWhiteBoard = nullptr;
    QAction *actNote = nullptr;
    QAction *actViewList = nullptr;
    QAction *actViewReport = nullptr;
    QAction *actViewLarge = nullptr;
    QAction *actStudentNote = nullptr;
    QAction *actStudentVoice = nullptr;
    QAction *actStudentEndVoice = nullptr;
    QAction *actTeacherVoice = nullptr;
    QAction *actTeacherEndVoice = nullptr;
    std::array<QAction *, 3> teacherPersonCommands{};
    bool inPrivateTalk = false;
};

QAction *UserListPrivate::addCommand(
    QMenu *menu, const QString &caption, void (UserListPrivate::*slot)())
{
    QAction *action = menu->addAction(caption);
    QObject::connect(action, &QAction::triggered, q, [this, slot] { (this->*slot)(); });
    return action;
}

void UserListPrivate::build()
{
    model = new UserListModel(roster, q);
    selection = new QItemSelectionModel(model, q);

    rows = new UserRowView(q);
    rows->setObjectName(u"lsvUserList"_s);

    icons = new QListView(q);
    icons->setObjectName(u"lsvUserListIcons"_s);
    // Every item has the same size, so the view lays out a large class
    // without measuring each item.
    icons->setUniformItemSizes(true);
    icons->setResizeMode(QListView::Adjust);
    icons->setTextElideMode(Qt::ElideRight);

    tree = new QTreeView(q);
    tree->setObjectName(u"lsvUserListReport"_s);
    tree->setRootIsDecorated(false);
    tree->setItemsExpandable(false);
    tree->setUniformRowHeights(true);
    tree->setIconSize(QSize(UserPictures::SmallSize, UserPictures::SmallSize));

    stack = new QStackedLayout(q);
    stack->setContentsMargins(0, 0, 0, 0);
    for (QAbstractItemView *view : views()) {
        view->setSelectionMode(QAbstractItemView::SingleSelection);
        view->setEditTriggers(QAbstractItemView::NoEditTriggers);
        view->viewport()->installEventFilter(q);
        view->installEventFilter(q);
        view->setAccessibleName(UserList::tr("课堂成员"));
        view->setAccessibleDescription(
            UserList::tr("老师和同学，每人一行，说明其状态；菜单键打开对此人的命令"));
        stack->addWidget(view);
    }
    rows->setPlaceholderText(UserList::tr("进入课堂后，这里列出老师和同学"));
    q->setFocusProxy(rows);

    teacherMenu = new QMenu(q);
    teacherMenu->setObjectName(u"mnuTeacher"_s);
    actVoice
        = addCommand(teacherMenu, UserList::tr("允许语音发言 (&V)"), &UserListPrivate::toggleVoice);
    actWhiteBoard = addCommand(
        teacherMenu, UserList::tr("允许使用白板 (&W)"), &UserListPrivate::toggleWhiteBoard);
    actNote
        = addCommand(teacherMenu, UserList::tr("允许发短消息 (&M)"), &UserListPrivate::toggleNote);
    for (QAction *toggle : {actVoice, actWhiteBoard, actNote})
        toggle->setCheckable(true);
    teacherMenu->addSeparator();
    teacherPersonCommands
        = {addCommand(teacherMenu, UserList::tr("查看他的信息 (&I)"), &UserListPrivate::checkInfo),
            addCommand(teacherMenu, UserList::tr("远程调节音量"), &UserListPrivate::remoteVolume),
            addCommand(teacherMenu, UserList::tr("给他发短消息 (&N)"), &UserListPrivate::sendNote)};
    teacherMenu->addSeparator();
    actTeacherVoice
        = addCommand(teacherMenu, UserList::tr("和他语音密谈(&C)"), &UserListPrivate::sendVoice);
    actTeacherEndVoice
        = addCommand(teacherMenu, UserList::tr("结束语音密谈"), &UserListPrivate::endVoice);
    addCommand(teacherMenu, UserList::tr("刷   新"), &UserListPrivate::refresh);
    teacherMenu->addSeparator();
    actViewList = addCommand(teacherMenu, UserList::tr("列表模式"), &UserListPrivate::viewList);
    actViewReport = addCommand(teacherMenu, UserList::tr("报文模式"), &UserListPrivate::viewReport);
    actViewLarge = addCommand(teacherMenu, UserList::tr("大图标模式"), &UserListPrivate::viewLarge);
    for (QAction *view : {actViewList, actViewReport, actViewLarge})
        view->setCheckable(true);

    studentMenu = new QMenu(q);
    studentMenu->setObjectName(u"mnuStudent"_s);
    actStudentNote
        = addCommand(studentMenu, UserList::tr("给他发短消息 (&N)"), &UserListPrivate::sendNote);
    actStudentVoice
        = addCommand(studentMenu, UserList::tr("语音密谈 (&C)"), &UserListPrivate::sendVoice);
    // Ending a talk stays possible whatever the permissions say, so a talk
    // can always be left; outside a talk the host would take the student's
    // own speak permission away with it, so it is offered only in one.
    actStudentEndVoice
        = addCommand(studentMenu, UserList::tr("结束语音密谈"), &UserListPrivate::endVoice);
    addCommand(studentMenu, UserList::tr("刷   新"), &UserListPrivate::refresh);

    show(Look::SmallIcons);
}

void UserListPrivate::show(Look look)
{
    const int selected = selectedRow();
    QAbstractItemView *target = rows;
    if (look == Look::Report)
        target = tree;
    else if (look == Look::LargeIcons || look == Look::SmallIcons)
        target = icons;
    // Only the shown view holds the model, so hidden views do not follow
    // every change of a large class.
    for (QAbstractItemView *view : views()) {
        if (view != target && view->model() == model)
            view->setModel(nullptr);
    }
    if (target->model() != model) {
        // The views make a selection model of their own with every model
        // they are given; only the shared one is kept.
        QItemSelectionModel *previous = target->selectionModel();
        target->setModel(model);
        QItemSelectionModel *made = target->selectionModel();
        target->setSelectionModel(selection);
        for (QItemSelectionModel *spare : {previous, made})
            if (spare && spare != selection && spare->parent() == target)
                delete spare;
    }
    if (target == tree) {
        for (int column = 0; column < UserListModel::ColumnCount; ++column)
            tree->setColumnWidth(column, ColumnTwips[column] / TwipsPerPixel);
    } else if (target == icons) {
        const bool large = look == Look::LargeIcons;
        const int icon = large ? UserPictures::LargeSize : UserPictures::SmallSize;
        // A change of view mode resets the movement: set it after.
        icons->setViewMode(large ? QListView::IconMode : QListView::ListMode);
        icons->setMovement(QListView::Static);
        icons->setIconSize(QSize(icon, icon));
        icons->setFlow(QListView::LeftToRight);
        icons->setWrapping(true);
        icons->setWordWrap(large);
        icons->setGridSize(large ? QSize(84, 60) : QSize(132, 22));
    }
    active = target;
    stack->setCurrentWidget(target);
    q->setFocusProxy(target);
    if (selected >= 0)
        target->scrollTo(model->index(selected, 0));
}

int UserListPrivate::selectedRow() const
{
    const QModelIndexList chosen = selection->selectedIndexes();
    return chosen.isEmpty() ? -1 : chosen.constFirst().row();
}

bool UserListPrivate::refreshUserItem(qint32 UserID)
{
    if (UserID <= 0)
        return false;
    const qint32 position = roster.FindUserByID(UserID);
    if (position == 0)
        return false;
    model->userChanged(position);
    return true;
}

bool UserListPrivate::setField(qint32 UserID, UserStatusMaskType mask, cStatus value)
{
    if (UserID < 1)
        return false;
    const bool exists = roster.SetUserStatusEx(UserID, mask, value).value_or(false);
    refreshUserItem(UserID);
    return exists;
}

void UserListPrivate::mouseDown(QMouseEvent *event)
{
    model->flushAppends();
    QAbstractItemView *view = activeView();
    const QModelIndex hit = view->indexAt(event->position().toPoint());
    if (hit.isValid())
        selection->setCurrentIndex(model->index(hit.row(), 0), QItemSelectionModel::ClearAndSelect);
    const int row = selectedRow();
    if (row >= 0) {
        view->scrollTo(model->index(row, 0));
        const utUser user = q->SelectedUser();
        if (user.UserID > 0) {
            if (event->button() == Qt::RightButton)
                popUpMenu(user, event->globalPosition().toPoint());
            refreshUserItem(user.UserID);
        }
    }
    redraw();
}

void UserListPrivate::popUpMenu(const utUser &user, const QPoint &globalPos)
{
    menuUser = user.UserID;
    // Nobody sends a note to, talks with or ends a talk with oneself.
    const bool other = user.UserID != roster.myID();
    if (roster.UserType() == ccutTeacher) {
        actNote->setChecked(q->CheckUserNoteStatus(user.UserID));
        actVoice->setChecked(q->CheckUserVoiceStatus(user.UserID));
        actWhiteBoard->setChecked(q->CheckUserWhiteBoardStatus(user.UserID));
        for (QAction *command : teacherPersonCommands)
            command->setEnabled(other);
        actTeacherVoice->setEnabled(other);
        actTeacherEndVoice->setEnabled(other && inPrivateTalk);
        teacherMenu->popup(globalPos);
    } else {
        // Both items ride on the note permission, of that person and of the
        // local user alike.
        const bool allowed = other && noteAllowedWith(user.UserID);
        actStudentNote->setEnabled(allowed);
        actStudentVoice->setEnabled(allowed);
        actStudentEndVoice->setEnabled(other && inPrivateTalk);
        studentMenu->popup(globalPos);
    }
}

bool UserListPrivate::noteAllowedWith(qint32 UserID) const
{
    return q->CheckUserNoteStatus(UserID) && q->CheckUserNoteStatus(roster.myID());
}

bool UserListPrivate::keyPress(QAbstractItemView *view, QKeyEvent *event)
{
    const bool menuKey = event->key() == Qt::Key_Menu
        || (event->key() == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier);
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (!menuKey && !enter)
        return false;
    model->flushAppends();
    const QModelIndex current = view->currentIndex();
    if (!current.isValid())
        return menuKey;
    selection->setCurrentIndex(model->index(current.row(), 0), QItemSelectionModel::ClearAndSelect);
    const utUser user = q->SelectedUser();
    if (user.UserID <= 0)
        return menuKey;
    if (menuKey) {
        view->scrollTo(current);
        const QRect row = view->visualRect(current);
        popUpMenu(user, view->viewport()->mapToGlobal(row.bottomLeft() + QPoint(row.height(), 0)));
        return true;
    }
    // Enter on a classmate starts a note to that classmate, as the menu's
    // first command would.
    if (user.UserID != roster.myID() && roster.UserType() != ccutTeacher
        && noteAllowedWith(user.UserID))
        Q_EMIT q->OnSendUserNoteMessage(user.UserID, roster.GetUserNameByID(user.UserID));
    return true;
}

void UserListPrivate::togglePermission(QAction *action, UserStatusMaskType mask, cStatus yes)
{
    const qint32 id = menuUserID();
    if (id == 0)
        return;
    // The action has already flipped its mark: it now holds the new state.
    q->SetUserStatusEx(id, mask, action->isChecked() ? yes : cStatus(0));
    const bool granted = clsUserList::CheckStatus(mask, roster.GetUserStatus(id))
        == clsUserList::CheckStatus(mask, quint8(yes));
    const QString nick = roster.GetUserNameByID(id);
    if (mask == mtEnableSpeak)
        Q_EMIT q->OnSetUserVoiceStatus(id, nick, granted);
    else if (mask == mtWhiteBoard)
        Q_EMIT q->OnSetUserWhiteBoardStatus(id, nick, granted);
    else
        Q_EMIT q->OnSetUserNoteStatus(id, nick, granted);
}

void UserListPrivate::checkInfo()
{
    if (const qint32 id = menuUserID())
        Q_EMIT q->OnCheckUserInfo(id, roster.GetUserNameByID(id), roster.GetUserStatus(id));
}

void UserListPrivate::remoteVolume()
{
    if (const qint32 id = menuUserID())
        Q_EMIT q->OnRemoteVolume(id, roster.GetUserNameByID(id));
}

void UserListPrivate::sendNote()
{
    if (const qint32 id = menuUserID())
        Q_EMIT q->OnSendUserNoteMessage(id, roster.GetUserNameByID(id));
}

void UserListPrivate::sendVoice()
{
    if (const qint32 id = menuUserID())
        Q_EMIT q->OnSendUserVoice(id, roster.GetUserNameByID(id));
}

void UserListPrivate::endVoice()
{
    if (const qint32 id = menuUserID())
        Q_EMIT q->OnEndUserVoice(id, roster.GetUserNameByID(id));
}

void UserListPrivate::chooseView(QAction *action, ListViewType value)
{
    // Choosing the view already shown changes nothing; the action has
    // cleared its own mark on the way, so put it back.
    if (!action->isChecked()) {
        action->setChecked(true);
        return;
    }
    q->setViewType(value);
}

UserList::UserList(QWidget *parent)
    : QWidget(parent)
    , d(std::make_unique<UserListPrivate>(this))
{
    d->roster.setMyID(0);
    d->roster.setLanguage(0);
    d->roster.setUserType(0);
    d->build();
}

UserList::~UserList()
{
    // The views and the model outlive d in QObject's own clean-up; take
    // them down while the roster they read and the filter they call exist.
    for (QAbstractItemView *view : d->views()) {
        view->viewport()->removeEventFilter(this);
        view->removeEventFilter(this);
        delete view;
    }
    delete d->selection;
    delete d->model;
}

qint32 UserList::myID() const
{
    return d->roster.myID();
}

void UserList::setMyID(qint32 value)
{
    if (d->roster.myID() == value)
        return;
    // The own item's brackets move with the ID.
    const qint32 before = d->roster.FindUserByID(d->roster.myID());
    d->roster.setMyID(value);
    d->model->userChanged(before);
    d->model->userChanged(d->roster.FindUserByID(value));
}

qint32 UserList::Language() const
{
    return d->roster.Language();
}

void UserList::setLanguage(qint32 value)
{
    d->roster.setLanguage(value);
}

qint32 UserList::Count() const
{
    return d->roster.Count();
}

qint32 UserList::UserType() const
{
    return d->roster.UserType();
}

void UserList::setUserType(qint32 value)
{
    if (value == ccutTeacher) {
        d->roster.setUserType(ccutTeacher);
        return;
    }
    d->roster.setUserType(ccutStudent);
    setViewType(lvtList);
}

ListViewType UserList::ViewType() const
{
    return ListViewType(d->roster.ViewType());
}

void UserList::setViewType(ListViewType value)
{
    if (d->roster.UserType() != ccutTeacher) {
        d->roster.setViewType(lvtList);
        d->show(Look::List);
        return;
    }
    d->roster.setViewType(value);
    Look look = Look::LargeIcons;
    QAction *marked = d->actViewLarge;
    if (value == lvtList) {
        look = Look::SmallIcons;
        marked = d->actViewList;
    } else if (value == lvtReport) {
        look = Look::Report;
        marked = d->actViewReport;
    }
    d->show(look);
    for (QAction *action : {d->actViewList, d->actViewReport, d->actViewLarge})
        action->setChecked(action == marked);
    Q_EMIT OnViewTypeChanged(ViewType());
}

bool UserList::bInPrivateTalk() const
{
    return d->inPrivateTalk;
}

void UserList::setbInPrivateTalk(bool value)
{
    d->inPrivateTalk = value;
}

bool UserList::bOkAnswer() const
{
    return d->model->okAnswer();
}

void UserList::setbOkAnswer(bool value)
{
    d->model->setOkAnswer(value);
}

utUser UserList::SelectedUser() const
{
    d->model->flushAppends();
    const int row = d->selectedRow();
    if (row < 0)
        return {};
    utUser user = d->roster.GetUser(row + 1);
    user.UserType = AulixUserType(0);
    return user;
}

void UserList::ReserveUsers(qint32 UserCount)
{
    d->roster.ReserveUsers(UserCount);
}

bool UserList::AddUser(qint32 UserID, const QString &UserNick, quint8 UserStatus, quint8 UserType)
{
    const bool added = d->roster.AddUser(UserID, UserNick, UserStatus, UserType) > 0;
    if (added)
        d->model->usersAppended();
    d->redraw();
    return added;
}

bool UserList::RemoveUser(qint32 UserID)
{
    if (UserID < 1)
        return false;
    const qint32 position = d->roster.FindUserByID(UserID);
    if (position == 0)
        return false;
    // The row goes by position, whatever its text: the own item carries
    // brackets, and two long nicks may be stored alike.
    d->model->beginRemoveUser(position);
    const bool removed = d->roster.RemoveUser(UserID);
    d->model->endRemoveUser();
    if (d->menuUser == UserID)
        d->menuUser = 0;
    d->redraw();
    return removed;
}

bool UserList::RemoveAllUsers()
{
    bool removed = false;
    if (d->roster.Count() > 0) {
        d->model->beginClear();
        removed = d->roster.RemoveAllUsers();
        d->model->endClear();
    }
    d->menuUser = 0;
    d->redraw();
    return removed;
}

utUser UserList::GetUserByID(qint32 UserID) const
{
    return d->roster.GetUser(d->roster.FindUserByID(UserID));
}

qint32 UserList::GetUserIDByIndex(qint32 Index) const
{
    return d->roster.GetUserID(Index);
}

qint32 UserList::GetTeacherID() const
{
    return d->roster.FindTeacherID();
}

quint8 UserList::GetUserStatus(qint32 UserID) const
{
    return UserID < 1 ? 0 : d->roster.GetUserStatus(UserID);
}

StatusResultType UserList::GetUserStatusEx(qint32 UserID, UserStatusMaskType MaskType) const
{
    return UserID < 1 ? StatusResultType(0) : d->roster.GetUserStatusEx(UserID, MaskType);
}

bool UserList::SetUserStatus(qint32 UserID, quint8 UserStatus)
{
    if (UserID < 1)
        return false;
    const bool exists = d->roster.SetUserStatus(UserID, UserStatus);
    d->refreshUserItem(UserID);
    return exists;
}

std::optional<int> UserList::SetUserStatusEx(
    qint32 UserID, UserStatusMaskType MaskType, cStatus Value)
{
    if (UserID < 1)
        return 0;
    const std::optional<bool> exists = d->roster.SetUserStatusEx(UserID, MaskType, Value);
    if (!exists)
        return std::nullopt;
    d->refreshUserItem(UserID);
    return *exists ? -1 : 0;
}

bool UserList::CheckUserVoiceStatus(qint32 UserID) const
{
    return d->checkField(UserID, mtEnableSpeak, srtEnableSpeak_Yes);
}

bool UserList::SetUserVoiceStatus(qint32 UserID, bool booltrue)
{
    return d->setField(UserID, mtEnableSpeak, booltrue ? csEnableSpeake_Yes : csEnableSpeake_No);
}

bool UserList::CheckUserNoteStatus(qint32 UserID) const
{
    return d->checkField(UserID, mtEnableNote, srtEnableNote_Yes);
}

bool UserList::SetUserNoteStatus(qint32 UserID, bool booltrue)
{
    return d->setField(UserID, mtEnableNote, booltrue ? csEnableNote_Yes : csEnableNote_No);
}

bool UserList::CheckUserWhiteBoardStatus(qint32 UserID) const
{
    return d->checkField(UserID, mtWhiteBoard, srtWhiteboard_Yes);
}

bool UserList::SetUserWhiteBoardStatus(qint32 UserID, bool booltrue)
{
    return d->setField(UserID, mtWhiteBoard, booltrue ? csWhiteboard_Yes : csWhiteboard_No);
}

bool UserList::CheckUserYesNoStatus(qint32 UserID) const
{
    return d->checkField(UserID, mtYesNO, srtYes);
}

bool UserList::SetUserYesNoStatus(qint32 UserID, bool booltrue)
{
    return d->setField(UserID, mtYesNO, booltrue ? csYes : csNo);
}

bool UserList::SetUserOkStatus(qint32 UserID, bool booltrue)
{
    Q_UNUSED(booltrue)
    return d->setField(UserID, mtYesNO, csNo);
}

bool UserList::CheckUserRaiseStatus(qint32 UserID) const
{
    return d->checkField(UserID, mtRaise, srtRaise_Yes);
}

bool UserList::SetUserRaiseStatus(qint32 UserID, bool booltrue)
{
    return d->setField(UserID, mtRaise, booltrue ? csRaise_Yes : csRaise_No);
}

bool UserList::CheckUserSpeakingStatus(qint32 UserID) const
{
    return d->checkField(UserID, mtSpeaking, srtSpeaking_Yes);
}

bool UserList::SetUserSpeakingStatus(qint32 UserID, bool booltrue)
{
    const bool exists = d->setField(UserID, mtSpeaking, booltrue ? csSpeaking_Yes : csSpeaking_No);
    // The speaking picture must show at once, while the voice starts: paint
    // the item now rather than at the next turn of the event loop.
    if (exists) {
        d->model->flushAppends();
        const QModelIndex item = d->model->index(d->roster.FindUserByID(UserID) - 1, 0);
        QAbstractItemView *view = d->activeView();
        const QRect area = view->visualRect(item);
        if (view->isVisible() && area.intersects(view->viewport()->rect()))
            view->viewport()->repaint(area);
    }
    return exists;
}

bool UserList::CheckUserBusyStatus(qint32 UserID) const
{
    return d->checkField(UserID, mtPrepareBusyFree, srtBusy);
}

bool UserList::SetUserBusyStatus(qint32 UserID)
{
    return d->setField(UserID, mtPrepareBusyFree, csBusy);
}

bool UserList::CheckUserFreeStatus(qint32 UserID) const
{
    return d->checkField(UserID, mtPrepareBusyFree, srtFree);
}

bool UserList::SetUserFreeStatus(qint32 UserID)
{
    return d->setField(UserID, mtPrepareBusyFree, csFree);
}

bool UserList::CheckUserPrepareStatus(qint32 UserID) const
{
    return d->checkField(UserID, mtPrepareBusyFree, srtPrepare);
}

bool UserList::SetUserPrepareStatus(qint32 UserID)
{
    return d->setField(UserID, mtPrepareBusyFree, csPrepare);
}

bool UserList::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonPress && watched == d->activeView()->viewport()) {
        auto *mouse = static_cast<QMouseEvent *>(event);
        d->mouseDown(mouse);
        // A right press only opens the menu; the view must not start a
        // drag or a rubber band under it.
        return mouse->button() == Qt::RightButton;
    }
    if (event->type() == QEvent::KeyPress && d->isView(watched))
        return d->keyPress(
            static_cast<QAbstractItemView *>(watched), static_cast<QKeyEvent *>(event));
    return QWidget::eventFilter(watched, event);
}
