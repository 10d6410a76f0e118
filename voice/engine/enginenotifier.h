#pragma once

#include <QObject>

namespace Vocana {

// Carries the engine's window messages to the host as a Qt signal. It lives
// on the host's thread; the audio threads post to it, never emit directly.
class EngineNotifier : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    // Safe from any thread: the signal goes out on the notifier's thread.
    void post(int hWnd, int message, int wParam, int lParam);

Q_SIGNALS:
    void WindowMessage(int hWnd, int message, int wParam, int lParam);
};

} // namespace Vocana
