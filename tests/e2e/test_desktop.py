#!/usr/bin/python3
"""The real program on a virtual X display with the openbox window manager, driven by
real input: what depends on a window manager (activation, placement, stacking) or on a
screen reader's view of the program. Usage: test_desktop.py <case> <program>."""
import os
import re
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "../../tools"))
from xsession import Failure, Session, accessibility_missing, check, run_case  # noqa: E402

# Stored places in twips at 15 twips per pixel, frame included.
MAIN_DEFAULT = (7, 3, 547, 427)
DATA_DEFAULT = (7, 3, 407, 348)


def button(session, main, index):
    """Clicks button `index` (0 Refresh ... 5 Help) of the row under the chart."""
    # The buttons stand 85 pixels apart from x 8, 81 x 25 pixels each, their tops 30
    # pixels above the bottom of the window's inside.
    inside = session.outer(main)[3] - sum(session.frame(main)[2:])
    session.click(main, 8 + 85 * index + 40, inside - 30 + 12)


def check_over(session, wid, main, tool=True):
    """The window stays over the main window; a tool window also has no button in the
    task bar or the pager, and asks for no minimize or maximize button."""
    props = session.run("xprop", "-id", str(wid), "WM_TRANSIENT_FOR", "_NET_WM_WINDOW_TYPE",
                        "_NET_WM_STATE", "_MOTIF_WM_HINTS")
    ok = "window id # %#x" % main in props
    if tool:
        flags, functions, decorations = (int(v, 16) for v in re.search(
            r"_MOTIF_WM_HINTS.* = (\w+), (\w+), (\w+)", props).groups())
        # Bit 1 of both means "all but those given"; 8 and 16 are the functions' minimize
        # and maximize, 32 and 64 the decorations'.
        ok = ok and re.search(r"TYPE\(ATOM\) = _NET_WM_WINDOW_TYPE_(UTILITY|DIALOG)", props) \
            and "SKIP_TASKBAR" in props and "SKIP_PAGER" in props and flags & 3 == 3 \
            and not functions & 25 and not decorations & 97
    check(ok, "window %#x is not kept over the main window %#x as it should:\n%s"
          % (wid, main, props))


def exit_cleanly(session, main):
    check(session.quit(main) == 0, "the program did not end cleanly")


def case_startup(session, program):
    # The shipped program reads the real /proc whatever the environment says.
    session.start(program, PLENWICK_PROC_ROOT="/nonexistent")
    splash = session.wait(lambda: [w for w in session.program_windows()
                                   if (session.outer(w) or ())[2:] == (457, 294)],
                          "the splash")[0]
    main = session.window("^Plenwick$")
    session.gone(splash, 10)
    check(session.program_windows() == [main], "windows beside the main one: the failure box?")
    check(session.outer(main) == MAIN_DEFAULT, "main window at %s" % (session.outer(main),))
    exit_cleanly(session, main)
    stored = session.ini()
    for key in ("Left=100", "Top=50", "Height=6400", "Width=8200"):
        check(key in stored.split("[MainForm]")[1].split("[")[0], "MainForm lacks " + key)


def case_show_active(session, program):
    main = session.start_main(program)
    for index, title in ((3, "^Memory Data$"), (4, "^Preferences$"), (5, "^About Plenwick$"),
                         (None, "^Plenwick Help$")):
        session.activate(main)
        button(session, main, index) if index else session.type_keys("F1")
        shown = session.window(title)
        session.wait(lambda: session.active() == shown, title + " to be active")
        check_over(session, shown, main)
    # The menu's Ctrl+X belongs to the main window.
    session.activate(session.window("^Memory Data$"))
    session.type_keys("ctrl+x")
    session.activate(main)
    check(session.program.poll() is None, "Ctrl+X in the data window ended the program")
    exit_cleanly(session, main)


def case_data_window_returns(session, program):
    main = session.start_main(program)
    button(session, main, 3)
    data = session.window("^Memory Data$")
    session.wait(lambda: session.outer(data) == DATA_DEFAULT, "the data window's place")
    session.spawn(["xmessage", "-geometry", "+600+500", "another program"], "xmessage")
    foreign = session.window("^xmessage$")
    for via, returns in ((main, True), (foreign, False)):
        session.run("xdotool", "windowmove", "--sync", str(data), "300", "300")
        moved = session.outer(data)
        session.activate(via)
        session.activate(data)
        expected = DATA_DEFAULT if returns else moved
        session.wait(lambda: session.outer(data) == expected, "the data window at %s after %s"
                     % (expected, "main" if returns else "xmessage"))
    exit_cleanly(session, main)


def case_failure_box(session, program):
    session.start(program, PLENWICK_PROC_ROOT="/nonexistent")
    box = session.wait(lambda: [w for w in session.windows("^Plenwick$")
                                if (session.outer(w) or (0, 0, 999))[2] < 400],
                         "the failure box")[0]
    main = [w for w in session.windows("^Plenwick$") if w != box][0]
    stack = session.stacking()
    check(stack.index(box) > stack.index(main), "the failure box is beneath the main window")
    check_over(session, box, main, tool=False)
    check(session.outer(main) == MAIN_DEFAULT, "main window at %s" % (session.outer(main),))
    session.activate(box)
    session.type_keys("Return")
    session.gone(box)
    exit_cleanly(session, main)
    check("Top=50" in session.ini(), "the main window was saved off its place")


def case_stored_rectangles(session, program):
    screen = (1280, 1024)
    for size in (("100000000", "100000000"), ("15", "15"), ("8200", "-6400")):
        session.ini("[MainForm]\nLeft=-90000\nTop=-300\nWidth=%s\nHeight=%s\n" % size)
        main = session.start_main(program)
        x, y, w, h = session.outer(main)
        check(0 <= x and 0 <= y and x + w <= screen[0] and y + h <= screen[1],
              "main window at %s for %sx%s" % ((x, y, w, h), *size))
        check(w >= 200 and h >= 150, "main window only %dx%d" % (w, h))
        exit_cleanly(session, main)
        top = float(re.search(r"Top=(-?[\d.]+)", session.ini()).group(1))
        check(top >= 0, "saved Top=%s" % top)


def case_save_failure(session, program):
    # A folder where the settings file should be: every save fails.
    os.makedirs(os.path.join(session.config, "Plenwick", "Plenwick.ini"))
    main = session.start_main(program)
    session.activate(main)
    session.type_keys("ctrl+x")
    box = session.wait(lambda: [w for w in session.program_windows() if w != main],
                       "a message about the failed save")[0]
    session.activate(box)
    session.type_keys("Return")
    check(session.end() == 0, "the program did not end after the failed save")


HEAR = r"""
heard = ["windows: " + " ".join(w.getRoleName() for w in app)]
def note(node):
    heard.append(node.name + " " + node.description)
    try:
        heard.append(node.queryText().getText(0, -1))
    except NotImplementedError:
        pass
    return False
find(app, note)
table = find(app, lambda n: n.getRole() == pyatspi.ROLE_TABLE).queryTable()
heard.append("columns: " + "|".join(table.getColumnDescription(c) for c in range(table.nColumns)))
print("\n".join(heard))
"""


LISTEN = r"""
import pyatspi
pyatspi.Registry.registerEventListener(lambda event: None, "object:children-changed")
print("listening", flush=True)
pyatspi.Registry.start()
"""

PRESS_EXIT = r"""
item = find(app, lambda n: n.getRole() == pyatspi.ROLE_MENU_ITEM and n.name == "Exit")
item.queryAction().doAction(0)
print("pressed", flush=True)
"""


def case_screen_reader(session, program):
    if accessibility_missing():
        return print("SKIP: " + accessibility_missing())
    session.enable_accessibility()
    main = session.start_main(program)
    button(session, main, 3)
    session.window("^Memory Data$")
    button(session, main, 4)
    prefs = session.window("^Preferences$")
    session.activate(prefs)
    session.type_keys("End")  # the slider, first in the window, to 4x
    texts = ("bytes   (", "Magnification 4x", "lamp dim",
             "columns: Process ID|Filename|Size|Work Directory")
    heard = [""]

    def hears_all():
        # The program registers, and takes the key, in its own time on a busy machine.
        heard[0] = session.atspi(HEAR).stdout
        return all(text in heard[0] for text in texts)
    try:
        session.wait(hears_all, "a screen reader to hear the program", 60)
    except Failure:
        raise Failure("a screen reader does not hear all of %s in:\n%s" % (texts, heard[0]))
    windows = re.search(r"windows: (.*)", heard[0]).group(1).split()
    check("filler" not in windows, "the program's windows are told as: %s" % windows)
    # A screen reader that listens for changes in the chart is told of them, on every
    # refresh, in notices its client library takes (Qt's bridge can send a child as a
    # plain string, which the library rejects with "invalid signature").
    session.spawn(["/usr/bin/python3", "-c", LISTEN], "listener")
    session.wait(lambda: "listening" in session.log("listener"), "a screen reader to listen")
    session.activate(main)
    session.type_keys("F5", "F5")
    deadline = time.monotonic() + 12  # two refreshes and two ticks
    while "invalid" not in session.log("listener") and time.monotonic() < deadline:
        time.sleep(0.2)
    check("invalid" not in session.log("listener"),
          "the chart's changes reach a screen reader malformed:\n" + session.log("listener")[-800:])
    # Its user ends the program from the menu. (Not with Ctrl+X here: Qt's bridge holds
    # each key event until the registry has answered and never frees the ones it still
    # holds at the end, and on a busy machine the Ctrl press is one of them.)
    pressed = session.atspi(PRESS_EXIT)
    check("pressed" in pressed.stdout, "a screen reader cannot press File > Exit:\n"
          + pressed.stdout + pressed.stderr)
    check(session.end() == 0, "the program did not end cleanly")


if __name__ == "__main__":
    run_case(globals(), lambda case: Session(bus=case == "screen_reader"))
