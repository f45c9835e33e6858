#pragma once

#include <xcb/xcb.h>

namespace plenwick::x11 {

// The running application's connection to its X server, or null on any other platform.
xcb_connection_t *connection();

// The atom named `name` on `connection`, or XCB_ATOM_NONE when the server gives none.
xcb_atom_t atom(xcb_connection_t *connection, const char *name);

} // namespace plenwick::x11
