#include "client/shell/wiring.h"

#include "client/session/sessionstate.h"
#include "client/shell/form1.h"
#include "client/shell/startoptions.h"
#include "common/prompter.h"
#include "protocol/clsremotesync.h"

// --- includes: main window ---
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
    Q_UNUSED(owner);
    Q_UNUSED(remote);
    Q_UNUSED(session);
    Q_UNUSED(prompter);
    Q_UNUSED(options);

    // --- main window ---
    // --- end main window ---

    // --- campus road ---
    // --- end campus road ---

    // --- class entry and live class ---
    // --- end class entry and live class ---

    // --- voice, floor and private talk ---
    // --- end voice, floor and private talk ---
}
