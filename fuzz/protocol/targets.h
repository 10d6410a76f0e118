#pragma once

#include <cstddef>
#include <cstdint>

// The bodies of the protocol's fuzz harnesses, kept apart from libFuzzer so
// that the tests replay the kept inputs through the same code. Each aborts
// when a property of the code under test does not hold.
namespace ProtocolFuzz {

// Byte 0 chooses the read size (1-64, or whole when 0), the rest is a
// received stream: cutting, decoding and every message's event.
void receivePath(const uint8_t *data, size_t size);

// Byte 0 the type, byte 1 the verb, the rest a payload: every decoder, and
// the list texts read back into records.
void decoders(const uint8_t *data, size_t size);

// Byte 0 the record count, the rest a text (UTF-16LE) for the three list
// parsers and the combination box reader.
void listTexts(const uint8_t *data, size_t size);

} // namespace ProtocolFuzz
