#include "sim/core/peerconnection.h"

#include <QTcpServer>
#include <QTcpSocket>

using namespace Qt::StringLiterals;

PeerConnection::PeerConnection(QTcpSocket *socket, QObject *parent)
    : QObject(parent)
    , m_socket(socket)
{
    socket->setParent(this);
    m_incompleteTimer.setSingleShot(true);
    m_incompleteTimer.setInterval(IncompleteFrameLimitMs);
    connect(&m_incompleteTimer, &QTimer::timeout, this, [this] {
        finish(u"frame incomplete for "_s + QString::number(m_incompleteTimer.interval() / 1000.0)
            + u" s ("_s + QString::number(m_buffer.size()) + u" bytes)"_s);
        if (m_socket)
            m_socket->abort();
    });
    connect(socket, &QTcpSocket::readyRead, this, &PeerConnection::readAvailable);
    connect(socket, &QTcpSocket::disconnected, this,
        [this] { finish(m_closing ? u"closed by the server"_s : u"closed by the peer"_s); });
    connect(socket, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError error) {
        if (error != QAbstractSocket::RemoteHostClosedError)
            finish(m_socket ? m_socket->errorString() : u"socket error"_s);
    });
}

PeerConnection::~PeerConnection()
{
    if (m_socket)
        m_socket->disconnect(this);
}

void PeerConnection::send(const QByteArray &frame)
{
    if (!isOpen())
        return;
    if (m_socket->bytesToWrite() + frame.size() > MaxPendingOutput) {
        // The reason first: the abort reports the closing too, and only the
        // first reason is kept.
        finish(u"the peer stopped reading"_s);
        m_socket->abort();
        return;
    }
    m_socket->write(frame);
}

void PeerConnection::send(quint8 type, qint32 verb, qint32 id, const QByteArray &payload)
{
    send(ServerFrame::encode(type, verb, id, payload));
}

void PeerConnection::close()
{
    if (isOpen()) {
        m_closing = true;
        m_socket->disconnectFromHost();
    }
}

bool PeerConnection::isOpen() const
{
    return !m_finished && m_socket && m_socket->state() == QAbstractSocket::ConnectedState;
}

QString PeerConnection::peerText() const
{
    if (!m_socket)
        return {};
    return m_socket->peerAddress().toString() + u':' + QString::number(m_socket->peerPort());
}

void PeerConnection::readAvailable()
{
    if (!m_socket)
        return;
    m_buffer.append(m_socket->readAll());
    // A handler may close this connection or send more; the frame leaves the
    // buffer before it is handed on, and a finished connection stops reading.
    bool frameDone = false;
    while (!m_finished) {
        const ServerFrame::Cut cut = ServerFrame::cutClientFrame(m_buffer);
        if (cut.status == ServerFrame::Status::Incomplete) {
            // The clock runs from the first byte of a frame, not from the
            // latest: a peer trickling one byte at a time still runs out.
            if (m_buffer.isEmpty())
                m_incompleteTimer.stop();
            else if (frameDone || !m_incompleteTimer.isActive())
                m_incompleteTimer.start();
            return;
        }
        if (cut.status == ServerFrame::Status::Refused) {
            // No resynchronisation exists in this protocol: the rest of the
            // stream cannot be trusted, so the peer is told by a close.
            finish(
                u"unreadable frame header: "_s + QString::fromLatin1(m_buffer.left(16).toHex(' ')));
            m_socket->abort();
            return;
        }
        frameDone = true;
        const ServerFrame::Frame frame
            = ServerFrame::decode(QByteArrayView(m_buffer).first(cut.length));
        m_buffer.remove(0, cut.length);
        Q_EMIT frameReceived(frame);
    }
}

void PeerConnection::finish(const QString &reason)
{
    if (m_finished)
        return;
    m_finished = true;
    m_incompleteTimer.stop();
    m_buffer.clear();
    // Queued: a send that drops a stalled peer runs inside a server's loop
    // over its members, which must not change the roster under it.
    QMetaObject::invokeMethod(
        this, [this, reason] { Q_EMIT closed(reason); }, Qt::QueuedConnection);
}

namespace AcceptGuard {

void watch(QTcpServer *server, const QString &name, SimLog log, int retryMs)
{
    auto *retry = new QTimer(server);
    retry->setSingleShot(true);
    retry->setInterval(retryMs);
    QObject::connect(retry, &QTimer::timeout, server, [server] { server->resumeAccepting(); });
    QObject::connect(server, &QTcpServer::acceptError, server,
        [server, retry, name, log](QAbstractSocket::SocketError) {
            // Paused rather than retried at once: the connection that could
            // not be accepted is still waiting, and trying again before a
            // descriptor is free only spins.
            server->pauseAccepting();
            if (retry->isActive())
                return;
            retry->start();
            if (log)
                log({{u"sim"_s, u"accept-paused"_s}, {u"server"_s, name},
                    {u"error"_s, server->errorString()}, {u"retryMs"_s, retry->interval()}});
        });
}

} // namespace AcceptGuard
