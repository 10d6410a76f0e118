#include "voice/engine/enginenotifier.h"

namespace Vocana {

void EngineNotifier::post(int hWnd, int message, int wParam, int lParam)
{
    // Queued even on the notifier's own thread: the host must never be
    // re-entered from inside one of its own engine calls.
    QMetaObject::invokeMethod(
        this, [=, this] { Q_EMIT WindowMessage(hWnd, message, wParam, lParam); },
        Qt::QueuedConnection);
}

} // namespace Vocana
