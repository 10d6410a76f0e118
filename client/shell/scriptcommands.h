#pragma once

#include <QObject>

class Form1;
class QAbstractButton;
class RunReporter;

// Commands of a scripted run, one a line on a file descriptor (standard
// input with --commands), answered as event lines through the reporter:
//   picture NAME       pictures of every visible window and of the
//                      whiteboard area ("picture" events, the last one
//                      with "what": "board")
//   notes              the note history ("notes" event)
//   users              the IDs in the user list ("users" event)
//   say [to=ID] WORDS  a note typed into the notes panel and sent with its
//                      send button, to everybody or to one person
// and, as a student's hands, each answered by a "command" event (done, or
// refused with the reason):
//   mic                the volume control's microphone button
//   hand               the raise-hand button
//   answer yes|no|ok   the answer bar's button
//   talk ID            the user list's "private talk" entry on user ID
//   endtalk [ID]       the user list's "end private talk" entry, on user ID
//                      or else on the row of the student's talk partner
//   disconnect         the toolbar's DisConnect button
// Buttons are pressed with the mouse at their place in their window, so a
// widget lying over one takes the click as it would from a person; menu
// entries are chosen in the menu that a right-click on the row opens.
// And, to read what the student sees of the class:
//   controls           whether each class control can be used, and its
//                      tooltip; the roster's size; whether the engine
//                      speaks or listens ("controls" event)
// Anything else is answered by a "command-error" event.
class ScriptCommands : public QObject
{
    Q_OBJECT
public:
    ScriptCommands(Form1 &form, RunReporter &reporter, QObject *parent = nullptr);
    ~ScriptCommands() override;

    // Starts reading `fd`; end of input stops reading, the run goes on.
    void listen(int fd);
    void handleLine(const QString &line);

    // A left click at the middle of `button`, delivered to its window at
    // that point; the reason when it could not be pressed or something
    // else took the click.
    static QString clickAt(QAbstractButton *button, const QString &name);

private:
    void picture(const QString &name);
    void say(const QString &words);
    // A button pressed or a menu entry picked; the reason when refused.
    QString press(const QString &verb, const QString &argument);
    QString answer(const QString &which);
    // Right-clicks the row of `UserID` in the user list and picks the entry
    // `caption` of the menu that opens.
    QString pickUserMenuEntry(qint32 UserID, const char *caption);
    void controls();

    Form1 &m_form;
    RunReporter &m_reporter;
};
