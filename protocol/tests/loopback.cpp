#include "protocol/tests/loopback.h"

#include "protocol/framecodec.h"

#include <QTest>

using namespace Qt::StringLiterals;

QByteArray frame(quint8 type, qint32 verb, qint32 id, const QByteArray &payload)
{
    MsgContent msg;
    msg.mcVersion = 1;
    msg.mcLanguage = 1;
    msg.mcCommandType = type;
    msg.mcCommandVerb = verb;
    msg.mcID = id;
    msg.mcLength = qint32(payload.size());
    msg.mcDatas = payload;
    Wire::Failure failure;
    return FrameCodec::ConvertToStream(msg, msg.mcLength + FrameHeaderSize, failure);
}

QByteArray fromHex(const char *hex)
{
    return QByteArray::fromHex(QByteArray(hex));
}

Loopback::Loopback()
    : sync(std::make_unique<clsRemoteSync>())
{
    server.listen(QHostAddress::LocalHost, 0);
    m_recorder = std::make_unique<RemoteSyncEventJson>(
        sync.get(), [this](const QString &line, const QJsonObject &) { events.append(line); });
}

Loopback::~Loopback()
{
    m_recorder.reset();
}

bool Loopback::connect()
{
    if (!sync->Connect(u"127.0.0.1"_s, QString::number(server.serverPort())))
        return false;
    if (!server.waitForNewConnection(3000))
        return false;
    peer = server.nextPendingConnection();
    return QTest::qWaitFor([this] { return sync->State() == u"7"_s; }, 3000);
}

void Loopback::serverWrite(const QByteArray &bytes)
{
    peer->write(bytes);
    peer->flush();
}

QByteArray Loopback::serverRead(qsizetype count, int timeoutMs)
{
    (void)QTest::qWaitFor([&] { return peer && peer->bytesAvailable() >= count; }, timeoutMs);
    return peer ? peer->readAll() : QByteArray();
}

bool Loopback::waitForEvents(qsizetype count, int timeoutMs)
{
    return QTest::qWaitFor([&] { return events.size() >= count; }, timeoutMs);
}

QStringList Loopback::messageEvents() const
{
    QStringList out;
    for (const QString &event : events) {
        if (!event.startsWith(u"{\"event\":\"SystemLog\""_s))
            out.append(event);
    }
    return out;
}

QStringList Loopback::systemLog() const
{
    QStringList out;
    for (const QString &event : events) {
        const QJsonObject object = QJsonDocument::fromJson(event.toUtf8()).object();
        if (object.value(u"event"_s).toString() == u"SystemLog"_s)
            out.append(object.value(u"strDebugMessage"_s).toString());
    }
    return out;
}

Receiver::Receiver()
    : m_recorder(&sync, [this](const QString &line, const QJsonObject &) { events.append(line); })
{ }

QStringList Receiver::feed(const QByteArray &bytes)
{
    events.clear();
    sync.ReceiveBytes(bytes);
    return events;
}

WireFixture::WireFixture()
{
    connected = loop.connect() && loop.waitForEvents(1);
    loop.events.clear();
}

QStringList WireFixture::receive(const QByteArray &bytes)
{
    // A log-out of a user number no test uses marks the end of the batch.
    constexpr qint32 Sentinel = 999999;
    const QString end = u"{\"event\":\"GetMsgLogOut\",\"UserID\":999999}"_s;
    loop.events.clear();
    loop.serverWrite(bytes + frame(mtLogin, 1, Sentinel, {}));
    (void)QTest::qWaitFor([&] { return loop.events.contains(end); }, 3000);
    QStringList events = loop.events;
    events.removeAll(end);
    return events;
}

QByteArray WireFixture::readUpToMarker()
{
    MsgContent marker;
    marker.mcCommandType = mtCampusLogOut;
    marker.mcCommandVerb = 0xEE;
    loop.sync->Send(marker);
    const QByteArray tail = frame(mtCampusLogOut, 0xEE, loop.sync->MyID(), {});
    QByteArray bytes;
    (void)QTest::qWaitFor(
        [&] {
            if (loop.peer)
                bytes += loop.peer->readAll();
            return bytes.endsWith(tail);
        },
        3000);
    if (bytes.endsWith(tail))
        bytes.chop(tail.size());
    return bytes;
}
