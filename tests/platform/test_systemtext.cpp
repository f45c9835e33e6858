#include "platform/systemtext.h"

#include <QRandomGenerator>
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

QString repeated(QChar c, int count)
{
    return QString(count, c);
}

const QChar Replacement(0xFFFD);

bool hasLoneSurrogate(const QString &text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i].isHighSurrogate()) {
            if (i + 1 == text.size() || !text[i + 1].isLowSurrogate())
                return true;
            ++i;
        } else if (text[i].isLowSurrogate()) {
            return true;
        }
    }
    return false;
}

} // namespace

class TestSystemText : public QObject {
    Q_OBJECT

private slots:
    void decodesBytes_data();
    void decodesBytes();
    void decodingNeverCutsOrBreaksText();
    void showsControlCharacters_data();
    void showsControlCharacters();
    void standsInForEveryC0AndC1Control();
    void keepsOrdinaryCharacters_data();
    void keepsOrdinaryCharacters();
    void toolTipShowsTextLiterally_data();
    void toolTipShowsTextLiterally();
    void emptyToolTipStaysEmpty();
};

void TestSystemText::decodesBytes_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("expected");

    QTest::newRow("empty") << QByteArray() << QString();
    QTest::newRow("ascii") << QByteArray("/usr/bin/bash") << u"/usr/bin/bash"_s;
    QTest::newRow("two-byte") << QByteArray("caf\xc3\xa9") << fromCodePoints({'c', 'a', 'f', 0xE9});
    QTest::newRow("three-byte") << QByteArray("\xe6\x97\xa5") << fromCodePoints({0x65E5});
    QTest::newRow("four-byte") << QByteArray("\xf0\x9f\x98\x80") << fromCodePoints({0x1F600});
    QTest::newRow("highest code point")
        << QByteArray("\xf4\x8f\xbf\xbf") << fromCodePoints({0x10FFFF});
    QTest::newRow("U+FFFF") << QByteArray("\xef\xbf\xbf") << fromCodePoints({0xFFFF});
    QTest::newRow("nul kept") << QByteArray("a\0b", 3) << fromCodePoints({'a', 0, 'b'});
    QTest::newRow("byte order mark kept") << QByteArray("\xef\xbb\xbfx") << u"\uFEFFx"_s;
    QTest::newRow("stray continuation") << QByteArray("a\x80z") << u"a\uFFFDz"_s;
    QTest::newRow("ff") << QByteArray("a\xffz") << u"a\uFFFDz"_s;
    QTest::newRow("cut short at the end") << QByteArray("ab\xe6\x97") << u"ab\uFFFD"_s;
    QTest::newRow("latin-1 e acute") << QByteArray("caf\xe9!") << u"caf\uFFFD!"_s;

    // The examples of the Unicode standard (chapter 3, "U+FFFD Substitution of Maximal
    // Subparts"): each maximal subpart of an ill-formed sequence is one U+FFFD.
    QTest::newRow("unicode: maximal subparts")
        << QByteArray("\x61\xF1\x80\x80\xE1\x80\xC2\x62\x80\x63\x80\xBF\x64")
        << u"a"_s + repeated(Replacement, 3) + u"b"_s + Replacement + u"c"_s +
               repeated(Replacement, 2) + u"d"_s;
    QTest::newRow("unicode: non-shortest forms")
        << QByteArray("\xC0\xAF\xE0\x80\xBF\xF0\x81\x82\x41") << repeated(Replacement, 8) + u"A"_s;
    QTest::newRow("unicode: surrogates")
        << QByteArray("\xED\xA0\x80\xED\xBF\xBF\xED\xAF\x41") << repeated(Replacement, 8) + u"A"_s;
    QTest::newRow("unicode: other ill-formed")
        << QByteArray("\xF4\x91\x92\x93\xFF\x41\x80\xBF\x42")
        << repeated(Replacement, 5) + u"A"_s + repeated(Replacement, 2) + u"B"_s;
    QTest::newRow("unicode: truncated sequences")
        << QByteArray("\xE1\x80\xE2\xF0\x91\x92\xF1\xBF\x41") << repeated(Replacement, 4) + u"A"_s;
}

void TestSystemText::decodesBytes()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, expected);
    QCOMPARE(textFromSystemBytes(bytes), expected);
}

void TestSystemText::decodingNeverCutsOrBreaksText()
{
    QRandomGenerator random(20240611);
    for (int round = 0; round < 2000; ++round) {
        // Random bytes, weighted towards the lead and continuation bytes of UTF-8.
        QByteArray bytes(random.bounded(0, 24), Qt::Uninitialized);
        for (char &b : bytes) {
            const int kind = random.bounded(4);
            b = char(kind == 0   ? random.bounded(0x00, 0x80)
                     : kind == 1 ? random.bounded(0x80, 0xC0)
                                 : random.bounded(0xC0, 0x100));
        }
        const QString text = textFromSystemBytes(bytes);
        QVERIFY2(!hasLoneSurrogate(text), bytes.toHex().constData());
        QVERIFY2(text.size() <= bytes.size(), bytes.toHex().constData());
        // Every ASCII byte comes through, in order: nothing is dropped after a fault.
        QByteArray ascii;
        for (char b : bytes) {
            if (uchar(b) < 0x80)
                ascii.append(b);
        }
        QString asciiInText;
        for (QChar c : text) {
            if (c.unicode() < 0x80)
                asciiInText.append(c);
        }
        QCOMPARE(asciiInText, QString::fromLatin1(ascii));
        // Well-formed input comes back unchanged.
        if (!text.contains(Replacement))
            QCOMPARE(text.toUtf8(), bytes);
    }
}

void TestSystemText::showsControlCharacters_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");

    QTest::newRow("newline") << u"a\nb"_s << u"a\u240Ab"_s;
    QTest::newRow("tab") << u"a\tb"_s << u"a\u2409b"_s;
    QTest::newRow("carriage return") << u"a\rb"_s << u"a\u240Db"_s;
    QTest::newRow("nul") << fromCodePoints({'a', 0, 'b'}) << u"a\u2400b"_s;
    QTest::newRow("escape sequence") << u"\x1b[31mred"_s << u"\u241B[31mred"_s;
    QTest::newRow("delete") << u"a\x7f"_s << u"a\u2421"_s;
    QTest::newRow("C1 next line") << fromCodePoints({'a', 0x85, 'b'}) << u"a\uFFFDb"_s;
    QTest::newRow("C1 CSI") << fromCodePoints({0x9B, '3', '1', 'm'}) << u"\uFFFD31m"_s;
    QTest::newRow("LRE") << u"\u202Ax"_s << u"\uFFFDx"_s;
    QTest::newRow("RLE") << u"\u202Bx"_s << u"\uFFFDx"_s;
    QTest::newRow("PDF") << u"\u202Cx"_s << u"\uFFFDx"_s;
    QTest::newRow("LRO") << u"\u202Dx"_s << u"\uFFFDx"_s;
    QTest::newRow("RLO") << u"evil\u202Egpj.exe"_s << u"evil\uFFFDgpj.exe"_s;
    QTest::newRow("LRI") << u"\u2066x"_s << u"\uFFFDx"_s;
    QTest::newRow("RLI") << u"\u2067x"_s << u"\uFFFDx"_s;
    QTest::newRow("FSI") << u"\u2068x"_s << u"\uFFFDx"_s;
    QTest::newRow("PDI") << u"\u2069x"_s << u"\uFFFDx"_s;
    QTest::newRow("line separator") << u"a\u2028b"_s << u"a\uFFFDb"_s;
    QTest::newRow("paragraph separator") << u"a\u2029b"_s << u"a\uFFFDb"_s;
    QTest::newRow("mixed") << u"/tmp/x\ny\t\u202Ez\x7f\x01"_s
                           << u"/tmp/x\u240Ay\u2409\uFFFDz\u2421\u2401"_s;
}

void TestSystemText::showsControlCharacters()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    const QString shown = visibleText(text);
    QCOMPARE(shown, expected);
    QCOMPARE(shown.size(), text.size());
}

void TestSystemText::standsInForEveryC0AndC1Control()
{
    for (char16_t c = 0; c < 0x20; ++c)
        QCOMPARE(visibleText(QString(QChar(c))), QString(QChar(char16_t(0x2400 + c))));
    for (char16_t c = 0x80; c < 0xA0; ++c)
        QCOMPARE(visibleText(QString(QChar(c))), QString(Replacement));
}

void TestSystemText::keepsOrdinaryCharacters_data()
{
    QTest::addColumn<QString>("text");

    QTest::newRow("empty") << QString();
    QTest::newRow("path") << u"/usr/lib/x86_64-linux-gnu/My App (1)/a b~"_s;
    QTest::newRow("markup") << u"<b>x</b> &amp;"_s;
    QTest::newRow("latin-1 above the controls") << fromCodePoints({0xA0, 0xA1, 0xE9, 0xFF});
    QTest::newRow("around the bidi controls")
        << fromCodePoints({0x2027, 0x202F, 0x2065, 0x206A, 0x200F});
    QTest::newRow("cjk") << u"データ/ツール"_s;
    QTest::newRow("emoji") << fromCodePoints({0x1F600, 0x10FFFF});
    QTest::newRow("replacement character") << u"\uFFFD"_s;
}

void TestSystemText::keepsOrdinaryCharacters()
{
    QFETCH(QString, text);
    QCOMPARE(visibleText(text), text);
}

void TestSystemText::toolTipShowsTextLiterally_data()
{
    QTest::addColumn<QString>("text");

    QTest::newRow("bold markup") << u"<b>x</b>"_s;
    QTest::newRow("plain") << u"bash"_s;
    QTest::newRow("ampersand") << u"a & b"_s;
    QTest::newRow("entities") << u"&amp; &lt; &#65; &nbsp;"_s;
    QTest::newRow("angles") << u"x < y > z"_s;
    QTest::newRow("quotes") << u"'single' \"double\""_s;
    QTest::newRow("spaces") << u"  spaced   out  "_s;
    QTest::newRow("script") << u"<script>alert(1)</script>"_s;
    QTest::newRow("comment") << u"<!-- c -->"_s;
    QTest::newRow("break") << u"a<br>b"_s;
    QTest::newRow("image") << u"<img src=x>"_s;
    QTest::newRow("closing the paragraph") << u"</p><h1>big</h1>"_s;
    QTest::newRow("lines") << u"proc7\n/opt/app7/\n1.5 MB"_s;
    QTest::newRow("tab") << u"a\tb"_s;
    QTest::newRow("non-ascii") << u"データ \U0001F600"_s;
    QTest::newRow("stand-ins") << u"a\u240Ab\uFFFD"_s;
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
    // Nothing is formatted: no bold, italic or heading from markup in the text.
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        QCOMPARE(block.blockFormat().headingLevel(), 0);
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat format = it.fragment().charFormat();
            QVERIFY(format.fontWeight() <= QFont::Normal);
            QVERIFY(!format.fontItalic());
            QVERIFY(!format.isImageFormat());
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
