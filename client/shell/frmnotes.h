#pragma once

#include <QWidget>

#include <functional>

class NotesManage;

// The detached notes window ("发消息"): one notes panel filling the window.
// A note written in its panel is raised by the panel (SentNoteMessage); the
// notes unit adds it to the panel and sends it, as for the main window's
// panel: the window itself sends nothing. Closing only hides the window
// until the program itself is closing.
class FrmNotes : public QWidget
{
    Q_OBJECT
public:
    // `isClosing` tells whether the program is ending.
    explicit FrmNotes(std::function<bool()> isClosing, QWidget *parent = nullptr);

    void AddNotes(qint32 FromID, qint32 ToID, const QString &Message);
    NotesManage *notesManage() const { return m_notes; }

    // Shown (again) in front, its send box ready for typing.
    void open();

protected:
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    std::function<bool()> m_isClosing;
    NotesManage *m_notes = nullptr;
};
