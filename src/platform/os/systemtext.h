#pragma once

#include <QByteArrayView>
#include <QString>

namespace plenwick {

// Texts that come from the system (process names, paths) are bytes. They are turned
// into text that can be shown as it is: invalid UTF-8 becomes U+FFFD, and control
// characters (newline, tab, escape, C1 controls), line separators and the characters
// that are drawn as nothing (bidirectional controls, zero-width characters, byte order
// marks, every format and default-ignorable character) become visible stand-ins, one
// character for one.
QString textFromSystemBytes(QByteArrayView bytes);
QString visibleText(const QString &text);

// Text for a tooltip shown as literal characters, never as markup.
QString plainToolTip(const QString &text);

} // namespace plenwick
