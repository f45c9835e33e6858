#pragma once

#include "windows/helppictures.h"

namespace plenwick {

// Pictures of the program's real main, preferences and data windows, made offscreen
// with sample data, for the help page.
HelpPictureProvider makeHelpPictureProvider();

} // namespace plenwick
