#include "common/filechooser.h"
#include "controls/coursemanage/courseicons.h"
#include "controls/coursemanage/coursetreewidget.h"
#include "controls/coursemanage/courseware/coursewarereader.h"
#include "controls/coursemanage/manage.h"
#include "controls/coursemanage/nodepropertieswindow.h"
#include "controls/coursemanage/progresswindow.h"
#include "controls/coursemanage/tests/coursewarefixture.h"

#include "common/apppaths.h"
#include "common/prompter.h"
#include "common/testsupport/testhome.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>

using namespace Qt::StringLiterals;

namespace {

QByteArray patterned(qsizetype size, int seed)
{
    QByteArray out(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i)
        out[i] = char((i * seed + i / 7) % 251);
    return out;
}

// _0 课程 { _0_1 第一章 { _0_1_3 图.jpg, _0_1_4 歌.mp3 }, _0_2 网址.url }
CoursewareBytes sampleCourse()
{
    CoursewareBytes bytes;
    bytes.header(1, u"语文"_s, u"李老师"_s).folder(u"课程"_s, u"_0"_s);
    bytes.folder(u"第一章"_s, u"_0_1"_s).url(u"http://example.com/a.html"_s, u"_0_2"_s);
    bytes.file(u"图.jpg"_s, u"_0_1_3.jpg"_s, patterned(20000, 3));
    bytes.file(u"歌.mp3"_s, u"_0_1_4.mp3"_s, patterned(30000, 5));
    return bytes;
}

QStringList keysInOrder(const Manage &manage)
{
    QStringList keys;
    for (int id = 1; id <= manage.NodeCount(); ++id)
        keys.append(Manage::KeyOf(manage.NodeAt(id)));
    return keys;
}

QStringList childKeys(const QTreeWidgetItem *item)
{
    QStringList keys;
    for (int i = 0; i < item->childCount(); ++i)
        keys.append(Manage::KeyOf(item->child(i)));
    return keys;
}

} // namespace

class ManageTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TestHome> home;
    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<Manage> manage;
    Global::ScriptedPrompter prompter;
    Global::ScriptedFileChooser chooser;
    QStringList shellOpened;
    int shellResult = 42;

    QString path(const QString &name) const { return dir->filePath(name); }

    QString file(const QString &name, const QByteArray &content = "content")
    {
        const QString full = path(name);
        WriteWholeFile(full, content);
        return full;
    }

    // The texts shown since prompt number `from` that end a save: "保存完毕"
    // or the failure.
    QStringList saveEnds(qsizetype from) const
    {
        QStringList ends;
        for (qsizetype i = from; i < prompter.shown.size(); ++i) {
            const QString &text = prompter.shown.at(i).text;
            if (text == u"保存完毕"_s || text.startsWith(u"保存课件文件失败"_s))
                ends.append(text);
        }
        return ends;
    }

    // Presses 保存 and waits until the control says how the save ended;
    // empty when it said nothing.
    QString saveAndWait()
    {
        const qsizetype from = prompter.shown.size();
        manage->SaveCourse();
        if (!QTest::qWaitFor([&] { return !saveEnds(from).isEmpty(); }, 10000))
            return {};
        return saveEnds(from).first();
    }

    bool load(const QString &file)
    {
        QSignalSpy loaded(manage.get(), &Manage::CourseFileLoaded);
        manage->LoadCourseFile(file);
        if (loaded.isEmpty() && !loaded.wait(20000))
            return false;
        return loaded.first().first().toBool();
    }

    void dropOn(QTreeWidgetItem *target, QMimeData *mime)
    {
        QWidget *viewport = manage->TreeView()->viewport();
        const QPoint at = target ? manage->TreeView()->visualItemRect(target).center()
                                 : QPoint(10, viewport->height() - 10);
        QDragEnterEvent enter(
            at, Qt::MoveAction | Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(viewport, &enter);
        QDragMoveEvent move(
            at, Qt::MoveAction | Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(viewport, &move);
        QDropEvent drop(
            QPointF(at), Qt::MoveAction | Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(viewport, &drop);
    }

    void dropNode(const QString &key, const QString &targetKey)
    {
        QMimeData mime;
        mime.setText(key);
        dropOn(manage->NodeByKey(targetKey), &mime);
    }

    void dropFiles(QTreeWidgetItem *target, const QStringList &files)
    {
        QMimeData mime;
        QList<QUrl> urls;
        for (const QString &f : files)
            urls.append(QUrl::fromLocalFile(f));
        mime.setUrls(urls);
        dropOn(target, &mime);
    }

    void pressOn(QTreeWidgetItem *item, Qt::MouseButton button)
    {
        QWidget *viewport = manage->TreeView()->viewport();
        const QPoint at = item ? manage->TreeView()->visualItemRect(item).center()
                               : QPoint(5, viewport->height() - 5);
        QTest::mousePress(viewport, button, Qt::NoModifier, at);
        QTest::mouseRelease(viewport, button, Qt::NoModifier, at);
    }

    QAction *action(const QString &text) const
    {
        const QList<QAction *> actions = manage->PopupMenu()->actions();
        for (QAction *a : actions) {
            if (a->text() == text)
                return a;
        }
        return nullptr;
    }

    // Builds: _0 新建课件 { _0_1 新建目录 { a.jpg _0_1_3, b.jpg _0_1_4 }, _0_2 新建目录 }.
    void authorSmallCourse()
    {
        manage->CreateFolder(); // root
        manage->CreateFolder(); // _0_1 under the root (nothing selected)
        manage->CreateFolder(); // _0_2
        manage->TreeView()->setCurrentItem(manage->NodeByKey(u"_0_1"_s));
        chooser.answers = {file(u"a.jpg"_s), file(u"b.jpg"_s)};
        manage->InsertFile();
        manage->TreeView()->setCurrentItem(manage->NodeByKey(u"_0_1"_s));
        manage->InsertFile();
    }

private Q_SLOTS:
    void init()
    {
        home = std::make_unique<TestHome>();
        dir = std::make_unique<QTemporaryDir>();
        prompter = Global::ScriptedPrompter();
        chooser = Global::ScriptedFileChooser();
        shellOpened.clear();
        shellResult = 42;
        manage = std::make_unique<Manage>();
        manage->setPrompter(&prompter);
        manage->setFileChooser(&chooser);
        manage->setShellOpener([this](const QString &p, int) {
            shellOpened.append(p);
            return shellResult;
        });
        manage->resize(240, 400);
        manage->show();
        QVERIFY(QTest::qWaitForWindowExposed(manage.get()));
    }

    void cleanup()
    {
        manage.reset();
        dir.reset();
        home.reset();
    }

    void startsEmptyWithItsDefaults()
    {
        QCOMPARE(manage->TeacherName(), u"Lumo Class Instructer"_s);
        QVERIFY(!manage->bIsOpened());
        QVERIFY(!manage->bUrlFile());
        QVERIFY(!manage->bNodeIsFolder());
        QVERIFY(!manage->IsModified());
        QCOMPARE(manage->NextNodeNumber(), 0);
        QCOMPARE(
            manage->TempFolder(), Global::WithTrailingSeparator(home->path() + u"/data/temp"_s));
        QVERIFY(QDir(manage->TempFolder()).exists());
    }

    void loadsAndPlaysEachKind()
    {
        const QString lsn = path(u"course.lsn"_s);
        QVERIFY(sampleCourse().save(lsn));
        manage->setgAppPath(path(u"app"_s));
        QVERIFY(load(lsn));
        QVERIFY(manage->bIsOpened());
        QCOMPARE(manage->CourseName(), u"语文"_s);
        QCOMPARE(manage->TeacherName(), u"李老师"_s);
        QCOMPARE(keysInOrder(*manage),
            (QStringList{u"_0"_s, u"_0_1"_s, u"_0_2"_s, u"_0_1_3"_s, u"_0_1_4"_s}));
        QCOMPARE(manage->NextNodeNumber(), 5);
        QCOMPARE(childKeys(manage->NodeByKey(u"_0_1"_s)), (QStringList{u"_0_1_3"_s, u"_0_1_4"_s}));
        QCOMPARE(manage->TempFolder(), path(u"app/temp/"_s));
        QVERIFY(manage->isEnabled());
        QVERIFY(!manage->Progress()->isVisible());

        QSignalSpy played(manage.get(), &Manage::OnPlay);
        manage->Play(4);
        QCOMPARE(played.size(), 1);
        const QString image = manage->TempFolder() + u"_0_1_3.jpg"_s;
        QCOMPARE(played.last(), (QVariantList{4, image, qint16(OLE_Office)}));
        QCOMPARE(ReadWholeFile(image), patterned(20000, 3));
        QCOMPARE(manage->TreeView()->currentItem(), manage->NodeAt(4));
        QVERIFY(!manage->bMediaFile());

        manage->Play(3);
        QCOMPARE(
            played.last(), (QVariantList{3, u"http://example.com/a.html"_s, qint16(OLE_html)}));
        QVERIFY(manage->bUrlFile());

        manage->Play(5);
        QCOMPARE(played.last().at(2).value<qint16>(), qint16(OLE_Wave));
        QVERIFY(manage->bMediaFile());
        QVERIFY(!manage->bUrlFile());

        manage->Play(2);
        QCOMPARE(played.last().at(2).value<qint16>(), qint16(0));
        QVERIFY(manage->bNodeIsFolder());
        QVERIFY2(!manage->bUrlFile(), "a folder leaves bUrlFile alone");

        QSignalSpy ad(manage.get(), &Manage::OnplayAd);
        manage->PlayAd(4);
        QCOMPARE(ad.size(), 1);
        QCOMPARE(ad.last(), (QVariantList{4, image, qint16(OLE_Office)}));
        QVERIFY2(manage->bNodeIsFolder(), "PlayAd does not touch bNodeIsFolder");
        QCOMPARE(played.size(), 4);
    }

    void invalidIdsChangeNothing_data()
    {
        QTest::addColumn<int>("id");
        QTest::newRow("zero") << 0;
        QTest::newRow("negative") << -1;
        QTest::newRow("count + 1") << 6;
    }

    void invalidIdsChangeNothing()
    {
        QFETCH(int, id);
        QVERIFY(sampleCourse().save(path(u"c.lsn"_s)));
        QVERIFY(load(path(u"c.lsn"_s)));
        manage->Play(3);
        QTreeWidgetItem *before = manage->TreeView()->currentItem();
        QSignalSpy played(manage.get(), &Manage::OnPlay);
        QSignalSpy ad(manage.get(), &Manage::OnplayAd);
        QSignalSpy invalid(manage.get(), &Manage::OnPlayInvalid);
        manage->Play(id);
        manage->PlayAd(id);
        QCOMPARE(invalid.size(), 2);
        QCOMPARE(invalid.first().first().toInt(), id);
        QVERIFY(played.isEmpty() && ad.isEmpty());
        QCOMPARE(manage->TreeView()->currentItem(), before);
        QVERIFY(manage->bUrlFile());
    }

    void refusedFiles_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("deleted");
        QByteArray wrong = sampleCourse().bytes();
        wrong[0] = 'X';
        QTest::newRow("wrong magic")
            << wrong << u"不是合法的Lumo Class课件文件,请重新下载"_s << true;
        QTest::newRow("version 2") << CoursewareBytes().header(2).folder(u"C"_s, u"_0"_s).bytes()
                                   << u"这个程序不能读取2.0版本的Lumo Class课件文件"_s << false;
    }

    void refusedFiles()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, message);
        QFETCH(bool, deleted);
        const QString lsn = file(u"bad.lsn"_s, bytes);
        QVERIFY(!load(lsn));
        QVERIFY(!manage->bIsOpened());
        QCOMPARE(prompter.shown.size(), 1);
        QCOMPARE(prompter.shown.first().text, message);
        QCOMPARE(prompter.shown.first().title, u"LumoClass 系统提示："_s);
        QCOMPARE(prompter.shown.first().icon, Global::PromptIcon::Warning);
        QCOMPARE(QFile::exists(lsn), !deleted);
        QVERIFY(manage->isEnabled());
        QVERIFY(!manage->Progress()->isVisible());
    }

    void loadStaysResponsiveAndMovesTheProgress()
    {
        CoursewareBytes bytes;
        bytes.header().folder(u"C"_s, u"_0"_s);
        for (int i = 1; i <= 120; ++i)
            bytes.file(u"f"_s, u"_0_%1.txt"_s.arg(i), patterned(400000, i));
        const QString lsn = path(u"big.lsn"_s);
        QVERIFY(bytes.save(lsn));

        // Progress reaches the window through the event loop while the
        // control is still busy: the reading happens elsewhere.
        QList<int> values;
        int whileBusy = 0;
        connect(manage->Progress()->findChild<QProgressBar *>(), &QProgressBar::valueChanged, this,
            [&](int v) {
                values.append(v);
                whileBusy += manage->IsBusy() ? 1 : 0;
            });
        QSignalSpy loaded(manage.get(), &Manage::CourseFileLoaded);
        manage->LoadCourseFile(lsn);
        QVERIFY(manage->IsBusy());
        QCOMPARE(manage->NodeCount(), 0);
        QVERIFY(!manage->isEnabled());
        QVERIFY(manage->Progress()->isVisible());
        QCOMPARE(manage->Progress()->caption(), u"正在打开文件..."_s);
        QVERIFY(loaded.wait(30000));
        QCOMPARE(manage->NodeCount(), 121);
        QVERIFY(values.size() > 3);
        QCOMPARE(whileBusy, values.size());
        QVERIFY(std::is_sorted(values.cbegin(), values.cend()));
        QCOMPARE(values.last(), 100);
    }

    void brokenEntriesStayVisibleButMarked()
    {
        CoursewareBytes bytes;
        bytes.header()
            .folder(u"C"_s, u"_0"_s)
            .file(u"bomb.txt"_s, u"_0_1.txt"_s, QByteArray(3 << 20, 'z'));
        QVERIFY(bytes.save(path(u"bomb.lsn"_s)));
        manage->setExpandLimit(1 << 20);
        QVERIFY(load(path(u"bomb.lsn"_s)));
        QCOMPARE(manage->NodeCount(), 2);
        QVERIFY(!manage->NodeAt(2)->toolTip(0).isEmpty());
        QVERIFY(!QFile::exists(manage->TempFolder() + u"_0_1.txt"_s));
        QVERIFY(home->errorLog().contains("abandoned"));
    }

    void loadingClearsTheTemporaryFolder()
    {
        const QString stale = manage->TempFolder() + u"stale.jpg"_s;
        QVERIFY(WriteWholeFile(stale, "old"));
        QVERIFY(QDir().mkpath(manage->TempFolder() + u"keep"_s));
        QVERIFY(sampleCourse().save(path(u"c.lsn"_s)));
        QVERIFY(load(path(u"c.lsn"_s)));
        QVERIFY(!QFile::exists(stale));
        QVERIFY(QDir(manage->TempFolder() + u"keep"_s).exists());
    }

    // The host re-enters a class while the last entry's load still runs:
    // only the file asked for last may be reported, and only once.
    void aNewLoadReplacesTheRunningOne()
    {
        CoursewareBytes first;
        first.header(1, u"甲"_s, u"T"_s).folder(u"课程"_s, u"_0"_s);
        for (int i = 1; i <= 200; ++i)
            first.file(u"f.jpg"_s, u"_0_%1.jpg"_s.arg(i), patterned(50000, i));
        QVERIFY(first.save(path(u"a.lsn"_s)));
        QVERIFY(sampleCourse().save(path(u"b.lsn"_s)));
        QVERIFY(load(path(u"b.lsn"_s)));
        QVERIFY(manage->bIsOpened());

        QSignalSpy loaded(manage.get(), &Manage::CourseFileLoaded);
        manage->LoadCourseFile(path(u"a.lsn"_s));
        QVERIFY(!manage->bIsOpened()); // the old course does not count as the new one
        manage->LoadCourseFile(path(u"b.lsn"_s));
        QVERIFY(loaded.wait(20000));
        QTest::qWait(100);
        QCOMPARE(loaded.size(), 1);
        QCOMPARE(loaded.first().first().toBool(), true);
        QVERIFY(!manage->IsBusy());
        QVERIFY(manage->bIsOpened());
        QCOMPARE(manage->CourseName(), u"语文"_s);
        QCOMPARE(manage->CurrentFileName(), path(u"b.lsn"_s));
        QCOMPARE(keysInOrder(*manage),
            QStringList({u"_0"_s, u"_0_1"_s, u"_0_2"_s, u"_0_1_3"_s, u"_0_1_4"_s}));
        QCOMPARE(QDir(manage->TempFolder()).entryList(QDir::Files),
            QStringList({u"_0_1_3.jpg"_s, u"_0_1_4.mp3"_s}));
    }

    void clearAndTheHostCallOffALoad()
    {
        sampleCourse().save(path(u"c.lsn"_s));
        QVERIFY(load(path(u"c.lsn"_s)));
        manage->Clear();
        QVERIFY(!manage->bIsOpened());
        QCOMPARE(manage->NodeCount(), 0);

        QVERIFY(load(path(u"c.lsn"_s)));
        manage->setbIsOpened(false); // Disconnect
        QVERIFY(!manage->bIsOpened());
        QCOMPARE(manage->NodeCount(), 5);

        // Called off while reading: the late end must not set it back.
        for (const bool byClear : {false, true}) {
            QSignalSpy loaded(manage.get(), &Manage::CourseFileLoaded);
            manage->LoadCourseFile(path(u"c.lsn"_s));
            if (byClear)
                manage->Clear();
            else
                manage->setbIsOpened(false);
            QVERIFY(loaded.wait(20000));
            QCOMPARE(loaded.size(), 1);
            QCOMPARE(loaded.first().first().toBool(), false);
            QVERIFY(!manage->bIsOpened());
            QVERIFY(!manage->IsBusy());
        }
        QCOMPARE(manage->NodeCount(), 0);
    }

    void aLoadAskedForDuringASaveFollowsIt()
    {
        authorSmallCourse();
        sampleCourse().save(path(u"d.lsn"_s));
        QSignalSpy loaded(manage.get(), &Manage::CourseFileLoaded);
        chooser.answers = {path(u"saved.lsn"_s)};
        const qsizetype from = prompter.shown.size();
        manage->SaveCourse();
        QVERIFY(manage->IsBusy());
        manage->LoadCourseFile(path(u"d.lsn"_s));
        QVERIFY(loaded.wait(20000));
        QCOMPARE(saveEnds(from), QStringList{u"保存完毕"_s});
        QCOMPARE(loaded.first().first().toBool(), true);
        QCOMPARE(manage->CourseName(), u"语文"_s);
        QVERIFY(QFileInfo::exists(path(u"saved.lsn"_s)));
    }

    void createFolderRules()
    {
        manage->CreateFolder();
        QCOMPARE(manage->NodeCount(), 1);
        QTreeWidgetItem *root = manage->NodeAt(1);
        QCOMPARE(Manage::KeyOf(root), u"_0"_s);
        QCOMPARE(root->text(0), u"新建课件"_s);
        QCOMPARE(Manage::TagOf(root), u"新建课件"_s);
        QCOMPARE(manage->NextNodeNumber(), 1);
        QVERIFY(manage->IsModified());

        manage->CreateFolder(); // nothing selected: under the root
        QTreeWidgetItem *folder = manage->NodeByKey(u"_0_1"_s);
        QVERIFY(folder);
        QCOMPARE(folder->text(0), u"新建目录"_s);
        QCOMPARE(folder->parent(), root);

        manage->TreeView()->setCurrentItem(folder);
        manage->CreateFolder();
        QVERIFY(manage->NodeByKey(u"_0_1_2"_s));

        chooser.answers = {file(u"x.gif"_s)};
        manage->InsertFile();
        manage->TreeView()->setCurrentItem(manage->NodeByKey(u"_0_1_3"_s));
        manage->CreateFolder(); // a file selected: nothing
        QCOMPARE(manage->NodeCount(), 4);
        QCOMPARE(manage->NextNodeNumber(), 4);
    }

    void insertFileAsksWithTheFilterAndAddsUnderTheFolder()
    {
        const QString mov = file(u"clip.mov"_s);
        const QString avi = file(u"clip.avi"_s);
        chooser.answers = {mov, avi};
        manage->InsertFile(); // empty tree: the root is made and selected
        QCOMPARE(chooser.filters.first(),
            u"图片文件 (*.wmf,*.gif,*.jpg,*.png)|*.wmf;*.gif;*.jpg;*.png|Flash 文件 (*.swf)|*.swf|文本文件 (*.txt)|*.txt|HTML文件 (*.htm,*.html)|*.htm;*.html|声音文件 (*.wav;*.mp3)|*.wav;*.mp3|视频文件 (*.avi,*.mpeg,*.mpg)|*.avi;*.mpeg;*.mpg|全部文件 (*.*)|*.*"_s);
        QTreeWidgetItem *movNode = manage->NodeByKey(u"_0_1"_s);
        QVERIFY(movNode);
        QCOMPARE(movNode->text(0), u"clip.mov"_s);
        QCOMPARE(Manage::TagOf(movNode), mov);
        QCOMPARE(Manage::PictureOf(movNode), u"other"_s);

        manage->TreeView()->setCurrentItem(movNode); // a file: its folder is used
        manage->InsertFile();
        QTreeWidgetItem *aviNode = manage->NodeByKey(u"_0_2"_s);
        QVERIFY(aviNode);
        QCOMPARE(aviNode->parent(), manage->NodeByKey(u"_0"_s));

        QSignalSpy played(manage.get(), &Manage::OnPlay);
        manage->Play(2);
        QCOMPARE(played.last(), (QVariantList{2, mov, qint16(0)}));
        manage->Play(3);
        QCOMPARE(played.last(), (QVariantList{3, avi, qint16(OLE_Movie)}));
    }

    void insertUrl_data()
    {
        QTest::addColumn<QStringList>("answers");
        QTest::addColumn<QString>("caption");
        QTest::newRow("address") << QStringList{u"http://a.cn/p"_s} << u"http://a.cn/p.url"_s;
        QTest::newRow("left at http://") << QStringList{u"http://"_s} << QString();
        QTest::newRow("empty") << QStringList{QString()} << QString();
        QTest::newRow("cancelled") << QStringList() << QString();
    }

    void insertUrl()
    {
        QFETCH(QStringList, answers);
        QFETCH(QString, caption);
        prompter.textAnswers = answers;
        manage->InsertUrl();
        QCOMPARE(prompter.shown.size(), 1);
        QCOMPARE(prompter.shown.first().title, u"插入URL"_s);
        QCOMPARE(prompter.shown.first().text, u"请输入网址"_s);
        if (caption.isEmpty()) {
            QCOMPARE(manage->NodeCount(), 0);
            QVERIFY(!manage->IsModified());
            return;
        }
        QCOMPARE(manage->NodeCount(), 2);
        QTreeWidgetItem *node = manage->NodeAt(2);
        QCOMPARE(node->text(0), caption);
        QCOMPARE(Manage::TagOf(node), caption);
        QCOMPARE(Manage::PictureOf(node), u"url"_s);
        QVERIFY(manage->IsModified());
    }

    void renamingAWebAddressKeepsUrl_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("caption");
        QTest::newRow("plain") << u"学校主页"_s << u"学校主页.url"_s;
        QTest::newRow("already") << u"x.URL"_s << u"x.URL"_s;
    }

    void renamingAWebAddressKeepsUrl()
    {
        QFETCH(QString, typed);
        QFETCH(QString, caption);
        prompter.textAnswers = {u"http://a.cn"_s};
        manage->InsertUrl();
        QTreeWidgetItem *node = manage->NodeAt(2);
        node->setText(0, typed); // what an in-place edit commits
        QCOMPARE(node->text(0), caption);
        QCOMPARE(Manage::TagOf(node), u"http://a.cn.url"_s);

        manage->CreateFolder();
        QTreeWidgetItem *folder = manage->NodeAt(3);
        folder->setText(0, typed);
        QCOMPARE(folder->text(0), typed);
    }

    void pressesSetTheMenuAndConnectedShutsItOff()
    {
        authorSmallCourse();
        QTreeWidgetItem *folder = manage->NodeByKey(u"_0_1"_s);
        QTreeWidgetItem *image = manage->NodeByKey(u"_0_1_3"_s);
        manage->TreeView()->clearSelection();

        pressOn(folder, Qt::LeftButton);
        QCOMPARE(manage->TreeView()->currentItem(), folder);
        QVERIFY(action(u"创建目录"_s)->isEnabled());
        QVERIFY(!action(u"播放(&P)"_s)->isEnabled());
        QVERIFY(!action(u"编辑(&E)"_s)->isEnabled());
        QVERIFY(action(u"删除(&D)"_s)->isEnabled());

        pressOn(image, Qt::RightButton);
        QCOMPARE(manage->TreeView()->currentItem(), image);
        QVERIFY(!action(u"创建目录"_s)->isEnabled());
        QVERIFY(action(u"播放(&P)"_s)->isEnabled());
        QVERIFY(action(u"编辑(&E)"_s)->isEnabled());
        QVERIFY(action(u"属性(&R)"_s)->isEnabled());
        QTRY_VERIFY(manage->PopupMenu()->isVisible());
        manage->PopupMenu()->hide();

        pressOn(nullptr, Qt::LeftButton);
        for (const QString &text :
            {u"播放(&P)"_s, u"编辑(&E)"_s, u"删除(&D)"_s, u"重命名(&M)"_s, u"属性(&R)"_s})
            QVERIFY2(!action(text)->isEnabled(), qPrintable(text));

        manage->setConnected(true);
        manage->TreeView()->setCurrentItem(folder);
        pressOn(image, Qt::RightButton);
        QCOMPARE(manage->TreeView()->currentItem(), folder);
        QTest::qWait(20);
        QVERIFY(!manage->PopupMenu()->isVisible());
        QVERIFY(!manage->PopupMenu()->isEnabled());
        QVERIFY(!manage->OpenButton()->isEnabled());
        QVERIFY(!manage->SaveButton()->isEnabled());
        QVERIFY(!manage->NewButton()->isEnabled());
        QCOMPARE(manage->TreeView()->editTriggers(), QAbstractItemView::NoEditTriggers);
        dropNode(u"_0_1_3"_s, u"_0_2"_s);
        QVERIFY2(manage->NodeByKey(u"_0_1_3"_s), "no drops in class");

        manage->setConnected(false);
        QVERIFY(manage->OpenButton()->isEnabled());
        QVERIFY(manage->PopupMenu()->isEnabled());
        QVERIFY(manage->TreeView()->editTriggers() != QAbstractItemView::NoEditTriggers);
        pressOn(image, Qt::LeftButton);
        QCOMPARE(manage->TreeView()->currentItem(), image);
    }

    void doubleClickAndEnterPlay()
    {
        authorSmallCourse();
        QSignalSpy played(manage.get(), &Manage::OnPlay);
        QTreeWidgetItem *image = manage->NodeByKey(u"_0_1_3"_s);
        const QPoint at = manage->TreeView()->visualItemRect(image).center();
        QTest::mouseDClick(manage->TreeView()->viewport(), Qt::LeftButton, Qt::NoModifier, at);
        QCOMPARE(played.size(), 1);
        QCOMPARE(played.last().first().toInt(), 4);
        QTest::keyClick(manage->TreeView(), Qt::Key_Return);
        QCOMPARE(played.size(), 2);
    }

    void draggedNodesMove()
    {
        authorSmallCourse();
        const QString aPath = Manage::TagOf(manage->NodeByKey(u"_0_1_3"_s));
        QCOMPARE(keysInOrder(*manage),
            (QStringList{u"_0"_s, u"_0_1"_s, u"_0_2"_s, u"_0_1_3"_s, u"_0_1_4"_s}));

        // Onto another folder: last child there, new key, last position.
        dropNode(u"_0_1_3"_s, u"_0_2"_s);
        QVERIFY(!manage->NodeByKey(u"_0_1_3"_s));
        QTreeWidgetItem *moved = manage->NodeByKey(u"_0_2_3"_s);
        QVERIFY(moved);
        QCOMPARE(moved->parent(), manage->NodeByKey(u"_0_2"_s));
        QCOMPARE(Manage::TagOf(moved), aPath);
        QCOMPARE(moved->text(0), u"a.jpg"_s);
        QCOMPARE(Manage::PictureOf(moved), u"jpg"_s);
        QCOMPARE(keysInOrder(*manage),
            (QStringList{u"_0"_s, u"_0_1"_s, u"_0_2"_s, u"_0_1_4"_s, u"_0_2_3"_s}));
        QVERIFY(manage->IsModified());

        // Onto a file: right after it, under its folder.
        manage->TreeView()->setCurrentItem(manage->NodeByKey(u"_0_2"_s));
        chooser.answers = {file(u"c.png"_s)};
        manage->InsertFile(); // _0_2_5 after _0_2_3
        dropNode(u"_0_1_4"_s, u"_0_2_3"_s);
        QCOMPARE(childKeys(manage->NodeByKey(u"_0_2"_s)),
            (QStringList{u"_0_2_3"_s, u"_0_2_4"_s, u"_0_2_5"_s}));

        // Within one folder: reorder, same key.
        dropNode(u"_0_2_3"_s, u"_0_2_5"_s);
        QCOMPARE(childKeys(manage->NodeByKey(u"_0_2"_s)),
            (QStringList{u"_0_2_4"_s, u"_0_2_5"_s, u"_0_2_3"_s}));

        // Things that do not move: a folder, onto itself, onto its own folder.
        const QStringList before = keysInOrder(*manage);
        dropNode(u"_0_1"_s, u"_0_2"_s);
        dropNode(u"_0_2_5"_s, u"_0_2_5"_s);
        dropNode(u"_0_2_5"_s, u"_0_2"_s);
        dropNode(u"no such key"_s, u"_0_2"_s);
        QCOMPARE(keysInOrder(*manage), before);
    }

    void droppedDesktopFiles()
    {
        authorSmallCourse();
        manage->TreeView()->setCurrentItem(manage->NodeByKey(u"_0_1_3"_s));
        const QString doc = file(u"report.doc"_s);
        const QString jpg = file(u"photo.jpg"_s);
        const QString page = file(u"page.HTML"_s);
        dropFiles(manage->NodeByKey(u"_0_1_3"_s), {doc, jpg, page});
        QTreeWidgetItem *folder = manage->NodeByKey(u"_0_1"_s);
        QCOMPARE(folder->childCount(), 4);
        QCOMPARE(folder->child(2)->text(0), u"photo.jpg"_s);
        QCOMPARE(Manage::TagOf(folder->child(2)), jpg);
        QCOMPARE(Manage::PictureOf(folder->child(3)), u"ie"_s);
        QCOMPARE(prompter.shown.size(), 1);
        QCOMPARE(prompter.shown.first().title, u"不支持这些格式的文件"_s);
        QCOMPARE(prompter.shown.first().text, u"\r\n"_s + doc);
    }

    void droppedFilesOnAnEmptyTreeMakeTheRoot()
    {
        const QString wav = file(u"a.wav"_s);
        dropFiles(nullptr, {wav});
        QCOMPARE(keysInOrder(*manage), (QStringList{u"_0"_s, u"_0_1"_s}));
        QCOMPARE(Manage::PictureOf(manage->NodeAt(2)), u"wav"_s);
        QVERIFY(prompter.shown.isEmpty());
    }

    void deleteAsksFirst()
    {
        authorSmallCourse();
        manage->TreeView()->setCurrentItem(manage->NodeByKey(u"_0_1"_s));
        prompter.answers = {Global::PromptAnswer::Cancel, Global::PromptAnswer::Ok};
        manage->DeleteSelected();
        QCOMPARE(manage->NodeCount(), 5);
        QCOMPARE(prompter.shown.last().text, u"确定要删除这个节点和它的子节点吗？"_s);
        QCOMPARE(prompter.shown.last().buttons, Global::PromptButtons::OkCancel);
        manage->DeleteSelected();
        QCOMPARE(keysInOrder(*manage), (QStringList{u"_0"_s, u"_0_2"_s}));
        QSignalSpy played(manage.get(), &Manage::OnPlay);
        manage->Play(2);
        QCOMPARE(played.last().first().toInt(), 2);
    }

    void propertiesWindowText()
    {
        authorSmallCourse();
        const QString aPath = Manage::TagOf(manage->NodeByKey(u"_0_1_3"_s));
        manage->TreeView()->setCurrentItem(manage->NodeByKey(u"_0_1_3"_s));
        manage->ShowProperties();
        QVERIFY(manage->PropertiesWindow()->isVisible());
        QCOMPARE(manage->PropertiesWindow()->windowTitle(), u"节点属性"_s);
        QCOMPARE(manage->PropertiesWindow()->text(),
            u"节点编号：_0_1_3\r\n节点类型：文件\r\n节点名称：a.jpg\r\n文件类型：.jpg\r\n文件名称："_s
                + aPath);
        manage->TreeView()->setCurrentItem(manage->NodeByKey(u"_0_1"_s));
        manage->ShowProperties();
        QCOMPARE(manage->PropertiesWindow()->text(),
            u"节点编号：_0_1\r\n节点类型：目录\r\n节点名称：新建目录\r\n文件类型：\r\n文件名称：新建目录"_s);
    }

    void teacherName()
    {
        prompter.textAnswers = {u"  "_s, u"张老师"_s};
        manage->AskTeacherName();
        QCOMPARE(manage->TeacherName(), u"Lumo Class Instructer"_s);
        manage->AskTeacherName();
        QCOMPARE(manage->TeacherName(), u"张老师"_s);
        QCOMPARE(prompter.shown.first().title, u"LumoInstucter"_s);
        QCOMPARE(prompter.shown.first().text, u"请输入主讲人名称"_s);
        QVERIFY(!manage->IsModified());
    }

    void editOpensThroughTheShellAndReportsFailures_data()
    {
        QTest::addColumn<int>("result");
        QTest::addColumn<QString>("message");
        QTest::newRow("opened") << 42 << QString();
        QTest::newRow("file") << 2 << u"指定文件没有找到！"_s;
        QTest::newRow("path") << 3 << u"指定路径没有找到！"_s;
        QTest::newRow("memory") << 8 << u"没有足够的内存运行指定程序！"_s;
        QTest::newRow("other") << 31 << u"打开指定文件出错！"_s;
    }

    void editOpensThroughTheShellAndReportsFailures()
    {
        QFETCH(int, result);
        QFETCH(QString, message);
        QVERIFY(sampleCourse().save(path(u"c.lsn"_s)));
        QVERIFY(load(path(u"c.lsn"_s)));
        shellResult = result;
        manage->TreeView()->setCurrentItem(manage->NodeByKey(u"_0_1_3"_s));
        manage->EditSelected();
        QCOMPARE(shellOpened, QStringList{manage->TempFolder() + u"_0_1_3.jpg"_s});
        QCOMPARE(prompter.shown.size(), message.isEmpty() ? 0 : 1);
        if (!message.isEmpty())
            QCOMPARE(prompter.shown.first().text, message);
        manage->TreeView()->setCurrentItem(manage->NodeByKey(u"_0_1"_s));
        manage->EditSelected();
        QCOMPARE(shellOpened.size(), 1);
    }

    void savesAndLoadsBack()
    {
        authorSmallCourse();
        manage->TreeView()->clearSelection(); // nothing selected: under the root
        prompter.textAnswers = {u"http://a.cn"_s};
        manage->InsertUrl();
        manage->setTeacherName(u"周老师"_s);
        const QString lsn = path(u"saved.lsn"_s);
        chooser.answers = {lsn};
        QCOMPARE(saveAndWait(), u"保存完毕"_s);
        QCOMPARE(chooser.filters.last(), u"Lumo Class 课件文件 (*.lsn)|*.lsn"_s);
        QVERIFY(!manage->IsModified());
        QCOMPARE(manage->CurrentFileName(), lsn);

        const Courseware::ReadResult result = Courseware::ReadCoursewareFile(lsn);
        QCOMPARE(result.courseName, u"新建课件"_s);
        QCOMPARE(result.teacherName, u"周老师"_s);
        QStringList keys;
        for (const Courseware::CourseRecord &r : result.records)
            keys.append(r.key);
        QCOMPARE(keys,
            (QStringList{u"_0"_s, u"_0_1"_s, u"_0_2"_s, u"_0_5"_s, u"_0_1_3"_s, u"_0_1_4"_s}));

        // Loaded back: the files come from the temporary folder, and saving
        // again gives the same bytes.
        QVERIFY(load(lsn));
        const QString copy = path(u"copy.lsn"_s);
        chooser.answers = {copy};
        QCOMPARE(saveAndWait(), u"保存完毕"_s);
        QCOMPARE(ReadWholeFile(copy), ReadWholeFile(lsn));
    }

    void overwriteIsAskedAndCancelKeepsTheFile()
    {
        authorSmallCourse();
        const QString lsn = file(u"exists.lsn"_s, "old bytes");
        chooser.answers = {lsn, u"*.lsn"_s, QString()};
        prompter.answers = {Global::PromptAnswer::Cancel};
        manage->SaveCourse();
        manage->SaveCourse();
        manage->SaveCourse();
        QCOMPARE(prompter.shown.size(), 1);
        QCOMPARE(prompter.shown.first().text, u"文件已经存在，是否覆盖？"_s);
        QCOMPARE(prompter.shown.first().title, u"LumoClass 系统提示："_s);
        QCOMPARE(ReadWholeFile(lsn), QByteArray("old bytes"));
        QVERIFY(!manage->IsBusy());
    }

    void failedSaveKeepsTheOldFileAndSaysSo()
    {
        authorSmallCourse();
        QFile::remove(path(u"a.jpg"_s));
        const QString lsn = file(u"exists.lsn"_s, "old bytes");
        chooser.answers = {lsn};
        prompter.answers = {Global::PromptAnswer::Ok};
        QVERIFY(saveAndWait().startsWith(u"保存课件文件失败"_s));
        QCOMPARE(ReadWholeFile(lsn), QByteArray("old bytes"));
        QVERIFY(manage->IsModified());
    }

    void unsavedChangesAreAskedAboutBeforeLoading()
    {
        QVERIFY(sampleCourse().save(path(u"c.lsn"_s)));
        manage->CreateFolder();
        prompter.answers = {Global::PromptAnswer::Cancel};
        QSignalSpy loaded(manage.get(), &Manage::CourseFileLoaded);
        manage->LoadCourseFile(path(u"c.lsn"_s));
        QTest::qWait(50);
        QVERIFY(loaded.isEmpty());
        QCOMPARE(manage->NodeCount(), 1);

        prompter.answers = {Global::PromptAnswer::No};
        QVERIFY(load(path(u"c.lsn"_s)));
        QCOMPARE(manage->NodeCount(), 5);
        QVERIFY(!manage->IsModified());
    }

    void newButtonKeepsCounterAndMark()
    {
        authorSmallCourse();
        prompter.answers = {Global::PromptAnswer::No};
        manage->NewButton()->click();
        QCOMPARE(manage->NodeCount(), 0);
        QCOMPARE(manage->NextNodeNumber(), 5);
        manage->Clear();
        manage->CreateFolder();
        QCOMPARE(manage->NextNodeNumber(), 1);
    }

    void layoutLeavesARowForTheButtons()
    {
        manage->resize(300, 200);
        QCOMPARE(manage->TreeView()->geometry(), QRect(0, 0, 300, 175));
        const QRect open = manage->OpenButton()->geometry();
        const QRect save = manage->SaveButton()->geometry();
        const QRect fresh = manage->NewButton()->geometry();
        QCOMPARE(open.topLeft(), QPoint(0, 177));
        QCOMPARE(save.left(), open.right() + 1);
        QCOMPARE(fresh.left(), save.right() + 1);
        QCOMPARE(save.top(), 177);
        QCOMPARE(manage->OpenButton()->text(), u"打开"_s);
        QCOMPARE(manage->SaveButton()->text(), u"保存"_s);
        QCOMPARE(manage->NewButton()->text(), u"新建"_s);
    }

    void menuItemsInOrder()
    {
        QStringList texts;
        const QList<QAction *> actions = manage->PopupMenu()->actions();
        for (QAction *a : actions)
            texts.append(a->isSeparator() ? u"-"_s : a->text());
        QCOMPARE(texts,
            (QStringList{u"创建目录"_s, u"插入文件"_s, u"插入URL"_s, u"-"_s, u"播放(&P)"_s,
                u"编辑(&E)"_s, u"-"_s, u"删除(&D)"_s, u"重命名(&M)"_s, u"-"_s, u"主讲人名称(&N)"_s,
                u"属性(&R)"_s}));
    }

    void everyPictureHasItsOwnIcon()
    {
        QList<QImage> seen;
        const QStringList keys = Courseware::PictureKeys();
        QCOMPARE(keys.size(), 13);
        for (const QString &key : keys) {
            const QImage image = CourseIcons::icon(key).pixmap(32, 32).toImage();
            QVERIFY2(!image.isNull(), qPrintable(key));
            QVERIFY2(!seen.contains(image), qPrintable(key));
            seen.append(image);
        }
    }
};

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ManageTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "manage_test.moc"
