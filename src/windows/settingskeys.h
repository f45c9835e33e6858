#pragma once

#include <QString>

namespace plenwick::keys {

using namespace Qt::StringLiterals;

// Sections of the settings store.
inline const QString Preferences = u"Preferences"_s;
inline const QString MainForm = u"MainForm"_s;
inline const QString DataForm = u"DataForm"_s;
inline const QString AboutForm = u"AboutForm"_s;
inline const QString PreferencesForm = u"PreferencesForm"_s;

// Keys of "Preferences".
inline const QString Zoom = u"Zoom"_s;
inline const QString OptRefresh1 = u"OptRefresh1"_s;
inline const QString OptRefresh2 = u"OptRefresh2"_s;
inline const QString OptRefresh3 = u"OptRefresh3"_s;
inline const QString RefreshInterval1 = u"RefreshInterval1"_s;
inline const QString RefreshInterval2 = u"RefreshInterval2"_s;
inline const QString ActiveHyperlink = u"ActiveHyperlink"_s;

// Keys of the window sections.
inline const QString Left = u"Left"_s;
inline const QString Top = u"Top"_s;
inline const QString Height = u"Height"_s;
inline const QString Width = u"Width"_s;

} // namespace plenwick::keys
