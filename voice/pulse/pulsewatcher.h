#pragma once

#include <QString>

#include <functional>
#include <memory>

namespace Voice {

// Follows the sound server's device list: `changed` runs (on the watcher's
// own loop thread) whenever a microphone or loudspeaker comes or goes, or
// the defaults change.
class PulseWatcher
{
public:
    using Changed = std::function<void()>;

    PulseWatcher();
    ~PulseWatcher();
    PulseWatcher(const PulseWatcher &) = delete;
    PulseWatcher &operator=(const PulseWatcher &) = delete;

    // True once the server listens for us; the wait ends on the answer, a
    // failure or `timeoutMs`.
    bool start(Changed changed, QString *why, int timeoutMs = 2000);
    // Joins the loop's thread: `changed` does not run once it returns.
    void stop();

    struct Private;

private:
    std::unique_ptr<Private> d;
};

} // namespace Voice
