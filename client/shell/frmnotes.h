#pragma once

#include <QWidget>

#include <functional>

class NotesManage;
class clsRemoteSync;

// The detached notes window: one notes panel filling the window. A note
// sent from its panel is added to the panel and sent to the server.
// Closing only hides the window until the program itself is closing.
class FrmNotes : public QWidget
{
    Q_OBJECT
public:
    // `isClosing` tells whether the program is ending.
    FrmNotes(clsRemoteSync &remote, std::function<bool()> isClosing, QWidget *parent = nullptr);

    void AddNotes(qint32 FromID, qint32 ToID, const QString &Message);
    NotesManage *notesManage() const { return m_notes; }

protected:
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    clsRemoteSync &m_remote;
    std::function<bool()> m_isClosing;
    NotesManage *m_notes = nullptr;
};
