#include "platform/linux/SecretServiceKeychain.h"

#include <qt6keychain/keychain.h>

#include <qcoro/qcorosignal.h>

namespace tavo {

namespace {

// Runs a job to its end; the job deletes itself afterwards (QtKeychain's default).
QCoro::Task<QKeychain::Error> run(QKeychain::Job* job) {
    job->setInsecureFallback(false);
    job->start();
    co_await qCoro(job, &QKeychain::Job::finished);
    co_return job->error();
}

} // namespace

QCoro::Task<std::optional<QByteArray>> SecretServiceKeychain::read(QString service, QString account) {
    auto* job = new QKeychain::ReadPasswordJob(service);
    job->setKey(account);
    job->setAutoDelete(false);
    const QKeychain::Error error = co_await run(job);
    std::optional<QByteArray> out;
    if (error == QKeychain::NoError) out = job->binaryData();
    job->deleteLater();
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
