"""Start-up as a user meets it: choose the port, cancel the choice, find
the port held by another program, or start with a mistaken command line."""

import unittest

from morvel_e2e import find, find_all, press, session_for, wait_for


class StartUp(unittest.TestCase):
    def test_chosen_port_gets_echo_off_first_and_shows_the_device_lines(self):
        s = session_for(self, com=3).start_morvel()
        s.choose_port()
        s.main_window()
        wait_for("ATE at the simulator", lambda: s.commands()[:1] == ["ATE\\r\\n"])
        # The ninth tick asks for the registration; its reply and the chain's
        # come back without echoes.
        wait_for("the operator on the monitor",
                 lambda: any(line.startswith("+COPS: ") for line in s.monitor_lines()))
        lines = s.monitor_lines()
        self.assertIn("+CREG: 0,1", lines)
        self.assertIn("OK", lines)
        # Only the first command comes back, echoed before it took effect.
        self.assertEqual(lines[0], "ATE")
        self.assertFalse([line for line in lines[1:] if line.startswith("AT")], lines)
        # Echo off, then text mode once echo is off, then the poll.
        self.assertEqual(s.commands()[:4], ["ATE\\r\\n", "AT+CMGF=1\\r\\n", "AT+CREG?\\r\\n",
                                            "AT+COPS?\\r\\n"])
        self.assertEqual(s.close(), 0)

    def test_cancelled_choice_ends_the_program_without_its_window(self):
        s = session_for(self, com=3).start_morvel()
        s.choose_port(button="Cancel")
        report = s.window("alert", "Morvel")
        self.assertIsNone(find(s.app(), "frame", "Morvel"))
        press(wait_for("OK", lambda: find(report, "push button", "OK")))
        self.assertEqual(s.exit_code(), 0)
        self.assertEqual(s.commands(), [])

    def test_port_held_by_another_program_is_reported_and_ends_the_program(self):
        s = session_for(self, com=3, hold_port=True).start_morvel()
        s.choose_port()
        report = s.window("alert", "Morvel")
        texts = [find(report, "label", None)]
        self.assertTrue(any("already open" in (t.name or "") for t in texts if t), report)
        self.assertIsNone(find(s.app(), "frame", "Morvel"))
        press(wait_for("OK", lambda: find(report, "push button", "OK")))
        self.assertEqual(s.exit_code(), 0)
        self.assertEqual(s.commands(), [])

    def test_mistaken_command_line_is_shown_in_a_box_and_ends_with_2(self):
        s = session_for(self)
        cases = ((["--bogus"], "Unknown option 'bogus'."),
                 (["--trace", "--folder", "/nonexistent/morvel"],
                  "/nonexistent/morvel is not a folder."))
        for args, message in cases:
            with self.subTest(args=args):
                s.start_morvel(*args)
                report = s.window("alert", "Morvel")
                self.assertIn(message, [label.name for label in find_all(report, "label")])
                press(wait_for("OK", lambda: find(report, "push button", "OK")))
                self.assertEqual(s.exit_code(), 2)
                self.assertIn("Usage: ", s.morvel.stdout.read())
                s.morvel.stdout.close()
        self.assertEqual(s.commands(), [])


if __name__ == "__main__":
    unittest.main()
