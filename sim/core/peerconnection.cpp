#include "sim/core/peerconnection.h"

#include <QTcpSocket>

using namespace Qt::StringLiterals;

PeerConnection::PeerConnection(QTcpSocket *socket, QObject *parent)
    : QObject(parent)
    , m_socket(socket)
{
    socket->setParent(this);
    connect(socket, &QTcpSocket::readyRead, this, &PeerConnection::readAvailable);
    connect(socket, &QTcpSocket::disconnected, this, [this] { finish(u"closed by the peer"_s); });
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
        m_socket->abort();
        finish(u"the peer stopped reading"_s);
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
    if (isOpen())
        m_socket->disconnectFromHost();
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
    while (!m_finished) {
        const ServerFrame::Cut cut = ServerFrame::cutClientFrame(m_buffer);
        if (cut.status == ServerFrame::Status::Incomplete)
            return;
        if (cut.status == ServerFrame::Status::Refused) {
            // No resynchronisation exists in this protocol: the rest of the
            // stream cannot be trusted, so the peer is told by a close.
            m_socket->abort();
            finish(
                u"unreadable frame header: "_s + QString::fromLatin1(m_buffer.left(16).toHex(' ')));
            return;
        }
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
    m_buffer.clear();
    // Queued: a send that drops a stalled peer runs inside a server's loop
    // over its members, which must not change the roster under it.
    QMetaObject::invokeMethod(
        this, [this, reason] { Q_EMIT closed(reason); }, Qt::QueuedConnection);
}
