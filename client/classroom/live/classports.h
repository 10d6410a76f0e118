#pragma once

#include <QFont>
#include <QObject>
#include <QString>

#include <functional>

// The few things of the main window and of the voice side that the live
// class units drive, as small interfaces: the program passes the real ones,
// tests pass fakes.
namespace ClassLive {

// Pictures of the status bar panels (the image list of active/inactive).
enum class PanelPicture { Keep, Active, Inactive };

// The main window's own widgets that the units touch.
class ClassWindow
{
public:
    virtual ~ClassWindow() = default;
    // Panel 1 shows the connection, panel 2 the microphone floor.
    virtual void setStatusPanel(int panel, const QString &text, PanelPicture picture) = 0;
    virtual void setCaption(const QString &caption) = 0;
    // TxtCourseName and TxtTeacherName.
    virtual void setCourseNames(const QString &course, const QString &teacher) = 0;
    // cmdRaiseHand's picture: hand up or down.
    virtual void setHandPicture(bool raised) = 0;
    // cmdSendNotes.
    virtual void setSendNotesEnabled(bool enabled) = 0;
    // The frame that holds the whiteboard tool palette.
    virtual void setWhiteBoardToolsEnabled(bool enabled) = 0;
};

// The three voice relays. Class entry waits for them: set up from the
// server's client-key answer (bUDPDistributed turns true and relaysReady is
// raised), or locally when no answer came in time.
class RelaySetup : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    virtual bool bUDPDistributed() const = 0;
    // Sets the relays up without a server key. When it returns, the two
    // local ports below are valid.
    virtual void SetupLocalRelays() = 0;
    virtual quint16 LocalListenPort() const = 0;
    virtual quint16 LocalSpeakPort() const = 0;

Q_SIGNALS:
    void relaysReady();
};

// The voice window as the live class uses it.
class ClassVoice
{
public:
    virtual ~ClassVoice() = default;
    // Listens at (ip, listenPort) and points the speaking side at
    // (ip, speakPort) without starting to speak.
    virtual void ListenAt(const QString &ip, quint16 listenPort, quint16 speakPort) = 0;
    virtual void SpeakStop() = 0;
};

// The courseware re-download ("下载课件"), its confirmation question
// included. `done` gets whether the file is now on the disk; it is called
// exactly once, possibly before fetch() returns.
class CoursewareFetch
{
public:
    virtual ~CoursewareFetch() = default;
    virtual void fetch(const QString &path, std::function<void(bool)> done) = 0;
};

// The font-choice dialog of the text tool; `done` gets false on cancel.
class FontChooser
{
public:
    virtual ~FontChooser() = default;
    virtual void chooseFont(const QFont &initial, std::function<void(bool, const QFont &)> done)
        = 0;
};

} // namespace ClassLive
