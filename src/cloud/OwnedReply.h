#pragma once

#include <QNetworkReply>
#include <memory>

namespace tavo {

// A reply owned by the coroutine that awaits it, deleted later and never at once: abort()
// emits finished(), which resumes the owner, which may end and drop the reply while abort()
// is still running. Replies are children of their network manager, which deletes any left.
struct DeleteLater {
    void operator()(QObject* o) const {
        if (o) o->deleteLater();
    }
};
using OwnedReply = std::unique_ptr<QNetworkReply, DeleteLater>;

} // namespace tavo
