#include "platform/linux/RealClock.h"

#include <QCoreApplication>
#include <QTimer>

namespace tavo {

QDateTime RealClock::now() const {
    return QDateTime::currentDateTime();
}

QCoro::Task<> RealClock::sleep(std::chrono::milliseconds duration, CancelToken cancel) {
    Wakeup wakeup;
    // On the heap and deleted later: the wakeup resumes us from inside the timer's own
    // timeout signal, where destroying the timer would pull it out from under its emitter.
    // A child of the application, so a timer whose deletion no event loop runs any more (a
    // sleep cancelled as the process ends) still goes with it.
    auto* timer = new QTimer(QCoreApplication::instance());
    timer->setSingleShot(true);
    timer->setTimerType(Qt::PreciseTimer);
    QObject::connect(timer, &QTimer::timeout, [weak = wakeup.weak()] { Wakeup::fire(weak); });
    cancel.onCancel([weak = wakeup.weak()] { Wakeup::fire(weak); });
    timer->start(duration);
    co_await wakeup;
    timer->stop();
    timer->deleteLater();
}

} // namespace tavo
