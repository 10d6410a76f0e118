#include "controls/volumecontrol/sounddevices.h"

#include "controls/volumecontrol/soundserver.h"

#include <QMetaObject>

SoundDevices::SoundDevices(QObject *parent)
    : QObject(parent)
{
    const SoundServer::Library &library = SoundServer::Load();
    if (library.newDevices) {
        m.reset(library.newDevices(this));
        return;
    }
    // Told as a missing server is: queued, so that whoever made this object
    // has connected by then.
    QMetaObject::invokeMethod(
        this, [this, reason = library.error] { Q_EMIT unavailable(reason); }, Qt::QueuedConnection);
}

SoundDevices::~SoundDevices()
{
    // The server's thread stops here, while this object is whole: none of
    // its callbacks reaches a half-destroyed one.
    m.reset();
}

bool SoundDevices::isReady() const
{
    return m && m->isReady();
}

QList<SoundDevices::Device> SoundDevices::inputs() const
{
    return m ? m->inputs() : QList<Device>();
}

QList<SoundDevices::Device> SoundDevices::outputs() const
{
    return m ? m->outputs() : QList<Device>();
}

QByteArray SoundDevices::defaultInput() const
{
    return m ? m->defaultInput() : QByteArray();
}

QByteArray SoundDevices::defaultOutput() const
{
    return m ? m->defaultOutput() : QByteArray();
}

void SoundDevices::choose(const QByteArray &input, const QByteArray &output)
{
    if (m)
        m->choose(input, output);
}

QByteArray SoundDevices::chosenInput() const
{
    return m ? m->chosenInput() : QByteArray();
}

QByteArray SoundDevices::chosenOutput() const
{
    return m ? m->chosenOutput() : QByteArray();
}

void SoundDevices::setMeterUse(MeterUse use, bool on)
{
    if (m)
        m->setMeterUse(use, on);
}

void SoundDevices::setLoopback(bool on)
{
    if (m)
        m->setLoopback(on);
}

bool SoundDevices::loopbackRunning() const
{
    return m && m->loopbackRunning();
}
