#pragma once

#include "sim/core/serverframe.h"
#include "sim/core/simlog.h"

#include <QObject>
#include <QPointer>
#include <QTimer>

class QTcpServer;
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
    // A frame begun and not finished within this time drops the connection:
    // a peer that trickles a frame or stops halfway must not hold a seat for
    // ever. A connection with nothing begun may stay idle as long as it likes.
    static constexpr int IncompleteFrameLimitMs = 30000;

    explicit PeerConnection(QTcpSocket *socket, QObject *parent = nullptr);
    ~PeerConnection() override;

    void send(const QByteArray &frame);
    void send(quint8 type, qint32 verb, qint32 id, const QByteArray &payload = {});
    // Closes after the pending output is written.
    void close();
    bool isOpen() const;
    QString peerText() const;
    // For tests that cannot wait half a minute.
    void setIncompleteFrameLimit(int ms) { m_incompleteTimer.setInterval(ms); }

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
    QTimer m_incompleteTimer;
    bool m_finished = false;
    bool m_closing = false;
};

// Keeps a server accepting through failed accepts (out of descriptors, out of
// memory): Qt pauses the listening socket on such an error, and without this
// it would stay deaf; accepting resumes after AcceptRetryMs, each pause
// reported once through the log as {"sim": "accept-paused", "server": name}.
namespace AcceptGuard {
inline constexpr int AcceptRetryMs = 1000;
void watch(QTcpServer *server, const QString &name, SimLog log, int retryMs = AcceptRetryMs);
} // namespace AcceptGuard
