// Every payload decoder on one arbitrary payload, and the list texts they
// produce read back into records.
#include "fuzz/protocol/fuzzapp.h"
#include "fuzz/protocol/targets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    ProtocolFuzz::ensureApplication();
    ProtocolFuzz::decoders(data, size);
    return 0;
}
