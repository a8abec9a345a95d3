"""The six SMS slots as a user handles them: load them from the simulated
Kestrix, change a text and save them back, delete them; the SIM's saved
state and gammu show what the device kept."""

import re
import unittest

from morvel_e2e import session_for, text_of, wait_for

LIST = "AT+CMGL=ALL\\r\\n"
PHONES = ["SMS credit:", "SMS input1:", "SMS input2:", "SMS input3:", "SMS input4:",
          "SMS input5:"]
TEXTS = ["SMSText1", "SMSText2", "SMStext3", "SMStext4", "SMStext5", "SMSText6"]
INDEX_7 = {"index": 7, "status": "REC READ", "number": "+436640000", "type": 145,
           "text": "Your credit is 10 EUR", "timestamp": "24/01/15,10:30:00+04"}
LISTED_7 = ' 7,"REC READ","+436640000",,"24/01/15,10:30:00+04""Your credit is 10 EUR"'


class SmsStore(unittest.TestCase):
    def setUp(self):
        self.s = session_for(self, com=3).start_morvel()
        self.s.choose_port()
        self.s.wait_until_linked()

    def memo(self):
        return text_of(self.s.control("text", "SMSs")).split("\n")

    def slots(self):
        return [(text_of(self.s.control("text", phone)), text_of(self.s.control("text", text)))
                for phone, text in zip(PHONES, TEXTS)]

    def test_load_then_save_an_edited_text_keeps_six_messages_and_index_7(self):
        self.s.click("Load SMSs", LIST)
        wait_for("the listing", lambda: self.memo() == [
            ' 1,"STO UNSENT","+436640000",,"CREDIT?"',
            ' 2,"STO UNSENT","+436641234567",,"Input 1 on"', LISTED_7, ""])
        loaded = [("+436640000", "CREDIT?"), ("+436641234567", "Input 1 on")] + [("", "")] * 4
        self.assertEqual(self.slots(), loaded)

        self.s.control("text", "SMSText2").queryEditableText().setTextContents("Input 1 off!")
        start = len(self.s.commands())
        self.s.click("Save SMSs", "AT+CMGD=1\\r\\n")
        wait_for("the listing again", lambda: self.memo()[-6:] == [
            f' {i},"STO UNSENT","",,""' for i in range(3, 7)] + [LISTED_7, ""])
        empty_stores = ["AT+CMGW=\\r\\n", "\\x1A"] * 4
        self.assertEqual(self.s.sent_since(start),
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
        listed = self.s.gammu("getallsms")
        self.assertEqual(re.findall(r"^Location (\d+),", listed, re.M),
                         ["1", "2", "3", "4", "5", "6", "7"])
        for text in ("\nCREDIT?\n", "\nInput 1 off!\n", "\nYour credit is 10 EUR\n"):
            self.assertIn(text, listed)

    def test_delete_empties_slots_1_to_6_only(self):
        self.s.click("Delele SMSs", "AT+CMGD=1\\r\\n")
        self.assertEqual(self.slots(), [("", "")] * 6)
        # Load acts only once the device has answered the sixth deletion.
        self.s.click("Load SMSs", LIST)
        wait_for("the listing", lambda: self.memo() == [LISTED_7, ""])
        self.assertEqual(self.s.saved_state()["messages"]["entries"], [INDEX_7])


if __name__ == "__main__":
    unittest.main()
