#include "sim/tests/frameclient.h"

#include "protocol/framecodec.h"
#include "protocol/messages.h"

#include <QTest>

bool FrameClient::connectTo(quint16 port)
{
    QObject::connect(&socket, &QTcpSocket::readyRead, &socket, [this] { read(); });
    socket.connectToHost(QHostAddress::LocalHost, port);
    return socket.waitForConnected(3000);
}

void FrameClient::send(quint8 type, qint32 verb, qint32 id, const QByteArray &payload)
{
    sendRaw(ServerFrame::encode(type, verb, id, payload));
}

void FrameClient::sendRaw(const QByteArray &bytes)
{
    socket.write(bytes);
    socket.flush();
}

void FrameClient::login(qint32 id, const QString &password)
{
    Wire::Failure failure;
    send(mtLogin, 0, id, Messages::login(1, password, failure));
}

void FrameClient::read()
{
    m_buffer.append(socket.readAll());
    for (;;) {
        // The client's own rule: what the server sends must pass it.
        const FrameCodec::Cut cut = FrameCodec::cutFrame(m_buffer);
        if (cut.status != FrameCodec::CutStatus::Frame)
            return;
        frames.append(ServerFrame::decode(QByteArrayView(m_buffer).first(cut.length)));
        m_buffer.remove(0, cut.length);
    }
}

bool FrameClient::take(quint8 type, qint32 verb, ServerFrame::Frame *frame, int ms)
{
    qsizetype found = -1;
    const bool ok = QTest::qWaitFor(
        [&] {
            read();
            for (qsizetype i = 0; i < frames.size(); ++i) {
                if (frames[i].type == type && (verb < 0 || frames[i].verb == verb)) {
                    found = i;
                    return true;
                }
            }
            return false;
        },
        ms);
    if (!ok)
        return false;
    if (frame)
        *frame = frames[found];
    frames.removeAt(found);
    return true;
}

bool FrameClient::noFrame(quint8 type, int ms)
{
    QTest::qWait(ms);
    read();
    for (const ServerFrame::Frame &frame : std::as_const(frames)) {
        if (frame.type == type)
            return false;
    }
    return true;
}

bool FrameClient::waitClosed(int ms)
{
    return QTest::qWaitFor([&] { return socket.state() == QAbstractSocket::UnconnectedState; }, ms);
}
