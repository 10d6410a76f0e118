#include "client/classroom/voiceengineapi.h"

namespace Classroom {

VoiceEngineApi::~VoiceEngineApi() = default;

} // namespace Classroom
