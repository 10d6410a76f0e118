#include "voiceengineapi.h"

namespace Classroom {

VoiceEngineApi::~VoiceEngineApi() = default;

} // namespace Classroom
