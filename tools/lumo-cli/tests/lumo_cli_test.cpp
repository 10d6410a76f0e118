#include "protocol/messages.h"
#include "protocol/tests/loopback.h"

#include <QProcess>
#include <QTcpServer>
#include <QTest>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

QStringList lines(const QByteArray &output)
{
    return QString::fromUtf8(output).split(u'\n', Qt::SkipEmptyParts);
}

} // namespace

TEST(LumoCli, LogsInPrintsEventsAndRunsCommands)
{
    TestHome home;
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0));
    QProcess cli;
    cli.start(QStringLiteral(LUMO_CLI_PATH),
        {u"--host"_s, u"127.0.0.1"_s, u"--port"_s, QString::number(server.serverPort()), u"--id"_s,
            u"7"_s, u"--password"_s, u"pw"_s});
    ASSERT_TRUE(cli.waitForStarted());
    // Commands written before the connection is up wait for it.
    cli.write(
        R"({"call":"SendNoteMessage","FromID":7,"ToID":9,"Message":"hi"})"
        "\nnot json\n"
        R"({"call":"SendUserListMsg","UserCount":1,"UserList":[{"uiUserID":7,"uiUserNick":"Li","uiStatus":3,"uiUserType":1}],"CmdVerb":2})"
        "\n"
        R"({"set":"bEnabled","value":true})"
        "\n"
        R"({"set":"NoSuchProperty","value":1})"
        "\n"
        R"({"call":"NoSuchThing"})"
        "\n");

    ASSERT_TRUE(server.waitForNewConnection(5000));
    QTcpSocket *peer = server.nextPendingConnection();
    const QByteArray expected = frame(mtLogin, 0, 7, fromHex("0100") + "pw" + QByteArray(14, '\0'))
        + frame(mtNotes, 1, 7, fromHex("0900000068006900"))
        + frame(
            mtUserList, 2, 7, fromHex("07000000") + "Li" + QByteArray(14, '\0') + fromHex("0301"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return peer->bytesAvailable() >= expected.size(); }, 5000));
    EXPECT_EQ(peer->readAll(), expected);

    peer->write(frame(mtNotes, 0, 5, Wire::wideBytes(u"中文\0"_s)));
    peer->flush();
    QByteArray output;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            output += cli.readAllStandardOutput();
            return output.contains("GetNoteMessage");
        },
        5000));
    cli.write(R"({"call":"Disconnect"})"
              "\n");
    cli.closeWriteChannel();
    ASSERT_TRUE(cli.waitForFinished(5000));
    EXPECT_EQ(cli.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(cli.exitCode(), 0);

    const QStringList out = lines(output + cli.readAllStandardOutput());
    ASSERT_GE(out.size(), 3);
    EXPECT_TRUE(out[0].startsWith(u"{\"event\":\"Connected\",\"strRemoteIP\":\"127.0.0.1\""_s));
    EXPECT_TRUE(out.contains(
        u"{\"event\":\"GetNoteMessage\",\"FromID\":5,\"ToID\":0,\"Message\":\"中文\\u0000\"}"_s))
        << out.join(u'\n').toStdString();
    EXPECT_EQ(out.last(), u"{\"event\":\"DisConnected\",\"strRemoteIP\":\"127.0.0.1\"}"_s);

    const QStringList errors = lines(cli.readAllStandardError());
    ASSERT_EQ(errors.size(), 3);
    EXPECT_TRUE(errors[0].startsWith(u"{\"error\":"_s));
    EXPECT_TRUE(errors[0].contains(u"\"line\":\"not json\""_s));
    EXPECT_TRUE(errors[1].contains(u"no such writable property: NoSuchProperty"_s));
    EXPECT_TRUE(errors[2].contains(u"no such operation: NoSuchThing"_s));
}

TEST(LumoCli, CampusLoginAndConnectionFailure)
{
    TestHome home;
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0));
    QProcess cli;
    cli.start(QStringLiteral(LUMO_CLI_PATH),
        {u"--host"_s, u"127.0.0.1"_s, u"--port"_s, QString::number(server.serverPort()), u"--id"_s,
            u"42"_s, u"--password"_s, u"abc"_s, u"--campus"_s});
    ASSERT_TRUE(server.waitForNewConnection(5000));
    QTcpSocket *peer = server.nextPendingConnection();
    const QByteArray login = frame(mtCampusLogin, 0, 42, fromHex("616263000000"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return peer->bytesAvailable() >= login.size(); }, 5000));
    EXPECT_EQ(peer->readAll(), login);
    peer->write(frame(mtCampusLogin, 1, 0, {}));
    peer->flush();
    peer->disconnectFromHost();
    cli.closeWriteChannel();
    ASSERT_TRUE(cli.waitForFinished(5000));
    EXPECT_EQ(cli.exitCode(), 0);
    const QStringList out = lines(cli.readAllStandardOutput());
    EXPECT_TRUE(out.contains(u"{\"event\":\"GetMsgCampusLogIn\",\"Result\":true}"_s));

    const quint16 closedPort = server.serverPort();
    server.close();
    QProcess refused;
    refused.start(QStringLiteral(LUMO_CLI_PATH),
        {u"--host"_s, u"127.0.0.1"_s, u"--port"_s, QString::number(closedPort)});
    ASSERT_TRUE(refused.waitForFinished(5000));
    EXPECT_EQ(refused.exitCode(), 1);
    const QStringList errors = lines(refused.readAllStandardError());
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors[0].startsWith(u"lumo-cli: cannot connect to 127.0.0.1:"_s));
}
