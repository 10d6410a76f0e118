// The main window's own units: mouse forwarding to the drawing layer, the
// board refresh, help and links, the export, the command line, the run
// reports, the protocol's diagnostics, the class's record on disk.
#include "client/session/sessionstate.h"
#include "client/shell/form1.h"
#include "client/shell/frminput.h"
#include "client/shell/noteshistory.h"
#include "client/shell/runreporter.h"
#include "client/shell/scriptcommands.h"
#include "client/shell/shellcommands.h"
#include "client/shell/startoptions.h"
#include "client/shell/whiteboardinput.h"
#include "client/shell/wiring.h"
#include "common/prompter.h"
#include "common/testsupport/testhome.h"
#include "controls/notesmanage/notesmanage.h"
#include "controls/whiteboardole/whiteboardole.h"
#include "controls/whiteboardsign/signmodel.h"
#include "controls/whiteboardsign/whiteboardsign.h"
#include "protocol/clsremotesync.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTextBrowser>

#include <gtest/gtest.h>

namespace {

struct BoardFixture {
    TestHome home;
    Global::ScriptedPrompter prompter;
    std::unique_ptr<Form1> form;
    std::unique_ptr<WhiteBoardInput> input;

    BoardFixture()
    {
        form = std::make_unique<Form1>(prompter);
        form->setCompanionProgram(QDir::tempPath() + QStringLiteral("/lumo-missing-castagent"));
        form->Load();
        input = std::make_unique<WhiteBoardInput>(WhiteBoardInput::Deps{form->RemoteSync(),
            form->session(), form->whiteBoardSign(), form->WhiteBoard(), form->whiteBoardOLE(),
            [this] { return form->frmInput(); }, [] { return QPixmap(); }});
    }
    QRect board() const { return form->WhiteBoard()->geometry(); }
    int signs() const { return form->whiteBoardSign()->model().liveCount(); }
    void armRectangle()
    {
        form->whiteBoardSign()->setShape(WhiteBoard::stRectangle);
        form->whiteBoardSign()->setIfDraw(true);
    }
};

// A server that counts the bytes the form's connection sends.
struct CountingServer {
    QTcpServer server;
    QPointer<QTcpSocket> peer;
    QByteArray received;
    bool ready = false;
    explicit CountingServer(clsRemoteSync &remote)
    {
        server.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&server, &QTcpServer::newConnection, &server, [this] {
            peer = server.nextPendingConnection();
            QObject::connect(
                peer, &QTcpSocket::readyRead, peer, [this] { received += peer->readAll(); });
        });
        remote.Connect(QStringLiteral("127.0.0.1"), QString::number(server.serverPort()));
        ready = QTest::qWaitFor([this] { return !peer.isNull(); }, 3000);
    }
};

} // namespace

TEST(WhiteBoardInputTest, PositionsBecomeTwipsAndReleaseOutsideIsNotPassed)
{
    BoardFixture f;
    // A grown window: the board is shown larger than its design size.
    f.form->resize(1400, 900);
    ASSERT_TRUE(QTest::qWaitFor([&f] { return f.form->whiteBoardSign()->zoom() > 1.3; }, 2000));
    const QPoint origin = f.board().topLeft();
    f.armRectangle();
    f.input->MouseDown(1, 0, origin + QPoint(10, 20));
    f.input->MouseMove(1, 0, origin + QPoint(30, 40));
    f.input->MouseUp(1, 0, origin + QPoint(30, 40));
    ASSERT_EQ(f.signs(), 1);
    // Twips of the board's design size: 15 to a pixel at zoom 1, fewer to
    // a pixel of a board shown larger.
    const QRect box = f.form->whiteBoardSign()->model().sign(0).box;
    const double zoom = f.form->whiteBoardSign()->zoom();
    EXPECT_NEAR(box.left(), 150 / zoom, 1);
    EXPECT_NEAR(box.top(), 300 / zoom, 1);
    EXPECT_NEAR(box.x() + box.width(), 450 / zoom, 1);
    EXPECT_NEAR(box.y() + box.height(), 600 / zoom, 1);

    // Released outside the board: the layer never hears of it.
    f.armRectangle();
    f.input->MouseDown(1, 0, origin + QPoint(10, 20));
    f.input->MouseUp(1, 0, f.board().bottomRight() + QPoint(5, 5));
    EXPECT_EQ(f.signs(), 1);
    // On the right edge (edges count).
    f.input->MouseUp(1, 0, QPoint(origin.x() + f.board().width(), origin.y() + 50));
    EXPECT_EQ(f.signs(), 2);
}

TEST(WhiteBoardInputTest, WithoutPermissionNothingIsDrawn)
{
    BoardFixture f;
    f.form->session().bWhiteBoardPermitted = false;
    const QPoint origin = f.board().topLeft();
    f.armRectangle();
    f.input->MouseDown(1, 0, origin + QPoint(10, 20));
    f.input->MouseUp(1, 0, origin + QPoint(60, 60));
    EXPECT_EQ(f.signs(), 0);
}

TEST(WhiteBoardInputTest, RealMouseOverThePresentationReachesTheLayer)
{
    BoardFixture f;
    f.armRectangle();
    QWidget *ole = f.form->whiteBoardOLE();
    QTest::mousePress(ole, Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseMove(ole, QPoint(50, 40));
    QTest::mouseRelease(ole, Qt::LeftButton, {}, QPoint(50, 40));
    EXPECT_EQ(f.signs(), 1);
}

TEST(WhiteBoardInputTest, RefreshAndRestoreAskTheServerOnlyInClass)
{
    BoardFixture f;
    CountingServer server(f.form->RemoteSync());
    ASSERT_TRUE(server.ready);
    f.input->Refresh();
    f.input->Restored();
    QTest::qWait(100);
    EXPECT_TRUE(server.received.isEmpty());
    f.form->session().bInClass = true;
    f.input->Restored();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !server.received.isEmpty(); }, 3000));
    const qsizetype once = server.received.size();
    f.input->Refresh();
    EXPECT_TRUE(QTest::qWaitFor([&] { return server.received.size() == 2 * once; }, 3000));
}

TEST(ShellCommandsTest, HelpOpensTheWebPageElseTheShippedPage)
{
    TestHome home;
    Global::ScriptedPrompter prompter;
    SessionState session;
    session.WebHost = QStringLiteral("127.0.0.1:8123");
    NotesManage notes;
    QWidget window;
    QList<QUrl> opened;
    bool browserWorks = true;
    ShellCommands commands({session, prompter, &notes, &window,
        [&](const QUrl &url) {
            opened << url;
            return browserWorks;
        },
        {}, {}});
    commands.Help();
    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(
        opened.first().toString(), QStringLiteral("http://127.0.0.1:8123/askdesk/lumo/sindex.htm"));
    EXPECT_EQ(commands.helpWindow(), nullptr);

    commands.OpenWebSite();
    EXPECT_EQ(opened.last().toString(), QStringLiteral("http://127.0.0.1:8123"));

    browserWorks = false;
    commands.Help();
    if (QFile::exists(ShellCommands::LocalHelpPath())) {
        ASSERT_NE(commands.helpWindow(), nullptr);
        EXPECT_TRUE(commands.helpWindow()->isVisible());
        EXPECT_TRUE(commands.helpWindow()->toPlainText().contains(QStringLiteral("LumoStudent")));
    } else {
        ASSERT_EQ(prompter.shown.size(), 1);
    }
}

TEST(ShellCommandsTest, ExportAppendsHeaderAndHistoryAndCancelWritesNothing)
{
    TestHome home;
    Global::ScriptedPrompter prompter;
    SessionState session;
    NotesManage notes;
    notes.AddMessage(QStringLiteral("老师: 大家好"));
    QWidget window;
    QString answer;
    QStringList pdfs;
    bool pdfWorks = true;
    ShellCommands commands(
        {session, prompter, &notes, &window, {}, [&](auto done) { done(answer); },
            [&](const QString &pdf) {
                pdfs << pdf;
                return pdfWorks;
            }});
    const QString path = home.path() + QStringLiteral("/notes.txt");

    commands.ExportNotes(); // cancelled
    EXPECT_FALSE(QFile::exists(path));

    answer = path;
    commands.ExportNotes();
    commands.ExportNotes();
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    EXPECT_EQ(text.count(QStringLiteral("------------短消息导出-------------------- ")), 2);
    EXPECT_EQ(text.count(QStringLiteral("老师: 大家好")), 2);
    EXPECT_TRUE(text.endsWith(QStringLiteral("\r\n")));
    EXPECT_TRUE(prompter.shown.isEmpty());

    answer = home.path() + QStringLiteral("/no/such/folder/notes.txt");
    commands.ExportNotes();
    ASSERT_EQ(prompter.shown.size(), 1);
    EXPECT_EQ(prompter.shown.first().text, QStringLiteral("打开指定文件出错！"));

    // A PDF name writes the class's record instead; its failure is told.
    answer = home.path() + QStringLiteral("/class.PDF");
    commands.ExportNotes();
    EXPECT_EQ(pdfs, QStringList{answer});
    EXPECT_FALSE(QFile::exists(answer));
    pdfWorks = false;
    commands.ExportNotes();
    ASSERT_EQ(prompter.shown.size(), 2);
    EXPECT_EQ(prompter.shown.last().text, QStringLiteral("打开指定文件出错！"));
}

TEST(StartOptionsTest, ScriptedRunOptionsAndTheirFaults)
{
    const auto parse = [](std::initializer_list<const char *> args) {
        QStringList list{QStringLiteral("LumoStudent")};
        for (const char *a : args)
            list << QString::fromUtf8(a);
        return ParseStartOptions(list);
    };
    const StartOptions full = parse(
        {"--campus", "127.0.0.1:4100", "--web", "localhost:8080", "--user", "demo", "--password",
            "pw", "--enter", "7", "--data", "/tmp/d", "--screenshots", "/tmp/s", "--auto"});
    EXPECT_TRUE(full.error.isEmpty());
    EXPECT_EQ(full.campusHost, QStringLiteral("127.0.0.1"));
    EXPECT_EQ(full.campusPort, QStringLiteral("4100"));
    EXPECT_EQ(full.webHost, QStringLiteral("localhost:8080"));
    EXPECT_TRUE(full.loginAtStart());
    EXPECT_EQ(full.enterCourse, QStringLiteral("7"));
    EXPECT_TRUE(full.autoAnswer);

    EXPECT_TRUE(parse({"--help"}).showHelp);
    EXPECT_FALSE(parse({"--campus", "127.0.0.1"}).error.isEmpty());
    EXPECT_FALSE(parse({"--campus", "127.0.0.1:70000"}).error.isEmpty());
    EXPECT_FALSE(parse({"--web", "host:"}).error.isEmpty());
    EXPECT_FALSE(parse({"--user", "demo"}).error.isEmpty());
    EXPECT_FALSE(parse({"--user", "--password", "x"}).error.isEmpty());
    EXPECT_FALSE(parse({"--bogus"}).error.isEmpty());
    EXPECT_TRUE(StartOptionsHelp().contains(QStringLiteral("--screenshots")));

    const StartOptions voice = parse({"--local-address", "127.0.0.2", "--commands"});
    EXPECT_TRUE(voice.error.isEmpty());
    EXPECT_EQ(voice.localAddress, QStringLiteral("127.0.0.2"));
    EXPECT_TRUE(voice.commands);
    EXPECT_FALSE(parse({"--local-address", "host.example"}).error.isEmpty());
    EXPECT_FALSE(parse({"--local-address"}).error.isEmpty());
}

TEST(RunReporterTest, UnattendedPromptsAreAnsweredReportedAndPictured)
{
    TestHome home;
    const QString pictures = home.path() + QStringLiteral("/pictures");
    std::FILE *out = std::tmpfile();
    ASSERT_NE(out, nullptr);
    RunReporter reporter(out, pictures);
    ReportingPrompter prompter(nullptr, &reporter);
    QWidget window;
    window.setObjectName(QStringLiteral("probe"));
    window.resize(100, 80);
    window.show();
    Global::PromptAnswer answer = Global::PromptAnswer::Cancel;
    prompter.show({QStringLiteral("t"), QStringLiteral("问题"), Global::PromptIcon::Question,
                      Global::PromptButtons::YesNo},
        [&](Global::PromptAnswer a) { answer = a; });
    EXPECT_EQ(answer, Global::PromptAnswer::Yes);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return !QDir(pictures).entryList({QStringLiteral("*probe.png")}).isEmpty(); }, 3000));
    std::rewind(out);
    QByteArray lines;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, out))
        lines += buffer;
    std::fclose(out);
    EXPECT_TRUE(lines.contains("\"event\":\"prompt\""));
    EXPECT_TRUE(lines.contains("问题"));
    EXPECT_TRUE(lines.contains("\"event\":\"picture\""));
}

TEST(ScriptCommandsTest, AButtonIsPressedWhereItIsShownAndACoverTakesTheClick)
{
    using namespace Qt::StringLiterals;
    QWidget window;
    window.resize(200, 100);
    auto *button = new QPushButton(u"press"_s, &window);
    button->setGeometry(10, 10, 80, 30);
    auto *cover = new QWidget(&window);
    cover->setObjectName(u"cover"_s);
    cover->setGeometry(0, 0, 100, 50);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    int clicks = 0;
    QObject::connect(button, &QPushButton::clicked, [&clicks] { ++clicks; });

    const QString refused = ScriptCommands::clickAt(button, u"the button"_s);
    EXPECT_EQ(refused, u"the button did not take the click; under the pointer: cover"_s);
    EXPECT_EQ(clicks, 0);

    cover->lower();
    EXPECT_EQ(ScriptCommands::clickAt(button, u"the button"_s), QString());
    EXPECT_EQ(clicks, 1);
    button->setEnabled(false);
    EXPECT_EQ(
        ScriptCommands::clickAt(button, u"the button"_s), u"the button cannot be pressed now"_s);
    EXPECT_EQ(clicks, 1);
}

// The protocol's diagnostics reach the error log in the wired program: a
// message of no known kind, and a frame header that closes the connection,
// which would otherwise leave no trace of why the class was lost.
TEST(ProtocolDiagnosticsTest, ReachTheErrorLog)
{
    using namespace Qt::StringLiterals;
    TestHome home;
    Global::ScriptedPrompter prompter;
    Form1 form(prompter);
    form.setCompanionProgram(QDir::tempPath() + u"/lumo-missing-castagent"_s);
    WireUnits(form, StartOptions{});
    form.Load();
    QByteArray unknown(16, '\0');
    unknown[0] = 9; // version 1, language 1
    unknown[4] = 11; // a type with no message
    QByteArray refused = unknown;
    refused[4] = 13; // only clients send it: no frame from a server starts so
    form.RemoteSync().ReceiveBytes(unknown + refused);
    const QString log = QString::fromUtf8(home.errorLog());
    EXPECT_TRUE(log.contains(u"Form1\r\nRemoteSync_SystemLog\r\n接收到的消息类型无法识别 11\r\n"_s))
        << log.toStdString();
    EXPECT_TRUE(log.contains(u"Form1\r\nRemoteSync_SystemLog\r\n[Error] Frame header refused"_s))
        << log.toStdString();
}

TEST(NotesHistoryTest, AClassRecordIsShownAgainExportedAsPdfAndBounded)
{
    TestHome home;
    const QString folder = home.path() + QStringLiteral("/History");
    QImage board(160, 120, QImage::Format_RGB32);
    // A page with a sign on it; an empty board is no page.
    const auto show = [&board](Qt::GlobalColor page) {
        board.fill(page);
        board.setPixel(10, 10, qRgb(255, 255, 0));
    };
    board.fill(Qt::white);
    const auto capture = [&board] { return board; };
    const QString odd = QStringLiteral("带\\反斜杠\r和\n换行\r\n");
    {
        NotesManage panel;
        NotesManage detached;
        NotesHistory history({panel, &detached, folder, capture});
        history.classEntering(QStringLiteral("campus|11|7|12|周二"));
        panel.AddMessage(QStringLiteral("老师说：第一句\r\n"));
        detached.AddMessage(QStringLiteral("你说：窗口里写的\r\n"));
        panel.AddMessage(odd);
        // Nothing shown yet: no page; an empty board neither. Then a
        // picture, drawn on, replaced.
        history.pageChanging();
        history.boardDrawn();
        history.pageChanging();
        EXPECT_EQ(history.pageFiles().size(), 0);
        show(Qt::blue);
        history.pageChanging();
        show(Qt::red);
        history.keepPage();
        history.pageChanging();
        history.keepPage(); // the same board again: no new page
        EXPECT_EQ(history.pageFiles().size(), 2);

        history.classEntering(QStringLiteral("campus|11|7|13|周三"));
        panel.AddMessage(QStringLiteral("别的课\r\n"));
    }

    // A new start entering the first class again.
    NotesManage panel;
    NotesHistory history({panel, nullptr, folder, capture});
    history.classEntering(QStringLiteral("campus|11|7|12|周二"));
    const QString shown = panel.Export();
    EXPECT_TRUE(shown.startsWith(QStringLiteral("老师说：第一句\r\n你说：窗口里写的\r\n") + odd))
        << shown.toStdString();
    EXPECT_FALSE(shown.contains(QStringLiteral("别的课")));
    // What was shown again is not recorded twice.
    EXPECT_EQ(history.texts().size(), 3);

    const QString pdf = home.path() + QStringLiteral("/class.pdf");
    ASSERT_TRUE(history.exportPdf(pdf));
    QFile file(pdf);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    EXPECT_TRUE(bytes.startsWith("%PDF-"));
    // Two kept pages, each a sheet, then the notes.
    EXPECT_EQ(bytes.count("/Type /Page\n") + bytes.count("/Type /Page\r"), 3);
    EXPECT_EQ(bytes.count("/Subtype /Image"), 2);
    EXPECT_FALSE(history.exportPdf(home.path() + QStringLiteral("/no/such/folder/class.pdf")));

    // A flood of notes: the file keeps the newest half once it is full.
    const QString line = QString(200, QLatin1Char('x')) + QStringLiteral("\r\n");
    for (qint64 written = 0; written <= NotesHistory::MaxFileBytes; written += line.size() + 2)
        panel.AddMessage(line);
    panel.AddMessage(QStringLiteral("最新的一句\r\n"));
    EXPECT_LT(QFileInfo(history.filePath()).size(), NotesHistory::MaxFileBytes);
    const QStringList kept = history.texts();
    EXPECT_EQ(kept.constLast(), QStringLiteral("最新的一句\r\n"));
    EXPECT_EQ(kept.constFirst(), line);
}
