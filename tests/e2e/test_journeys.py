"""A whole configuration round as a user makes it: read the SIM, edit the
fields, keep the configuration in a file through Qt's own file dialogs, get
it back after further edits, push it to the SIM and close; the simulator's
saved state and gammu show the SIM holding what the file held."""

import os
import unittest

from morvel_e2e import SLOTS, find, find_all, press, session_for, text_of, wait_for

import pyatspi  # noqa: E402  (after the harness, which gives it its bus)

NUMBERS = [f"MASTER{n}" for n in range(1, 9)] + ["SERVICE"]
# The 21 fields in the order of the file's lines.
FIELDS = NUMBERS + [name for slot in SLOTS for name in slot]

# What the user ends up with: the sample SIM's numbers and messages, plus
# MASTER3 and a third message typed in.
CONFIGURATION = {
    "MASTER1": "+436641234567", "MASTER2": "+436649876543", "MASTER3": "+436641000003",
    "SERVICE": "06641112223",
    "SMS credit:": "+436640000", "SMSText1": "CREDIT?",
    "SMS input1:": "+436641234567", "SMSText2": "Input 1 on",
    "SMS input2:": "+436641000099", "SMStext3": "Alarm on (zone 2)",
}


class Journeys(unittest.TestCase):
    def setUp(self):
        self.s = session_for(self, com=4).start_morvel()

    def fields(self):
        return {name: text_of(self.s.control("text", name)) for name in FIELDS}

    def tree(self):
        return [cell.name for cell in find_all(self.s.control("tree", "TreeView1"), "table cell")]

    def type_into(self, name, text):
        field = self.s.control("text", name)
        field.queryEditableText().setTextContents(text)
        wait_for(f"{name} holding {text!r}", lambda: text_of(field) == text)

    def file_dialog(self, caption, title, path, button):
        """Presses the window's file button and answers Qt's own dialog:
        the name typed into its file name field, then its button."""
        press(self.s.control("push button", caption))
        dialog = self.s.window("dialog", title)
        name = wait_for("the file name field", lambda: find(dialog, "text", "File name:"))
        name.queryEditableText().setTextContents(path)
        wait_for("the name typed", lambda: text_of(name) == path)
        press(wait_for(button, lambda: find(dialog, "push button", button)))
        # Qt keeps the dialog for the next time, hidden.
        wait_for(f"{title} closed", lambda: not dialog.getState().contains(pyatspi.STATE_SHOWING))

    def test_configuration_kept_in_a_file_and_pushed_back_to_the_sim(self):
        s = self.s
        s.choose_port()
        s.wait_until_linked()
        s.click("Load PBook", "AT+CPBR=1,100\\r\\n")
        wait_for("the centre", lambda: text_of(s.control("text", "SMS CENT.")) == "+436640501")
        s.click("Load SMSs", "AT+CMGL=ALL\\r\\n")
        wait_for("the second message",
                 lambda: text_of(s.control("text", "SMSText2")) == CONFIGURATION["SMSText2"])
        for name in ("MASTER3", "SMS input2:", "SMStext3"):
            self.type_into(name, CONFIGURATION[name])
        expected = {name: CONFIGURATION.get(name, "") for name in FIELDS}
        self.assertEqual(self.fields(), expected)

        # Typed without its extension: the dialog adds ".mvf".
        self.file_dialog("Save", "Save As", os.path.join(s.dir, "kestrix"), "Save")
        path = os.path.join(s.dir, "kestrix.mvf")
        with open(path, "rb") as saved:
            self.assertEqual(saved.read(), b"".join(
                expected[name].encode("latin-1") + b"\r\n" for name in FIELDS))

        for name, text in (("MASTER1", "+4399"), ("MASTER3", ""), ("SMSText1", "changed")):
            self.type_into(name, text)
        self.file_dialog("Load", "Open", path, "Open")
        self.assertEqual(self.fields(), expected)

        # The load's listing told the window where the tagged entries are:
        # they are erased and the file's numbers written in their place.
        s.click("Save PBook", "AT+CPBW=1\\r\\n")
        wait_for("the listing after the save", lambda: self.tree() == [
            "1:MASTER1[+436641234567]", "2:MASTER2[+436649876543]", "3:MASTER3[+436641000003]",
            "5:SERVICE[06641112223]"])
        s.click("Save SMSs", "AT+CMGD=1\\r\\n")
        wait_for("the listing after the save", lambda: ' 3,"STO UNSENT","+436641000099",,'
                 '"Alarm on (zone 2)"' in text_of(s.control("text", "SMSs")))
        self.assertEqual(self.fields(), expected)
        self.assertEqual(s.close(), 0)

        phonebook = [(1, "+436641234567", "MASTER1"), (2, "+436649876543", "MASTER2"),
                     (3, "+436641000003", "MASTER3"), (4, "+43664555", "IO"),
                     (5, "06641112223", "SERVICE")]
        state = s.saved_state()
        self.assertEqual([(e["index"], e["number"], e["text"])
                          for e in state["phonebook"]["entries"]], phonebook)
        stored = [(m["index"], m["number"], m["text"]) for m in state["messages"]["entries"]]
        self.assertEqual(stored, [(1, "+436640000", "CREDIT?"), (2, "+436641234567", "Input 1 on"),
                                  (3, "+436641000099", "Alarm on (zone 2)"), (4, "", ""),
                                  (5, "", ""), (6, "", ""),
                                  (7, "+436640000", "Your credit is 10 EUR")])
        self.assertEqual(s.gammu_phonebook(), phonebook)
        listed = s.gammu("getallsms")
        for text in ("CREDIT?", "Input 1 on", "Alarm on (zone 2)", "Your credit is 10 EUR"):
            self.assertIn(f"\n{text}\n", listed)


if __name__ == "__main__":
    unittest.main()
