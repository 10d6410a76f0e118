#pragma once

#include <QByteArray>
#include <QObject>
#include <QRandomGenerator>
#include <QTimer>
#include <QUdpSocket>

// A stand-in for the classroom server's voice relay on 127.0.0.1: forwards
// every datagram to one port, dropping a share of them at random (seeded,
// so a run can be repeated) and, when asked, bundling two packets back to
// back in one datagram as the real server may.
class TestRelay : public QObject
{
    Q_OBJECT
public:
    explicit TestRelay(quint16 targetPort, int dropPercent = 0, bool bundlePairs = false);

    quint16 port() const { return m_socket.localPort(); }
    int forwarded() const { return m_forwarded; }
    int dropped() const { return m_dropped; }
    int datagramsSent() const { return m_datagramsSent; }

private:
    void readPending();
    void flush();

    QUdpSocket m_socket;
    QUdpSocket m_out;
    quint16 m_targetPort;
    int m_dropPercent;
    bool m_bundlePairs;
    QRandomGenerator m_random{20261207};
    QByteArray m_held;
    QTimer m_flushTimer;
    int m_forwarded = 0;
    int m_dropped = 0;
    int m_datagramsSent = 0;
};
