#include "common/prompter.h"
#include "common/testsupport/testhome.h"
#include "controls/notesmanage/notesmanage.h"

#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;

class NotesManageTest : public QObject
{
    Q_OBJECT

private:
    static QLineEdit *sendBox(NotesManage &panel)
    {
        return panel.findChild<QLineEdit *>(u"txtSend"_s);
    }
    static QComboBox *recipients(NotesManage &panel)
    {
        return panel.findChild<QComboBox *>(u"cmbList"_s);
    }
    static QStringList items(NotesManage &panel)
    {
        QStringList texts;
        for (int i = 0; i < recipients(panel)->count(); ++i)
            texts.append(recipients(panel)->itemText(i));
        return texts;
    }

private Q_SLOTS:
    void historyLines_data()
    {
        QTest::addColumn<int>("fromID");
        QTest::addColumn<int>("toID");
        QTest::addColumn<QString>("line");
        QTest::newRow("system") << 0 << 9 << u"系统：hi\r\n"_s;
        QTest::newRow("me to Zhang") << 7 << 9 << u"你对Zhang说：hi\r\n"_s;
        QTest::newRow("Zhang to all") << 9 << 0 << u"Zhang说：hi\r\n"_s;
        QTest::newRow("to oneself reads as to all") << 9 << 9 << u"Zhang说：hi\r\n"_s;
        QTest::newRow("Zhang to me") << 9 << 7 << u"Zhang对你说：hi\r\n"_s;
        QTest::newRow("unknown sender") << 44 << 0 << u"说：hi\r\n"_s;
        QTest::newRow("unknown to unknown") << 44 << 45 << u"对说：hi\r\n"_s;
        QTest::newRow("negative sender") << -1 << 0 << QString();
    }

    void historyLines()
    {
        QFETCH(int, fromID);
        QFETCH(int, toID);
        QFETCH(QString, line);
        NotesManage panel;
        panel.setMyID(7);
        panel.AddUser(9, u"Zhang"_s);
        panel.AddNoteMessage(fromID, toID, u"hi"_s);
        QCOMPARE(panel.Export(), line);
    }

    void historyKeepsItsNewestLinesPastTheLimit()
    {
        NotesManage panel;
        auto *view = panel.findChild<QPlainTextEdit *>(u"txtNotes"_s);
        panel.AddMessage(u"   "_s); // blank: ignored
        QCOMPARE(panel.Export(), QString());
        // 9996 characters, CR LF and two more: exactly the limit.
        panel.AddMessage(QString(9996, u'x') + u"\r\n"_s);
        panel.AddMessage(u"yy"_s);
        QCOMPARE(panel.Export().trimmed().size(), 10000);
        // The view follows on the next turn of the event loop.
        QTRY_COMPARE(view->toPlainText(), QString(9996, u'x') + u"\nyy"_s);
        // One more character: the oldest line goes, whole; the new ones stay.
        panel.AddMessage(u"z\r\n"_s);
        QCOMPARE(panel.Export(), u"yyz\r\n"_s);
        QTRY_COMPARE(view->toPlainText(), u"yyz\n"_s);

        // Many short notes: the history stays at the limit, starts on a
        // whole line, ends with the newest note, and the view shows the same.
        for (int i = 0; i < 1500; ++i)
            panel.AddNoteMessage(0, 0, u"note %1"_s.arg(i));
        const QString kept = panel.Export();
        QVERIFY(kept.trimmed().size() <= NotesManage::HistoryLimit);
        QVERIFY(kept.trimmed().size() > NotesManage::HistoryLimit - 20);
        QVERIFY(kept.startsWith(u"系统：note "_s));
        QVERIFY(kept.endsWith(u"系统：note 1499\r\n"_s));
        QTRY_COMPARE(view->toPlainText(), QString(kept).replace(u"\r\n"_s, u"\n"_s));

        // A single line longer than the limit keeps its end.
        panel.AddMessage(QString(9999, u'a') + u"bc"_s);
        QCOMPARE(panel.Export().size(), NotesManage::HistoryLimit);
        QVERIFY(panel.Export().endsWith(u"abc"_s));
        QCOMPARE(panel.ClearText(), false);
        QCOMPARE(panel.Export(), QString());
    }

    void aReaderScrolledUpStaysWhereHeReads()
    {
        NotesManage panel;
        panel.resize(300, 200);
        panel.show();
        QVERIFY(QTest::qWaitForWindowExposed(&panel));
        auto *view = panel.findChild<QPlainTextEdit *>(u"txtNotes"_s);
        QScrollBar *bar = view->verticalScrollBar();
        for (int i = 0; i < 60; ++i)
            panel.AddNoteMessage(0, 0, u"line %1"_s.arg(i));
        const auto shows = [view](const QString &text) {
            return QTest::qWaitFor([&] { return view->toPlainText().contains(text); }, 2000);
        };
        QVERIFY(shows(u"line 59"_s));
        QVERIFY(bar->maximum() > 0);
        QCOMPARE(bar->value(), bar->maximum()); // following the newest
        bar->setValue(3);
        panel.AddNoteMessage(0, 0, u"new"_s);
        QVERIFY(shows(u"new"_s));
        QCOMPARE(bar->value(), 3);
        bar->setValue(bar->maximum());
        panel.AddNoteMessage(0, 0, u"newer"_s);
        QVERIFY(shows(u"newer"_s));
        QCOMPARE(bar->value(), bar->maximum());
    }

    void enterInTheSendBox_data()
    {
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("sent");
        QTest::addColumn<QString>("left");
        QTest::addColumn<bool>("warned");
        const QString exact = QString(128, u'a');
        QTest::newRow("128 characters") << true << exact << true << QString() << false;
        QTest::newRow("128 after trimming")
            << true << u"  "_s + exact + u" "_s << true << QString() << false;
        QTest::newRow("129 characters")
            << true << exact + u"b"_s << false << exact + u"b"_s << true;
        QTest::newRow("blanks only") << true << u"   "_s << false << u"   "_s << false;
        QTest::newRow("/CLEAR") << true << u"/CLEAR"_s << false << QString() << false;
        QTest::newRow("sending off") << false << u"hello"_s << false << QString() << false;
        QTest::newRow("sending off, too long")
            << false << exact + u"b"_s << false << QString() << false;
    }

    void enterInTheSendBox()
    {
        QFETCH(bool, enabled);
        QFETCH(QString, typed);
        QFETCH(bool, sent);
        QFETCH(QString, left);
        QFETCH(bool, warned);
        Global::ScriptedPrompter prompter;
        NotesManage panel;
        panel.setPrompter(&prompter);
        panel.setMyID(7);
        panel.AddMessage(u"kept\r\n"_s);
        panel.SetSendText(typed);
        panel.setSendEnabled(enabled);
        QSignalSpy spy(&panel, &NotesManage::SentNoteMessage);
        QTest::keyClick(sendBox(panel), Qt::Key_Return);
        QCOMPARE(spy.count(), sent ? 1 : 0);
        if (sent)
            QCOMPARE(spy.at(0), QVariantList({7, 0, typed})); // as typed, untrimmed
        QCOMPARE(sendBox(panel)->text(), left);
        QCOMPARE(prompter.shown.size(), warned ? 1 : 0);
        if (warned) {
            QCOMPARE(prompter.shown.at(0).text, u"短消息长度不应超过128个字符！"_s);
            QCOMPARE(prompter.shown.at(0).title, u"LumoClass--系统提示："_s);
        }
        QCOMPARE(panel.Export(), u"kept\r\n"_s);
    }

    void typingNeedsSendEnabled()
    {
        NotesManage panel;
        panel.show();
        QVERIFY(QTest::qWaitForWindowExposed(&panel));
        QTest::keyClicks(sendBox(panel), u"abc"_s);
        QCOMPARE(sendBox(panel)->text(), QString());
        panel.setSendEnabled(true);
        QTest::keyClicks(sendBox(panel), u"abc"_s);
        QSignalSpy spy(&panel, &NotesManage::SentNoteMessage);
        QTest::keyClick(sendBox(panel), Qt::Key_Enter);
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0).at(2).toString(), u"abc"_s);
    }

    void recipients_()
    {
        NotesManage panel;
        panel.setMyID(7);
        QVERIFY(!panel.AddUser(7, u"Me"_s));
        QVERIFY(panel.AddUser(5, u"Li"_s));
        QVERIFY(panel.AddUser(6, u"Li"_s));
        QVERIFY(!panel.AddUser(6, u"Other"_s));
        QVERIFY(panel.AddUser(8, u"Wu"_s));
        QCOMPARE(items(panel), QStringList({u"所有人"_s, u"Li"_s, u"Li"_s, u"Wu"_s}));
        QCOMPARE(panel.SelectedUserID(), 0);
        QCOMPARE(panel.SelectedUserNick(), QString());

        // The second of two people called Li gets the note meant for him.
        recipients(panel)->setCurrentIndex(2);
        QCOMPARE(panel.SelectedUserID(), 6);
        panel.setSendEnabled(true);
        panel.SetSendText(u"psst"_s);
        QSignalSpy spy(&panel, &NotesManage::SentNoteMessage);
        QTest::keyClick(sendBox(panel), Qt::Key_Return);
        QCOMPARE(spy.at(0), QVariantList({7, 6, u"psst"_s}));

        // Arrivals keep the choice; an unknown ID leaves it alone.
        QVERIFY(panel.AddUser(9, u"Zhao"_s));
        QVERIFY(!panel.AddUser(7, u"Me"_s));
        QCOMPARE(panel.SelectedUserID(), 6);
        QVERIFY(panel.SelectUser(QVariant(99)));
        QCOMPARE(panel.SelectedUserID(), 6);
        QVERIFY(panel.SelectUser(QVariant(u"8"_s)));
        QCOMPARE(panel.SelectedUserNick(), u"Wu"_s);

        // The chosen person leaves: the note goes back to everybody.
        QVERIFY(panel.RemoveUser(8));
        QVERIFY(!panel.RemoveUser(8));
        QCOMPARE(panel.SelectedUserID(), 0);
        QCOMPARE(items(panel), QStringList({u"所有人"_s, u"Li"_s, u"Li"_s, u"Zhao"_s}));
        panel.SelectUser(9);
        QCOMPARE(panel.SelectedUserID(), 9);

        QVERIFY(panel.RemoveAllUsers());
        QCOMPARE(items(panel), QStringList({u"所有人"_s}));
        QCOMPARE(recipients(panel)->currentIndex(), 0);
        QVERIFY(!panel.RemoveAllUsers());
    }

    // A second panel (the detached window) follows the first: one list of
    // recipients, the leader's own ID and permission, its own history.
    void aFollowerSendsAsItsLeader()
    {
        NotesManage leader;
        leader.setMyID(7);
        leader.AddUser(9, u"Zhang"_s);
        leader.AddUser(10, u"Li"_s);
        NotesManage follower;
        follower.follow(&leader);
        QCOMPARE(items(follower), items(leader));
        QCOMPARE(follower.MyID(), 7);
        // A note for someone who left goes to everybody, in either panel.
        follower.SelectUser(9);
        leader.RemoveUser(9);
        QCOMPARE(follower.SelectedUserID(), 0);
        leader.AddUser(9, u"Zhang"_s);
        QVERIFY(!follower.SendEnabled());
        QVERIFY(!sendBox(follower)->isEnabled());
        leader.setSendEnabled(true);
        QVERIFY(sendBox(follower)->isEnabled());
        // Its own choice of recipient, kept while the leader's list changes.
        follower.SelectUser(10);
        leader.AddUser(11, u"Wang"_s);
        leader.RemoveUser(9);
        QCOMPARE(items(follower), QStringList({u"所有人"_s, u"Li"_s, u"Wang"_s}));
        QCOMPARE(follower.SelectedUserID(), 10);
        QCOMPARE(leader.SelectedUserID(), 0);
        // Recipients are the leader's host's to change.
        QVERIFY(!follower.AddUser(12, u"Zhao"_s));
        QCOMPARE(recipients(leader)->count(), 3);

        QSignalSpy sent(&follower, &NotesManage::SentNoteMessage);
        follower.SetSendText(u"hi Li"_s);
        QTest::keyClick(sendBox(follower), Qt::Key_Return);
        QCOMPARE(sent.size(), 1);
        QCOMPARE(sent.at(0), QVariantList({7, 10, u"hi Li"_s}));
        follower.AddNoteMessage(7, 10, u"hi Li"_s);
        QCOMPARE(follower.Export(), u"你对Li说：hi Li\r\n"_s);
        QCOMPARE(leader.Export(), QString());
    }

    void setSendText()
    {
        NotesManage panel;
        QVERIFY(!panel.SetSendText(QString()));
        QVERIFY(panel.SetSendText(u"x"_s));
        QVERIFY(!panel.SetSendText(QString()));
        QCOMPARE(sendBox(panel)->text(), u"x"_s);
    }

    void layoutAndItsLoggedFailures()
    {
        TestHome home;
        NotesManage panel;
        panel.resize(400, 200);
        panel.show();
        QVERIFY(QTest::qWaitForWindowExposed(&panel));
        auto *history = panel.findChild<QPlainTextEdit *>(u"txtNotes"_s);
        QComboBox *list = recipients(panel);
        QLineEdit *box = sendBox(panel);
        QCOMPARE(history->geometry(), QRect(0, 0, 400, list->y()));
        QCOMPARE(list->geometry().bottomLeft(), QPoint(0, 199));
        QCOMPARE(box->geometry().topLeft(), QPoint(list->width(), list->y()));
        auto *send = panel.findChild<QPushButton *>(u"cmdSend"_s);
        QCOMPARE(send->geometry().left(), box->geometry().right() + 1);
        QCOMPARE(send->geometry().right(), 399);
        QCOMPARE(home.errorLog(), QByteArray());

        // A narrow panel (the main window's column) puts the send box on a
        // row of its own, long enough for a line of text.
        panel.resize(212, 200);
        QCoreApplication::processEvents();
        QCOMPARE(list->geometry(), QRect(0, 200 - 2 * list->height(), 212, list->height()));
        QCOMPARE(box->geometry().topLeft(), QPoint(0, 200 - list->height()));
        QCOMPARE(send->geometry().right(), 211);
        QCOMPARE(send->geometry().left(), box->geometry().right() + 1);
        QVERIFY(box->width() >= box->fontMetrics().horizontalAdvance(u"一行短消息：十个字"_s));
        QCOMPARE(history->height(), list->y());
        QCOMPARE(home.errorLog(), QByteArray());

        // Too low for the history and too narrow for the send box: both
        // failures are logged and the recipient list is still placed.
        panel.resize(60, 8);
        QCoreApplication::processEvents();
        const QString log = QString::fromUtf8(home.errorLog());
        QCOMPARE(log.count(u"NotesManage\r\nUserControl_Resize\r\n"_s), 2);
        QCOMPARE(list->y(), 8 - 2 * list->height());
        panel.resize(400, 200);
        QCoreApplication::processEvents();
        QCOMPARE(history->height(), list->y());
    }

    void screenshot()
    {
        NotesManage panel;
        panel.setMyID(7);
        panel.AddUser(9, u"Zhang"_s);
        panel.AddUser(10, u"李老师"_s);
        panel.AddMessage(u"[老师李老师来了]\r\n"_s);
        panel.AddNoteMessage(10, 0, u"大家好，今天讲第三课。"_s);
        panel.AddNoteMessage(7, 9, u"下课后一起复习吗？"_s);
        panel.AddNoteMessage(9, 7, u"好的"_s);
        panel.AddNoteMessage(0, 0, u"白板已清除"_s);
        panel.setSendEnabled(true);
        panel.SetSendText(u"老师，我有一个问题"_s);
        panel.resize(360, 220);
        panel.show();
        QVERIFY(QTest::qWaitForWindowExposed(&panel));
        QString folder = qEnvironmentVariable("LUMO_SCREENSHOT_DIR");
        if (folder.isEmpty())
            folder = QDir::tempPath() + u"/lumo-screenshots"_s;
        QDir().mkpath(folder);
        QVERIFY(panel.grab().save(folder + u"/notesmanage.png"_s));
    }
};

QTEST_MAIN(NotesManageTest)
#include "notesmanage_test.moc"
