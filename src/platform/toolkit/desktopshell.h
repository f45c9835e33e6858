#pragma once

#include <QString>

namespace plenwick {

// The desktop's "open with the default handler" step.
class DesktopShell {
public:
    virtual ~DesktopShell() = default;
    // Asks the desktop to open `target` (a web address or a document path) with the
    // user's default handler and returns at once, reporting nothing.
    virtual void open(const QString &target) = 0;
};

// Opens through the desktop's own handlers.
class SystemDesktopShell : public DesktopShell {
public:
    void open(const QString &target) override;
};

// Opens nothing: for windows that are made only to be looked at or measured.
class NullDesktopShell : public DesktopShell {
public:
    void open(const QString &) override {}
};

} // namespace plenwick
