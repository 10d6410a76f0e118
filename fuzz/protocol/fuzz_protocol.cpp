// Feeds arbitrary bytes through the receive path: cutting, decoding and
// every message decoder, in reads whose sizes the input also chooses.
#include "fuzz/protocol/fuzzapp.h"
#include "fuzz/protocol/targets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    ProtocolFuzz::ensureApplication();
    ProtocolFuzz::receivePath(data, size);
    return 0;
}
