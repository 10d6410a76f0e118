#pragma once

#include "sim/core/serverframe.h"

#include <QByteArray>
#include <QList>
#include <QTcpSocket>

#include <functional>

// A bare protocol client for server tests: sends frames, keeps every frame
// the server sends, waits for one that matches.
class FrameClient
{
public:
    bool connectTo(quint16 port);
    void send(quint8 type, qint32 verb, qint32 id, const QByteArray &payload = {});
    void sendRaw(const QByteArray &bytes);
    // Classroom login as the client builds it.
    void login(qint32 id, const QString &password);

    // Waits up to `ms` for a frame of that type (and verb, unless -1) that
    // was not taken before, and takes it.
    bool take(quint8 type, qint32 verb, ServerFrame::Frame *frame = nullptr, int ms = 3000);
    // True when no such frame arrives within `ms`.
    bool noFrame(quint8 type, int ms = 200);
    bool waitClosed(int ms = 3000);
    QList<ServerFrame::Frame> frames;
    QTcpSocket socket;

private:
    void read();
    QByteArray m_buffer;
};
