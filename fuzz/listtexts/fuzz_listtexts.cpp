// The three list-text parsers on arbitrary text.
#include "fuzz/protocol/fuzzapp.h"
#include "fuzz/protocol/targets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    ProtocolFuzz::ensureApplication();
    ProtocolFuzz::listTexts(data, size);
    return 0;
}
