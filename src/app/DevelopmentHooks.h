#pragma once

#include <functional>

class QElapsedTimer;
class QQuickWindow;

namespace tavo {

class TavoStore;

// Hooks for looking at the window without a desktop and for the start-up benchmark, all
// behind one environment variable, TAVO_DEVELOPMENT, a comma-separated list of:
//   screenshot=FILE  saves the window to FILE (PNG) after a delay, then quits;
//   delay=MS         that delay, 1500 ms by default;
//   first-frame      prints "tavo: first frame with devices after N ms" (N since `sinceMain`)
//                    once a frame laid out with the device grid showing has been presented,
//                    then quits.
// Nothing happens when it is unset.
void installDevelopmentHooks(QQuickWindow& window, const TavoStore& store, const QElapsedTimer& sinceMain);

} // namespace tavo
