#pragma once

#include "sim/core/serverframe.h"

#include <QObject>
#include <QPointer>

class QTcpSocket;

// One client's TCP connection on a server: bytes in, frames out as signals;
// frames in as bytes out. The connection owns its socket.
class PeerConnection : public QObject
{
    Q_OBJECT

public:
    // Output a peer has not read beyond this drops the connection: one
    // stalled client must not grow the server's memory without bound.
    static constexpr qint64 MaxPendingOutput = qint64(8) << 20;

    explicit PeerConnection(QTcpSocket *socket, QObject *parent = nullptr);
    ~PeerConnection() override;

    void send(const QByteArray &frame);
    void send(quint8 type, qint32 verb, qint32 id, const QByteArray &payload = {});
    // Closes after the pending output is written.
    void close();
    bool isOpen() const;
    QString peerText() const;

Q_SIGNALS:
    void frameReceived(const ServerFrame::Frame &frame);
    // Raised once, from the event loop, when the connection is gone for
    // whatever reason.
    void closed(const QString &reason);

private:
    void readAvailable();
    void finish(const QString &reason);

    QPointer<QTcpSocket> m_socket;
    QByteArray m_buffer;
    bool m_finished = false;
};
