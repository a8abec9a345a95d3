"""Typing as a user does, with a real keyboard on the X server: a text with
a letter that has no 8-bit code, a stray key that resets a number and Ctrl+Z
that brings it back; then a save onto a file the user may write in a folder
where they may not create one."""

import os
import subprocess
import unittest

from Xlib import X, XK, display as xdisplay
from Xlib.ext import xtest

from morvel_e2e import find, press, session_for, text_of, wait_for

import pyatspi  # noqa: E402  (after the harness, which gives it its bus)

FIELDS = [f"MASTER{n}" for n in range(1, 9)] + ["SERVICE"] + [
    name for n, text in enumerate(["SMSText1", "SMSText2", "SMStext3", "SMStext4", "SMStext5",
                                   "SMSText6"]) for name in (f"SMSPhone{n + 1}", text)]


class Keyboard:
    """Keys and clicks through the X server's test extension, as a keyboard
    and a mouse make them. Each character typed gets a spare key of its own,
    so that any character, in any letter case, is one key; a key once given
    is never changed, since the program reads the keymap when it learns of a
    change, maybe after a later one."""

    def __init__(self, display_name):
        self.x = xdisplay.Display(display_name)
        low, high = self.x.display.info.min_keycode, self.x.display.info.max_keycode
        mapping = self.x.get_keyboard_mapping(low, high - low + 1)
        self.spare = [low + i for i, syms in enumerate(mapping) if not any(syms)]
        self.keys = {}

    def close(self):
        self.x.close()

    def focus_window(self, pid, title):
        """Gives the program's window the keyboard, as a window manager does
        when the user clicks into it."""
        pid_atom = self.x.intern_atom("_NET_WM_PID")
        for window in self.x.screen().root.query_tree().children:
            owner = window.get_full_property(pid_atom, X.AnyPropertyType)
            if (owner and owner.value[0] == pid and window.get_wm_name() == title and
                    window.get_attributes().map_state == X.IsViewable):
                window.set_input_focus(X.RevertToParent, X.CurrentTime)
                self.x.sync()
                return True
        return False

    def click(self, accessible):
        box = accessible.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        xtest.fake_input(self.x, X.MotionNotify, x=box.x + box.width // 2,
                         y=box.y + box.height // 2)
        xtest.fake_input(self.x, X.ButtonPress, 1)
        xtest.fake_input(self.x, X.ButtonRelease, 1)
        self.x.sync()

    def press(self, name, *modifiers):
        keys = [self.x.keysym_to_keycode(XK.string_to_keysym(k)) for k in (*modifiers, name)]
        for key in keys:
            xtest.fake_input(self.x, X.KeyPress, key)
        for key in reversed(keys):
            xtest.fake_input(self.x, X.KeyRelease, key)
        self.x.sync()

    def type(self, text):
        for char in text:
            if char not in self.keys:
                self.keys[char] = self.spare.pop()
                self.x.change_keyboard_mapping(self.keys[char], [(0x1000000 + ord(char),) * 4])
        for char in text:
            xtest.fake_input(self.x, X.KeyPress, self.keys[char])
            xtest.fake_input(self.x, X.KeyRelease, self.keys[char])
        self.x.sync()


class FieldsAndFile(unittest.TestCase):
    def setUp(self):
        self.s = session_for(self, com=6).start_morvel()
        self.s.choose_port()
        self.keys = Keyboard(self.s.env["DISPLAY"])
        self.addCleanup(self.keys.close)

    def click_into(self, name):
        field = self.s.control("text", name)
        wait_for("the window given the keyboard",
                 lambda: self.keys.focus_window(self.s.morvel.pid, "Morvel"))
        self.keys.click(field)
        wait_for(f"{name} focused", lambda: field.getState().contains(pyatspi.STATE_FOCUSED))
        return field

    def test_typing_refusing_undoing_and_saving_where_no_file_may_be_created(self):
        s = self.s
        master = self.click_into("MASTER1")
        self.keys.type("+421")
        wait_for("the number", lambda: text_of(master) == "+421")
        # A key typed in front of the "+": the number is reset, as a stray
        # key may do, and Ctrl+Z brings it back.
        self.keys.press("Home")
        self.keys.type("+")
        wait_for("the reset", lambda: text_of(master) == "+")
        self.keys.press("z", "Control_L")
        wait_for("the number back", lambda: text_of(master) == "+421")

        press(s.control("page tab", "SMS"))
        text = self.click_into("SMSText1")
        self.keys.type("Ahoj \u010dau")
        wait_for("the text", lambda: text_of(text) == "Ahoj au")
        self.keys.press("z", "Control_L")
        wait_for("the last key undone", lambda: text_of(text) == "Ahoj a")

        folder = os.path.join(s.dir, "shared")
        os.mkdir(folder)
        path = os.path.join(folder, "kestrix.mvf")
        with open(path, "wb") as old:
            old.write(b"old\r\n")
        os.chmod(path, 0o666)
        # No one, root included, may create a name in an immutable folder;
        # the files in it stay writable.
        if os.geteuid() == 0:
            subprocess.run(["chattr", "+i", folder], check=True)
            self.addCleanup(subprocess.run, ["chattr", "-i", folder], check=True)
        else:
            os.chmod(folder, 0o555)
            self.addCleanup(os.chmod, folder, 0o755)

        press(s.control("push button", "Save"))
        dialog = s.window("dialog", "Save As")
        name = wait_for("the file name field", lambda: find(dialog, "text", "File name:"))
        name.queryEditableText().setTextContents(path)
        wait_for("the name typed", lambda: text_of(name) == path)
        press(wait_for("Save", lambda: find(dialog, "push button", "Save")))
        wait_for("the dialog closed", lambda: not dialog.getState().contains(
            pyatspi.STATE_SHOWING))

        values = {"MASTER1": "+421", "SMSText1": "Ahoj a"}
        expected = b"".join(values.get(f, "").encode("latin-1") + b"\r\n" for f in FIELDS)

        def saved():
            with open(path, "rb") as file:
                return file.read() == expected
        wait_for("the file saved", saved)
        self.assertEqual(os.listdir(folder), ["kestrix.mvf"])
        self.assertIsNone(find(s.app(), "alert", "Morvel"))
        self.assertEqual(s.close(), 0)


if __name__ == "__main__":
    unittest.main()
