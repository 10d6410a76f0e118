#pragma once

#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QTcpServer>
#include <QTcpSocket>

#include <limits>
#include <utility>

// A loopback HTTP server for answers too large to hold: each answer is a
// head (status line, headers, first body bytes), then filler bytes made as
// the peer takes them (at most a few blocks queued, so the server's own
// memory stays small), then a tail, then the close. A filler of -1 never
// ends. Unknown paths get 404.
class StreamHttpServer : public QObject
{
public:
    struct Answer {
        Answer(QByteArray head = {}, qint64 filler = 0, QByteArray tail = {})
            : head(std::move(head))
            , filler(filler)
            , tail(std::move(tail))
        { }
        QByteArray head;
        qint64 filler;
        QByteArray tail;
    };

    static constexpr qint64 Endless = -1;

    StreamHttpServer()
        : m_block(256 * 1024, 'f')
    {
        m_server.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = m_server.nextPendingConnection()) {
                QObject::connect(
                    socket, &QTcpSocket::readyRead, this, [this, socket] { onRequest(socket); });
                QObject::connect(
                    socket, &QTcpSocket::bytesWritten, this, [this, socket] { feed(socket); });
                QObject::connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
                    m_left.remove(socket);
                    socket->deleteLater();
                });
            }
        });
    }

    ~StreamHttpServer() override
    {
        // The sockets go with the server, after the tables their handlers
        // use: they must not report their end to this object any more.
        for (QTcpSocket *socket : m_server.findChildren<QTcpSocket *>())
            socket->disconnect(this);
    }

    quint16 port() const { return m_server.serverPort(); }
    QString host() const { return QStringLiteral("127.0.0.1:%1").arg(port()); }

    static QByteArray okHead(qint64 length, const QByteArray &type = "application/octet-stream")
    {
        QByteArray head = "HTTP/1.1 200 OK\r\nContent-Type: " + type + "\r\nConnection: close\r\n";
        if (length >= 0)
            head += "Content-Length: " + QByteArray::number(length) + "\r\n";
        return head + "\r\n";
    }

    QHash<QByteArray, Answer> answers; // by path without the query
    QList<QByteArray> requests;
    qint64 fillerSent = 0; // over all connections

private:
    struct Left {
        qint64 filler;
        QByteArray tail;
    };

    void onRequest(QTcpSocket *socket)
    {
        if (m_left.contains(socket))
            return;
        m_request[socket] += socket->readAll();
        if (!m_request[socket].contains("\r\n\r\n"))
            return;
        const QByteArray path = m_request.take(socket).split(' ').value(1);
        requests.append(path);
        const Answer answer = answers.value(path.split('?').first(),
            Answer{"HTTP/1.1 404 Not Found\r\nConnection: close\r\nContent-Length: 0\r\n\r\n"});
        m_left.insert(socket,
            Left{answer.filler < 0 ? std::numeric_limits<qint64>::max() : answer.filler,
                answer.tail});
        socket->write(answer.head);
        feed(socket);
    }

    void feed(QTcpSocket *socket)
    {
        auto left = m_left.find(socket);
        if (left == m_left.end() || socket->state() != QAbstractSocket::ConnectedState)
            return;
        while (left->filler > 0 && socket->bytesToWrite() < 4 * m_block.size()) {
            const qint64 count = std::min<qint64>(left->filler, m_block.size());
            socket->write(m_block.constData(), count);
            left->filler -= count;
            fillerSent += count;
        }
        if (left->filler == 0) {
            socket->write(left->tail);
            m_left.erase(left);
            socket->disconnectFromHost();
        }
    }

    QTcpServer m_server;
    QByteArray m_block;
    QHash<QTcpSocket *, QByteArray> m_request;
    QHash<QTcpSocket *, Left> m_left;
};
