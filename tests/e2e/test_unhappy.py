"""The device misbehaving as a user may meet it: replies in fragments, an
error instead of a stored message, an exchange left unanswered, silence, a
hang-up in the middle of an exchange, a network that refuses the SIM, a line
of its own that looks like a broken reply. Morvel neither hangs, spins nor
crashes, says what happened, and closes normally."""

import os
import time
import unittest

from morvel_e2e import DEADLINE, find, find_all, press, session_for, text_of, wait_for

import pyatspi  # noqa: E402  (after the harness, which gives it its bus)

BUTTONS = ("Load PBook", "Save PBook", "Delete PNum.", "Load SMSs", "Save SMSs", "Delele SMSs")
LISTED_7 = ' 7,"REC READ","+436640000",,"24/01/15,10:30:00+04""Your credit is 10 EUR"'


def enabled_buttons(session):
    return [name for name in BUTTONS
            if session.control("push button", name).getState().contains(pyatspi.STATE_ENABLED)]


def cpu_seconds(pid):
    """User and system time the process has used so far."""
    with open(f"/proc/{pid}/stat", encoding="ascii") as stat:
        fields = stat.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


class Unhappy(unittest.TestCase):
    def start(self, *sim_args):
        s = session_for(self, com=5, sim_args=sim_args).start_morvel()
        s.choose_port()
        return s

    def link(self, s):
        return s.control("progress bar", "Gauge1").queryValue().currentValue

    def memo(self, s):
        return text_of(s.control("text", "SMSs")).split("\n")

    def test_replies_in_random_fragments_load_as_whole_ones(self):
        s = self.start("--split-random", "17")
        s.wait_until_linked()
        s.click("Load PBook", "AT+CPBR=1,100")
        wait_for("the centre", lambda: text_of(s.control("text", "SMS CENT.")) == "+436640501")
        s.click("Load SMSs", "AT+CMGL=ALL")
        wait_for("the listing", lambda: self.memo(s) == [
            ' 1,"STO UNSENT","+436640000",,"CREDIT?"',
            ' 2,"STO UNSENT","+436641234567",,"Input 1 on"', LISTED_7, ""])
        tree = find_all(s.control("tree", "TreeView1"), "table cell")
        self.assertEqual([cell.name for cell in tree], [
            "1:MASTER1[+436641234567]", "2:MASTER2[+436649876543]", "3:SERVICE[06641112223]"])
        fields = {name: text_of(s.control("text", name))
                  for name in ("MASTER1", "MASTER2", "MASTER3", "SERVICE", "SMSText2")}
        self.assertEqual(fields, {"MASTER1": "+436641234567", "MASTER2": "+436649876543",
                                  "MASTER3": "", "SERVICE": "06641112223",
                                  "SMSText2": "Input 1 on"})
        self.assertEqual(s.close(), 0)

    def test_an_error_to_a_store_stops_the_writing_and_the_program_goes_on(self):
        s = self.start("--fail", "+CMGW")
        s.wait_until_linked()
        s.click("Load SMSs", "AT+CMGL=ALL")
        wait_for("the listing", lambda: self.memo(s)[-2:] == [LISTED_7, ""])
        start = len(s.commands())
        s.click("Save SMSs", "AT+CMGD=1")
        # The refusal is reported, naming the command.
        report = s.window("alert", "Morvel")
        self.assertIn("The device answered ERROR to AT+CMGW=+436640000. Save SMSs stopped after "
                      "storing 0 of the 6 messages: indexes 1 to 6 are already deleted; the "
                      "fields still hold what is to be saved: press Save SMSs again.",
                      [label.name for label in find_all(report, "label")])
        press(wait_for("OK", lambda: find(report, "push button", "OK")))
        # No text, no further store, no listing: the device is left ready,
        # and the next exchange runs at once.
        s.click("Load SMSs", "AT+CMGL=ALL")
        wait_for("the listing", lambda: self.memo(s) == [LISTED_7, ""])
        self.assertEqual(s.sent_since(start), [f"AT+CMGD={i}\\r\\n" for i in range(1, 7)] + [
            "AT+CMGW=+436640000\\r\\n", "AT+CMGL=ALL\\r\\n"])
        self.assertEqual(s.close(), 0)
        self.assertEqual([m["index"] for m in s.saved_state()["messages"]["entries"]], [7])

    def test_an_exchange_left_unanswered_is_told_and_the_line_found_again(self):
        s = self.start("--ignore", "+CPBR")
        s.wait_until_linked()
        s.click("Load PBook", "AT+CPBR=1,100")
        report = s.window("alert", "Morvel")
        self.assertIn("The Kestrix on COM5 did not answer AT+CPBR=1,100 within 10 seconds. The SIM "
                      "phonebook listing was cut short; the tree holds only the entries that "
                      "arrived: press Load PBook once it answers again.",
                      [label.name for label in find_all(report, "label")])
        press(wait_for("OK", lambda: find(report, "push button", "OK")))
        # Found again with a plain AT; the next press acts.
        wait_for("the line found again", lambda: s.commands()[-1] == "AT\\r\\n")
        s.click("Load SMSs", "AT+CMGL=ALL")
        self.assertEqual(s.close(), 0)

    def test_a_silent_device_is_said_to_be_silent(self):
        s = self.start("--ignore", "ATE", "--ignore", "+CMGF", "--ignore", "+CREG")
        # Echo off asked every 10 seconds; three times unanswered, it is said.
        wait_for("the silence said", lambda: find(
            s.main_window(), "label", "Kestrix does not answer"), deadline=60)
        self.assertEqual(enabled_buttons(s), [])
        self.assertEqual(self.link(s), 0)
        self.assertEqual(set(s.commands()), {"ATE\\r\\n"})
        self.assertIsNone(find(s.app(), "alert"))
        self.assertEqual(s.close(), 0)

    def test_a_hang_up_mid_exchange_neither_spins_nor_hangs(self):
        # Hangs up once it has answered its seventh command: the listing.
        s = self.start("--hangup-after", "7")
        s.wait_until_linked()
        s.click("Load PBook", "AT+CPBR=1,100")
        self.assertEqual(s.sim.wait(timeout=DEADLINE), 0)
        wait_for("the listing sent before the hang-up", lambda: len(find_all(
            s.control("tree", "TreeView1"), "table cell")) == 3)
        report = s.window("alert", "Morvel")
        press(wait_for("OK", lambda: find(report, "push button", "OK")))
        # Nothing moves on the window while the device is gone: three of the
        # port's looks for it. A thread spinning on the dead line, or looking
        # without pause, would have taken a whole core for them.
        cpu = cpu_seconds(s.morvel.pid)
        time.sleep(3)
        self.assertLess(cpu_seconds(s.morvel.pid) - cpu, 1.0)
        self.assertIsNone(find(s.app(), "alert"))
        self.assertEqual(s.close(), 0)

    def test_denied_registration_is_said_and_keeps_the_buttons_disabled(self):
        s = self.start("--registration", "denied")
        s.control("label", "Kestrix registration denied")
        self.assertIn("+CREG: 0,3", s.monitor_lines())
        self.assertEqual(enabled_buttons(s), [])
        self.assertEqual(self.link(s), 0)
        self.assertEqual(s.close(), 0)

    def test_a_line_of_its_own_that_looks_like_a_broken_reply_changes_nothing(self):
        s = self.start("--unsolicited", "2:+CSQ: x,99")
        wait_for("the line on the monitor", lambda: "+CSQ: x,99" in s.monitor_lines())
        # The registration query of the ninth tick still gets its reply through.
        s.wait_until_linked()
        self.assertIn("+CREG: 0,1", s.monitor_lines())
        self.assertIsNone(find(s.app(), "alert"))
        self.assertEqual(s.close(), 0)


if __name__ == "__main__":
    unittest.main()
