// The controls as a keyboard-only or screen-reader student, a student on a
// dark or high-density desktop, and a student with an English desktop meets
// them. The same program runs under several environments (LANG, the scale
// factor); each run checks what its environment promises and saves its
// screenshots under names that tell the environment.

#include "common/desktop/chinesefonts.h"
#include "common/desktop/shellopen.h"
#include "common/desktop/translations.h"
#include "controls/notesmanage/notesmanage.h"
#include "controls/toolbar/toolbar.h"
#include "controls/toolbar/toolpictures.h"
#include "controls/userlist/userlist.h"
#include "controls/userlist/userpictures.h"
#include "controls/volumecontrol/volumecontrol.h"
#include "controls/volumecontrol/volumemixer.h"
#include "controls/whiteboardole/whiteboardole.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFontInfo>
#include <QGlyphRun>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRawFont>
#include <QSignalSpy>
#include <QSlider>
#include <QStyle>
#include <QTest>
#include <QTextLayout>
#include <QToolButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;
using namespace UserStatusMask;

namespace {

QString screenshotFolder()
{
    QString folder = qEnvironmentVariable("LUMO_SCREENSHOT_DIR");
    if (folder.isEmpty())
        folder = QDir::tempPath() + u"/lumo-screenshots"_s;
    QDir().mkpath(folder);
    return folder;
}

bool englishEnvironment()
{
    return QLocale::system().uiLanguages().value(0).startsWith(u"en"_s);
}

QPalette darkPalette()
{
    QPalette dark;
    const QColor window(0x2b, 0x2b, 0x2e), base(0x1e, 0x1e, 0x20), text(0xe8, 0xe8, 0xe8);
    for (const auto group : {QPalette::Active, QPalette::Inactive}) {
        dark.setColor(group, QPalette::Window, window);
        dark.setColor(group, QPalette::WindowText, text);
        dark.setColor(group, QPalette::Base, base);
        dark.setColor(group, QPalette::AlternateBase, window);
        dark.setColor(group, QPalette::Text, text);
        dark.setColor(group, QPalette::Button, window);
        dark.setColor(group, QPalette::ButtonText, text);
        dark.setColor(group, QPalette::Highlight, QColor(0x3d, 0x7a, 0xd6));
        dark.setColor(group, QPalette::HighlightedText, Qt::white);
        dark.setColor(group, QPalette::ToolTipBase, base);
        dark.setColor(group, QPalette::ToolTipText, text);
        dark.setColor(group, QPalette::PlaceholderText, QColor(0x90, 0x90, 0x90));
    }
    for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        dark.setColor(QPalette::Disabled, role, QColor(0x78, 0x78, 0x78));
    dark.setColor(QPalette::Disabled, QPalette::Window, window);
    dark.setColor(QPalette::Disabled, QPalette::Base, window);
    dark.setColor(QPalette::Disabled, QPalette::Button, window);
    return dark;
}

// The lightest and darkest opaque pixels of a picture.
std::pair<qreal, qreal> inkRange(const QImage &image)
{
    qreal lightest = 0, darkest = 1;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            if (pixel.alpha() < 200)
                continue;
            lightest = qMax(lightest, pixel.lightnessF());
            darkest = qMin(darkest, pixel.lightnessF());
        }
    return {lightest, darkest};
}

class NoMixer
{
public:
    static std::unique_ptr<VolumeMixer> none() { return {}; }
};

// Every control of the main window, filled as in a class.
struct Classroom {
    QWidget window;
    UserList *users = new UserList;
    NotesManage *notes = new NotesManage;
    VolumeControl *volume = new VolumeControl(NoMixer::none());
    ToolBar *palette = new ToolBar;
    WhiteBoardOLE *board = new WhiteBoardOLE;

    Classroom()
    {
        auto *side = new QVBoxLayout;
        side->addWidget(users, 1);
        side->addWidget(volume);
        auto *middle = new QVBoxLayout;
        middle->addWidget(board, 1);
        middle->addWidget(notes);
        auto *all = new QHBoxLayout(&window);
        all->addWidget(palette);
        all->addLayout(middle, 1);
        all->addLayout(side);
        notes->setMinimumHeight(140);
        users->setMinimumWidth(170);
        board->setMinimumSize(320, 200);
        window.resize(760, 460);

        users->setUserType(1);
        users->setMyID(7);
        users->AddUser(1, u"李老师"_s, 0x0F | 0x20, 2);
        users->AddUser(7, u"王小明"_s, 0x0F, 1);
        users->AddUser(9, u"张三"_s, 0x80 | 0x0B, 1);
        users->AddUser(10, u"李四"_s, 0x2F, 1);
        users->AddUser(11, u"赵六"_s, 0x09, 1);
        users->AddUser(12, u"钱七"_s, 0x4B, 1);
        users->setbOkAnswer(true);
        notes->setMyID(7);
        for (const auto &[id, nick] : {std::pair{1, u"李老师"_s}, {9, u"张三"_s}, {10, u"李四"_s}})
            notes->AddUser(id, nick);
        notes->AddNoteMessage(1, 0, u"大家好，今天讲第三课。"_s);
        notes->AddNoteMessage(7, 9, u"下课后一起复习吗？"_s);
        notes->setSendEnabled(true);
        volume->SetRemote(true); // no mixer here: the sliders only report
        volume->SetEnabled(true);
        volume->SetCmdEnabled(false);
    }

    bool show()
    {
        window.show();
        if (!QTest::qWaitForWindowExposed(&window))
            return false;
        // No window manager hands out the focus here: take it, as a click
        // into the window would.
        QApplication::setActiveWindow(&window);
        return QTest::qWaitForWindowActive(&window);
    }

    QString environmentTag() const
    {
        return u"%1_%2x"_s.arg(englishEnvironment() ? u"en"_s : u"zh"_s)
            .arg(window.devicePixelRatio());
    }
};

} // namespace

class AccessibilityTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        Global::InstallChineseFonts();
        Global::InstallTranslators();
    }

    void cleanup() { QApplication::setPalette(QApplication::style()->standardPalette()); }

    // The environment's language decides, and the Chinese texts stay the
    // system's own, byte for byte.
    void textsFollowTheLocale()
    {
        Classroom room;
        auto *menu = room.users->findChild<QMenu *>(u"mnuStudent"_s);
        QStringList captions;
        for (QAction *action : menu->actions())
            captions.append(action->text());
        auto *send = room.notes->findChild<QPushButton *>(u"cmdSend"_s);
        auto *recipients = room.notes->findChild<QComboBox *>(u"cmbList"_s);
        auto *speakerLabel = room.volume->findChild<QLabel *>(u"lblSpeaker"_s);
        auto *rectangle = room.palette->findChild<QToolButton *>(u"tool1"_s);
        if (englishEnvironment()) {
            QCOMPARE(send->text(), u"Send"_s);
            QCOMPARE(captions,
                QStringList({u"Send a note (&N)"_s, u"Private voice talk (&C)"_s,
                    u"End the private talk"_s, u"Refresh"_s}));
            QCOMPARE(recipients->itemText(0), u"Everybody"_s);
            QCOMPARE(speakerLabel->text(), u"Speaker"_s);
            QCOMPARE(rectangle->toolTip(), u"Rectangle"_s);
            QCOMPARE(room.notes->Export(),
                u"李老师: 大家好，今天讲第三课。\r\nYou to 张三: 下课后一起复习吗？\r\n"_s);
            QCOMPARE(Global::ShellOpenFailureText(Global::ShellPathNotFound),
                u"The path was not found!"_s);
        } else {
            QCOMPARE(send->text(), u"发送"_s);
            QCOMPARE(captions,
                QStringList(
                    {u"给他发短消息 (&N)"_s, u"语音密谈 (&C)"_s, u"结束语音密谈"_s, u"刷   新"_s}));
            QCOMPARE(recipients->itemText(0), u"所有人"_s);
            QCOMPARE(speakerLabel->text(), u"扬声器"_s);
            QCOMPARE(rectangle->toolTip(), u"矩形"_s);
            QCOMPARE(room.notes->Export(),
                u"李老师说：大家好，今天讲第三课。\r\n你对张三说：下课后一起复习吗？\r\n"_s);
            QCOMPARE(
                Global::ShellOpenFailureText(Global::ShellPathNotFound), u"指定路径没有找到！"_s);
        }
    }

    // Whatever the environment says, an explicit choice installs exactly
    // one translation per library, and removing it brings the source back.
    void translatorsCanBeSwitched()
    {
        const QStringList english = Global::InstallTranslators(QLocale(u"en_GB"_s));
        QVERIFY(english.contains(u"aulix_userlist_en.qm"_s));
        QVERIFY(english.contains(u"aulix_notesmanage_en.qm"_s));
        QVERIFY(english.contains(u"lumodesktop_en.qm"_s));
        QCOMPARE(UserList::tr("结束语音密谈"), u"End the private talk"_s);
        QVERIFY(Global::InstallTranslators(QLocale(u"zh_CN"_s)).isEmpty());
        QCOMPARE(UserList::tr("结束语音密谈"), u"结束语音密谈"_s);
        QVERIFY(Global::InstallTranslators(QLocale(u"de_DE"_s)).isEmpty());
        QCOMPARE(NotesManage::tr("所有人"), u"所有人"_s);
        Global::InstallTranslators();
    }

    void chineseFacesAreSimplifiedChinese()
    {
        if (!QFontDatabase::families().contains(u"Noto Serif CJK SC"_s))
            QSKIP("the Noto CJK faces are not installed");
        QCOMPARE(Global::ChineseFaceSubstitutes(u"宋体"_s).value(0), u"Noto Serif CJK SC"_s);
        QCOMPARE(Global::ChineseFaceSubstitutes(u"SimHei"_s).value(0), u"Noto Sans CJK SC"_s);
        QVERIFY(Global::ChineseFaceSubstitutes(u"DejaVu Sans"_s).isEmpty());
        QCOMPARE(QFontInfo(QFont(u"宋体"_s)).family(), u"Noto Serif CJK SC"_s);
        QCOMPARE(QFontInfo(QFont(u"黑体"_s)).family(), u"Noto Sans CJK SC"_s);

        // Han text in the application's font takes the Simplified-Chinese
        // face, whatever the locale (the Japanese face draws "骨" and "门"
        // differently).
        QTextLayout layout(u"骨门 abc"_s, QApplication::font());
        layout.beginLayout();
        layout.createLine();
        layout.endLayout();
        const QList<QGlyphRun> runs = layout.glyphRuns();
        QVERIFY(!runs.isEmpty());
        bool hanSeen = false;
        for (const QGlyphRun &run : runs) {
            const QString family = run.rawFont().familyName();
            if (family.contains(u"CJK"_s)) {
                hanSeen = true;
                QVERIFY2(family.endsWith(u" SC"_s), qPrintable(family));
            }
        }
        QVERIFY(hanSeen);
    }

    void everyFocusableWidgetHasAName()
    {
        Classroom room;
        QVERIFY(room.show());
        QStringList nameless;
        for (QWidget *widget : room.window.findChildren<QWidget *>()) {
            if (widget->focusPolicy() == Qt::NoFocus || !widget->isVisibleTo(&room.window))
                continue;
            if (widget->objectName() == u"qt_scrollarea_viewport"_s)
                continue;
            QAccessibleInterface *face = QAccessible::queryAccessibleInterface(widget);
            QVERIFY(face);
            if (face->text(QAccessible::Name).trimmed().isEmpty())
                nameless.append(QString::fromLatin1(widget->metaObject()->className()) + u' '
                    + widget->objectName());
        }
        QVERIFY2(nameless.isEmpty(), qPrintable(nameless.join(u", "_s)));
        for (QWidget *control :
            std::initializer_list<QWidget *>{room.notes, room.volume, room.palette, room.board})
            QVERIFY(
                !QAccessible::queryAccessibleInterface(control)->text(QAccessible::Name).isEmpty());
    }

    // A screen reader reads each row of the student list as the person and
    // what the picture says; the tooltip says the same.
    void studentListRowsAreReadable()
    {
        Classroom room;
        QVERIFY(room.show());
        auto *rows = room.users->findChild<QAbstractItemView *>(u"lsvUserList"_s);
        QTRY_COMPARE(rows->model()->rowCount(), 6);
        QAccessibleInterface *list = QAccessible::queryAccessibleInterface(rows);
        QVERIFY(list);
        QCOMPARE(list->role(), QAccessible::List);
        QCOMPARE(list->text(QAccessible::Name), UserList::tr("课堂成员"));
        QStringList spoken;
        for (int i = 0; i < list->childCount(); ++i) {
            QAccessibleInterface *child = list->child(i);
            if (child->role() == QAccessible::ListItem)
                spoken.append(child->text(QAccessible::Name));
        }
        const auto says = [](const QString &nick, const char *state) {
            return QCoreApplication::translate("UserListModel", "%1，%2")
                .arg(nick, QCoreApplication::translate("UserListModel", state));
        };
        QCOMPARE(spoken,
            QStringList({says(u"李老师"_s, "老师，正在发言"),
                QCoreApplication::translate("UserListModel", "%1（我），%2")
                    .arg(u"王小明"_s, QCoreApplication::translate("UserListModel", "可以发言")),
                says(u"张三"_s, "举手，未获准发言"), says(u"李四"_s, "正在发言"),
                says(u"赵六"_s, "正在语音密谈"), says(u"钱七"_s, "已确认，未获准发言")}));
        if (!englishEnvironment()) {
            QCOMPARE(spoken.at(2), u"张三，举手，未获准发言"_s);
            QCOMPARE(spoken.at(3), u"李四，正在发言"_s);
        }
        const QModelIndex third = rows->model()->index(2, 0);
        QCOMPARE(third.data(Qt::ToolTipRole).toString(), spoken.at(2));
        QCOMPARE(third.data(Qt::DisplayRole).toString(), u"张三"_s);
    }

    void userListMenuAndEnterFromTheKeyboard()
    {
        Classroom room;
        QVERIFY(room.show());
        auto *rows = room.users->findChild<QAbstractItemView *>(u"lsvUserList"_s);
        auto *menu = room.users->findChild<QMenu *>(u"mnuStudent"_s);
        QTRY_COMPARE(rows->model()->rowCount(), 6);
        rows->setFocus();
        QTest::keyClick(rows, Qt::Key_Home);
        QTest::keyClick(rows, Qt::Key_Down);
        QTest::keyClick(rows, Qt::Key_Down); // 张三
        QCOMPARE(room.users->SelectedUser().UserID, 9);

        QTest::keyClick(rows, Qt::Key_Menu);
        QTRY_VERIFY(menu->isVisible());
        // The menu opens beside the current row, not where the mouse is.
        const QRect row = rows->visualRect(rows->currentIndex());
        QVERIFY(menu->geometry().top() >= rows->viewport()->mapToGlobal(row.topLeft()).y());
        QSignalSpy note(room.users, &UserList::OnSendUserNoteMessage);
        menu->close();

        QTest::keyClick(rows, Qt::Key_Down); // 李四
        QTest::keyClick(rows, Qt::Key_F10, Qt::ShiftModifier);
        QTRY_VERIFY(menu->isVisible());
        menu->close();

        // Enter on a classmate starts a note to him; on the own row nothing.
        QTest::keyClick(rows, Qt::Key_Return);
        QCOMPARE(note.count(), 1);
        QCOMPARE(note.at(0), QVariantList({10, u"李四"_s}));
        QTest::keyClick(rows, Qt::Key_Up);
        QTest::keyClick(rows, Qt::Key_Up); // own row
        QTest::keyClick(rows, Qt::Key_Enter);
        QCOMPARE(note.count(), 1);
    }

    void tabReachesEveryControlInOrder()
    {
        Classroom room;
        QVERIFY(room.show());
        auto *first = room.palette->findChild<QToolButton *>(u"tool0"_s);
        first->setFocus(Qt::TabFocusReason);
        QTRY_COMPARE(QApplication::focusWidget(), first);
        QStringList order;
        for (int i = 0; i < 20; ++i) {
            QWidget *focus = QApplication::focusWidget();
            order.append(focus->objectName());
            QTest::keyClick(focus, Qt::Key_Tab);
        }
        // The tools are one group, as option buttons are: Tab stops on the
        // chosen one, the arrow keys move the choice.
        const QStringList expected
            = {u"tool0"_s, u"lineWidthList"_s, u"swatchGrid"_s, u"txtNotes"_s, u"cmbList"_s,
                u"txtSend"_s, u"cmdSend"_s, u"lsvUserList"_s, u"Ctr_Speaker"_s, u"Ctr_Recorder"_s};
        QCOMPARE(order.mid(0, expected.size()), expected);
        QSignalSpy rectangle(room.palette, &ToolBar::OnRect);
        first->setFocus(Qt::TabFocusReason);
        QTest::keyClick(first, Qt::Key_Down); // the tall layout: a column
        QCOMPARE(QApplication::focusWidget()->objectName(), u"tool1"_s);
        QCOMPARE(room.palette->currentTool(), 1);
        QCOMPARE(rectangle.count(), 1);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget()->objectName(), u"lineWidthList"_s);

        // The disabled microphone button is skipped, and says why it is.
        auto *microphone = room.volume->findChild<QToolButton *>(u"cmdSpeaker"_s);
        QVERIFY(!microphone->isEnabled());
        QCOMPARE(microphone->toolTip(), VolumeControl::tr("话筒不可用：老师还没有允许你发言"));
        room.volume->SetCmdEnabled(true);
        QCOMPARE(microphone->toolTip(), VolumeControl::tr("话筒：按下向老师请求发言"));
        auto *speaker = room.volume->findChild<QSlider *>(u"Ctr_Speaker"_s);
        QCOMPARE(QAccessible::queryAccessibleInterface(speaker)->text(QAccessible::Name),
            VolumeControl::tr("扬声器音量"));
    }

    void swatchesByKeys()
    {
        Classroom room;
        QVERIFY(room.show());
        auto *grid = room.palette->findChild<QWidget *>(u"swatchGrid"_s);
        QSignalSpy colour(room.palette, &ToolBar::OnChangeColor);
        grid->setFocus(Qt::TabFocusReason);
        QTRY_VERIFY(grid->hasFocus());
        // From red (row 1, column 1) to row 2, column 4: 0, 174, 239.
        QTest::keyClick(grid, Qt::Key_Down);
        for (int i = 0; i < 3; ++i)
            QTest::keyClick(grid, Qt::Key_Right);
        QCOMPARE(colour.count(), 0); // moving picks nothing
        QTest::keyClick(grid, Qt::Key_Return);
        QCOMPARE(colour.count(), 1);
        QCOMPARE(colour.at(0).at(0).toUInt(), 15707648u);
        QCOMPARE(QAccessible::queryAccessibleInterface(grid)->text(QAccessible::Description),
            QCoreApplication::translate("SwatchPicture", "天蓝"));
        // The edges hold: far right and down ends on black.
        for (int i = 0; i < 9; ++i) {
            QTest::keyClick(grid, Qt::Key_Right);
            QTest::keyClick(grid, Qt::Key_Down);
        }
        QTest::keyClick(grid, Qt::Key_Space);
        QCOMPARE(colour.at(1).at(0).toUInt(), 0u);
        QCOMPARE(room.palette->currentColor(), 0u);
    }

    // Ctrl+Enter sends from anywhere in the panel; Alt+S is left to the
    // host's 系统(&S) menu.
    void notesSendWithCtrlEnter()
    {
        Classroom room;
        QVERIFY(room.show());
        auto *box = room.notes->findChild<QLineEdit *>(u"txtSend"_s);
        auto *send = room.notes->findChild<QPushButton *>(u"cmdSend"_s);
        auto *recipients = room.notes->findChild<QComboBox *>(u"cmbList"_s);
        QSignalSpy sent(room.notes, &NotesManage::SentNoteMessage);
        room.notes->SelectUser(9);
        box->setFocus();
        QTest::keyClicks(box, u"hello"_s);
        // No mnemonic of its own: the panel leaves Alt+S to the host.
        QVERIFY(send->text() == NotesManage::tr("发送") && !send->text().contains(u'&'));
        recipients->setFocus();
        QTest::keyClick(recipients, Qt::Key_Return, Qt::ControlModifier);
        QCOMPARE(sent.count(), 1);
        QCOMPARE(sent.at(0), QVariantList({7, 9, u"hello"_s}));
        QCOMPARE(box->text(), QString());
        QTest::keyClicks(box, u"again"_s);
        QTest::keyClick(box, Qt::Key_Enter, Qt::ControlModifier);
        QCOMPARE(sent.count(), 2);
        QCOMPARE(sent.at(1), QVariantList({7, 9, u"again"_s}));
        // The command keeps the Enter road's checks: nothing empty, nothing
        // too long, nothing while notes are switched off.
        send->click();
        box->setText(QString(129, u'a'));
        room.notes->setPrompter(nullptr);
        room.notes->setSendEnabled(false);
        QVERIFY(!send->isEnabled());
        QVERIFY(!box->isEnabled());
        QCOMPARE(box->placeholderText(), NotesManage::tr("短消息已关闭"));
        QTest::keyClick(recipients, Qt::Key_Return, Qt::ControlModifier);
        QTest::qWait(100);
        QCOMPARE(sent.count(), 2);
    }

    // The pictures drawn in code follow the palette and the pixel ratio.
    void picturesFollowThePaletteAndThePixelRatio()
    {
        const QIcon rectangle = ToolPalette::ToolIcon(1);
        const QImage light = rectangle.pixmap(QSize(22, 22), 1.0).toImage();
        QVERIFY(inkRange(light).second < 0.3); // dark ink on a light ground
        QApplication::setPalette(darkPalette());
        const QImage dark = rectangle.pixmap(QSize(22, 22), 1.0).toImage();
        QVERIFY(inkRange(dark).first > 0.7); // light ink on a dark ground
        const QImage width = ToolPalette::LineWidthIcon(3).pixmap(QSize(40, 12), 1.0).toImage();
        QVERIFY(inkRange(width).first > 0.7);

        // The teacher's black cap keeps a light edge on a dark ground.
        const QImage teacher
            = UserPictures::icon(u"teacher"_s).pixmap(QSize(32, 32), 1.0).toImage();
        QVERIFY(inkRange(teacher.copy(0, 0, 32, 8)).first > 0.6);

        for (const qreal ratio : {1.0, 1.5, 2.0}) {
            const QPixmap sharp = UserPictures::icon(u"student_ok"_s).pixmap(QSize(16, 16), ratio);
            QCOMPARE(sharp.size(), QSize(qRound(16 * ratio), qRound(16 * ratio)));
            QCOMPARE(sharp.devicePixelRatio(), ratio);
            const QPixmap tool = rectangle.pixmap(QSize(22, 22), ratio);
            QCOMPARE(tool.size(), QSize(qRound(22 * ratio), qRound(22 * ratio)));
        }
        // At 2x the picture is drawn anew with twice the detail, not blown up.
        const QImage twice = rectangle.pixmap(QSize(22, 22), 2.0).toImage();
        const QImage blown = light.scaled(44, 44);
        QVERIFY(twice != blown);
    }

    void screenshots()
    {
        for (const bool dark : {false, true}) {
            if (dark)
                QApplication::setPalette(darkPalette());
            Classroom room;
            QVERIFY(room.show());
            room.users->findChild<QAbstractItemView *>(u"lsvUserList"_s)->setFocus();
            QTest::qWait(50);
            const QString name = u"/classroom_%1_%2.png"_s.arg(
                dark ? u"dark"_s : u"light"_s, room.environmentTag());
            QVERIFY(room.window.grab().save(screenshotFolder() + name));

            // The empty states say what will appear.
            Classroom empty;
            empty.users->RemoveAllUsers();
            empty.notes->ClearText();
            empty.notes->setSendEnabled(false);
            QVERIFY(empty.show());
            QTest::qWait(50);
            QVERIFY(empty.window.grab().save(screenshotFolder()
                + u"/classroom_empty_%1_%2.png"_s.arg(
                    dark ? u"dark"_s : u"light"_s, empty.environmentTag())));
        }
    }
};

QTEST_MAIN(AccessibilityTest)
#include "accessibility_test.moc"
