#pragma once

class CampusRoad;
class DesktopNotifier;
class NotesHistory;
class ClassLifecycle;
class Form1;
class StudentSession;
class WhiteBoardInput;
struct StartOptions;

namespace ClassLive {
class AnswerBar;
class LiveClass;
} // namespace ClassLive

namespace ClassroomVoice {
class FloorUnit;
class PrivateTalk;
class VoiceRelays;
class WhoHearsMe;
} // namespace ClassroomVoice

// The units WireUnits made; all owned by form.unitOwner().
struct WiredUnits {
    StudentSession *session = nullptr;
    ClassLifecycle *lifecycle = nullptr;
    CampusRoad *road = nullptr;
    ClassLive::LiveClass *live = nullptr;
    ClassLive::AnswerBar *answers = nullptr;
    ClassroomVoice::VoiceRelays *relays = nullptr;
    ClassroomVoice::FloorUnit *floor = nullptr;
    ClassroomVoice::PrivateTalk *talk = nullptr;
    ClassroomVoice::WhoHearsMe *hears = nullptr;
    WhiteBoardInput *whiteBoardInput = nullptr;
    NotesHistory *history = nullptr;
    DesktopNotifier *notifier = nullptr;
};

// The one place where the units of behaviour are created and tied together.
// Every unit lives under form.unitOwner(), takes what it needs in its
// constructor and connects the protocol events it handles itself; this file
// only connects one unit's result to the next unit's job, and the session
// (StudentSession) to the road it drives and the class units it tells.
WiredUnits WireUnits(Form1 &form, const StartOptions &options);
