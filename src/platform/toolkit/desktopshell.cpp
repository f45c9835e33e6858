#include "desktopshell.h"

#include <QDesktopServices>
#include <QUrl>

namespace plenwick {

void SystemDesktopShell::open(const QString &target)
{
    const QUrl url = QUrl::fromUserInput(target);
    if (url.isValid())
        QDesktopServices::openUrl(url);
}

} // namespace plenwick
