#include "platform/os/systemtext.h"

#include <QTest>
#include <QTextDocument>

using namespace Qt::StringLiterals;
using namespace plenwick;

namespace {

// (QString::fromUcs4 would drop a leading byte order mark.)
QString fromCodePoints(std::initializer_list<char32_t> codePoints)
{
    return QString::fromUcs4(codePoints.begin(), qsizetype(codePoints.size()));
}

QString replacements(int count)
{
    return QString(count, QChar(0xFFFD));
}

} // namespace

class TestSystemText : public QObject {
    Q_OBJECT

private slots:
    void decodesBytes_data();
    void decodesBytes();
    void showsStandIns_data();
    void showsStandIns();
    void toolTipShowsTextLiterally_data();
    void toolTipShowsTextLiterally();
};

void TestSystemText::decodesBytes_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("expected");
    QTest::newRow("two-byte") << QByteArray("caf\xc3\xa9") << fromCodePoints({'c', 'a', 'f', 0xE9});
    QTest::newRow("four-byte") << QByteArray("\xf4\x8f\xbf\xbf") << fromCodePoints({0x10FFFF});
    QTest::newRow("nul kept") << QByteArray("a\0b", 3) << fromCodePoints({'a', 0, 'b'});
    QTest::newRow("cut short at the end") << QByteArray("ab\xe6\x97") << u"ab\uFFFD"_s;
    // Each maximal subpart of an ill-formed sequence becomes one U+FFFD (Unicode chapter 3).
    QTest::newRow("maximal subparts")
        << QByteArray("\x61\xF1\x80\x80\xE1\x80\xC2\x62\x80\x63\x80\xBF\x64")
        << u"a"_s + replacements(3) + u"b"_s + replacements(1) + u"c"_s + replacements(2) + u"d"_s;
    QTest::newRow("non-shortest forms")
        << QByteArray("\xC0\xAF\xE0\x80\xBF\xF0\x81\x82\x41") << replacements(8) + u"A"_s;
    QTest::newRow("surrogates") << QByteArray("\xED\xA0\x80\xED\xBF\xBF\xED\xAF\x41")
                                << replacements(8) + u"A"_s;
    QTest::newRow("above U+10FFFF")
        << QByteArray("\xF4\x91\x92\x93\xFF\x41") << replacements(5) + u"A"_s;
}

void TestSystemText::decodesBytes()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, expected);
    QCOMPARE(textFromSystemBytes(bytes), expected);
}

void TestSystemText::showsStandIns_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("controls") << fromCodePoints({0, '\n', 0x1B, 0x1F, 0x7F})
                              << u"\u2400\u240A\u241B\u241F\u2421"_s;
    QTest::newRow("C1 controls") << fromCodePoints({'a', 0x80, 0x9F}) << u"a"_s + replacements(2);
    QTest::newRow("bidi override") << u"evil\u202Egpj.exe"_s << u"evil\uFFFDgpj.exe"_s;
    QTest::newRow("line separators") << u"a\u2028b\u2029"_s << u"a\uFFFDb\uFFFD"_s;
    QTest::newRow("zero-width and marks")
        << u"zw\u200b\u200f\u061c\ufeffsp"_s << u"zw"_s + replacements(4) + u"sp"_s;
    QTest::newRow("soft hyphen, fillers, selectors")
        << fromCodePoints({0xAD, 0x3164, 0xFE0F, 0x2065}) << replacements(4);
    QTest::newRow("tag characters")
        << fromCodePoints({'a', 0xE0041, 0xE0100, 'b'}) << u"a"_s + replacements(2) + u"b"_s;
    // Ordinary characters, including those right next to the replaced ranges, stay.
    QTest::newRow("visible")
        << fromCodePoints({'<', 0xA0, 0xFF, 0x2027, 0x202F, 0x3165, 0xFFFC, 0x1F600})
        << fromCodePoints({'<', 0xA0, 0xFF, 0x2027, 0x202F, 0x3165, 0xFFFC, 0x1F600});
}

void TestSystemText::showsStandIns()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(visibleText(text), expected);
}

void TestSystemText::toolTipShowsTextLiterally_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("markup") << u"<b>x</b> &amp; &#65;"_s;
    QTest::newRow("closing the paragraph") << u"</p><h1>big</h1><img src=x>"_s;
    QTest::newRow("lines and spaces") << u"proc7\n  /opt/app7/   \n1.5 MB"_s;
}

void TestSystemText::toolTipShowsTextLiterally()
{
    QFETCH(QString, text);
    const QString tip = plainToolTip(text);
    // A tooltip that Qt takes for plain text would show the wrapping markup itself.
    QVERIFY(Qt::mightBeRichText(tip));
    QTextDocument document;
    document.setHtml(tip);
    QCOMPARE(document.toPlainText(), text);
    // An empty tooltip hides the tooltip; a wrapped empty text would show an empty box.
    QCOMPARE(plainToolTip(QString()), QString());
}

QTEST_MAIN(TestSystemText)
#include "test_systemtext.moc"
