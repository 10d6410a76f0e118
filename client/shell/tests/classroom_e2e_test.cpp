// Two real student programs in one class against the local servers: the
// teacher acts through the servers' console, the students through the
// program's command input (--commands), and every check reads what a
// program reports or a picture it saved of its own window.
#include "client/shell/tests/programrun.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QJsonArray>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

const QString kPutOut = u"该用户已和服务器断开"_s;

// The demo course's node 8 is a picture (a green slide).
bool IsSlideGreen(const QColor &c)
{
    return c.green() > c.red() + 40 && c.green() > c.blue() + 30;
}

bool IsRed(const QColor &c)
{
    return c.red() > 180 && c.green() < 80 && c.blue() < 80;
}

// Whether a red pixel lies within `reach` pixels of `at` along a row.
bool RedNear(const QImage &image, QPoint at, int reach = 3)
{
    for (int dx = -reach; dx <= reach; ++dx) {
        const QPoint p = at + QPoint(dx, 0);
        if (image.rect().contains(p) && IsRed(image.pixelColor(p)))
            return true;
    }
    return false;
}

// One LumoStudent process with its own data folder.
class Student
{
public:
    Student(const QString &folder, const QString &name)
        : m_data(folder + u'/' + name)
        , m_pictures(folder + u'/' + name + u"-pictures"_s)
    {
        QDir().mkpath(m_data + u"/Course"_s);
        QFile::copy(ProgramRun::binFolder() + u"demo/courses/campus7/demo.lsn"_s,
            m_data + u"/Course/demo.lsn"_s);
    }

    void start(const SimRun &sim, const QString &user, const QString &password)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        if (!env.contains(u"DISPLAY"_s) && !env.contains(u"QT_QPA_PLATFORM"_s))
            env.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
        run = std::make_unique<ProgramRun>(u"LumoStudent"_s,
            QStringList{u"--data"_s, m_data, u"--auto"_s, u"--commands"_s, u"--screenshots"_s,
                m_pictures, u"--campus"_s, u"127.0.0.1:%1"_s.arg(sim.campus()), u"--web"_s,
                u"127.0.0.1:%1"_s.arg(sim.web()), u"--user"_s, user, u"--password"_s, password,
                u"--enter"_s, u"12"_s},
            env);
    }

    bool entered(int timeoutMs = 40000)
    {
        return run->waitForEvent(u"entry"_s, u"InClass"_s, timeoutMs);
    }

    // The note history now.
    QString notes()
    {
        const qsizetype from = run->lineCount();
        run->send(u"notes"_s);
        QString text;
        run->waitFrom(
            from,
            [&](const QJsonObject &line) {
                if (line.value(u"event"_s).toString() != u"notes"_s)
                    return false;
                text = line.value(u"text"_s).toString();
                return true;
            },
            5000);
        return text;
    }

    bool notesContain(const QString &text, int timeoutMs = 10000)
    {
        return QTest::qWaitFor([&] { return notes().contains(text); }, timeoutMs);
    }

    QList<int> users()
    {
        const qsizetype from = run->lineCount();
        run->send(u"users"_s);
        QList<int> ids;
        run->waitFrom(
            from,
            [&](const QJsonObject &line) {
                if (line.value(u"event"_s).toString() != u"users"_s)
                    return false;
                for (const QJsonValue &id : line.value(u"ids"_s).toArray())
                    ids << id.toInt();
                return true;
            },
            5000);
        return ids;
    }

    // The whiteboard area as the program shows it.
    QImage board(const QString &name)
    {
        const qsizetype from = run->lineCount();
        run->send(u"picture "_s + name);
        QString file;
        run->waitFrom(
            from,
            [&](const QJsonObject &line) {
                if (line.value(u"event"_s).toString() != u"picture"_s
                    || line.value(u"what"_s).toString() != u"board"_s)
                    return false;
                file = line.value(u"file"_s).toString();
                return true;
            },
            5000);
        return QImage(file);
    }

    // The next command-error after the first `from` lines.
    bool commandRefused(qsizetype from, const QString &reason)
    {
        return run->waitFrom(
            from,
            [&](const QJsonObject &line) {
                return line.value(u"event"_s).toString() == u"command-error"_s
                    && line.value(u"reason"_s).toString() == reason;
            },
            5000);
    }

    // The "command" event of `line` after the first `from` lines, with its
    // result ("done" or "refused").
    bool commandAnswered(qsizetype from, const QString &line, const QString &result)
    {
        return run->waitFrom(
            from,
            [&](const QJsonObject &l) {
                return l.value(u"event"_s).toString() == u"command"_s
                    && l.value(u"command"_s).toString() == line
                    && l.value(u"result"_s).toString() == result;
            },
            5000);
    }

    std::unique_ptr<ProgramRun> run;

private:
    QString m_data;
    QString m_pictures;
};

class ClassroomE2e : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!QFile::exists(ProgramRun::binFolder() + u"LumoStudent"_s)
            || !QFile::exists(ProgramRun::binFolder() + u"lumo-classroom-sim"_s))
            GTEST_SKIP() << "LumoStudent or lumo-classroom-sim not built";
        ASSERT_TRUE(dir.isValid());
        const QString courses = dir.path() + u"/courses"_s;
        QDir().mkpath(courses + u"/campus7"_s);
        QFile::copy(ProgramRun::binFolder() + u"demo/courses/campus7/demo.lsn"_s,
            courses + u"/campus7/demo.lsn"_s);
        sim = std::make_unique<SimRun>(dir.path(), SimRun::DemoConfig(courses), true);
        ASSERT_TRUE(sim->ready()) << sim->program().transcript().toStdString();
    }

    // A teacher command, confirmed by the servers.
    void teacher(const QString &line)
    {
        const qsizetype from = sim->program().lineCount();
        sim->program().send(line);
        EXPECT_TRUE(sim->program().waitFrom(
            from,
            [&](const QJsonObject &l) {
                return l.value(u"sim"_s).toString() == u"done"_s
                    && l.value(u"command"_s).toString() == line;
            },
            5000))
            << line.toStdString() << "\n"
            << sim->program().transcript().toStdString();
    }

    // Index of the first servers' line satisfying `match`, or -1.
    qsizetype simLine(const std::function<bool(const QJsonObject &)> &match) const
    {
        const QList<QJsonObject> lines = sim->program().lines();
        for (qsizetype i = 0; i < lines.size(); ++i)
            if (match(lines.at(i)))
                return i;
        return -1;
    }

    // Every student has handled what was sent before this note.
    void settle(std::initializer_list<Student *> students)
    {
        const QString marker = u"marker-%1"_s.arg(++m_markers);
        teacher(u"note "_s + marker);
        for (Student *s : students)
            EXPECT_TRUE(s->notesContain(marker)) << marker.toStdString();
    }

    std::string transcripts(std::initializer_list<Student *> students) const
    {
        QString out = u"=== sim ===\n"_s + sim->program().transcript();
        for (Student *s : students)
            out += u"\n=== student ===\n"_s + (s->run ? s->run->transcript() : QString());
        return out.toStdString();
    }

    QTemporaryDir dir;
    std::unique_ptr<SimRun> sim;
    int m_markers = 0;
};

} // namespace

TEST_F(ClassroomE2e, TwoStudentsShareOneLesson)
{
    Student demo(dir.path(), u"demo"_s);
    Student guest(dir.path(), u"guest"_s);
    demo.start(*sim, u"demo"_s, u"demo"_s);
    ASSERT_TRUE(demo.entered()) << transcripts({&demo});

    // While guest's entry pauses after the first roster, the teacher
    // shows a picture and writes: neither is lost, both show after entry.
    guest.start(*sim, u"guest"_s, u"guest"_s);
    ASSERT_TRUE(guest.run->waitForEvent(u"entry"_s, u"Pausing"_s, 40000))
        << transcripts({&demo, &guest});
    teacher(u"play 8"_s);
    teacher(u"note 进入时的通知"_s);
    ASSERT_TRUE(guest.entered()) << transcripts({&demo, &guest});
    ASSERT_TRUE(sim->program().waitFor([](const QJsonObject &l) {
        return l.value(u"sim"_s).toString() == u"ready"_s && l.value(u"UserID"_s).toInt() == 1004;
    }));
    const qsizetype noteSent = simLine([](const QJsonObject &l) {
        return l.value(u"command"_s).toString() == u"note 进入时的通知"_s;
    });
    const qsizetype guestReady = simLine([](const QJsonObject &l) {
        return l.value(u"sim"_s).toString() == u"ready"_s && l.value(u"UserID"_s).toInt() == 1004;
    });
    ASSERT_GE(noteSent, 0);
    EXPECT_LT(noteSent, guestReady) << "the note was meant to reach guest during entry";
    EXPECT_TRUE(guest.notesContain(u"进入时的通知"_s)) << transcripts({&guest});

    // Each sees the other: demo is told of guest's arrival, guest finds
    // demo in the roster he entered with.
    EXPECT_TRUE(demo.notesContain(u"[guest来了]"_s)) << transcripts({&demo});
    EXPECT_TRUE(guest.users().contains(1001));

    // A note to everybody from guest, one to guest alone from demo, one to
    // demo alone from the teacher.
    guest.run->send(u"say 大家好 from guest"_s);
    demo.run->send(u"say to=1004 只给guest"_s);
    teacher(u"note to=1001 只给demo"_s);
    settle({&demo, &guest});
    const QString demoNotes = demo.notes();
    const QString guestNotes = guest.notes();
    EXPECT_EQ(demoNotes.count(u"大家好 from guest"_s), 1) << demoNotes.toStdString();
    EXPECT_EQ(guestNotes.count(u"大家好 from guest"_s), 1) << guestNotes.toStdString();
    EXPECT_TRUE(guestNotes.contains(u"只给guest"_s));
    EXPECT_TRUE(demoNotes.contains(u"只给demo"_s));
    EXPECT_FALSE(guestNotes.contains(u"只给demo"_s));

    // The teacher's rectangle (twips 600..3600 × 600..2400, 15 a pixel)
    // over the picture played during guest's entry, on both boards.
    teacher(u"rect 600 600 3600 2400 color=#ff0000 width=3"_s);
    settle({&demo, &guest});
    for (Student *s : {&demo, &guest}) {
        const QImage board = s->board(u"rect"_s);
        ASSERT_FALSE(board.isNull());
        const qreal scale = board.devicePixelRatio();
        auto at = [scale](int x, int y) { return QPoint(qRound(x * scale), qRound(y * scale)); };
        EXPECT_TRUE(RedNear(board, at(40, 100))) << "left edge";
        EXPECT_TRUE(RedNear(board, at(240, 100))) << "right edge";
        EXPECT_FALSE(RedNear(board, at(140, 100), 0)) << "the inside is not filled";
        const QColor background
            = board.pixelColor(qRound(board.width() * 0.9), qRound(board.height() * 0.6));
        EXPECT_TRUE(IsSlideGreen(background)) << background.name().toStdString();
    }

    // The teacher's question over the picture: each student clicks an
    // answer button where the bar shows it; a button the question does not
    // offer cannot be pressed.
    teacher(u"yesno 看懂了吗？"_s);
    settle({&demo, &guest});
    qsizetype asked = guest.run->lineCount();
    guest.run->send(u"answer ok"_s);
    EXPECT_TRUE(guest.commandAnswered(asked, u"answer ok"_s, u"refused"_s))
        << transcripts({&guest});
    demo.run->send(u"answer yes"_s);
    guest.run->send(u"answer no"_s);
    for (const auto &[id, yes] : {std::pair{1001, true}, std::pair{1004, false}}) {
        EXPECT_TRUE(sim->program().waitFor([id, yes](const QJsonObject &l) {
            return l.value(u"sim"_s).toString() == u"answer"_s && l.value(u"UserID"_s).toInt() == id
                && l.value(u"boolYes"_s).toBool() == yes;
        })) << transcripts({&demo, &guest});
    }
    asked = demo.run->lineCount();
    demo.run->send(u"answer yes"_s);
    EXPECT_TRUE(demo.commandAnswered(asked, u"answer yes"_s, u"refused"_s));

    // The notes switch: guest's send command is off until it is on again.
    teacher(u"notes off"_s);
    settle({&guest});
    qsizetype from = guest.run->lineCount();
    guest.run->send(u"say 不该发出"_s);
    EXPECT_TRUE(guest.commandRefused(from, u"sending is off"_s));
    teacher(u"notes on"_s);
    settle({&guest});
    guest.run->send(u"say 又可以说话了"_s);
    EXPECT_TRUE(demo.notesContain(u"又可以说话了"_s));
    EXPECT_FALSE(demo.notes().contains(u"不该发出"_s));

    // The same account logging in to the classroom elsewhere puts guest
    // out: he is told, his connection ends, and demo sees him go.
    ProgramRun elsewhere(u"lumo-cli"_s,
        {u"--host"_s, u"127.0.0.1"_s, u"--port"_s, QString::number(sim->classroom()), u"--id"_s,
            u"1004"_s, u"--password"_s, u"guest"_s});
    ASSERT_TRUE(elsewhere.started());
    EXPECT_TRUE(guest.run->waitForEvent(u"prompt"_s, kPutOut, 20000))
        << transcripts({&guest}) << elsewhere.transcript().toStdString();
    EXPECT_TRUE(guest.run->waitForEvent(u"stage"_s, u"断开"_s, 10000)) << transcripts({&guest});
    EXPECT_TRUE(demo.notesContain(u"[guest走了]"_s));
    EXPECT_EQ(guest.run->process().state(), QProcess::Running);
}

TEST_F(ClassroomE2e, TheClassRecordOutlivesAKilledProgram)
{
    Student demo(dir.path(), u"demo"_s);
    demo.start(*sim, u"demo"_s, u"demo"_s);
    ASSERT_TRUE(demo.entered()) << transcripts({&demo});
    teacher(u"play 8"_s);
    teacher(u"rect 600 600 3600 2400 color=#ff0000 width=3"_s);
    teacher(u"note to=1001 只给demo的话"_s);
    demo.run->send(u"say 我记下了"_s);
    settle({&demo});
    // The next item: the picture with the rectangle is kept as a page.
    teacher(u"play 8"_s);
    settle({&demo});

    // SIGKILL: nothing of the program's own ending runs.
    demo.run->process().kill();
    ASSERT_TRUE(demo.run->process().waitForFinished(5000));
    const QString history = dir.path() + u"/demo/History"_s;
    const QStringList records = QDir(history).entryList({u"*.notes"_s}, QDir::Files);
    ASSERT_EQ(records.size(), 1) << history.toStdString();
    // A line torn by a crash while writing (cut inside a character).
    {
        QFile record(history + u'/' + records.first());
        ASSERT_TRUE(record.open(QIODevice::Append));
        record.write(QByteArray("T\xe5\x8d\x8a\xe8\xa1\x8c\xe5\x8d", 9));
    }
    // Among the kept pages, the picture with the teacher's rectangle.
    bool drawnPageKept = false;
    for (const QFileInfo &folder :
        QDir(history).entryInfoList({u"*.pages"_s}, QDir::Dirs | QDir::NoDotAndDotDot)) {
        for (const QFileInfo &file : QDir(folder.filePath()).entryInfoList(QDir::Files)) {
            const QImage page(file.filePath());
            ASSERT_FALSE(page.isNull()) << file.filePath().toStdString();
            drawnPageKept = drawnPageKept
                || (RedNear(page, QPoint(40, 100))
                    && IsSlideGreen(
                        page.pixelColor(page.width() * 9 / 10, page.height() * 6 / 10)));
        }
    }
    EXPECT_TRUE(drawnPageKept);

    // Started again, the same class shows its lines once, the torn one
    // not at all, and goes on recording after them.
    demo.start(*sim, u"demo"_s, u"demo"_s);
    ASSERT_TRUE(demo.entered()) << transcripts({&demo});
    teacher(u"note 回来以后"_s);
    settle({&demo});
    const QString notes = demo.notes();
    EXPECT_EQ(notes.count(u"只给demo的话"_s), 1) << notes.toStdString();
    EXPECT_EQ(notes.count(u"你说：我记下了"_s), 1) << notes.toStdString();
    EXPECT_FALSE(notes.contains(u"半"_s)) << notes.toStdString();
    EXPECT_LT(notes.indexOf(u"我记下了"_s), notes.indexOf(u"回来以后"_s));
    QFile record(history + u'/' + records.first());
    ASSERT_TRUE(record.open(QIODevice::ReadOnly));
    const QByteArray bytes = record.readAll();
    EXPECT_TRUE(bytes.endsWith('\n'));
    EXPECT_EQ(bytes.count(QByteArray("T\xe5\x8d\x8a")), 0);
    EXPECT_EQ(QString::fromUtf8(bytes).count(u"回来以后"_s), 1);
}
