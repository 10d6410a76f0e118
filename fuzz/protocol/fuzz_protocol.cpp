// Feeds arbitrary bytes through the receive path: cutting, decoding and
// every message decoder, in reads whose sizes the input also chooses.
#include "protocol/clsremotesync.h"
#include "protocol/framecodec.h"

#include <QCoreApplication>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static int argc = 1;
    static char name[] = "fuzz_protocol";
    static char *argv[] = {name, nullptr};
    static QCoreApplication *app = [] {
        setenv("LUMO_ERROR_LOG", "/dev/null", 1);
        return new QCoreApplication(argc, argv);
    }();
    Q_UNUSED(app)

    if (size < 1)
        return 0;
    const qsizetype chunk = 1 + data[0] % 64;
    const QByteArrayView bytes(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));

    clsRemoteSync sync;
    for (qsizetype at = 0; at < bytes.size(); at += chunk)
        sync.ReceiveBytes(bytes.sliced(at, std::min(chunk, bytes.size() - at)));

    Wire::Failure failure;
    const MsgContent msg = FrameCodec::ConvertToMessage(bytes, qint32(bytes.size()), failure);
    const QByteArray again = FrameCodec::ConvertToStream(msg, msg.mcLength + 16, failure);
    if (again.size() != msg.mcLength + 16)
        std::abort();
    return 0;
}
