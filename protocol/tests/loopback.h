#pragma once

#include "common/testsupport/testhome.h"
#include "protocol/clsremotesync.h"
#include "protocol/eventjson.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QPointer>
#include <QStringList>
#include <QTcpServer>
#include <QTcpSocket>

#include <memory>

// A frame as a server would write it.
QByteArray frame(quint8 type, qint32 verb, qint32 id, const QByteArray &payload);
QByteArray fromHex(const char *hex);

// One clsRemoteSync connected to a QTcpServer on 127.0.0.1, port chosen by
// the system. Events are recorded as compact JSON lines.
class Loopback
{
public:
    Loopback();
    ~Loopback();

    // Connects and waits until both sides see the connection.
    bool connect();
    // Server side: write bytes to the client.
    void serverWrite(const QByteArray &bytes);
    // Waits until the server has read at least `count` bytes from the client.
    QByteArray serverRead(qsizetype count, int timeoutMs = 3000);
    // Waits until at least `count` events were recorded.
    bool waitForEvents(qsizetype count, int timeoutMs = 3000);
    // Events other than SystemLog lines.
    QStringList messageEvents() const;
    QStringList systemLog() const;

    TestHome home;
    std::unique_ptr<clsRemoteSync> sync;
    QTcpServer server;
    QPointer<QTcpSocket> peer;
    QStringList events;

private:
    std::unique_ptr<RemoteSyncEventJson> m_recorder;
};

// Feeds frames to a clsRemoteSync without a socket and records its events.
class Receiver
{
public:
    Receiver();
    QStringList feed(const QByteArray &bytes);

    TestHome home;
    clsRemoteSync sync;
    QStringList events;

private:
    RemoteSyncEventJson m_recorder;
};

// A connected client whose traffic both ways goes through a real loopback
// connection: frames written by the server come back as event lines, and
// frames the client sends are read by the server.
class WireFixture
{
public:
    WireFixture();
    // Writes `bytes` from the server and returns the events they raised.
    QStringList receive(const QByteArray &bytes);
    // Runs `send` and returns the bytes the server received from it.
    template <typename F> QByteArray sent(F &&send)
    {
        send(*loop.sync);
        return readUpToMarker();
    }

    Loopback loop;
    bool connected = false;

private:
    // Sends a frame no test sends and reads until it arrives, so the bytes
    // before it are all that the operation under test wrote.
    QByteArray readUpToMarker();
};
