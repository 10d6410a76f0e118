#include "client/shell/wiring.h"

#include "client/session/sessionstate.h"
#include "client/shell/form1.h"
#include "client/shell/startoptions.h"
#include "common/prompter.h"
#include "protocol/clsremotesync.h"

// --- includes: main window ---
#include "client/shell/shellcommands.h"
#include "client/shell/whiteboardinput.h"
#include "controls/whiteboardole/whiteboardole.h"

#include <QLabel>
#include <QMouseEvent>
// --- end includes: main window ---

// --- includes: campus road ---
// --- end includes: campus road ---

// --- includes: class entry and live class ---
// --- end includes: class entry and live class ---

// --- includes: voice, floor and private talk ---
// --- end includes: voice, floor and private talk ---

void WireUnits(Form1 &form, const StartOptions &options)
{
    QObject *owner = form.unitOwner();
    clsRemoteSync &remote = form.RemoteSync();
    SessionState &session = form.session();
    Global::Prompter &prompter = form.prompter();
    Q_UNUSED(options);

    // --- main window ---
    auto *whiteBoardInput = new WhiteBoardInput(
        {remote, session, form.whiteBoardSign(), form.WhiteBoard(), form.whiteBoardOLE(),
            [&form] { return form.frmInput(); }, [&form] { return form.whiteBoardOLE()->grab(); }},
        owner);
    QObject::connect(&form, &Form1::refreshRequested, whiteBoardInput, &WhiteBoardInput::Refresh);
    QObject::connect(
        &form, &Form1::restoredFromMinimized, whiteBoardInput, &WhiteBoardInput::Restored);

    auto *commands
        = new ShellCommands({session, prompter, form.notesManage(), &form, {}, {}}, owner);
    QObject::connect(&form, &Form1::helpRequested, commands, &ShellCommands::Help);
    QObject::connect(&form, &Form1::exportRequested, commands, &ShellCommands::ExportNotes);
    QObject::connect(&form, &Form1::webLinkRequested, commands, &ShellCommands::OpenWebSite);
    // --- end main window ---

    // --- campus road ---
    // --- end campus road ---

    // --- class entry and live class ---
    // --- end class entry and live class ---

    // --- voice, floor and private talk ---
    // --- end voice, floor and private talk ---
}
