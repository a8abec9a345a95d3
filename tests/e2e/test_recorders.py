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

    def test_command_line_answers_without_a_display(self):
        env = {k: v for k, v in os.environ.items()
               if k not in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM",
                            "DBUS_SESSION_BUS_ADDRESS")}
        # arguments, exit code, start of standard output, of standard error
        cases = ((["--help"], 0, "Usage: ", ""),
                 (["-v"], 0, "Morvel ", ""),
                 (["--bogus"], 2, "", "morvel: Unknown option 'bogus'.\nUsage: "),
                 (["--folder"], 2, "", "morvel: Missing value after '--folder'.\nUsage: "),
                 (["stray"], 2, "", "morvel: Unexpected argument 'stray'.\nUsage: "),
                 (["--log", "--folder", "/nonexistent/morvel"], 2, "",
                  "morvel: /nonexistent/morvel is not a folder.\nUsage: "),
                 # Qt's own options are left for Qt, with their values.
                 (["-platform", "offscreen", "-style", "Fusion", "-x"], 2, "",
                  "morvel: Unknown option 'x'.\nUsage: "))
        for args, code, out, err in cases:
            with self.subTest(args=args):
                run = subprocess.run([MORVEL, *args], env=env, capture_output=True, text=True,
                                     timeout=30)
                self.assertEqual(run.returncode, code, run.stderr)
                self.assertTrue(run.stdout.startswith(out) and run.stderr.startswith(err),
                                (run.stdout, run.stderr))
                # The usage, where shown, lists the options.
                self.assertEqual("--trace" in run.stdout + run.stderr, "Usage: " in out + err)

if __name__ == "__main__":
    unittest.main()
