#include "controls/userlist/userlist.h"
#include "controls/userlist/userlistmodel.h"
#include "controls/userlist/userpictures.h"

#include <QDir>
#include <QListView>
#include <QMenu>
#include <QPainter>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTreeView>

using namespace UserStatusMask;

using namespace Qt::StringLiterals;

namespace {

QString screenshotFolder()
{
    QString folder = qEnvironmentVariable("LUMO_SCREENSHOT_DIR");
    if (folder.isEmpty())
        folder = QDir::tempPath() + u"/lumo-screenshots"_s;
    QDir().mkpath(folder);
    return folder;
}

} // namespace

class UserListTest : public QObject
{
    Q_OBJECT

private:
    QAbstractItemView *listView(UserList &control)
    {
        return control.findChild<QAbstractItemView *>(u"lsvUserList"_s);
    }
    QListView *iconView(UserList &control)
    {
        return control.findChild<QListView *>(u"lsvUserListIcons"_s);
    }
    QAbstractItemModel *model(UserList &control)
    {
        return control.findChild<QAbstractItemModel *>();
    }
    QTreeView *reportView(UserList &control)
    {
        return control.findChild<QTreeView *>(u"lsvUserListReport"_s);
    }
    QAbstractItemView *shownView(UserList &control)
    {
        for (QAbstractItemView *view : control.findChildren<QAbstractItemView *>())
            if (view->isVisible())
                return view;
        return nullptr;
    }
    // The row of a user as the view shows it, after pending appends.
    QModelIndex itemOf(UserList &control, qint32 id)
    {
        QCoreApplication::processEvents();
        QAbstractItemModel *items = model(control);
        for (int row = 0; row < items->rowCount(); ++row) {
            const QModelIndex index = items->index(row, 0);
            if (index.data(UserListModel::UserIDRole).toInt() == id)
                return index;
        }
        return {};
    }
    void pressOn(UserList &control, qint32 id, Qt::MouseButton button)
    {
        QAbstractItemView *view = shownView(control);
        const QModelIndex index = itemOf(control, id);
        QVERIFY(index.isValid());
        view->scrollTo(index);
        QTest::mousePress(view->viewport(), button, {}, view->visualRect(index).center());
    }
    QAction *action(QMenu *menu, const QString &caption)
    {
        for (QAction *candidate : menu->actions())
            if (candidate->text() == caption)
                return candidate;
        return nullptr;
    }
    QMenu *menu(UserList &control, const char *name)
    {
        return control.findChild<QMenu *>(QString::fromLatin1(name));
    }
    void showControl(UserList &control)
    {
        control.resize(260, 320);
        control.show();
        QVERIFY(QTest::qWaitForWindowExposed(&control));
    }

private Q_SLOTS:
    void pictureRules_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("status");
        QTest::addColumn<bool>("okAnswer");
        QTest::addColumn<QString>("key");
        const auto row = [](const char *name, int kind, int status, bool ok, const char *key) {
            QTest::newRow(name) << kind << status << ok << QString::fromLatin1(key);
        };
        row("teacher", 2, 0x03, false, "teacher");
        row("teacher speaking", 2, 0x23, false, "teacher_speak");
        row("teacher speaking busy", 2, 0x22, false, "teacher_chat_student");
        row("teacher free", 2, 0x01, false, "teacher_chat_student");
        row("teacher no activity", 2, 0x20, false, "teacher_chat_student");
        row("muted", 1, 0x03, false, "student_disable");
        row("muted hand", 1, 0x83, false, "student_hand_disable");
        row("muted hand speaking", 1, 0xA3, false, "student_hand_disable");
        row("muted hand yes", 1, 0xE3, false, "student_disable_y");
        row("muted hand yes ok", 1, 0xE3, true, "student_hand_disable");
        row("muted no", 1, 0x43, false, "student_disable_n");
        row("muted no ok", 1, 0x43, true, "student_disable_ok");
        row("allowed", 1, 0x07, false, "student_enable");
        row("allowed hand", 1, 0x87, false, "stu_hand");
        row("allowed hand speaking", 1, 0xA7, false, "student_speak");
        row("allowed yes", 1, 0x67, false, "student_y");
        row("allowed yes ok reads speaking", 1, 0x67, true, "student_speak");
        row("allowed no", 1, 0xC7, false, "student_n");
        row("allowed no ok", 1, 0x47, true, "student_ok");
        row("no activity", 1, 0xFC, false, "student_disable");
        row("no activity allowed", 1, 0x04, true, "student_disable");
        row("free", 1, 0x05, false, "student_chat_student");
        row("busy hand", 1, 0x86, false, "student_chat_student");
        row("kind unset", 0, 0x07, false, "student_enable");
        row("kind unknown", 7, 0x23, false, "student_disable");
    }

    void pictureRules()
    {
        QFETCH(int, kind);
        QFETCH(int, status);
        QFETCH(bool, okAnswer);
        QFETCH(QString, key);
        UserList control;
        control.setbOkAnswer(okAnswer);
        QVERIFY(control.AddUser(5, u"Li"_s, quint8(status), quint8(kind)));
        QCOMPARE(itemOf(control, 5).data(UserListModel::PictureKeyRole).toString(), key);
    }

    void okAnswerAndStatusChangesRepaintTheItem()
    {
        UserList control;
        control.AddUser(5, u"Li"_s, 0x07, 1);
        QVERIFY(control.SetUserOkStatus(5, false)); // the "no" pattern either way
        QCOMPARE(control.GetUserStatus(5), quint8(0x47));
        QCOMPARE(itemOf(control, 5).data(UserListModel::PictureKeyRole).toString(), u"student_n"_s);
        QSignalSpy changed(model(control), &QAbstractItemModel::dataChanged);
        control.setbOkAnswer(true);
        QCOMPARE(changed.count(), 1);
        QCOMPARE(
            itemOf(control, 5).data(UserListModel::PictureKeyRole).toString(), u"student_ok"_s);
        QVERIFY(control.SetUserVoiceStatus(5, false));
        QCOMPARE(itemOf(control, 5).data(UserListModel::PictureKeyRole).toString(),
            u"student_disable_ok"_s);
    }

    void picturesAreDistinctAtBothSizes()
    {
        const QStringList &keys = UserPictures::keys();
        QCOMPARE(keys.size(), 15);
        for (int size : {UserPictures::SmallSize, UserPictures::LargeSize}) {
            QList<QImage> images;
            for (const QString &key : keys) {
                const QPixmap pixmap = UserPictures::picture(key, size);
                QCOMPARE(pixmap.size(), QSize(size, size));
                images.append(pixmap.toImage());
            }
            for (int a = 0; a < images.size(); ++a)
                for (int b = a + 1; b < images.size(); ++b)
                    QVERIFY2(
                        images[a] != images[b], qPrintable(keys[a] + u" looks like "_s + keys[b]));
        }
        QVERIFY(UserPictures::picture(u"nobody"_s, 16).isNull());
    }

    void ownItemIsBracketed()
    {
        UserList control;
        control.setUserType(1);
        showControl(control);
        control.setMyID(7);
        QVERIFY(control.AddUser(7, u"Wang"_s, 0x0F, 1));
        QVERIFY(control.AddUser(8, u"Zhao"_s, 0x0F, 1));
        QCOMPARE(itemOf(control, 7).data().toString(), u"[Wang]"_s);
        QCOMPARE(itemOf(control, 8).data().toString(), u"Zhao"_s);
        pressOn(control, 7, Qt::LeftButton);
        const utUser selected = control.SelectedUser();
        QCOMPARE(selected.UserID, 7);
        QCOMPARE(selected.UserNick, u"Wang"_s);
        QCOMPARE(selected.UserStatus, quint8(0x0F));
        QCOMPARE(int(selected.UserType), 0);
        control.setMyID(8);
        QCOMPARE(itemOf(control, 7).data().toString(), u"Wang"_s);
        QCOMPARE(itemOf(control, 8).data().toString(), u"[Zhao]"_s);
    }

    void addAndRemoveKeepItemsInRosterOrder()
    {
        UserList control;
        const QString longA = u"ABCDEFGHIJKLMNOPqrst"_s;
        const QString longB = u"ABCDEFGHIJKLMNOPwxyz"_s;
        QVERIFY(control.AddUser(1, u"One"_s, 3, 1));
        QVERIFY(!control.AddUser(1, u"Other"_s, 3, 1));
        QVERIFY(!control.AddUser(2, u"One"_s, 3, 1));
        QVERIFY(control.AddUser(2, longA, 3, 1));
        QVERIFY(control.AddUser(3, longB, 3, 1));
        control.setMyID(4);
        QVERIFY(control.AddUser(4, u"Me"_s, 3, 1));
        QCOMPARE(control.Count(), 4);
        // Both long nicks are stored alike; each row still goes with its user.
        QVERIFY(control.RemoveUser(3));
        QVERIFY(itemOf(control, 2).isValid());
        QVERIFY(!itemOf(control, 3).isValid());
        // The own (bracketed) item goes too.
        QVERIFY(control.RemoveUser(4));
        QCOMPARE(model(control)->rowCount(), 2);
        QVERIFY(!control.RemoveUser(4));
        QVERIFY(!control.RemoveUser(0));
        QCOMPARE(control.GetUserIDByIndex(2), 2);
        QCOMPARE(control.GetUserByID(2).UserNick, longA.left(16));
        // A person without a nick can leave too.
        QVERIFY(control.AddUser(20, QString(), 3, 1));
        QVERIFY(control.RemoveUser(20));
        QVERIFY(control.RemoveAllUsers());
        QCOMPARE(model(control)->rowCount(), 0);
        QVERIFY(!control.RemoveAllUsers());
    }

    void wrappersRefuseIDsBelowOne()
    {
        UserList control;
        control.AddUser(5, u"Li"_s, 0x03, 1);
        for (qint32 id : {0, -1}) {
            QVERIFY(!control.SetUserVoiceStatus(id, true));
            QVERIFY(!control.SetUserRaiseStatus(id, true));
            QVERIFY(!control.SetUserBusyStatus(id));
            QVERIFY(!control.SetUserStatus(id, 0xFF));
            QCOMPARE(control.SetUserStatusEx(id, mtRaise, csRaise_Yes), std::optional<int>(0));
            QVERIFY(!control.CheckUserPrepareStatus(id));
            QCOMPARE(control.GetUserStatusEx(id, mtPrepareBusyFree), StatusResultType(0));
        }
        QCOMPARE(control.GetUserStatus(5), quint8(0x03));
        QVERIFY(!control.SetUserVoiceStatus(6, true));
        QCOMPARE(control.SetUserStatusEx(5, mtRaise, csRaise_Yes), std::optional<int>(-1));
        QCOMPARE(control.SetUserStatusEx(6, mtRaise, csRaise_Yes), std::optional<int>(0));
        QCOMPARE(control.SetUserStatusEx(5, mtOK, csYes), std::nullopt);
        QCOMPARE(control.GetUserStatus(5), quint8(0x83));
        QVERIFY(control.SetUserSpeakingStatus(5, true));
        QVERIFY(control.CheckUserSpeakingStatus(5));
        QVERIFY(control.SetUserFreeStatus(5));
        QVERIFY(control.CheckUserFreeStatus(5));
        QVERIFY(!control.CheckUserPrepareStatus(5));
        QVERIFY(control.SetUserYesNoStatus(5, true));
        QVERIFY(control.CheckUserYesNoStatus(5));
    }

    void viewTypeBySide()
    {
        UserList control;
        showControl(control);
        QSignalSpy changed(&control, &UserList::OnViewTypeChanged);
        QCOMPARE(control.UserType(), 2); // teacher side until the host says otherwise
        control.setViewType(lvtReport);
        QCOMPARE(control.ViewType(), lvtReport);
        QCOMPARE(changed.count(), 1);
        QCOMPARE(changed.at(0).at(0).value<ListViewType>(), lvtReport);
        QVERIFY(reportView(control)->isVisible());
        QCOMPARE(
            reportView(control)->model()->headerData(0, Qt::Horizontal).toString(), u"用户名"_s);
        QMenu *teacher = menu(control, "mnuTeacher");
        QVERIFY(action(teacher, u"报文模式"_s)->isChecked());
        QVERIFY(!action(teacher, u"列表模式"_s)->isChecked());
        control.setViewType(ListViewType(9));
        QCOMPARE(int(control.ViewType()), 9);
        QVERIFY(action(teacher, u"大图标模式"_s)->isChecked());
        QVERIFY(iconView(control)->isVisible());
        QCOMPARE(iconView(control)->viewMode(), QListView::IconMode);
        QCOMPARE(iconView(control)->movement(), QListView::Static); // icons cannot be dragged

        control.setUserType(1);
        changed.clear();
        control.setViewType(lvtReport);
        QCOMPARE(control.ViewType(), lvtList);
        QCOMPARE(changed.count(), 0);
        QVERIFY(listView(control)->isVisible());
        QVERIFY(!iconView(control)->isVisible());
    }

    void manyRowsScrollAndKeepTheSelection()
    {
        UserList control;
        showControl(control);
        for (qint32 id = 1; id <= 300; ++id)
            control.AddUser(id, u"U%1"_s.arg(id), 0x0F, 1);
        for (ListViewType view : {lvtList, lvtView, lvtReport}) {
            control.setViewType(view);
            pressOn(control, 250 - view, Qt::LeftButton);
            QCOMPARE(control.SelectedUser().UserID, 250 - view);
        }
        control.setUserType(1);
        QCOMPARE(control.SelectedUser().UserID, 250 - lvtReport); // kept across the change
        QAbstractItemView *rows = listView(control);
        QVERIFY(rows->visualRect(itemOf(control, 247)).intersects(rows->viewport()->rect()));
        QTest::keyClick(rows, Qt::Key_Down);
        QCOMPARE(control.SelectedUser().UserID, 248);
        QTest::keyClick(rows, Qt::Key_End);
        QCOMPARE(control.SelectedUser().UserID, 300);
        QVERIFY(rows->visualRect(itemOf(control, 300)).bottom() <= rows->viewport()->height());
        // A departure above the selection moves it up one row, same person.
        QVERIFY(control.RemoveUser(1));
        QCOMPARE(control.SelectedUser().UserID, 300);
        // The scroll range follows the count.
        const int rowHeight = rows->visualRect(itemOf(control, 300)).height();
        QCOMPARE(
            rows->verticalScrollBar()->maximum(), 299 * rowHeight - rows->viewport()->height());
    }

    void rightClickOnEmptySpaceShowsNoMenu()
    {
        UserList control;
        control.setUserType(1);
        showControl(control);
        control.AddUser(5, u"Li"_s, 0x0F, 1);
        itemOf(control, 5);
        QTest::mousePress(listView(control)->viewport(), Qt::RightButton, {}, QPoint(200, 300));
        QVERIFY(!menu(control, "mnuStudent")->isVisible());
        QCOMPARE(control.SelectedUser().UserID, 0);
    }

    void studentMenuFollowsNotePermissions_data()
    {
        QTest::addColumn<int>("ownStatus");
        QTest::addColumn<int>("otherStatus");
        QTest::addColumn<bool>("enabled");
        QTest::newRow("both may send") << 0x0F << 0x0B << true;
        QTest::newRow("other may not") << 0x0F << 0x07 << false;
        QTest::newRow("own may not") << 0x07 << 0x0F << false;
    }

    void studentMenuFollowsNotePermissions()
    {
        QFETCH(int, ownStatus);
        QFETCH(int, otherStatus);
        QFETCH(bool, enabled);
        UserList control;
        control.setUserType(1);
        control.setMyID(7);
        showControl(control);
        control.AddUser(7, u"Me"_s, quint8(ownStatus), 1);
        control.AddUser(9, u"Zhou"_s, quint8(otherStatus), 1);
        QMenu *student = menu(control, "mnuStudent");
        // Outside a private talk, ending one would only cost the student
        // the speak permission: not offered.
        pressOn(control, 9, Qt::RightButton);
        QTRY_VERIFY(student->isVisible());
        QVERIFY(!action(student, u"结束语音密谈"_s)->isEnabled());
        student->close();
        // On the own row no person command is offered at all.
        control.setbInPrivateTalk(true);
        pressOn(control, 7, Qt::RightButton);
        QTRY_VERIFY(student->isVisible());
        QVERIFY(!action(student, u"给他发短消息 (&N)"_s)->isEnabled());
        QVERIFY(!action(student, u"语音密谈 (&C)"_s)->isEnabled());
        QVERIFY(!action(student, u"结束语音密谈"_s)->isEnabled());
        QVERIFY(action(student, u"刷   新"_s)->isEnabled());
        student->close();

        pressOn(control, 9, Qt::RightButton);
        QTRY_VERIFY(student->isVisible());
        QCOMPARE(action(student, u"给他发短消息 (&N)"_s)->isEnabled(), enabled);
        QCOMPARE(action(student, u"语音密谈 (&C)"_s)->isEnabled(), enabled);
        QVERIFY(action(student, u"结束语音密谈"_s)->isEnabled());

        QSignalSpy note(&control, &UserList::OnSendUserNoteMessage);
        QSignalSpy refresh(&control, &UserList::OnRefreshUserList);
        QSignalSpy endTalk(&control, &UserList::OnEndUserVoice);
        action(student, u"给他发短消息 (&N)"_s)->trigger();
        action(student, u"刷   新"_s)->trigger();
        action(student, u"结束语音密谈"_s)->trigger();
        student->close();
        QCOMPARE(note.count(), enabled ? 1 : 0);
        if (enabled)
            QCOMPARE(note.at(0), QVariantList({9, u"Zhou"_s}));
        QCOMPARE(refresh.count(), 1);
        QCOMPARE(refresh.at(0).at(0).toBool(), true);
        QCOMPARE(endTalk.at(0), QVariantList({9, u"Zhou"_s}));
    }

    void teacherMenuTogglesPermissions()
    {
        UserList control;
        control.setMyID(1);
        showControl(control);
        control.AddUser(1, u"Teacher"_s, 0x1F, 2);
        control.AddUser(9, u"Zhou"_s, 0x0B, 1); // notes yes, voice no, whiteboard no
        pressOn(control, 9, Qt::RightButton);
        QMenu *teacher = menu(control, "mnuTeacher");
        QTRY_VERIFY(teacher->isVisible());
        QAction *voice = action(teacher, u"允许语音发言 (&V)"_s);
        QAction *note = action(teacher, u"允许发短消息 (&M)"_s);
        QAction *board = action(teacher, u"允许使用白板 (&W)"_s);
        QVERIFY(note->isChecked());
        QVERIFY(!voice->isChecked());
        QVERIFY(!board->isChecked());

        QSignalSpy voiceSet(&control, &UserList::OnSetUserVoiceStatus);
        QSignalSpy noteSet(&control, &UserList::OnSetUserNoteStatus);
        QSignalSpy info(&control, &UserList::OnCheckUserInfo);
        QSignalSpy viewChanged(&control, &UserList::OnViewTypeChanged);
        voice->trigger();
        note->trigger();
        action(teacher, u"查看他的信息 (&I)"_s)->trigger();
        teacher->close();
        QCOMPARE(voiceSet.at(0), QVariantList({9, u"Zhou"_s, true}));
        QCOMPARE(noteSet.at(0), QVariantList({9, u"Zhou"_s, false}));
        QCOMPARE(control.GetUserStatus(9), quint8(0x07));
        QCOMPARE(info.at(0), QVariantList({9, u"Zhou"_s, QVariant::fromValue(quint8(0x07))}));
        QCOMPARE(
            itemOf(control, 9).data(UserListModel::PictureKeyRole).toString(), u"student_enable"_s);

        // A view item that already carries the mark does nothing.
        QAction *report = action(teacher, u"报文模式"_s);
        report->trigger();
        QCOMPARE(control.ViewType(), lvtReport);
        report->trigger();
        QVERIFY(report->isChecked());
        QCOMPARE(viewChanged.count(), 1);
    }

    void commandForALeaverDoesNothing()
    {
        UserList control;
        control.setUserType(1);
        showControl(control);
        control.AddUser(9, u"Zhou"_s, 0x0F, 1);
        control.AddUser(10, u"Qian"_s, 0x0F, 1);
        pressOn(control, 9, Qt::RightButton);
        QMenu *student = menu(control, "mnuStudent");
        QTRY_VERIFY(student->isVisible());
        // The person leaves while the menu is open; the next row must not
        // inherit the command.
        control.RemoveUser(9);
        QSignalSpy note(&control, &UserList::OnSendUserNoteMessage);
        action(student, u"给他发短消息 (&N)"_s)->trigger();
        student->close();
        QCOMPARE(note.count(), 0);
    }

    void screenshots()
    {
        UserList teacherSide;
        teacherSide.setMyID(2);
        teacherSide.resize(420, 260);
        const struct {
            qint32 id;
            const char *nick;
            quint8 status;
            quint8 kind;
        } people[] = {{1, "王老师", 0x23, 2}, {2, "小李", 0x0F, 1}, {3, "Zhang", 0x87, 1},
            {4, "Chen", 0xA7, 1}, {5, "赵", 0x67, 1}, {6, "Qian", 0x43, 1}, {7, "Sun", 0x05, 1},
            {8, "Zhou", 0x83, 1}, {9, "Wu", 0x03, 1}, {10, "Zheng", 0x4F, 1}};
        for (const auto &person : people)
            teacherSide.AddUser(
                person.id, QString::fromUtf8(person.nick), person.status, person.kind);
        teacherSide.show();
        QVERIFY(QTest::qWaitForWindowExposed(&teacherSide));
        const QString folder = screenshotFolder();
        for (ListViewType view : {lvtView, lvtList, lvtReport}) {
            teacherSide.setViewType(view);
            QCoreApplication::processEvents();
            QVERIFY(teacherSide.grab().save(folder + u"/userlist-teacher-%1.png"_s.arg(int(view))));
        }
        teacherSide.setUserType(1);
        teacherSide.resize(180, 260);
        QCoreApplication::processEvents();
        QVERIFY(teacherSide.grab().save(folder + u"/userlist-student.png"_s));

        // Every picture at both sizes, magnified three times so a reviewer
        // sees each pixel.
        QImage sheet(15 * 104, 160, QImage::Format_ARGB32);
        sheet.fill(Qt::white);
        QPainter painter(&sheet);
        for (int i = 0; i < UserPictures::keys().size(); ++i) {
            const QString &key = UserPictures::keys()[i];
            painter.drawPixmap(QRect(i * 104 + 4, 4, 96, 96), UserPictures::picture(key, 32));
            painter.drawPixmap(QRect(i * 104 + 28, 108, 48, 48), UserPictures::picture(key, 16));
        }
        painter.end();
        QVERIFY(sheet.save(folder + u"/userlist-pictures.png"_s));
    }
};

QTEST_MAIN(UserListTest)
#include "userlist_test.moc"
