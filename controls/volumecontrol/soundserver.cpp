#include "controls/volumecontrol/soundserver.h"

#include "common/apppaths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLibrary>

#include <dlfcn.h>

using namespace Qt::StringLiterals;

namespace {

// Where this library was loaded from: the sound server's library is built
// and installed beside it.
QString LibraryFolder()
{
    Dl_info info{};
    if (dladdr(reinterpret_cast<const void *>(&LibraryFolder), &info) && info.dli_fname)
        return QFileInfo(QFile::decodeName(info.dli_fname)).absolutePath();
    return {};
}

SoundServer::Library Find()
{
    const QString fileName = u"Aulix_VolumeControlPulse"_s;
    QStringList candidates;
    for (const QString &folder : {LibraryFolder(), Global::ApplicationFolder()}) {
        if (!folder.isEmpty())
            candidates << QDir(folder).filePath(fileName);
    }
    candidates << fileName; // the system's library path
    SoundServer::Library found;
    for (const QString &candidate : std::as_const(candidates)) {
        QLibrary library(candidate);
        found.newMixer
            = reinterpret_cast<SoundServer::NewMixer>(library.resolve(SoundServer::NewMixerSymbol));
        found.newDevices = reinterpret_cast<SoundServer::NewDevices>(
            library.resolve(SoundServer::NewDevicesSymbol));
        if (found.newMixer && found.newDevices) {
            found.error.clear();
            return found;
        }
        found.error = u"sound server library not loaded: "_s + library.errorString();
    }
    found.newMixer = nullptr;
    found.newDevices = nullptr;
    return found;
}

} // namespace

const SoundServer::Library &SoundServer::Load()
{
    static const Library library = Find();
    return library;
}
