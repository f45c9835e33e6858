#include "settingsstore.h"

namespace plenwick {

QString SettingsStore::read(const QString &section, const QString &key,
                            const QString &defaultText) const
{
    // An empty stored text is a value of its own: only a missing key gets the default.
    return value(section, key).value_or(defaultText);
}

} // namespace plenwick
