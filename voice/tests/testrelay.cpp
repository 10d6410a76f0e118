#include "voice/tests/testrelay.h"

#include <QHostAddress>
#include <QNetworkDatagram>

TestRelay::TestRelay(quint16 targetPort, int dropPercent, bool bundlePairs)
    : m_targetPort(targetPort)
    , m_dropPercent(dropPercent)
    , m_bundlePairs(bundlePairs)
{
    m_socket.bind(QHostAddress::LocalHost, 0);
    connect(&m_socket, &QUdpSocket::readyRead, this, &TestRelay::readPending);
    // A packet waiting for a partner goes out alone after a frame and a half.
    m_flushTimer.setSingleShot(true);
    m_flushTimer.setInterval(30);
    connect(&m_flushTimer, &QTimer::timeout, this, &TestRelay::flush);
}

void TestRelay::readPending()
{
    while (m_socket.hasPendingDatagrams()) {
        const QByteArray data = m_socket.receiveDatagram().data();
        if (int(m_random.bounded(100)) < m_dropPercent) {
            ++m_dropped;
            continue;
        }
        ++m_forwarded;
        m_held += data;
        if (!m_bundlePairs || m_held.size() > data.size())
            flush();
        else
            m_flushTimer.start();
    }
}

void TestRelay::flush()
{
    m_flushTimer.stop();
    if (m_held.isEmpty())
        return;
    m_out.writeDatagram(m_held, QHostAddress::LocalHost, m_targetPort);
    ++m_datagramsSent;
    m_held.clear();
}
