"""The network status poll as a user meets it: the link bar, the dialogue
buttons, the signal meter and the status bar, with the device registered at
home and roaming, and a line of the device's own that only looks like a
registration."""

import unittest

from morvel_e2e import session_for, wait_for

import pyatspi  # noqa: E402  (after the harness, which gives it its bus)

BUTTONS = ("Load PBook", "Save PBook", "Delete PNum.", "Load SMSs", "Save SMSs", "Delele SMSs")
ASK_REGISTRATION = "AT+CREG?\\r\\n"


def value_of(gauge):
    return gauge.queryValue().currentValue


def enabled_buttons(session):
    return [name for name in BUTTONS
            if session.control("push button", name).getState().contains(pyatspi.STATE_ENABLED)]


class StatusPoll(unittest.TestCase):
    def start(self, *sim_args):
        session = session_for(self, com=3, sim_args=sim_args)
        session.start_morvel().choose_port()
        return session

    def test_registration_fills_the_bar_enables_the_buttons_and_shows_the_status(self):
        # A registration line of the device's own answers nothing: only the
        # answer to the query counts.
        s = self.start("--unsolicited", "2:+CREG: 0,1")
        link = s.control("progress bar", "Gauge1")
        self.assertEqual(value_of(link), 0)
        wait_for("the unsolicited line on the monitor", lambda: "+CREG: 0,1" in s.monitor_lines())
        self.assertEqual(value_of(link), 0)
        wait_for("the link bar filled", lambda: value_of(link) >= 26)
        wait_for("the buttons enabled", lambda: len(enabled_buttons(s)) == len(BUTTONS))
        s.control("label", 'Operator: "Kestrix Net"')
        s.control("label", "Credit: 192")
        self.assertEqual(s.commands(), ["ATE\\r\\n", "AT+CMGF=1\\r\\n", ASK_REGISTRATION,
                                        "AT+COPS?\\r\\n", "AT+CAMM?\\r\\n", "AT+CACM?\\r\\n"])

    def test_roaming_counts_as_registered_and_the_next_cycle_reads_the_signal(self):
        s = self.start("--registration", "roaming")
        link = s.control("progress bar", "Gauge1")
        meter = s.control("progress bar", "Smeter")
        wait_for("the link bar filled", lambda: value_of(link) >= 26)
        wait_for("the buttons enabled", lambda: len(enabled_buttons(s)) == len(BUTTONS))
        s.control("label", 'Operator: "Kestrix Net"')
        self.assertIn("+CREG: 0,5", s.monitor_lines())
        # The operator known, the next registration answer asks for the signal.
        wait_for("the signal on the meter", lambda: value_of(meter) == 21, deadline=50)
        self.assertEqual(s.commands()[-2:], [ASK_REGISTRATION, "AT+CSQ\\r\\n"])


if __name__ == "__main__":
    unittest.main()
