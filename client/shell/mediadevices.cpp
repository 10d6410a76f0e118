// The sound devices the media framework sees, for the about dialog. A
// library of its own, loaded when the dialog opens: linking the media
// framework into the program would load it, and the sound server's client
// library with it, at every start.
#include "client/shell/lumomediadevices_export.h"

#include <QAudioDevice>
#include <QMediaDevices>
#include <QStringList>

namespace {

void Describe(const QList<QAudioDevice> &devices, const QAudioDevice &preferred, QStringList *names,
    int *preferredIndex)
{
    *preferredIndex = -1;
    for (const QAudioDevice &device : devices) {
        if (device == preferred)
            *preferredIndex = int(names->size());
        names->append(device.description());
    }
}

} // namespace

extern "C" LUMOMEDIADEVICES_EXPORT void lumo_audio_devices(
    QStringList *outputs, int *defaultOutput, QStringList *inputs, int *defaultInput)
{
    Describe(
        QMediaDevices::audioOutputs(), QMediaDevices::defaultAudioOutput(), outputs, defaultOutput);
    Describe(
        QMediaDevices::audioInputs(), QMediaDevices::defaultAudioInput(), inputs, defaultInput);
}
