#include "platform/linux/SecretServiceKeychain.h"

#include <qt6keychain/keychain.h>

#include <qcoro/qcorosignal.h>

#include <QPointer>
#include <QTimer>

namespace tavo {

namespace {

// Runs a job to its end and disposes of it. The job must not delete itself: the awaiter's
// resumption can be delivered after `finished`, and a job already gone would drop it and
// leave the caller suspended for ever. The job starts from the event loop so that a job
// finishing at once cannot emit before the awaiter listens.
QCoro::Task<QKeychain::Error> run(QKeychain::Job* job) {
    job->setAutoDelete(false);
    job->setInsecureFallback(false);
    QTimer::singleShot(0, job, &QKeychain::Job::start);
    co_await qCoro(job, &QKeychain::Job::finished);
    const QKeychain::Error error = job->error();
    job->deleteLater();
    co_return error;
}

} // namespace

QCoro::Task<std::optional<QByteArray>> SecretServiceKeychain::read(QString service, QString account) {
    auto* job = new QKeychain::ReadPasswordJob(service);
    job->setKey(account);
    QPointer<QKeychain::ReadPasswordJob> alive(job); // deleted later, so still here
    const QKeychain::Error error = co_await run(job);
    std::optional<QByteArray> out;
    if (error == QKeychain::NoError && alive) out = job->binaryData();
    co_return out;
}

QCoro::Task<> SecretServiceKeychain::remove(QString service, QString account) {
    auto* job = new QKeychain::DeletePasswordJob(service);
    job->setKey(account);
    co_await run(job);
}

QCoro::Task<> SecretServiceKeychain::write(QString service, QString account, QByteArray data) {
    auto* job = new QKeychain::WritePasswordJob(service);
    job->setKey(account);
    job->setBinaryData(data);
    co_await run(job);
}

} // namespace tavo
