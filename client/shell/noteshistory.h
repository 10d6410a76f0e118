#pragma once

#include <QFile>
#include <QImage>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <functional>

class NotesManage;

// The record of one class's file: one text per line, "T" and the text with
// "\", CR and LF escaped, after a first line "K" and the class's key. A line
// is written whole by one write call, so a program killed while writing
// leaves at most its last line torn; a torn line (no line end) or one that
// is not valid UTF-8 is skipped on reading, never shown.
namespace NotesRecord {
QByteArray keyLine(const QString &key);
QByteArray textLine(const QString &text);
struct Read {
    QString key;
    QStringList texts;
    qint64 wholeBytes = 0; // up to the end of the last complete line
};
Read parse(const QByteArray &bytes);
} // namespace NotesRecord

// Keeps what the notes history shows of a class on disk as it arrives, and
// the pages the class showed with the teacher's signs on them, so that a
// crash, a lost connection or a new start loses nothing: when the student
// enters the same class again, the panel shows its lines again before the
// new ones. Every text added to the main panel or to the detached window's
// panel counts (notes both ways, arrivals, departures, the program's own
// bracketed lines) from the class's entry until the panel is emptied by the
// next Connect or another class is entered.
class NotesHistory : public QObject
{
    Q_OBJECT
public:
    struct Deps {
        NotesManage &panel;
        NotesManage *detached = nullptr; // the notes window's panel; may be null
        // Where the class files lie (created when needed).
        QString folder;
        // The board as the student sees it now: the page and the signs.
        std::function<QImage()> captureBoard;
    };

    // A class's file grows to at most this many bytes; then its oldest lines
    // go, down to half of it.
    static constexpr qint64 MaxFileBytes = 4 * 1024 * 1024;
    // At most this many pages are kept of one class.
    static constexpr int MaxPages = 300;

    explicit NotesHistory(Deps deps, QObject *parent = nullptr);
    ~NotesHistory() override;

    // A class is being entered (also a return to it): its record is opened
    // and, unless the panel already shows it, its lines are shown again.
    // `key` names the class (server, student, course, time).
    void classEntering(const QString &key);
    // The panel was emptied: what comes next belongs to no class yet.
    void panelCleared();

    // A new item is about to replace the board: the board as it is, with
    // its signs, is kept as a page when anything was shown or drawn.
    void pageChanging();
    // The class ends: its last page is kept likewise.
    void keepPage();
    // A sign arrived on the board.
    void boardDrawn();
    // The teacher wiped the board (already gone): the last picture taken
    // while it was drawn on is kept.
    void boardWiped();

    // The current class's lines, oldest first (all of the file, not only
    // what the panel still holds).
    QStringList texts() const;
    QStringList pageFiles() const;
    QString filePath() const { return m_file.fileName(); }

    // The pages with their signs, then the notes, as a PDF; false (and an
    // error log entry) when it cannot be written.
    bool exportPdf(const QString &path) const;

    static QString keyFileName(const QString &key);

private:
    void record(const QString &text);
    void open(const QString &key);
    void close();
    void compact();
    void snapshotSoon();
    void commitPage(const QImage &page);

    Deps m;
    QString m_key;
    QFile m_file;
    bool m_replaying = false;
    bool m_writeFailed = false; // logged once a class
    // The board since the last kept page.
    bool m_boardUsed = false;
    QImage m_lastKept;
    QImage m_snapshot; // the drawn board, taken a little after each sign
    QTimer m_snapshotTimer;
    int m_pages = 0;
};
