#pragma once

#include "controls/notesmanage/aulix_notesmanage_export.h"

#include <QWidget>

#include <memory>

namespace Global {
class Prompter;
}

class NotesManagePrivate;

// The notes panel: the history of notes and system messages, the recipient
// list ("所有人" first, then each person but the local user) and the send
// box. Enter in the send box raises SentNoteMessage; the host sends the note
// and hands arriving notes back through AddNoteMessage.
class AULIX_NOTESMANAGE_EXPORT NotesManage : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(qint32 MyID READ MyID WRITE setMyID)
    Q_PROPERTY(qint32 MinHeight READ MinHeight WRITE setMinHeight)
    Q_PROPERTY(qint32 MinWidth READ MinWidth WRITE setMinWidth)
    Q_PROPERTY(bool SendEnabled READ SendEnabled WRITE setSendEnabled)

public:
    // The history keeps at most this many characters (trimmed): the oldest
    // lines give way to new ones.
    static constexpr int HistoryLimit = 10000;
    // Longest note, in characters after trimming.
    static constexpr int NoteLimit = 128;

    explicit NotesManage(QWidget *parent = nullptr);
    ~NotesManage() override;

    // A second panel for the same class (a detached window): from now on it
    // shows `leader`'s recipients and sends as its local user and under its
    // permission; its history stays its own. Once only; not owned.
    void follow(NotesManage *leader);

    // Where the length warning goes; not owned. Without one the panel shows
    // its own message boxes.
    void setPrompter(Global::Prompter *prompter);

    qint32 MyID() const;
    void setMyID(qint32 value);
    // Smallest useful size in twips, for the host's layout; only stored.
    qint32 MinHeight() const;
    void setMinHeight(qint32 value);
    qint32 MinWidth() const;
    void setMinWidth(qint32 value);
    // Whether notes may be sent; the send box takes typing only when set.
    bool SendEnabled() const;
    void setSendEnabled(bool value);

    bool AddUser(qint32 UserID, const QString &UserNick);
    bool RemoveUser(qint32 UserID);
    bool RemoveAllUsers();
    // Empties the history; answers False all the same.
    bool ClearText();
    // The whole history, lines closed by CR LF.
    QString Export() const;
    void AddMessage(const QString &strMessage);
    void AddNoteMessage(qint32 FromID, qint32 ToID, const QString &strMessage);
    QString SelectedUserNick() const;
    qint32 SelectedUserID() const;
    bool SelectUser(const QVariant &UserID);
    bool SetSendText(const QString &strMessage);

Q_SIGNALS:
    void SentNoteMessage(qint32 FromID, qint32 ToID, const QString &strMessage);
    // A text just added to the history, as AddMessage took it; the host may
    // keep its own record of the class.
    void HistoryAppended(const QString &strMessage);

protected:
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    friend class NotesManagePrivate;
    std::unique_ptr<NotesManagePrivate> const d;
};
