#include "core/PhoneNumber.h"

#include <QTest>

using namespace tavo;

class PhoneTest : public QObject {
    Q_OBJECT

    static QString names(const QList<Country>& rows) {
        QStringList n;
        for (const Country& c : rows) n << c.name;
        return n.join(", ");
    }

private slots:
    void split_data() {
        QTest::addColumn<QString>("phone");
        QTest::addColumn<QString>("iso"); // "" = no country
        QTest::addColumn<QString>("national");
        QTest::newRow("India") << "+919876543210" << "IN" << "9876543210";
        QTest::newRow("US with punctuation") << "+1 (415) 555-0123" << "US" << "4155550123";
        QTest::newRow("Canadian area code still US") << "+16135550123" << "US" << "6135550123";
        QTest::newRow("+7 is Russia") << "+74951234567" << "RU" << "4951234567";
        QTest::newRow("longest code wins") << "+8801712345678" << "BD" << "1712345678";
        QTest::newRow("no code") << "+99123" << "" << "99123";
        QTest::newRow("bare digits") << "447700900123" << "GB" << "7700900123";
        QTest::newRow("empty") << "" << "" << "";
        QTest::newRow("lone plus") << "+" << "" << "";
    }

    void split() {
        QFETCH(QString, phone);
        QFETCH(QString, iso);
        QFETCH(QString, national);
        const SplitPhone s = splitE164(phone);
        QCOMPARE(s.country ? s.country->iso : QString(), iso);
        QCOMPARE(s.national, national);
    }

    void format_data() {
        QTest::addColumn<QString>("phone");
        QTest::addColumn<QString>("shown");
        QTest::newRow("Indian mobile") << "+919876543210" << "+91 98765 43210";
        QTest::newRow("digits extracted again") << "+91 98765-43210" << "+91 98765 43210";
        // Nine digits after 91 is not an Indian mobile: the general rule splits 4 + 5.
        QTest::newRow("India with nine digits falls through") << "+91987654321" << "+91 9876 54321";
        QTest::newRow("ten digits: 2,4,4") << "+4412345678" << "+44 1234 5678";
        QTest::newRow("twelve digits not India: 2,5,5") << "+441234567890" << "+44 12345 67890";
        QTest::newRow("three digits") << "+123" << "+123";
        QTest::newRow("seven digits") << "+1234567" << "+12 34567";
        QTest::newRow("no plus unchanged") << "9876543210" << "9876543210";
        QTest::newRow("empty") << "" << "";
        QTest::newRow("spaces and tabs trimmed") << " \t+919876543210\t" << "+91 98765 43210";
        QTest::newRow("line break is not trimmed") << "\n+919876543210" << "\n+919876543210";
    }

    void format() {
        QFETCH(QString, phone);
        QFETCH(QString, shown);
        QCOMPARE(formatPhone(phone), shown);
    }

    void digits_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("digits");
        QTest::newRow("punctuation dropped") << "+1 (415) 555-0123"
                                             << "14155550123";
        QTest::newRow("letters dropped") << "abc9x"
                                         << "9";
        // Digits of every script come out as the ASCII digits a number is sent with.
        QTest::newRow("Devanagari") << "९८७६५४३२१०"
                                    << "9876543210";
        QTest::newRow("Arabic-Indic") << "٩٨٧٦٥٤٣٢١٠"
                                      << "9876543210";
        QTest::newRow("Persian") << "۹۸۷۶۵۴۳۲۱۰"
                                 << "9876543210";
        QTest::newRow("Bengali") << "৯৮৭৬৫"
                                 << "98765";
        QTest::newRow("full-width") << "９８７６５ ４３２１０"
                                    << "9876543210";
        QTest::newRow("outside the BMP") << QString::fromUcs4(U"1\U0001D7D82") << "102"; // double-struck zero
        QTest::newRow("numbers that are no digits dropped") << "9²½Ⅻ8"
                                                            << "98";
    }

    void digits() {
        QFETCH(QString, text);
        QFETCH(QString, digits);
        QCOMPARE(Sanitize::digits(text), digits);
        // What the phone fields make of it is a number the sign-in and invite checks take.
        if (digits.size() >= 7) QVERIFY(isE164("+91" + Sanitize::digits(text)));
    }

    void defaultCountry_data() {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QString>("iso");
        QTest::newRow("Canada") << QLocale(QLocale::English, QLocale::Canada) << "CA";
        QTest::newRow("United States") << QLocale(QLocale::English, QLocale::UnitedStates) << "US";
        QTest::newRow("region missing from the table") << QLocale(QLocale::Faroese, QLocale::FaroeIslands) << "IN";
        QTest::newRow("no region") << QLocale::c() << "IN";
    }

    void defaultCountry() {
        QFETCH(QLocale, locale);
        QFETCH(QString, iso);
        QCOMPARE(Countries::defaultCountry(locale).iso, iso);
    }

    void search_data() {
        QTest::addColumn<QString>("query");
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("first");
        QTest::newRow("empty") << "" << 105 << "India";
        QTest::newRow("spaces") << "  \t " << 105 << "India";
        QTest::newRow("lone plus") << "+" << 105 << "India";
        QTest::newRow("+9: codes starting 9") << "+9" << 21 << "India";
        QTest::newRow("code 1") << "1" << 5 << "United States";
        QTest::newRow("name or region, any case") << " De " << 4 << "Bangladesh";
    }

    void search() {
        QFETCH(QString, query);
        QFETCH(int, count);
        QFETCH(QString, first);
        const QList<Country> rows = Countries::search(query);
        QCOMPARE(rows.size(), count);
        QCOMPARE(rows.first().name, first);
        for (const Country& c : rows)
            if (query.trimmed().startsWith("+") && query.trimmed().size() > 1) QVERIFY(c.dial.startsWith("9"));
    }

    void searchIn() {
        QCOMPARE(names(Countries::search("in")),
                 QString("India, Bahrain, United Kingdom, Spain, Finland, Ukraine, China, Singapore, Indonesia, "
                         "Philippines, Argentina, Dominican Republic, Trinidad and Tobago"));
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
