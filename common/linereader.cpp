#include "common/linereader.h"

#include <QSocketNotifier>

#include <utility>

#include <unistd.h>

namespace Global {

LineReader::LineReader(QObject *parent)
    : QObject(parent)
{ }

LineReader::~LineReader() = default;

void LineReader::listen(int fd)
{
    m_fd = fd;
    m_notifier = new QSocketNotifier(qintptr(fd), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &LineReader::readAvailable);
}

void LineReader::readAvailable()
{
    char buffer[4096];
    // The notifier said the descriptor is readable: one read does not block.
    const ssize_t count = ::read(m_fd, buffer, sizeof buffer);
    if (count <= 0) {
        m_notifier->setEnabled(false);
        const QByteArray last = std::exchange(m_pending, {});
        if (!m_discarding && !last.trimmed().isEmpty())
            Q_EMIT lineRead(QString::fromUtf8(last));
        return;
    }
    m_pending.append(buffer, count);
    qsizetype newline = 0;
    while ((newline = m_pending.indexOf('\n')) >= 0) {
        const QString line = QString::fromUtf8(m_pending.left(newline));
        m_pending.remove(0, newline + 1);
        if (std::exchange(m_discarding, false))
            continue; // the end of an overlong line
        Q_EMIT lineRead(line);
    }
    if (m_pending.size() > LineLimit) {
        m_pending.clear();
        m_discarding = true;
    }
}

} // namespace Global
