#pragma once

#include "common/lumoglobal_export.h"

#include <QByteArray>
#include <QObject>

class QSocketNotifier;

namespace Global {

// Lines of text from a file descriptor (standard input of a console or a
// scripted run), read as they come without blocking the event loop. A line
// longer than the limit is dropped whole rather than kept growing; at the
// end of input the last, unterminated line still counts, and reading stops.
class LUMOGLOBAL_EXPORT LineReader : public QObject
{
    Q_OBJECT

public:
    static constexpr qsizetype LineLimit = 64 * 1024;

    explicit LineReader(QObject *parent = nullptr);
    ~LineReader() override;

    void listen(int fd);

Q_SIGNALS:
    void lineRead(const QString &line);

private:
    void readAvailable();

    QSocketNotifier *m_notifier = nullptr;
    int m_fd = -1;
    QByteArray m_pending;
    bool m_discarding = false; // inside an overlong line, until its newline
};

} // namespace Global
