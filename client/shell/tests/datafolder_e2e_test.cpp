// A run with --data keeps its files inside that folder: the program's own
// and those of the libraries it loads on the way through a class (the
// browser engine, the media framework, the GL driver, the sound library).
// The student runs under a fresh, empty home folder that must stay empty.
#include "client/shell/tests/programrun.h"
#include "common/testsupport/qtprinters.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace {

QStringList filesUnder(const QString &folder)
{
    QStringList found;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot | QDir::System,
        QDirIterator::Subdirectories);
    while (it.hasNext())
        found << it.next().mid(folder.size());
    return found;
}

TEST(DataFolder, AClassWithWebAndMediaItemsWritesNothingIntoTheHomeFolder)
{
    const QString bin = ProgramRun::binFolder();
    const QString built = bin + QStringLiteral("demo/courses/campus7/demo.lsn");
    if (!QFile::exists(bin + QStringLiteral("LumoStudent")) || !QFile::exists(built))
        GTEST_SKIP() << "LumoStudent or the demo course not built";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString home = dir.path() + QStringLiteral("/home");
    const QString data = dir.path() + QStringLiteral("/student");
    const QString courses = dir.path() + QStringLiteral("/courses");
    for (const QString &folder :
        {home, data + QStringLiteral("/Course"), courses + QStringLiteral("/campus7")})
        ASSERT_TRUE(QDir().mkpath(folder));
    QFile::copy(built, courses + QStringLiteral("/campus7/demo.lsn"));
    QFile::copy(built, data + QStringLiteral("/Course/demo.lsn"));

    SimRun sim(dir.path(), SimRun::DemoConfig(courses), true);
    ASSERT_TRUE(sim.ready());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), home);
    // Whatever the machine points elsewhere, the run starts from the
    // defaults, which name the home folder.
    for (const char *name : {"XDG_CACHE_HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_STATE_HOME",
             "PULSE_COOKIE", "MESA_SHADER_CACHE_DIR", "GST_REGISTRY"})
        env.remove(QString::fromLatin1(name));
    if (!env.contains(QStringLiteral("DISPLAY")))
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    ProgramRun student(QStringLiteral("LumoStudent"),
        {QStringLiteral("--data"), data, QStringLiteral("--auto"), QStringLiteral("--campus"),
            QStringLiteral("127.0.0.1:%1").arg(sim.campus()), QStringLiteral("--web"),
            QStringLiteral("127.0.0.1:%1").arg(sim.web()), QStringLiteral("--user"),
            QStringLiteral("demo"), QStringLiteral("--password"), QStringLiteral("demo"),
            QStringLiteral("--enter"), QStringLiteral("12")},
        env);
    ASSERT_TRUE(student.started());
    ASSERT_TRUE(student.waitForEvent(QStringLiteral("stage"), QStringLiteral("in class"), 30000))
        << student.transcript().toStdString();

    // The course's web page (the browser engine), then its sound (the media
    // framework, which builds its plugin registry at first use).
    sim.program().send(QStringLiteral("play 6"));
    sim.program().send(QStringLiteral("play 7 media"));
    const QString registry = data + QStringLiteral("/cache/gstreamer-1.0");
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return !QDir(registry).entryList(QDir::Files).isEmpty(); }, 30000))
        << filesUnder(data).join(u'\n').toStdString();
    EXPECT_EQ(filesUnder(home), QStringList());
}

} // namespace
