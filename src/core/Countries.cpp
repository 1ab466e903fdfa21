#include "core/Countries.h"

#include <QHash>

namespace tavo {

QString Country::flag() const {
    // Each letter maps to its regional indicator symbol (A -> U+1F1E6).
    QString out;
    for (const char32_t c : iso.toUpper().toUcs4()) {
        const char32_t scalar = c + 127397;
        if (scalar > 0x10FFFF || (scalar >= 0xD800 && scalar <= 0xDFFF)) continue;
        out += QString::fromUcs4(&scalar, 1);
    }
    return out;
}

size_t qHash(const Country& c, size_t seed) {
    return qHashMulti(seed, c.iso, c.dial, c.name);
}

namespace Countries {

// The order is the picker's order and decides ties between rows that share a code.
const QList<Country>& all() {
    static const QList<Country> table{
        {QStringLiteral("IN"), QStringLiteral("91"), QStringLiteral("India")},
        {QStringLiteral("PK"), QStringLiteral("92"), QStringLiteral("Pakistan")},
        {QStringLiteral("BD"), QStringLiteral("880"), QStringLiteral("Bangladesh")},
        {QStringLiteral("LK"), QStringLiteral("94"), QStringLiteral("Sri Lanka")},
        {QStringLiteral("NP"), QStringLiteral("977"), QStringLiteral("Nepal")},
        {QStringLiteral("BT"), QStringLiteral("975"), QStringLiteral("Bhutan")},
        {QStringLiteral("MV"), QStringLiteral("960"), QStringLiteral("Maldives")},
        {QStringLiteral("AF"), QStringLiteral("93"), QStringLiteral("Afghanistan")},
        {QStringLiteral("AE"), QStringLiteral("971"), QStringLiteral("United Arab Emirates")},
        {QStringLiteral("SA"), QStringLiteral("966"), QStringLiteral("Saudi Arabia")},
        {QStringLiteral("QA"), QStringLiteral("974"), QStringLiteral("Qatar")},
        {QStringLiteral("BH"), QStringLiteral("973"), QStringLiteral("Bahrain")},
        {QStringLiteral("KW"), QStringLiteral("965"), QStringLiteral("Kuwait")},
        {QStringLiteral("OM"), QStringLiteral("968"), QStringLiteral("Oman")},
        {QStringLiteral("IL"), QStringLiteral("972"), QStringLiteral("Israel")},
        {QStringLiteral("TR"), QStringLiteral("90"), QStringLiteral("Turkey")},
        {QStringLiteral("IR"), QStringLiteral("98"), QStringLiteral("Iran")},
        {QStringLiteral("IQ"), QStringLiteral("964"), QStringLiteral("Iraq")},
        {QStringLiteral("JO"), QStringLiteral("962"), QStringLiteral("Jordan")},
        {QStringLiteral("LB"), QStringLiteral("961"), QStringLiteral("Lebanon")},
        {QStringLiteral("US"), QStringLiteral("1"), QStringLiteral("United States")},
        {QStringLiteral("CA"), QStringLiteral("1"), QStringLiteral("Canada")},
        {QStringLiteral("MX"), QStringLiteral("52"), QStringLiteral("Mexico")},
        {QStringLiteral("GB"), QStringLiteral("44"), QStringLiteral("United Kingdom")},
        {QStringLiteral("IE"), QStringLiteral("353"), QStringLiteral("Ireland")},
        {QStringLiteral("DE"), QStringLiteral("49"), QStringLiteral("Germany")},
        {QStringLiteral("FR"), QStringLiteral("33"), QStringLiteral("France")},
        {QStringLiteral("ES"), QStringLiteral("34"), QStringLiteral("Spain")},
        {QStringLiteral("IT"), QStringLiteral("39"), QStringLiteral("Italy")},
        {QStringLiteral("PT"), QStringLiteral("351"), QStringLiteral("Portugal")},
        {QStringLiteral("NL"), QStringLiteral("31"), QStringLiteral("Netherlands")},
        {QStringLiteral("BE"), QStringLiteral("32"), QStringLiteral("Belgium")},
        {QStringLiteral("CH"), QStringLiteral("41"), QStringLiteral("Switzerland")},
        {QStringLiteral("AT"), QStringLiteral("43"), QStringLiteral("Austria")},
        {QStringLiteral("SE"), QStringLiteral("46"), QStringLiteral("Sweden")},
        {QStringLiteral("NO"), QStringLiteral("47"), QStringLiteral("Norway")},
        {QStringLiteral("DK"), QStringLiteral("45"), QStringLiteral("Denmark")},
        {QStringLiteral("FI"), QStringLiteral("358"), QStringLiteral("Finland")},
        {QStringLiteral("IS"), QStringLiteral("354"), QStringLiteral("Iceland")},
        {QStringLiteral("PL"), QStringLiteral("48"), QStringLiteral("Poland")},
        {QStringLiteral("CZ"), QStringLiteral("420"), QStringLiteral("Czechia")},
        {QStringLiteral("SK"), QStringLiteral("421"), QStringLiteral("Slovakia")},
        {QStringLiteral("HU"), QStringLiteral("36"), QStringLiteral("Hungary")},
        {QStringLiteral("RO"), QStringLiteral("40"), QStringLiteral("Romania")},
        {QStringLiteral("GR"), QStringLiteral("30"), QStringLiteral("Greece")},
        {QStringLiteral("BG"), QStringLiteral("359"), QStringLiteral("Bulgaria")},
        {QStringLiteral("HR"), QStringLiteral("385"), QStringLiteral("Croatia")},
        {QStringLiteral("RS"), QStringLiteral("381"), QStringLiteral("Serbia")},
        {QStringLiteral("UA"), QStringLiteral("380"), QStringLiteral("Ukraine")},
        {QStringLiteral("RU"), QStringLiteral("7"), QStringLiteral("Russia")},
        {QStringLiteral("CN"), QStringLiteral("86"), QStringLiteral("China")},
        {QStringLiteral("HK"), QStringLiteral("852"), QStringLiteral("Hong Kong")},
        {QStringLiteral("TW"), QStringLiteral("886"), QStringLiteral("Taiwan")},
        {QStringLiteral("JP"), QStringLiteral("81"), QStringLiteral("Japan")},
        {QStringLiteral("KR"), QStringLiteral("82"), QStringLiteral("South Korea")},
        {QStringLiteral("SG"), QStringLiteral("65"), QStringLiteral("Singapore")},
        {QStringLiteral("MY"), QStringLiteral("60"), QStringLiteral("Malaysia")},
        {QStringLiteral("ID"), QStringLiteral("62"), QStringLiteral("Indonesia")},
        {QStringLiteral("TH"), QStringLiteral("66"), QStringLiteral("Thailand")},
        {QStringLiteral("VN"), QStringLiteral("84"), QStringLiteral("Vietnam")},
        {QStringLiteral("PH"), QStringLiteral("63"), QStringLiteral("Philippines")},
        {QStringLiteral("KH"), QStringLiteral("855"), QStringLiteral("Cambodia")},
        {QStringLiteral("MM"), QStringLiteral("95"), QStringLiteral("Myanmar")},
        {QStringLiteral("LA"), QStringLiteral("856"), QStringLiteral("Laos")},
        {QStringLiteral("MN"), QStringLiteral("976"), QStringLiteral("Mongolia")},
        {QStringLiteral("KZ"), QStringLiteral("7"), QStringLiteral("Kazakhstan")},
        {QStringLiteral("NG"), QStringLiteral("234"), QStringLiteral("Nigeria")},
        {QStringLiteral("ZA"), QStringLiteral("27"), QStringLiteral("South Africa")},
        {QStringLiteral("EG"), QStringLiteral("20"), QStringLiteral("Egypt")},
        {QStringLiteral("KE"), QStringLiteral("254"), QStringLiteral("Kenya")},
        {QStringLiteral("ET"), QStringLiteral("251"), QStringLiteral("Ethiopia")},
        {QStringLiteral("GH"), QStringLiteral("233"), QStringLiteral("Ghana")},
        {QStringLiteral("TZ"), QStringLiteral("255"), QStringLiteral("Tanzania")},
        {QStringLiteral("UG"), QStringLiteral("256"), QStringLiteral("Uganda")},
        {QStringLiteral("MA"), QStringLiteral("212"), QStringLiteral("Morocco")},
        {QStringLiteral("DZ"), QStringLiteral("213"), QStringLiteral("Algeria")},
        {QStringLiteral("TN"), QStringLiteral("216"), QStringLiteral("Tunisia")},
        {QStringLiteral("SN"), QStringLiteral("221"), QStringLiteral("Senegal")},
        {QStringLiteral("CI"), QStringLiteral("225"), QStringLiteral("Côte d'Ivoire")},
        {QStringLiteral("CM"), QStringLiteral("237"), QStringLiteral("Cameroon")},
        {QStringLiteral("RW"), QStringLiteral("250"), QStringLiteral("Rwanda")},
        {QStringLiteral("ZW"), QStringLiteral("263"), QStringLiteral("Zimbabwe")},
        {QStringLiteral("AU"), QStringLiteral("61"), QStringLiteral("Australia")},
        {QStringLiteral("NZ"), QStringLiteral("64"), QStringLiteral("New Zealand")},
        {QStringLiteral("FJ"), QStringLiteral("679"), QStringLiteral("Fiji")},
        {QStringLiteral("BR"), QStringLiteral("55"), QStringLiteral("Brazil")},
        {QStringLiteral("AR"), QStringLiteral("54"), QStringLiteral("Argentina")},
        {QStringLiteral("CL"), QStringLiteral("56"), QStringLiteral("Chile")},
        {QStringLiteral("CO"), QStringLiteral("57"), QStringLiteral("Colombia")},
        {QStringLiteral("PE"), QStringLiteral("51"), QStringLiteral("Peru")},
        {QStringLiteral("VE"), QStringLiteral("58"), QStringLiteral("Venezuela")},
        {QStringLiteral("UY"), QStringLiteral("598"), QStringLiteral("Uruguay")},
        {QStringLiteral("EC"), QStringLiteral("593"), QStringLiteral("Ecuador")},
        {QStringLiteral("BO"), QStringLiteral("591"), QStringLiteral("Bolivia")},
        {QStringLiteral("PY"), QStringLiteral("595"), QStringLiteral("Paraguay")},
        {QStringLiteral("CR"), QStringLiteral("506"), QStringLiteral("Costa Rica")},
        {QStringLiteral("PA"), QStringLiteral("507"), QStringLiteral("Panama")},
        {QStringLiteral("DO"), QStringLiteral("1"), QStringLiteral("Dominican Republic")},
        {QStringLiteral("CU"), QStringLiteral("53"), QStringLiteral("Cuba")},
        {QStringLiteral("GT"), QStringLiteral("502"), QStringLiteral("Guatemala")},
        {QStringLiteral("HN"), QStringLiteral("504"), QStringLiteral("Honduras")},
        {QStringLiteral("SV"), QStringLiteral("503"), QStringLiteral("El Salvador")},
        {QStringLiteral("NI"), QStringLiteral("505"), QStringLiteral("Nicaragua")},
        {QStringLiteral("JM"), QStringLiteral("1"), QStringLiteral("Jamaica")},
        {QStringLiteral("TT"), QStringLiteral("1"), QStringLiteral("Trinidad and Tobago")},
    };
    return table;
}

Country defaultCountry(const QLocale& locale) {
    const QString region = locale.territory() == QLocale::AnyTerritory
                               ? QStringLiteral("IN")
                               : QLocale::territoryToCode(locale.territory());
    for (const Country& c : all())
        if (c.iso == region) return c;
    return all().first();
}

Country defaultCountry() {
    return defaultCountry(QLocale::system());
}

QList<Country> search(const QString& query) {
    const QString q = trimSpacesAndTabs(query).toLower();
    if (q.isEmpty()) return all();
    QString dialQuery = q;
    dialQuery.remove(QLatin1Char('+'));
    QList<Country> out;
    for (const Country& c : all())
        if (c.name.toLower().contains(q) || c.iso.toLower().contains(q) || c.dial.startsWith(dialQuery))
            out << c;
    return out;
}

} // namespace Countries

QString trimSpacesAndTabs(const QString& text) {
    qsizetype begin = 0, end = text.size();
    auto blank = [](QChar c) { return c == QLatin1Char(' ') || c == QLatin1Char('\t'); };
    while (begin < end && blank(text.at(begin)))
        ++begin;
    while (end > begin && blank(text.at(end - 1)))
        --end;
    return text.mid(begin, end - begin);
}

} // namespace tavo
