"""A Kestrix that behaves as real GSM modems do: it takes most of a second
for every SIM write, loses the answer to one deletion, receives a
message while Save SMSs runs, and restarts in the middle of Save PBook. Each
cut-short or stopped exchange is told once with what is left to do; done
again, the SIM holds exactly what the user set, and the next poll is
answered."""

import unittest

from morvel_e2e import (INDEX_7, MESSAGES, SLOTS, find, find_all, press, session_for, text_of,
                        wait_for)

MASTER1 = "+436649000010"
KEPT = "the fields still hold what is to be saved: press Save SMSs again."


class RealModem(unittest.TestCase):
    def type_into(self, name, text):
        field = self.s.control("text", name)
        field.queryEditableText().setTextContents(text)
        wait_for(f"{name} holding {text!r}", lambda: text_of(field) == text)

    def told(self, deadline=60):
        """The one report's text, once it is dismissed."""
        report = wait_for("a report", lambda: find(self.s.app(), "alert", "Morvel"),
                          deadline=deadline)
        labels = [label.name for label in find_all(report, "label") if label.name]
        press(wait_for("OK", lambda: find(report, "push button", "OK")))
        wait_for("the report closed", lambda: find(self.s.app(), "alert") is None)
        return labels

    def test_slow_writes_a_lost_answer_an_incoming_message_and_a_restart(self):
        self.s = s = session_for(self, com=4, sim_args=(
            "--sim-write-ms", "800", "--lose", "+CMGD=3", "--incoming-at", "+CMGD=6",
            "--restart-at", f'+CPBW=,{MASTER1},145,"MASTER1"')).start_morvel()
        s.choose_port()
        s.wait_until_linked()
        for (phone, text), (number, message) in zip(SLOTS, MESSAGES):
            self.type_into(phone, number)
            self.type_into(text, message)

        # The third deletion's answer never comes.
        s.click("Save SMSs", "AT+CMGD=1")
        self.assertIn("The Kestrix on COM4 did not answer AT+CMGD=3 within 10 seconds. Save SMSs "
                      "was cut short after deleting 2 of the 6 messages; the fields still hold "
                      "the messages: press Save SMSs again once it answers again.", self.told())
        # A message arrives after the sixth deletion and takes index 1.
        s.click("Save SMSs", "AT+CMGD=1")
        self.assertIn("The device stored the message of slot 1 at index 2, not at index 1. Save "
                      "SMSs stopped after storing 0 of the 6 messages; " + KEPT, self.told())
        start = len(s.commands())
        s.click("Save SMSs", "AT+CMGD=1")
        memo = s.control("text", "SMSs")
        wait_for("the listing after the save", lambda: len(text_of(memo).split("\n")) == 8,
                 deadline=90)
        # Each store whole, whatever the poll wanted meanwhile.
        sent = s.commands()[start:]
        for number, text in MESSAGES:
            store = sent.index(f"AT+CMGW={number}\\r\\n")
            self.assertEqual(sent[store + 1], f"{text}\\x1A")
        self.assertEqual([(text_of(s.control("text", p)), text_of(s.control("text", t)))
                          for p, t in SLOTS], MESSAGES)

        # The device restarts instead of writing the first number.
        s.click("Load PBook", "AT+CPBR=1,100")
        wait_for("the centre", lambda: text_of(s.control("text", "SMS CENT.")) == "+436640501")
        self.type_into("MASTER1", MASTER1)
        s.click("Save PBook", "AT+CPBW=1")
        self.assertIn("The Kestrix on COM4 restarted. Save PBook was cut short after writing 0 of "
                      "the 9 numbers; the fields still hold the numbers: press Save PBook again "
                      "once it answers again.", self.told(deadline=90))
        # Echo off and text mode again, then the locations learnt anew.
        wait_for("the session set up again", lambda: s.commands()[-3:] == [
            "ATE\\r\\n", "AT+CMGF=1\\r\\n", "AT+CPBR=1,100\\r\\n"])
        s.click("Save PBook", "AT")
        tree = s.control("tree", "TreeView1")
        wait_for("the listing after the phonebook save", lambda: f"1:MASTER1[{MASTER1}]" in [
            cell.name for cell in find_all(tree, "table cell")], deadline=60)

        # The device still answers the status poll.
        polls = s.commands().count("AT+CREG?\\r\\n")
        replies = s.monitor_lines().count("+CREG: 0,1")
        wait_for("the next registration reply",
                 lambda: s.commands().count("AT+CREG?\\r\\n") > polls
                 and s.monitor_lines().count("+CREG: 0,1") > replies, deadline=60)
        self.assertIsNone(find(s.app(), "alert"))
        self.assertEqual(s.close(), 0)

        s.saved_state()
        self.assertEqual(self.s.gammu_messages(),
                         [(i, number, text) for i, (number, text) in enumerate(MESSAGES, 1)]
                         + [INDEX_7])
        self.assertEqual(sorted((number, name) for _, number, name in s.gammu_phonebook()),
                         sorted([(MASTER1, "MASTER1"), ("+436649876543", "MASTER2"),
                                 ("06641112223", "SERVICE"), ("+43664555", "IO")]))


if __name__ == "__main__":
    unittest.main()
