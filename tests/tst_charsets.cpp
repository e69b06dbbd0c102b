// Pages in legacy charsets, made here in each charset and each form of
// declaration: the text a browser shows, the encoding named, and the bytes
// of an unchanged save and of a save after typing.
#include "charsetsniff.h"
#include "editormarks.h"

#include <QTest>

namespace {
// Real-shaped text: detection needs a few sentences to go on.
const char *const kRussian =
    "Москва - столица России, крупнейший по численности населения город страны и её "
    "политический, экономический и культурный центр. Город расположен на реке Москве в центре "
    "Восточно-Европейской равнины. В городе работают многочисленные музеи, театры, библиотеки и "
    "университеты. Каждый год сюда приезжают миллионы туристов, чтобы увидеть Красную площадь.";
const char *const kUkrainian =
    "Київ - столиця та найбільше місто України, розташоване на річці Дніпро. Місто є важливим "
    "промисловим, науковим, освітнім і культурним центром Східної Європи. У Києві багато "
    "історичних пам'яток, зокрема Києво-Печерська лавра та Софійський собор.";
const char *const kJapanese =
    "日本は東アジアに位置する島国で、本州、北海道、九州、四国の四つの大きな島と多くの小さな島から"
    "成り立っています。首都は東京で、世界でも有数の大都市圏を形成しています。日本の文化は長い歴史の"
    "中で独自の発展を遂げ、茶道や華道、歌舞伎などの伝統芸能が今も大切に受け継がれています。";
const char *const kKorean =
    "대한민국은 동아시아의 한반도 남부에 위치한 민주공화국이다. 수도는 서울특별시이며 국토의 대부분이 "
    "산지로 이루어져 있다. 한국은 빠른 경제 성장을 이루어 세계적인 산업 국가가 되었으며 반도체, "
    "자동차, 조선 산업이 특히 발달하였다. 한글은 세종대왕이 창제한 문자로 배우기 쉽다.";
const char *const kChinese =
    "中华人民共和国位于亚洲东部，太平洋西岸，是世界上人口最多的国家之一。首都北京是全国的政治、文化"
    "中心，上海则是最大的经济城市。中国有着悠久的历史和灿烂的文化，长城、故宫和兵马俑等名胜古迹吸引着"
    "来自世界各地的游客。";
const char *const kTraditional =
    "臺灣位於東亞，是一個以漢人為主的多元文化社會。首都臺北市是政治、經濟與文化的中心，擁有許多著名的"
    "博物館與夜市。臺灣的高山眾多，玉山是東北亞最高的山峰。這裡的人們熱情好客，美食更是聞名世界。";
const char *const kGreek =
    "Η Ελλάδα είναι χώρα της νοτιοανατολικής Ευρώπης, στο νότιο άκρο της Βαλκανικής χερσονήσου. "
    "Πρωτεύουσα και μεγαλύτερη πόλη είναι η Αθήνα, όπου βρίσκεται η Ακρόπολη με τον Παρθενώνα. Η "
    "χώρα είναι γνωστή για την αρχαία ιστορία της, τη φιλοσοφία και το θέατρο.";
const char *const kHebrew =
    "ישראל היא מדינה במזרח התיכון, על החוף הדרומי-מזרחי של הים התיכון. העיר הגדולה ביותר בה היא "
    "ירושלים, ובתל אביב נמצא המרכז הכלכלי והתרבותי של המדינה. השפה העברית חודשה כשפה מדוברת בסוף "
    "המאה התשע עשרה, והיום מדברים בה מיליוני אנשים.";
const char *const kArabic =
    "مصر دولة عربية تقع في الركن الشمالي الشرقي من قارة أفريقيا، ويمر بها نهر النيل الذي يعد أطول "
    "أنهار العالم. عاصمتها القاهرة وهي أكبر مدينة عربية من حيث عدد السكان. تشتهر مصر بحضارتها "
    "القديمة وآثارها مثل الأهرامات وأبو الهول.";
const char *const kPolish =
    "Polska jest państwem położonym w Europie Środkowej, nad Morzem Bałtyckim. Stolicą i "
    "największym miastem kraju jest Warszawa, a innymi ważnymi ośrodkami są Kraków, Łódź, Wrocław "
    "i Gdańsk. Polska kuchnia słynie z pierogów, żurku i bigosu, które chętnie próbują goście.";
const char *const kTurkish =
    "Türkiye, topraklarının büyük bölümü Anadolu'da, küçük bir bölümü ise Balkanlar'da bulunan "
    "bir ülkedir. Başkenti Ankara, en kalabalık şehri ise İstanbul'dur. Ülke, tarih boyunca pek "
    "çok medeniyete ev sahipliği yapmıştır ve zengin bir kültürel mirasa sahiptir.";
const char *const kThai =
    "ประเทศไทยเป็นประเทศที่ตั้งอยู่ในภูมิภาคเอเชียตะวันออกเฉียงใต้ มีกรุงเทพมหานครเป็นเมืองหลวงและเมืองที่ใหญ่"
    "ที่สุด ประเทศไทยมีชื่อเสียงด้านวัฒนธรรม อาหาร และสถานที่ท่องเที่ยวที่สวยงาม";

enum class Declared { None, MetaCharset, HttpEquiv, XmlDeclaration };

QString page(const char *text, const QString &label, Declared how)
{
    const QString t = QString::fromUtf8(text);
    QString head;
    switch (how) {
    case Declared::None:
        break;
    case Declared::MetaCharset:
        head = QStringLiteral("<meta charset=\"%1\">\r\n").arg(label);
        break;
    case Declared::HttpEquiv:
        head = QStringLiteral("<META HTTP-EQUIV=\"Content-Type\" "
                              "CONTENT=\"text/html; charset=%1\">\r\n")
                   .arg(label);
        break;
    case Declared::XmlDeclaration:
        return QStringLiteral("<?xml version=\"1.0\" encoding=\"%1\"?>\r\n<html><body><p>%2</p>"
                              "</body></html>\r\n")
            .arg(label, t);
    }
    return QStringLiteral("<html>\r\n<head>\r\n%1<title>%2</title>\r\n</head>\r\n<body>\r\n"
                          "<p>%3</p>\r\n</body>\r\n</html>\r\n")
        .arg(head, t.left(24), t);
}

TextEncoding byName(const QString &name)
{
    for (int e = 0; e <= int(kLastEncoding); ++e)
        if (encodingName(TextEncoding(e)) == name)
            return TextEncoding(e);
    return TextEncoding::Utf8;
}
} // namespace

class TestCharsets : public QObject {
    Q_OBJECT
private slots:
    void pageInEachCharset_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("encoding");
        QTest::addColumn<int>("declared");
        QTest::addColumn<QString>("shown"); // when guessed: what it may be taken for instead
        const struct {
            const char *text, *label, *encoding, *alike;
        } pages[] = {
            {kRussian, "windows-1251", "Windows-1251", ""},
            {kRussian, "koi8-r", "KOI8-R", ""},
            {kRussian, "ibm866", "IBM866", ""},
            {kRussian, "iso-8859-5", "ISO-8859-5", ""},
            {kRussian, "MacCyrillic", "x-mac-cyrillic", ""},
            {kRussian, "IBM855", "IBM855", ""},
            {kUkrainian, "koi8-u", "KOI8-U", ""},
            {kUkrainian, "windows-1251", "Windows-1251", ""},
            {kJapanese, "x-sjis", "Shift_JIS", ""},
            {kJapanese, "euc-jp", "EUC-JP", ""},
            {kKorean, "ks_c_5601-1987", "EUC-KR", ""},
            {kChinese, "gb2312", "GBK", "GB18030"},
            {kChinese, "gb18030", "GB18030", ""},
            {kTraditional, "big5", "Big5", ""},
            {kGreek, "iso-8859-7", "ISO-8859-7", ""},
            {kGreek, "windows-1253", "Windows-1253", "ISO-8859-7"},
            {kHebrew, "windows-1255", "Windows-1255", ""},
            {kArabic, "windows-1256", "Windows-1256", ""},
            {kArabic, "iso-8859-6", "ISO-8859-6", ""},
            {kPolish, "iso-8859-2", "ISO-8859-2", ""},
            {kPolish, "windows-1250", "Windows-1250", ""},
            {kTurkish, "iso-8859-9", "Windows-1254", ""},
            {kThai, "tis-620", "Windows-874", ""},
        };
        const struct {
            Declared how;
            const char *name;
        } forms[] = {{Declared::None, "undeclared"},
                     {Declared::MetaCharset, "meta charset"},
                     {Declared::HttpEquiv, "http-equiv"},
                     {Declared::XmlDeclaration, "XML declaration"}};
        for (const auto &p : pages)
            for (const auto &f : forms)
                QTest::addRow("%s, %s", p.label, f.name)
                    << QString::fromUtf8(p.text) << QString::fromLatin1(p.label)
                    << QString::fromLatin1(p.encoding) << int(f.how)
                    << QString::fromLatin1(p.alike);
    }
    void pageInEachCharset()
    {
        QFETCH(QString, text);
        QFETCH(QString, label);
        QFETCH(QString, encoding);
        QFETCH(int, declared);
        QFETCH(QString, shown);
        const TextEncoding e = byName(encoding);
        const QString t = page(text.toUtf8().constData(), label, Declared(declared));
        QByteArray bytes;
        appendInCharset(t, e, bytes);
        QVERIFY2(!bytes.contains("&#"), "the sample holds a character the charset lacks");

        const DecodedText d = decodeText(bytes);
        QCOMPARE(d.text, t);
        const bool none = Declared(declared) == Declared::None;
        QCOMPARE(d.guessed, none);
        if (!none || shown.isEmpty())
            QCOMPARE(encodingName(d.encoding), encoding);
        else
            QVERIFY(d.encoding == e || encodingName(d.encoding) == shown);
        // Saved unchanged: the same bytes; typed into: the page's charset.
        QCOMPARE(encodeText(d.text, d.encoding, MarkStandIns(), d.kept), bytes);
        const QString typed = text.left(5);
        QByteArray expected;
        appendInCharset(typed, d.encoding, expected);
        QCOMPARE(encodeText(typed + d.text, d.encoding, MarkStandIns(), d.kept),
                 expected + bytes);
    }

    // Labels as pages write them, and the bytes browsers read otherwise
    // than the system's converters do.
    void shownAsBrowsersShowIt_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("encoding");
        QTest::addColumn<QString>("ending"); // the last characters shown
        auto row = [](const char *name, const char *label, const QByteArray &body,
                      const char *enc, const QString &ending) {
            QTest::newRow(name) << QByteArray("<meta charset=\"") + label + "\">" + body
                                << QString::fromLatin1(enc) << ending;
        };
        row("latin1 is Windows-1252", "latin1", "\x80", "Windows-1252", u"\u20AC"_qs);
        row("TIS-620 is Windows-874", "TIS-620", "\x80\xA1", "Windows-874", u"\u20AC\u0E01"_qs);
        row("ISO-8859-11 is Windows-874", "iso-8859-11", "\x85", "Windows-874", u"\u2026"_qs);
        row("Hebrew points stay apart", "windows-1255", "\xF9\xD1\xE1\xC4", "Windows-1255",
            u"\u05E9\u05C1\u05D1\u05B4"_qs);
        row("windows-1255 0xCA", "windows-1255", "\xCA", "Windows-1255", u"\u05BA"_qs);
        row("KOI8-U short u", "koi8-u", "\xAE\xBE", "KOI8-U", u"\u045E\u040E"_qs);
        row("KOI8-RU is KOI8-U", "koi8-ru", "\xAE", "KOI8-U", u"\u045E"_qs);
        row("x-mac-ukrainian euro", "x-mac-ukrainian", "\xFF\xA2", "x-mac-cyrillic",
            u"\u20AC\u0490"_qs);
        row("Macintosh euro", "x-mac-roman", "\xDB", "Macintosh", u"\u20AC"_qs);
        row("CP437 box", "cp437", "\xC9\xCD", "IBM437", u"\u2554\u2550"_qs);
        row("CP850", "ibm850", "\x82", "IBM850", u"\u00E9"_qs);
        row("ISO-8859-9 is Windows-1254", "iso-8859-9", "\x80\xF0", "Windows-1254",
            u"\u20AC\u011F"_qs);
        row("Shift_JIS NEC row 13 form", "ms_kanji", "\x87\x90", "Shift_JIS", u"\u2252"_qs);
        row("Shift_JIS NEC-selected IBM extension form", "shift_jis", "\xEE\xEF", "Shift_JIS",
            u"\u2170"_qs);
        row("ISO-2022-JP", "iso-2022-jp", "\x1B$BF|K\\\x1B(B", "ISO-2022-JP", u"\u65E5\u672C"_qs);
        row("ISO-2022-KR is not read", "iso-2022-kr", "\x1B$)C\x0E\x47\x51\x0F", "UTF-8",
            u"\x0F"_qs);
    }
    void shownAsBrowsersShowIt()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, encoding);
        QFETCH(QString, ending);
        const DecodedText d = decodeText(file);
        QCOMPARE(encodingName(d.encoding), encoding);
        if (!d.text.endsWith(ending))
            QFAIL(qPrintable(QStringLiteral("shown as ...%1").arg(d.text.right(6))));
        QCOMPARE(encodeText(d.text, d.encoding, MarkStandIns(), d.kept), file);
    }

    void unmarkedUnicode_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("encoding");
        const QString t = QString::fromUtf8("<html><body>\r\n<p>") + QString::fromUtf8(kRussian)
                          + QString::fromUtf8(kJapanese) + u"\U0001F600</p></body></html>"_qs;
        for (const TextEncoding e : {TextEncoding::Utf16Le, TextEncoding::Utf16Be,
                                     TextEncoding::Utf32Le, TextEncoding::Utf32Be}) {
            QByteArray b;
            appendInCharset(t, e, b);
            QTest::newRow(qPrintable(encodingName(e))) << b << encodingName(e);
        }
        // A byte order mark that starts another's: the longer one when the
        // bytes are whole in it.
        for (const TextEncoding e : {TextEncoding::Utf32LeBom, TextEncoding::Utf32BeBom}) {
            QByteArray b = byteOrderMark(e);
            appendInCharset(t, e, b);
            QTest::newRow(qPrintable(encodingName(e))) << b << encodingName(e);
        }
        QTest::newRow("UTF-16LE with BOM, a NUL first")
            << QByteArray("\xFF\xFE\0\0<\0p\0>\0", 10) << "UTF-16LE with BOM";
        QTest::newRow("UTF-32LE BOM over bytes neither UTF-32 nor UTF-16")
            << QByteArray("\xFF\xFE\0\0\x3D\xD8\0\0", 8) << "Windows-1252";
        // Zero bytes that are no UTF-16: read as before.
        QTest::newRow("a NUL every tenth byte") << QByteArray("nnnnn\0nnnn", 10).repeated(100)
                                                << "UTF-8";
        QTest::newRow("UTF-16LE with a lone surrogate")
            << QByteArray("<\0p\0>\0 \0\x3D\xD8<\0/\0p\0>\0 \0", 20) << "Windows-1252";
    }
    void unmarkedUnicode()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, encoding);
        const DecodedText d = decodeText(file);
        QCOMPARE(encodingName(d.encoding), encoding);
        QCOMPARE(encodeText(d.text, d.encoding), file);
    }

    // What Save with Encoding refuses: the first character the encoding
    // cannot hold, wherever it is.
    void firstUnencodable_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("encoding");
        QTest::addColumn<int>("at");
        QTest::newRow("KOI8-R holds Russian") << QString::fromUtf8(kRussian) << "KOI8-R" << -1;
        QTest::newRow("KOI8-R lacks the euro") << u"abc\u20ACd"_qs << "KOI8-R" << 3;
        QTest::newRow("Windows-1252 lacks Cyrillic") << u"caf\u00E9 \u0416"_qs << "Windows-1252"
                                                     << 5;
        QTest::newRow("Shift_JIS lacks the yen sign") << u"\u65E5\u00A5"_qs << "Shift_JIS" << 1;
        QTest::newRow("EUC-KR lacks an emoji after Hangul")
            << u"\uD55C\U0001F600"_qs << "EUC-KR" << 1;
        QTest::newRow("UTF-16 holds an emoji") << u"\U0001F600"_qs << "UTF-16LE" << -1;
        QTest::newRow("no file holds a lone surrogate") << u"a\xD800"_qs << "UTF-8" << 1;
        QTest::newRow("ISO-2022-JP holds kanji") << u"a\u65E5b"_qs << "ISO-2022-JP" << -1;
    }
    void firstUnencodable()
    {
        QFETCH(QString, text);
        QFETCH(QString, encoding);
        QFETCH(int, at);
        QCOMPARE(::firstUnencodable(text, byName(encoding)), qsizetype(at));
    }
};

QTEST_GUILESS_MAIN(TestCharsets)
#include "tst_charsets.moc"
