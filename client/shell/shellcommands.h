#pragma once

#include <QObject>
#include <QPointer>
#include <QTextBrowser>
#include <QUrl>

#include <functional>

class NotesManage;
class QWidget;
class SessionState;

namespace Global {
class Prompter;
}

// The main window's own commands: help (the web page, or the help page
// shipped with the program when no browser opens), the links to the web
// site, and the export of the note history to a text file, or of the
// class's record (its pages with the teacher's signs, then its notes) to a
// PDF file when the chosen name ends in ".pdf".
class ShellCommands : public QObject
{
    Q_OBJECT
public:
    using OpenUrl = std::function<bool(const QUrl &)>;
    // Asks for a file name and calls back with it (empty when cancelled).
    using ChooseFile = std::function<void(std::function<void(const QString &)>)>;

    struct Deps {
        SessionState &session;
        Global::Prompter &prompter;
        NotesManage *notes;
        QWidget *window; // parent of the help window and the file dialog
        OpenUrl openUrl; // default: the desktop's browser
        ChooseFile chooseExportFile; // default: a file dialog
        // Writes the class's record as a PDF; false when it could not.
        std::function<bool(const QString &)> exportPdf;
    };
    ShellCommands(Deps deps, QObject *parent = nullptr);

    void Help();
    void OpenWebSite();
    void ExportNotes();

    // The help page shipped beside the program.
    static QString LocalHelpPath();
    // Appends the history with its header line to `path`; false when the
    // file cannot be written.
    static bool AppendExport(const QString &path, const QString &history, const QDateTime &when);

    QTextBrowser *helpWindow() const { return m_helpWindow; }

private:
    void showLocalHelp();

    Deps m_deps;
    QPointer<QTextBrowser> m_helpWindow;
};
