#pragma once

#include <QString>
#include <span>

class QWidget;

namespace plenwick {

class SettingsStore;
class WindowGeometry;

// One window whose place is kept in the settings store.
struct WindowPlacement {
    QString section;
    // Null when the window is not loaded.
    const QWidget *window = nullptr;
    const WindowGeometry *geometry = nullptr;
    // Whether its size is kept too, or only its position.
    bool withSize = false;
};

// Writes each window's "Left", "Top" (and "Height", "Width") in twips, in the order
// given, skipping windows that are not shown or are minimized or maximized: their
// keys keep what an earlier run stored. Where the program cannot place its windows
// (natively on Wayland) "Left" and "Top" keep theirs too.
void saveWindowPositions(SettingsStore &store, std::span<const WindowPlacement> windows);

// The preferences as the windows hold them at the end of the run.
struct PreferencesValues {
    int zoom = 1;
    bool optRefresh1 = false;
    bool optRefresh2 = true;
    bool optRefresh3 = false;
    QString refreshInterval1;
    QString refreshInterval2;
    bool activeHyperlink = false;
};

// Writes the "Preferences" section in its order: Zoom, OptRefresh1-3,
// RefreshInterval1-2 (the box texts as they stand), ActiveHyperlink ("0" or "1").
void savePreferences(SettingsStore &store, const PreferencesValues &values);

} // namespace plenwick
