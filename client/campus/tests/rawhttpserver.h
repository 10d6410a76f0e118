#pragma once

#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>

// A loopback HTTP server that answers each path with bytes given by the
// test, byte for byte: whole answers, cut answers and answers that never
// end. Unknown paths get 404.
class RawHttpServer : public QObject
{
public:
    struct Answer {
        QByteArray bytes;
        bool close = true; // close after writing; false holds the connection open
    };

    RawHttpServer()
    {
        m_server.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = m_server.nextPendingConnection()) {
                m_open.append(socket);
                QObject::connect(socket, &QTcpSocket::readyRead, this, [this, socket] {
                    m_request[socket] += socket->readAll();
                    const QByteArray &request = m_request[socket];
                    if (!request.contains("\r\n\r\n"))
                        return;
                    const QByteArray path = request.split(' ').value(1);
                    requests.append(path);
                    const Answer answer = answers.value(path.split('?').first(),
                        Answer{ok("text/plain", "not here").replace("200 OK", "404 Not Found")});
                    socket->write(answer.bytes);
                    if (answer.close)
                        socket->disconnectFromHost();
                });
            }
        });
    }

    quint16 port() const { return m_server.serverPort(); }
    QString host() const { return QStringLiteral("127.0.0.1:%1").arg(port()); }

    static QByteArray ok(const QByteArray &type, const QByteArray &body)
    {
        return "HTTP/1.1 200 OK\r\nContent-Type: " + type
            + "\r\nConnection: close\r\nContent-Length: " + QByteArray::number(body.size())
            + "\r\n\r\n" + body;
    }
    static QByteArray status(int code, const QByteArray &body = "error")
    {
        return "HTTP/1.1 " + QByteArray::number(code) + " Error\r\nConnection: close\r\n"
            + "Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body;
    }

    QHash<QByteArray, Answer> answers; // by path without the query
    QList<QByteArray> requests;

private:
    QTcpServer m_server;
    QList<QPointer<QTcpSocket>> m_open;
    QHash<QTcpSocket *, QByteArray> m_request;
};
