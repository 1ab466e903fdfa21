#include "core/PhoneNumber.h"
#include "support/DataRows.h"

#include <QTest>

using namespace tavo;

class PhoneTest : public QObject {
    Q_OBJECT

private slots:
    void split_data() { TAVO_JSON_ROWS("phone-split.json"); }

    void split() {
        QFETCH(QJsonObject, row);
        const SplitPhone s = splitE164(row["phone"].toString());
        QCOMPARE(s.country ? s.country->iso : QString(), row["iso"].toString()); // "" = no country
        QCOMPARE(s.national, row["national"].toString());
    }

    void format_data() { TAVO_JSON_ROWS("phone-format.json"); }

    void format() {
        QFETCH(QJsonObject, row);
        QCOMPARE(formatPhone(row["phone"].toString()), row["shown"].toString());
    }

    void digits_data() { TAVO_JSON_ROWS("phone-digits.json"); }

    void digits() {
        QFETCH(QJsonObject, row);
        const QString text = row["text"].toString(), digits = row["digits"].toString();
        // Digits of every script come out as the ASCII digits a number is sent with.
        QCOMPARE(Sanitize::digits(text), digits);
        // What the phone fields make of it is a number the sign-in and invite checks take.
        if (digits.size() >= 7) QVERIFY(isE164("+91" + Sanitize::digits(text)));
    }

    void defaultCountry_data() { TAVO_JSON_ROWS("phone-countries.json"); }
    void defaultCountry() {
        QFETCH(QJsonObject, row);
        QCOMPARE(Countries::defaultCountry(QLocale(row["locale"].toString())).iso, row["iso"].toString());
    }

    void search_data() { TAVO_JSON_ROWS("phone-search.json"); }

    void search() {
        QFETCH(QJsonObject, row);
        const QString query = row["query"].toString();
        const QList<Country> rows = Countries::search(query);
        QCOMPARE(rows.size(), row["count"].toInt());
        QCOMPARE(rows.first().name, row["first"].toString());
        for (const Country& c : rows)
            if (query.trimmed().startsWith("+") && query.trimmed().size() > 1)
                QVERIFY(c.dial.startsWith("9"));
    }

    void flag() {
        const QString india = QString::fromUcs4(U"\U0001F1EE\U0001F1F3");
        QCOMPARE((Country{"IN", "91", "India"}.flag()), india);
        QCOMPARE((Country{"in", "91", "India"}.flag()), india);
        QCOMPARE(qHash(Country{"IN", "91", "India"}) == qHash(Country{"IN", "91", "Indien"}), false);
    }
};

QTEST_GUILESS_MAIN(PhoneTest)
#include "tst_phone.moc"
