"""The network status poll as a user meets it: the link bar, the dialogue
buttons, the signal meter and the status bar, with the device registered at
home and roaming."""

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
        # A second registration report right after the credit reply finds the
        # operator known and asks for the signal, rather than a cycle later.
        s = self.start("--unsolicited", "5:+CREG: 0,1")
        link = s.control("progress bar", "Gauge1")
        meter = s.control("progress bar", "Smeter")
        self.assertEqual(value_of(link), 0)
        wait_for("the link bar filled", lambda: value_of(link) >= 26)
        wait_for("the buttons enabled", lambda: len(enabled_buttons(s)) == len(BUTTONS))
        s.control("label", 'Operator: "Kestrix Net"')
        s.control("label", "Credit: 192")
        wait_for("the signal on the meter", lambda: value_of(meter) == 21)
        self.assertEqual(s.commands(), ["ATE\\r\\n", ASK_REGISTRATION, "AT+COPS?\\r\\n",
                                        "AT+CAMM?\\r\\n", "AT+CACM?\\r\\n", "AT+CSQ\\r\\n"])

    def test_roaming_keeps_the_buttons_disabled_and_the_queries_going(self):
        s = self.start("--registration", "roaming")
        link = s.control("progress bar", "Gauge1")
        # Three queries on consecutive ticks, then the next round eleven ticks on.
        wait_for("the fourth registration query",
                 lambda: s.commands().count(ASK_REGISTRATION) >= 4, deadline=40)
        commands = s.commands()
        self.assertEqual(commands[0], "ATE\\r\\n")
        self.assertEqual(set(commands[1:]), {ASK_REGISTRATION})
        self.assertIn("+CREG: 0,5", s.monitor_lines())
        self.assertEqual(enabled_buttons(s), [])
        self.assertEqual(value_of(link), 0)
        s.control("label", "Operator:")
        s.control("label", "Credit:")


if __name__ == "__main__":
    unittest.main()
