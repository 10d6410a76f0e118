#pragma once

#include "controls/volumecontrol/aulix_volumecontrol_export.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

#include <memory>

// The sound server's microphones and speakers for the options' sound page.
// The lists follow hot-plug. The student's choice is applied to every stream
// of this process, whoever opened it (the voice engine, media playback, the
// loopback test), and again to each new one, so nothing else needs to know
// which device was chosen. A chosen device that goes away leaves its streams
// on the server's default, which is said once; when it comes back they move
// back to it. libpulse runs on its own thread; everything reaches this
// object queued, on the thread that owns it. Without the sound server's
// library every list is empty and `unavailable` says why.
class AULIX_VOLUMECONTROL_EXPORT SoundDevices : public QObject
{
    Q_OBJECT

public:
    struct Device {
        QByteArray name;
        QString description;
        // A monitor of an output: listed last, as it hears the program, not the room.
        bool monitor = false;
        bool operator==(const Device &) const = default;
    };

    explicit SoundDevices(QObject *parent = nullptr);
    ~SoundDevices() override;

    bool isReady() const;
    QList<Device> inputs() const;
    QList<Device> outputs() const;
    QByteArray defaultInput() const;
    QByteArray defaultOutput() const;

    // Empty names stand for the server's default.
    void choose(const QByteArray &input, const QByteArray &output);
    QByteArray chosenInput() const;
    QByteArray chosenOutput() const;

    // A peak meter on the chosen input, running while any use wants it:
    // the sound page while it shows, and in class the watch for speech
    // while the microphone reaches nobody.
    enum MeterUse { OptionsPage = 1, SpeechWatch = 2 };
    void setMeterUse(MeterUse use, bool on);
    // The student's voice from the chosen input to the chosen output, with
    // the buffers the voice engine asks for, so it sounds as late as a
    // classmate hears it.
    void setLoopback(bool on);
    bool loopbackRunning() const;

    // The sound server's side, made by a library loaded with the first
    // SoundDevices (see soundserver.h).
    struct Backend;

Q_SIGNALS:
    // The first lists, and every change of a list or of a default device.
    void changed();
    // The meter, 0..100, about 25 times a second.
    void level(int percent);
    // The loopback's delay from microphone to speaker as the server
    // reports it, in milliseconds, about twice a second.
    void loopbackDelay(int ms);
    // A chosen device went away; its streams are on the default now.
    void deviceLost(const QString &description);
    // No sound server, or it went away.
    void unavailable(const QString &reason);

private:
    std::unique_ptr<Backend> m;
};
