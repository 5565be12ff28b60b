"""Reads a running Vendrix over AT-SPI as a screen reader does (see check-accessibility.sh).

Arguments: the editor's process id, then the files it opened (the last one is active).
"""
import os
import subprocess
import sys
import time

import pyatspi


def fail(message):
    print("check-accessibility: " + message, file=sys.stderr)
    sys.exit(1)


def wait_for(what, probe, seconds=20):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        found = probe()
        if found:
            return found
        time.sleep(0.2)
    fail("timed out waiting for " + what)


def walk(node):
    yield node
    for index in range(node.childCount):
        child = node.getChildAtIndex(index)
        if child is not None:
            yield from walk(child)


def application(pid):
    desktop = pyatspi.Registry.getDesktop(0)
    for index in range(desktop.childCount):
        app = desktop.getChildAtIndex(index)
        if app is not None and app.get_process_id() == pid:
            return app
    return None


def text_of(node):
    text = node.queryText()
    return text.getText(0, text.characterCount)


def main():
    pid = int(sys.argv[1])
    files = sys.argv[2:]
    names = [os.path.basename(path) for path in files]
    with open(files[-1], encoding="utf-8") as handle:
        active_text = handle.read()

    app = wait_for("the editor on the AT-SPI bus", lambda: application(pid))
    nodes = lambda: list(walk(app))

    def tabs():
        found = [n.name for n in nodes() if n.getRole() == pyatspi.ROLE_PAGE_TAB]
        return found if len(found) == len(names) else None

    tab_names = wait_for("the page tabs", tabs)
    if tab_names != names:
        fail("page tabs %r, expected %r" % (tab_names, names))
    for node in nodes():
        if node.getRole() == pyatspi.ROLE_PAGE_TAB:
            selected = node.getState().contains(pyatspi.STATE_SELECTED)
            if selected != (node.name == names[-1]):
                fail("tab %r selected=%s" % (node.name, selected))

    def document():
        for node in nodes():
            if node.getRole() == pyatspi.ROLE_TEXT and node.name == names[-1] and \
                    node.getState().contains(pyatspi.STATE_MULTI_LINE):
                return node
        return None

    text = wait_for("the text object named " + names[-1], document)
    if text_of(text) != active_text:
        fail("the text object holds %r, expected %r" % (text_of(text), active_text))
    if not text.getState().contains(pyatspi.STATE_EDITABLE):
        fail("the text object is not editable")
    if text.queryText().caretOffset != 0:
        fail("caret at %d, expected 0" % text.queryText().caretOffset)
    line = text.queryText().getTextAtOffset(0, pyatspi.TEXT_BOUNDARY_LINE_START)
    if line[0] != active_text.split("\n")[0] + "\n":
        fail("the first line reads %r" % (line[0],))

    labels = [n.name for n in nodes() if n.getRole() == pyatspi.ROLE_LABEL]
    if "Sat 1, Süt 1" not in labels or "LF" not in labels:
        fail("status fields as labels: %r" % (labels,))
    buttons = [n.name for n in nodes() if n.getRole() == pyatspi.ROLE_PUSH_BUTTON]
    if "Yeni Sekme" not in buttons or buttons.count("Sekmeyi Kapat") != len(names):
        fail("tab buttons: %r" % (buttons,))

    # Typing at the keyboard shows up in the text object, with the caret after it.
    window = subprocess.run(["xdotool", "search", "--onlyvisible", "--pid", str(pid)],
                            capture_output=True, text=True).stdout.split()
    if not window:
        fail("no window")
    subprocess.run(["xdotool", "windowactivate", "--sync", window[0]], check=False,
                   stderr=subprocess.DEVNULL)
    subprocess.run(["xdotool", "windowfocus", "--sync", window[0]], check=False)
    time.sleep(0.3)
    subprocess.run(["xdotool", "type", "--delay", "40", "abc"], check=True)
    wait_for("typed text in the text object", lambda: text_of(text).startswith("abc"))
    wait_for("the caret after the typed text", lambda: text.queryText().caretOffset == 3)

    # An edit made through AT-SPI goes into the document.
    text.queryEditableText().insertText(0, "ğ", 1)
    wait_for("the inserted text", lambda: text_of(text).startswith("ğabc"))
    print("check-accessibility: text, caret, editing, tabs and status fields read over AT-SPI")


main()
