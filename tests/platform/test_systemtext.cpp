#include "platform/os/systemtext.h"

#include <QTest>
#include <QTextBlock>
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
    void showsControlCharacters_data();
    void showsControlCharacters();
    void toolTipShowsTextLiterally_data();
    void toolTipShowsTextLiterally();
    void emptyToolTipStaysEmpty();
};

void TestSystemText::decodesBytes_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("expected");

    QTest::newRow("empty") << QByteArray() << QString();
    QTest::newRow("two-byte") << QByteArray("caf\xc3\xa9") << fromCodePoints({'c', 'a', 'f', 0xE9});
    QTest::newRow("four-byte") << QByteArray("\xf4\x8f\xbf\xbf") << fromCodePoints({0x10FFFF});
    QTest::newRow("nul kept") << QByteArray("a\0b", 3) << fromCodePoints({'a', 0, 'b'});
    QTest::newRow("byte order mark kept") << QByteArray("\xef\xbb\xbfx") << u"\uFEFFx"_s;
    QTest::newRow("stray continuation") << QByteArray("a\x80z") << u"a\uFFFDz"_s;
    QTest::newRow("cut short at the end") << QByteArray("ab\xe6\x97") << u"ab\uFFFD"_s;
    QTest::newRow("latin-1 e acute") << QByteArray("caf\xe9!") << u"caf\uFFFD!"_s;
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

void TestSystemText::showsControlCharacters_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");

    QTest::newRow("newline") << u"a\nb"_s << u"a\u240Ab"_s;
    QTest::newRow("nul") << fromCodePoints({'a', 0, 'b'}) << u"a\u2400b"_s;
    QTest::newRow("unit separator") << u"\x1f"_s << u"\u241F"_s;
    QTest::newRow("escape sequence") << u"\x1b[31mred"_s << u"\u241B[31mred"_s;
    QTest::newRow("C1 next line") << fromCodePoints({'a', 0x85, 'b'}) << u"a\uFFFDb"_s;
    QTest::newRow("C1 last") << fromCodePoints({0x9F}) << u"\uFFFD"_s;
    QTest::newRow("RLO") << u"evil\u202Egpj.exe"_s << u"evil\uFFFDgpj.exe"_s;
    QTest::newRow("LRE") << u"\u202Ax"_s << u"\uFFFDx"_s;
    QTest::newRow("LRI") << u"\u2066x"_s << u"\uFFFDx"_s;
    QTest::newRow("PDI") << u"\u2069x"_s << u"\uFFFDx"_s;
    QTest::newRow("line separator") << u"a\u2028b"_s << u"a\uFFFDb"_s;
    QTest::newRow("mixed") << u"/tmp/x\ny\t\u202Ez\x7f"_s << u"/tmp/x\u240Ay\u2409\uFFFDz\u2421"_s;
    // Ordinary characters, including those right next to the replaced ranges, stay.
    QTest::newRow("markup") << u"<b>x</b> &amp;"_s << u"<b>x</b> &amp;"_s;
    QTest::newRow("latin-1 above the controls")
        << fromCodePoints({0xA0, 0xE9, 0xFF}) << fromCodePoints({0xA0, 0xE9, 0xFF});
    QTest::newRow("around the bidi controls")
        << fromCodePoints({0x2027, 0x202F, 0x2065, 0x206A, 0x200F})
        << fromCodePoints({0x2027, 0x202F, 0x2065, 0x206A, 0x200F});
    QTest::newRow("emoji") << fromCodePoints({0x1F600}) << fromCodePoints({0x1F600});
}

void TestSystemText::showsControlCharacters()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    const QString shown = visibleText(text);
    QCOMPARE(shown, expected);
    QCOMPARE(shown.size(), text.size());
}

void TestSystemText::toolTipShowsTextLiterally_data()
{
    QTest::addColumn<QString>("text");

    QTest::newRow("bold markup") << u"<b>x</b>"_s;
    QTest::newRow("entities") << u"a & b &amp; &lt; &#65; &nbsp;"_s;
    QTest::newRow("script") << u"<script>alert(1)</script>"_s;
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
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        QCOMPARE(block.blockFormat().headingLevel(), 0);
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            QVERIFY(it.fragment().charFormat().fontWeight() <= QFont::Normal);
            QVERIFY(!it.fragment().charFormat().isImageFormat());
        }
    }
}

void TestSystemText::emptyToolTipStaysEmpty()
{
    // An empty tooltip hides the tooltip; a wrapped empty text would show an empty box.
    QCOMPARE(plainToolTip(QString()), QString());
}

QTEST_MAIN(TestSystemText)
#include "test_systemtext.moc"
