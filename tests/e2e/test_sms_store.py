"""The six SMS slots as a user handles them: load them from the simulated
Kestrix, change a text and save them back, delete them; the SIM's saved
state and gammu show what the device kept."""

import os
import re
import subprocess
import unittest

import pyatspi

from morvel_e2e import SIMULATOR, Session, press, text_of, wait_for

LIST = "AT+CMGL=ALL\\r\\n"
POLL = {"AT+CREG?\\r\\n", "AT+COPS?\\r\\n", "AT+CSQ\\r\\n", "AT+CAMM?\\r\\n", "AT+CACM?\\r\\n"}
PHONES = ["SMS credit:", "SMS input1:", "SMS input2:", "SMS input3:", "SMS input4:",
          "SMS input5:"]
TEXTS = ["SMSText1", "SMSText2", "SMStext3", "SMStext4", "SMStext5", "SMSText6"]
INDEX_7 = {"index": 7, "status": "REC READ", "number": "+436640000", "type": 145,
           "text": "Your credit is 10 EUR", "timestamp": "24/01/15,10:30:00+04"}
LISTED_7 = ' 7,"REC READ","+436640000",,"24/01/15,10:30:00+04""Your credit is 10 EUR"'


class SmsStore(unittest.TestCase):
    def setUp(self):
        self.s = Session(com=3).start_morvel()
        self.s.choose_port()
        self.s.main_window()
        # The registration reply enables the buttons; the queries it chains
        # end with the credit, after which the device stays idle for a while.
        button = self.s.control("push button", "Load SMSs")
        wait_for("the buttons enabled", lambda: button.getState().contains(pyatspi.STATE_ENABLED))
        wait_for("the end of the status queries", self.idle)

    def tearDown(self):
        self.s.shutdown()

    def idle(self):
        lines = [line for line in self.s.monitor_lines() if line]
        return len(lines) >= 2 and lines[-2].startswith("+CACM:") and lines[-1] == "OK"

    def click(self, caption, first_command):
        """Presses the button until the device gets the exchange's first
        command: a press while the device has not yet answered, or while
        the link bar is low, does nothing."""
        button = self.s.control("push button", caption)
        start = len(self.s.commands())

        def pressed():
            press(button)
            return wait_for(f"{first_command} after {caption}",
                            lambda: first_command in self.s.commands()[start:], deadline=5)
        wait_for(f"{caption} taking effect", pressed, deadline=90)

    def memo(self):
        return text_of(self.s.control("text", "SMSs")).split("\n")

    def slots(self):
        return [(text_of(self.s.control("text", phone)), text_of(self.s.control("text", text)))
                for phone, text in zip(PHONES, TEXTS)]

    def sent_since(self, start):
        return [c for c in self.s.commands()[start:] if c not in POLL]

    def test_load_then_save_an_edited_text_keeps_six_messages_and_index_7(self):
        self.click("Load SMSs", LIST)
        wait_for("the listing", lambda: self.memo() == [
            ' 1,"STO UNSENT","+436640000",,"CREDIT?"',
            ' 2,"STO UNSENT","+436641234567",,"Input 1 on"', LISTED_7, ""])
        loaded = [("+436640000", "CREDIT?"), ("+436641234567", "Input 1 on")] + [("", "")] * 4
        self.assertEqual(self.slots(), loaded)

        self.s.control("text", "SMSText2").queryEditableText().setTextContents("Input 1 off!")
        start = len(self.s.commands())
        self.click("Save SMSs", "AT+CMGD=1\\r\\n")
        wait_for("the listing again", lambda: self.memo()[-2:] == [
            ' 3,"STO UNSENT","",, 4,"STO UNSENT","",, 5,"STO UNSENT","",, 6,"STO UNSENT","",,'
            + LISTED_7, ""])
        empty_stores = ["AT+CMGW=\\r\\n", "\\x1A"] * 4
        self.assertEqual(self.sent_since(start),
                         [f"AT+CMGD={i}\\r\\n" for i in range(1, 7)]
                         + ["AT+CMGW=+436640000\\r\\n", "CREDIT?\\x1A",
                            "AT+CMGW=+436641234567\\r\\n", "Input 1 off!\\x1A"]
                         + empty_stores + [LIST])
        self.assertEqual(self.memo()[1], ' 2,"STO UNSENT","+436641234567",,"Input 1 off!"')
        self.assertEqual(self.slots(), [loaded[0], ("+436641234567", "Input 1 off!")] + loaded[2:])

        # An empty slot is stored as an empty message, whose number has no plus.
        empty = {"status": "STO UNSENT", "number": "", "type": 129, "text": ""}
        self.assertEqual(self.s.saved_state()["messages"]["entries"], [
            {"index": 1, "status": "STO UNSENT", "number": "+436640000", "type": 145,
             "text": "CREDIT?"},
            {"index": 2, "status": "STO UNSENT", "number": "+436641234567", "type": 145,
             "text": "Input 1 off!"},
        ] + [dict(empty, index=i) for i in range(3, 7)] + [INDEX_7])

        # An independent client, in PDU mode, lists the same from that state.
        listed = self.gammu_messages(self.s.state_out)
        self.assertEqual(re.findall(r"^Location (\d+),", listed, re.M),
                         ["1", "2", "3", "4", "5", "6", "7"])
        for text in ("\nCREDIT?\n", "\nInput 1 off!\n", "\nYour credit is 10 EUR\n"):
            self.assertIn(text, listed)

    def test_delete_empties_slots_1_to_6_only(self):
        self.click("Delele SMSs", "AT+CMGD=1\\r\\n")
        self.assertEqual(self.slots(), [("", "")] * 6)
        # Load acts only once the device has answered the sixth deletion.
        self.click("Load SMSs", LIST)
        wait_for("the listing", lambda: self.memo() == [LISTED_7, ""])
        self.assertEqual(self.s.saved_state()["messages"]["entries"], [INDEX_7])

    def gammu_messages(self, state):
        """gammu's listing of the messages of a simulator started from `state`."""
        sim = subprocess.Popen([SIMULATOR, "--state", state], stdout=subprocess.PIPE,
                               stderr=subprocess.DEVNULL, text=True)
        try:
            config = os.path.join(self.s.dir, "gammurc")
            with open(config, "w", encoding="ascii") as rc:
                rc.write(f"[gammu]\ndevice = {sim.stdout.readline().strip()}\n"
                         "connection = at19200\n")
            run = subprocess.run(["gammu", "-c", config, "getallsms"], capture_output=True,
                                 text=True, timeout=120, env=dict(os.environ, HOME=self.s.dir))
        finally:
            sim.terminate()
            sim.wait(timeout=30)
            sim.stdout.close()
        self.assertEqual(run.returncode, 0, run.stdout + run.stderr)
        return run.stdout


if __name__ == "__main__":
    unittest.main()
