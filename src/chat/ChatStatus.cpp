#include "chat/ChatStatus.h"

#include "core/TavoStore.h"

#include <QHash>
#include <array>
#include <utility>

namespace tavo {

namespace {

const QHash<QString, QString>& exactCaptions() {
    static const QHash<QString, QString> exact{
        {"tavo_set_relay", "Toggling relay…"},
        {"tavo_devices_list", "Looking at your boxes…"},
        {"swiggy_im_get_addresses", "Looking up your addresses…"},
        {"swiggy_im_search_products", "Browsing Instamart…"},
        {"swiggy_im_your_go_to_items", "Pulling your favourites…"},
        {"swiggy_im_get_cart", "Checking your cart…"},
        {"swiggy_im_update_cart", "Updating your cart…"},
        {"swiggy_im_clear_cart", "Clearing your cart…"},
        {"swiggy_im_checkout", "Placing your order…"},
        {"swiggy_im_get_orders", "Looking at past orders…"},
        {"swiggy_im_get_order_details", "Pulling order details…"},
        {"swiggy_im_track_order", "Tracking your order…"},
    };
    return exact;
}

constexpr std::array<std::pair<const char*, const char*>, 2> prefixCaptions{{
    {"swiggy_food_", "Searching Swiggy Food…"},
    {"swiggy_dineout_", "Searching Dineout…"},
}};

} // namespace

QString ChatStatus::text(const QString& tool) {
    if (tool.isEmpty()) return QStringLiteral("Working on it…");
    if (auto it = exactCaptions().constFind(tool); it != exactCaptions().constEnd()) return *it;
    for (const auto& [prefix, caption] : prefixCaptions)
        if (tool.startsWith(QLatin1String(prefix))) return QString::fromUtf8(caption);

    QStringList words = tool.split(QLatin1Char('_'));
    for (QString& w : words)
        if (!w.isEmpty()) w = w.left(1).toUpper() + w.mid(1).toLower();
    return words.join(QLatin1Char(' ')) + QStringLiteral("…");
}

const QList<QRegularExpression>& chatStatusRX() {
    static const QList<QRegularExpression> list = [] {
        const char* patterns[] = {
            R"(^\s*what'?s?\s+on(\s+right\s+now)?\??\s*$)",
            R"(^\s*what\s+is\s+on\??\s*$)",
            R"(^\s*(current\s+)?status\??\s*$)",
            R"(^\s*status\s+bata(o|do|oge)?\??\s*$)",
            R"(^\s*anything\s+on\??\s*$)",
            R"(^\s*what'?s?\s+(the\s+)?state\??\s*$)",
            R"(^\s*kya\s+(kya\s+)?(on|chal(\s+raha)?)(\s+hai)?\??\s*$)",
            R"(^\s*kaun[\s-]?sa\s+on(\s+hai)?\??\s*$)",
            R"(^\s*kitne?\s+on(\s+hai)?\??\s*$)",
            R"(^\s*(bata|batao|batado|bataye|batayein)\??\s*$)",
            R"(^\s*sab\s+(kya|kaisa)(\s+hai)?\??\s*$)",
        };
        QList<QRegularExpression> out;
        for (const char* p : patterns) {
            QRegularExpression rx(QString::fromUtf8(p), QRegularExpression::CaseInsensitiveOption |
                                                            QRegularExpression::UseUnicodePropertiesOption);
            // A typo here would silently stop a phrase being answered locally.
            Q_ASSERT_X(rx.isValid(), "chatStatusRX", p);
            out << rx;
        }
        return out;
    }();
    return list;
}

bool isStatusQuestion(const QString& text) {
    for (const QRegularExpression& rx : chatStatusRX())
        if (rx.match(text).hasMatch()) return true;
    return false;
}

QString TavoStore::chatStatusCaption() const {
    int onCount = 0;
    for (const Device& d : m_devices)
        if (d.states)
            for (bool s : *d.states)
                onCount += s ? 1 : 0;
    if (onCount == 0) return QStringLiteral("Everything is off.");
    const qsizetype boxes = m_devices.size();
    return QStringLiteral("%1 relay%2 on across %3 box%4.")
        .arg(onCount)
        .arg(onCount == 1 ? "" : "s")
        .arg(boxes)
        .arg(boxes == 1 ? "" : "es");
}

} // namespace tavo
