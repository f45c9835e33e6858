#include "persistence.h"

#include "platform/settings/settingstext.h"
#include "platform/toolkit/toolkit.h"
#include "platform/toolkit/windowgeometry.h"
#include "settingskeys.h"

#include <QWidget>

namespace plenwick {

void saveWindowPositions(SettingsStore &store, std::span<const WindowPlacement> windows)
{
    for (const WindowPlacement &w : windows) {
        if (!w.window || !w.geometry || !w.window->isVisible())
            continue;
        if (w.window->windowState() &
            (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen))
            continue;
        // A place the program cannot know is not stored over the last known one.
        if (canPlaceWindows()) {
            writeSingle(store, w.section, keys::Left, static_cast<float>(w.geometry->left()));
            writeSingle(store, w.section, keys::Top, static_cast<float>(w.geometry->top()));
        }
        if (w.withSize) {
            writeSingle(store, w.section, keys::Height, static_cast<float>(w.geometry->height()));
            writeSingle(store, w.section, keys::Width, static_cast<float>(w.geometry->width()));
        }
    }
}

void savePreferences(SettingsStore &store, const PreferencesValues &values)
{
    using namespace Qt::StringLiterals;
    writeInteger(store, keys::Preferences, keys::Zoom, values.zoom);
    writeTruth(store, keys::Preferences, keys::OptRefresh1, values.optRefresh1);
    writeTruth(store, keys::Preferences, keys::OptRefresh2, values.optRefresh2);
    writeTruth(store, keys::Preferences, keys::OptRefresh3, values.optRefresh3);
    store.setValue(keys::Preferences, keys::RefreshInterval1, values.refreshInterval1);
    store.setValue(keys::Preferences, keys::RefreshInterval2, values.refreshInterval2);
    store.setValue(keys::Preferences, keys::ActiveHyperlink,
                   values.activeHyperlink ? u"1"_s : u"0"_s);
}

} // namespace plenwick
