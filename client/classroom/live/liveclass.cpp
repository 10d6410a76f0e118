#include "client/classroom/live/liveclass.h"

namespace ClassLive {

LiveClass::LiveClass(Deps deps, QObject *parent)
    : LiveClass(deps, ClassEntry::Limits{}, parent)
{ }

LiveClass::LiveClass(Deps d, ClassEntry::Limits limits, QObject *parent)
    : QObject(parent)
    , m_gate(std::make_unique<ClassEventGate>(d.remote))
{
    // The entry connects to the roster's signals before anything else may
    // react to a full roster.
    m_roster = std::make_unique<RosterBinder>(RosterBinder::Deps{d.remote, *m_gate, d.session,
        d.live, d.prompter, d.window, d.users, d.notes, d.course, d.volume});
    m_entry = std::make_unique<ClassEntry>(
        ClassEntry::Deps{d.remote, *m_gate, d.session, d.live, d.prompter, d.window, d.users,
            d.notes, d.course, d.volume, d.relays, d.voice, d.fetch, d.coursewarePath},
        limits);
    m_notes = std::make_unique<NotesBinder>(NotesBinder::Deps{
        d.remote, *m_gate, d.live, d.prompter, d.notes, d.detachedNotes, d.mailButton});
    m_whiteboard = std::make_unique<WhiteBoardRelay>(WhiteBoardRelay::Deps{d.remote, *m_gate,
        d.session, d.live, d.prompter, d.fonts, d.sign, d.ole, d.palette, d.board, d.setFirstMove});
    m_playback = std::make_unique<PlaybackBinder>(PlaybackBinder::Deps{
        d.remote, *m_gate, d.session, d.live, d.prompter, d.course, d.ole, d.sign});
    m_switches = std::make_unique<ClassSwitches>(ClassSwitches::Deps{
        d.remote, *m_gate, d.session, d.window, d.voice, d.users, d.notes, d.volume});
    m_questions
        = std::make_unique<QuestionBinder>(QuestionBinder::Deps{d.remote, *m_gate, d.answers});

    connect(m_roster.get(), &RosterBinder::fullRosterArriving, m_entry.get(),
        &ClassEntry::onFullRosterArriving);
    connect(m_roster.get(), &RosterBinder::fullRosterFilled, m_entry.get(),
        &ClassEntry::onFullRosterFilled);
    connect(m_entry.get(), &ClassEntry::replayPlay, m_playback.get(), &PlaybackBinder::play);
}

LiveClass::~LiveClass() = default;

} // namespace ClassLive
