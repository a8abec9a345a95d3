"""The command line of a support run: the serial trace and the dispatch log
are written when the port closes; without flags nothing is written."""

import os
import subprocess
import unittest

from morvel_e2e import MORVEL, session_for, wait_for


class Recorders(unittest.TestCase):
    def test_trace_and_log_are_written_into_the_folder_at_the_close(self):
        s = session_for(self, com=2)
        folder = os.path.join(s.dir, "support")
        os.mkdir(folder)
        s.start_morvel("--trace", "--log", "--folder", folder)
        s.choose_port()
        wait_for("the reply to ATE", lambda: "OK" in s.monitor_lines())
        self.assertEqual(s.close(), 0)
        with open(os.path.join(folder, "SERIAL.TRC"), "rb") as trace:
            self.assertIn(b"ATE", trace.read())
        with open(os.path.join(folder, "SERIAL.LOG"), "rb") as log:
            self.assertTrue(log.read())

    def test_help_and_version_answer_without_a_window(self):
        env = {k: v for k, v in os.environ.items() if k != "DBUS_SESSION_BUS_ADDRESS"}
        env["QT_QPA_PLATFORM"] = "offscreen"
        for flag, expected in (("--help", "--trace"), ("--version", "Morvel ")):
            run = subprocess.run([MORVEL, flag], env=env, capture_output=True, text=True,
                                 timeout=30)
            self.assertEqual(run.returncode, 0)
            self.assertIn(expected, run.stdout)


if __name__ == "__main__":
    unittest.main()
