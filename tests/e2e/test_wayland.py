#!/usr/bin/python3
"""The real program in a Wayland session (weston, headless, with XWayland), closed
through its Close button as a screen reader presses it: keyboard and pointer tools
do not reach native Wayland clients. Usage: test_wayland.py <case> <program>."""
import os
import re
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "../../tools"))
from xsession import WaylandSession, accessibility_missing, check, run_case  # noqa: E402

# Left, Top, Width, Height in twips, 15 to the pixel, frame included.
STORED = {"MainForm": ["6000", "3000", "8200", "6400"],
          "DataForm": ["3000", "2000", "6105", "5220"]}

# Finds the program's element of role argv[1] (* for any) named argv[2] on the screen,
# and with argv[3] "press" presses it; exit status 3 while there is none (yet).
SHOWN = r"""
found = find(app, lambda n: sys.argv[1] in ("*", n.getRoleName()) and n.name == sys.argv[2])
if not found or not found.getState().contains(pyatspi.STATE_SHOWING):
    sys.exit(3)
if sys.argv[3:] == ["press"]:
    found.queryAction().doAction(0)
"""


def stored(session, section):
    """Left, Top, Width, Height of `section` in the settings file, as text."""
    keys = session.ini().split("[%s]" % section)[1].split("[")[0]
    return [(re.search(r"^%s=(.*)$" % key, keys, re.M) or [None, None])[1]
            for key in ("Left", "Top", "Width", "Height")]


def start(session, program, **env):
    session.ini("".join("[%s]\nLeft=%s\nTop=%s\nWidth=%s\nHeight=%s\n" % (k, *v)
                        for k, v in STORED.items()))
    session.enable_accessibility()
    session.start(program, **env)


def shown(session, role, name, *action):
    """Waits until the program shows `name` (as a screen reader sees it)."""
    session.wait(lambda: session.atspi(SHOWN, role, name, *action).returncode == 0,
                 "the program's %s %s" % (role, name), 60)


def close(session):
    shown(session, "push button", "Close", "press")
    check(session.end() == 0, "the program did not end cleanly")


def case_xwayland_by_default(session, program):
    """With no platform chosen the program is an X client; its stored place survives a
    run under weston's X window manager, which draws a shadow and does not tell how thick
    its frames are: the shadow is not taken off the window's size."""
    start(session, program)
    main = session.window("^Plenwick$", 60)
    session.wait(lambda: (session.outer(main) or (0,) * 4)[2:] == (547, 427),
                 "the main window at its stored size")
    # The data window shows at its design size, or at its stored one once activated;
    # no shadow is taken off what it shows nor added to what is stored for it.
    shown(session, "push button", "View Data", "press")
    data = session.window("^Memory Data$")
    shown(session, "push button", "View Data", "press")  # again, to activate it
    size = session.wait(lambda: [s for s in [(session.outer(data) or (0,) * 4)[2:]]
                                 if s in ((399, 322), (407, 348))],
                        "the data window at its design or stored size")[0]
    close(session)
    check(stored(session, "MainForm") == STORED["MainForm"],
          "MainForm became %s" % stored(session, "MainForm"))
    check(stored(session, "DataForm")[2:] in ([str(v * 15) for v in size],
                                              STORED["DataForm"][2:]),
          "DataForm became %s for a window of %s" % (stored(session, "DataForm"), size))


def case_native_keeps_place(session, program):
    """Natively on Wayland the program cannot know its place, so it keeps the stored one."""
    start(session, program, QT_QPA_PLATFORM="wayland")
    shown(session, "push button", "View Data", "press")
    shown(session, "*", "Memory Data")
    close(session)
    check(not session.windows("^Plenwick$"), "the program ran as an X client")
    for section, place in STORED.items():
        check(stored(session, section)[:2] == place[:2],
              "%s became %s" % (section, stored(session, section)))


if __name__ == "__main__":
    if accessibility_missing():
        sys.exit(accessibility_missing())
    run_case(globals(), lambda case: WaylandSession(bus=True))
