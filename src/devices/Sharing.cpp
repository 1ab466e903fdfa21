// Members of a box: the list, invites with a relay selection, removal.

#include "cloud/Endpoints.h"
#include "core/PhoneNumber.h"
#include "core/TavoStore.h"

#include <QSet>
#include <algorithm>

namespace tavo {

namespace {

QStringView trimSpacesAndTabs(QStringView s) {
    auto blank = [](QChar c) { return c == u' ' || c == u'\t'; };
    while (!s.isEmpty() && blank(s.front()))
        s = s.mid(1);
    while (!s.isEmpty() && blank(s.back()))
        s.chop(1);
    return s;
}

// An optional sign, then ASCII digits only, within 64 bits.
std::optional<qint64> parseDecimal(QStringView s) {
    QStringView digits = s;
    if (!digits.isEmpty() && (digits.front() == u'+' || digits.front() == u'-')) digits = digits.mid(1);
    if (digits.isEmpty() ||
        !std::all_of(digits.begin(), digits.end(), [](QChar c) { return c >= u'0' && c <= u'9'; }))
        return std::nullopt;
    bool ok = false;
    const qint64 v = s.toLongLong(&ok, 10);
    return ok ? std::optional(v) : std::nullopt;
}

constexpr qint64 allRelaysMask = 0xFFFFFFFF;

} // namespace

QString relayChipsToCSV(const QList<int>& selected, int total) {
    QList<int> relays = QSet<int>(selected.cbegin(), selected.cend()).values();
    if (total > 0 && relays.size() == total) return {};
    std::sort(relays.begin(), relays.end());
    QStringList parts;
    for (int ch : relays)
        parts << QString::number(ch);
    return parts.join(u',');
}

std::optional<qint64> inviteMask(const QString& relaysCSV) {
    const QStringView list = trimSpacesAndTabs(relaysCSV);
    if (list.isEmpty()) return allRelaysMask;
    qint64 mask = 0;
    for (QStringView piece : list.split(u',', Qt::SkipEmptyParts)) {
        const std::optional<qint64> ch = parseDecimal(trimSpacesAndTabs(piece));
        if (!ch || *ch < 1 || *ch > 32) continue;
        mask |= qint64(1) << (*ch - 1);
    }
    if (mask == 0) return std::nullopt;
    return mask;
}

void TavoStore::loadMembers(qint64 deviceID) {
    doLoadMembers(deviceID);
}

QCoro::Task<> TavoStore::doLoadMembers(qint64 deviceID) {
    QPointer<TavoStore> self(this);
    const QString get = QStringLiteral("GET");
    Result<MemberList> reply = co_await api().send<MemberList>(get, Endpoints::deviceMembers(deviceID));
    if (!self) co_return;
    if (!reply) {
        showToast(reply.failure().description(), true);
        co_return;
    }
    assign(m_members, reply->members, &TavoStore::membersChanged);
}

void TavoStore::invite(qint64 deviceID, const QString& phone, const QString& relaysCSV) {
    doInvite(deviceID, phone, inviteMask(relaysCSV));
}

// Unlike the text form, no chip selected means no relay, never "all relays".
void TavoStore::inviteWithChips(qint64 deviceID, const QString& phone, const QList<int>& selected,
                                int total) {
    doInvite(deviceID, phone,
             selected.isEmpty() ? std::nullopt : inviteMask(relayChipsToCSV(selected, total)));
}

QCoro::Task<> TavoStore::doInvite(qint64 deviceID, QString phone, std::optional<qint64> mask) {
    if (!isE164(phone)) {
        showToast(QStringLiteral("Phone must be E.164"), true);
        co_return;
    }
    if (!mask) {
        showToast(QStringLiteral("Invalid relay list"), true);
        co_return;
    }
    QPointer<TavoStore> self(this);
    const QString post = QStringLiteral("POST");
    const QByteArray body = json::compact({{"phone", phone}, {"acl_mask", *mask}});
    Result<InviteResult> reply =
        co_await api().send<InviteResult>(post, Endpoints::deviceInvite(deviceID), body);
    if (!self) co_return;
    if (!reply) {
        showToast(reply.failure().description(), true);
        co_return;
    }
    if (reply->whatsapp_delivered.value_or(true)) {
        showToast(QStringLiteral("Invited — WhatsApp sent"), false);
        assign(m_pendingInviteShareLink, std::optional<QString>(), &TavoStore::pendingInviteShareLinkChanged);
    } else {
        showToast(QStringLiteral("Added — WhatsApp couldn't reach them yet"), true);
        assign(m_pendingInviteShareLink, reply->share_link, &TavoStore::pendingInviteShareLinkChanged);
    }
    co_await doLoadMembers(deviceID);
}

void TavoStore::removeMember(qint64 deviceID, qint64 userID) {
    doRemoveMember(deviceID, userID);
}

QCoro::Task<> TavoStore::doRemoveMember(qint64 deviceID, qint64 userID) {
    QPointer<TavoStore> self(this);
    const QString del = QStringLiteral("DELETE");
    Result<EmptyOK> reply = co_await api().send<EmptyOK>(del, Endpoints::deviceMember(deviceID, userID));
    if (!self) co_return;
    if (!reply) {
        showToast(reply.failure().description(), true);
        co_return;
    }
    showToast(QStringLiteral("Removed"), false);
    co_await doLoadMembers(deviceID);
}

} // namespace tavo
