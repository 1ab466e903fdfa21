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
// With first-frame on, start-up also prints "tavo: phase NAME at NS" as it passes each phase (NS:
// the monotonic clock in nanoseconds, the clock the benchmark times the spawn on), so that
// bench/ can say where a slower start went. installDevelopmentHooks adds "first-frame" (any
// frame presented) and "devices" (the store has its first device list).
void markStartupPhase(const char* name);
void installDevelopmentHooks(QQuickWindow& window, const TavoStore& store, const QElapsedTimer& sinceMain);

} // namespace tavo
