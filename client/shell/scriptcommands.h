#pragma once

#include <QByteArray>
#include <QObject>

class Form1;
class QSocketNotifier;
class RunReporter;

// A scripted run's hands: lines read from a descriptor (standard input)
// press the main window's buttons or pick the user list's menu entries, as
// a student would. Each line is answered with one "command" event: done, or
// refused with the reason.
//
//   mic        the volume control's microphone button
//   hand       the raise-hand button
//   talk ID    the user list's "private talk" entry on user ID
//   endtalk    the user list's "end private talk" entry
class ScriptCommands : public QObject
{
    Q_OBJECT
public:
    ScriptCommands(Form1 &form, RunReporter &reporter, QObject *parent = nullptr);

    void listen(int fd);
    // One command; returns the reason when it was refused, else empty.
    QString run(const QString &line);

private:
    void readAvailable();

    Form1 &m_form;
    RunReporter &m_reporter;
    QSocketNotifier *m_notifier = nullptr;
    int m_fd = -1;
    QByteArray m_pending;
};
