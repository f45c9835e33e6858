#include "systemtext.h"

#include <cstdint>

namespace plenwick {

using namespace Qt::StringLiterals;

namespace {

constexpr char16_t ReplacementCharacter = 0xFFFD;

// The range of the second byte of a well-formed sequence for each lead byte, and the
// number of continuation bytes that follow the lead. Only the second byte has a range
// narrower than 80..BF (it rules out overlong forms, surrogates and values above
// U+10FFFF); every later continuation byte is 80..BF.
struct LeadByte {
    int continuations = 0; // -1: never a lead byte
    std::uint8_t secondLow = 0x80;
    std::uint8_t secondHigh = 0xBF;
};

constexpr LeadByte leadByte(std::uint8_t b)
{
    if (b < 0x80)
        return {0};
    if (b < 0xC2)
        return {-1}; // a continuation byte, or the lead of an overlong two-byte form
    if (b < 0xE0)
        return {1};
    if (b == 0xE0)
        return {2, 0xA0, 0xBF};
    if (b == 0xED)
        return {2, 0x80, 0x9F};
    if (b < 0xF0)
        return {2};
    if (b == 0xF0)
        return {3, 0x90, 0xBF};
    if (b < 0xF4)
        return {3};
    if (b == 0xF4)
        return {3, 0x80, 0x8F};
    return {-1};
}

constexpr bool isContinuation(std::uint8_t b)
{
    return (b & 0xC0) == 0x80;
}

// Characters that are drawn as nothing although they are there: format characters
// (bidirectional embeddings, overrides, isolates and marks, zero-width spaces and
// joiners, the byte order mark, tags) and the other default-ignorable characters
// (variation selectors, fillers). Shown as they are, they would reorder the text after
// them or let two different names look the same.
bool isInvisible(char32_t c)
{
    return QChar::category(c) == QChar::Other_Format || c == 0x034F ||
           (c >= 0x115F && c <= 0x1160) || (c >= 0x17B4 && c <= 0x17B5) ||
           (c >= 0x180B && c <= 0x180F) || (c >= 0x2060 && c <= 0x206F) || c == 0x3164 ||
           (c >= 0xFE00 && c <= 0xFE0F) || c == 0xFFA0 || (c >= 0xFFF0 && c <= 0xFFF8) ||
           (c >= 0x1BCA0 && c <= 0x1BCA3) || (c >= 0xE0000 && c <= 0xE0FFF);
}

// The stand-in that is shown in place of a character that would not be seen as itself;
// 0 for every other character.
char16_t standIn(char32_t c)
{
    if (c < 0x20)
        return char16_t(0x2400 + c); // the Control Pictures block: U+240A for newline
    if (c == 0x7F)
        return 0x2421;
    if (c < 0xA0)
        return c >= 0x80 ? ReplacementCharacter : 0;
    // Line and paragraph separators: the text layout breaks lines at them.
    if (c == 0x2028 || c == 0x2029 || isInvisible(c))
        return ReplacementCharacter;
    return 0;
}

} // namespace

// Decodes UTF-8. Each maximal part of an ill-formed sequence becomes one U+FFFD, as
// the Unicode standard recommends (so "\xE6\x97" cut short is one U+FFFD, a stray
// continuation byte is one), and decoding goes on after it. NUL bytes are kept as
// characters, and a leading byte order mark is kept as U+FEFF: nothing is dropped.
QString textFromSystemBytes(QByteArrayView bytes)
{
    const auto *in = reinterpret_cast<const std::uint8_t *>(bytes.data());
    const qsizetype size = bytes.size();
    // Every code unit written consumes at least one byte (a surrogate pair four).
    QString text(size, Qt::Uninitialized);
    char16_t *out = reinterpret_cast<char16_t *>(text.data());
    char16_t *const begin = out;

    qsizetype i = 0;
    while (i < size) {
        const std::uint8_t b = in[i];
        if (b < 0x80) {
            *out++ = b;
            ++i;
            continue;
        }
        const LeadByte lead = leadByte(b);
        if (lead.continuations < 0) {
            *out++ = ReplacementCharacter;
            ++i;
            continue;
        }
        char32_t code = b & (0x3F >> lead.continuations);
        qsizetype j = i + 1;
        bool complete = true;
        for (int k = 0; k < lead.continuations; ++k, ++j) {
            const bool fits =
                j < size && (k == 0 ? in[j] >= lead.secondLow && in[j] <= lead.secondHigh
                                    : isContinuation(in[j]));
            if (!fits) {
                complete = false;
                break;
            }
            code = (code << 6) | (in[j] & 0x3F);
        }
        if (!complete) {
            // The lead and the continuations that fitted form one ill-formed part.
            *out++ = ReplacementCharacter;
            i = j;
            continue;
        }
        if (code >= 0x10000) {
            *out++ = char16_t(0xD800 + ((code - 0x10000) >> 10));
            *out++ = char16_t(0xDC00 + ((code - 0x10000) & 0x3FF));
        } else {
            *out++ = char16_t(code);
        }
        i = j;
    }
    text.truncate(out - begin);
    return text;
}

QString visibleText(const QString &text)
{
    // Most names need nothing: they are returned as they are, without a copy.
    QString shown;
    qsizetype copied = 0;
    const qsizetype size = text.size();
    for (qsizetype i = 0; i < size;) {
        char32_t c = text[i].unicode();
        qsizetype width = 1;
        if (text[i].isHighSurrogate() && i + 1 < size && text[i + 1].isLowSurrogate()) {
            c = QChar::surrogateToUcs4(text[i], text[i + 1]);
            width = 2;
        }
        if (const char16_t shownInstead = standIn(c)) {
            shown += QStringView(text).sliced(copied, i - copied);
            shown += QChar(shownInstead);
            copied = i + width;
        }
        i += width;
    }
    if (copied == 0)
        return text;
    shown += QStringView(text).sliced(copied);
    return shown;
}

QString plainToolTip(const QString &text)
{
    if (text.isEmpty())
        return text; // an empty tooltip is no tooltip
    // The paragraph makes the tooltip rich text, so that Qt does not guess: the
    // escaped text inside it is shown as exactly these characters, spaces and line
    // breaks kept as they are.
    return u"<p style='white-space:pre'>"_s + text.toHtmlEscaped() + u"</p>"_s;
}

} // namespace plenwick
