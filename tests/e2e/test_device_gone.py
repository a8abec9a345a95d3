"""A Kestrix pulled out in the middle of Save PBook and plugged back in: the
window says it is gone and what was cut short, keeps what the user typed,
takes the device back under the same COM link, and a second Save PBook
leaves exactly the typed numbers on the SIM. Pulled out and plugged in again
and again, or its link moved to another device: one report each time it
goes, and each time the device it comes back as is taken."""

import os
import unittest

from morvel_e2e import (find, find_all, press, session_for, session_with_phonebook, text_of,
                        wait_for)

TAGS = [f"MASTER{n}" for n in range(1, 9)] + ["SERVICE"]
TYPED = {tag: f"+4366490000{n}" for n, tag in enumerate(TAGS, 10)}
BEFORE = [{"index": n, "number": f"+43664100000{n}", "type": 145, "text": tag}
          for n, tag in enumerate(TAGS[:5] + ["SERVICE"], 1)]
BEFORE.append({"index": 7, "number": "+43664555", "type": 145, "text": "IO"})


class DeviceGone(unittest.TestCase):
    def start(self):
        # It answers ATE, text mode, the status poll's four queries, the
        # listing, the centre query and three of the six erasures, then
        # hangs up.
        return session_with_phonebook(self, BEFORE, com=5, sim_args=("--hangup-after", "11"))

    def fields(self, s):
        return {tag: text_of(s.control("text", tag)) for tag in TAGS}

    def tree(self, s):
        return [cell.name for cell in find_all(s.control("tree", "TreeView1"), "table cell")]

    def answer_report(self, s, text):
        """Checks the report on screen and presses its OK."""
        report = s.window("alert", "Morvel")
        self.assertIn(text, [label.name for label in find_all(report, "label")])
        press(wait_for("OK", lambda: find(report, "push button", "OK")))
        wait_for("the report closed", lambda: find(s.app(), "alert", "Morvel") is None)

    def test_a_save_cut_short_is_done_again_once_the_device_is_back(self):
        s = self.start().start_morvel()
        s.choose_port()
        device = os.path.realpath(s.device)
        s.wait_until_linked()
        s.click("Load PBook", "AT+CPBR=1,100")
        wait_for("the centre", lambda: text_of(s.control("text", "SMS CENT.")) == "+436640501")
        listed = self.tree(s)
        for tag, number in TYPED.items():
            s.control("text", tag).queryEditableText().setTextContents(number)
        wait_for("the numbers typed", lambda: self.fields(s) == TYPED)
        press(s.control("push button", "Save PBook"))

        report = s.window("alert", "Morvel")
        self.assertIn(
            f"The Kestrix on COM5 ({device}) has gone away: its line hung up. Save PBook was cut "
            "short after erasing 3 entries; the fields still hold the numbers: press Save PBook "
            "again when the device is back. Morvel will take the device back when it returns.",
            [label.name for label in find_all(report, "label")])
        press(wait_for("OK", lambda: find(report, "push button", "OK")))
        s.control("label", f"Kestrix gone: COM5 ({device})")
        self.assertEqual(self.fields(s), TYPED)

        s.replace_sim()
        # Echo off and text mode first, then the SIM's locations learnt
        # again, quietly.
        wait_for("the device taken back", lambda: s.commands()[:3] == [
            "ATE\\r\\n", "AT+CMGF=1\\r\\n", "AT+CPBR=1,100\\r\\n"])
        s.control("label", "Operator:")
        self.assertEqual((self.fields(s), self.tree(s)), (TYPED, listed))
        s.wait_until_linked()
        start = len(s.commands())
        s.click("Save PBook", "AT+CPBW=")
        wait_for("the listing after the save", lambda: len(self.tree(s)) == len(TYPED))
        self.assertEqual(s.sent_since(start)[:4],
                         ["AT+CPBW=4\\r\\n", "AT+CPBW=5\\r\\n", "AT+CPBW=6\\r\\n", "AT\\r\\n"])
        self.assertEqual(s.close(), 0)

        s.saved_state()
        self.assertEqual(sorted((number, name) for _, number, name in s.gammu_phonebook()),
                         sorted([(number, tag) for tag, number in TYPED.items()]
                                + [("+43664555", "IO")]))

    def test_every_going_is_said_once_and_every_return_taken(self):
        s = session_for(self, com=5).start_morvel()
        s.choose_port()
        s.wait_until_linked()
        for going in ("pulled out", "pulled out again", "link moved"):
            device = os.path.realpath(s.device)
            if going == "link moved":
                s.repoint_sim()
                cause = "its device was removed"
            else:
                s.sim.terminate()  # its line hangs up as it ends
                cause = "its line hung up"
            self.answer_report(s, f"The Kestrix on COM5 ({device}) has gone away: {cause}. "
                                  "Morvel will take the device back when it returns.")
            if going != "link moved":
                s.replace_sim()
            # Echo off first, then the status poll afresh, to its end.
            wait_for(f"the device taken back ({going})",
                     lambda: s.commands()[:1] == ["ATE\\r\\n"])
            wait_for(f"the poll answered ({going})",
                     lambda: "AT+CACM?\\r\\n" in s.commands())
            s.wait_until_linked()
            self.assertIsNone(find(s.app(), "alert", "Morvel"), going)
        self.assertEqual(s.close(), 0)


if __name__ == "__main__":
    unittest.main()
