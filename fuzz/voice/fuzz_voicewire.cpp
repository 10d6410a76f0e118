// Datagrams as any sender on the network may shape them: the splitter and the
// registration reader must hold their rules for every byte string.
#include "fuzz/voice/wirechecks.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    QString problem = WireChecks::splitProblem(bytes);
    if (problem.isEmpty())
        problem = WireChecks::registrationProblem(bytes);
    if (problem.isEmpty() && VoiceWire::isRegistration(bytes)
        && VoiceWire::registrationPacket(*VoiceWire::parseRegistration(bytes)) != bytes)
        problem = QStringLiteral("registration not rebuilt byte for byte");
    if (!problem.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(problem));
        std::abort();
    }
    return 0;
}
