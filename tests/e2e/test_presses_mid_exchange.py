"""A user who presses buttons while an exchange still runs: Load SMSs while
Save SMSs writes the messages, Save PBook while a message is being stored.
The simulator takes every byte after its "> " prompt as message text, as a
27.005 device does, so a command sent there would end up in a message and
leave the device typing. The presses change nothing; gammu reads back what
the user set, and the device still answers the status poll afterwards."""

import unittest

from morvel_e2e import INDEX_7, MESSAGES, SLOTS, find_all, press, session_for, text_of, wait_for

LIST = "AT+CMGL=ALL\\r\\n"
NUMBERS = {"MASTER2": "+436649990002", "MASTER3": "+436641000003"}
PHONEBOOK = [(1, "+436641234567", "MASTER1"), (2, "+436649990002", "MASTER2"),
             (3, "+436641000003", "MASTER3"), (4, "+43664555", "IO"),
             (5, "06641112223", "SERVICE")]


class PressesMidExchange(unittest.TestCase):
    def type_into(self, name, text):
        field = self.s.control("text", name)
        field.queryEditableText().setTextContents(text)
        wait_for(f"{name} holding {text!r}", lambda: text_of(field) == text)

    def press_at_store(self, n, caption):
        """Presses the button as soon as the device has received the nth
        store command, while its prompt (delayed by the simulator) is still
        to come."""
        wait_for(f"store {n}", lambda: sum(
            c.startswith("AT+CMGW=") for c in self.s.commands()) >= n)
        press(self.s.control("push button", caption))

    def tree(self):
        return [cell.name for cell in find_all(self.s.control("tree", "TreeView1"), "table cell")]

    def test_presses_during_save_smss_change_nothing_and_the_device_keeps_answering(self):
        self.s = s = session_for(self, com=6, sim_args=("--delay", "150")).start_morvel()
        s.choose_port()
        s.wait_until_linked()
        s.click("Load PBook", "AT+CPBR=1,100\\r\\n")
        wait_for("the centre", lambda: text_of(s.control("text", "SMS CENT.")) == "+436640501")
        for name, number in NUMBERS.items():
            self.type_into(name, number)
        for (phone, text), (number, message) in zip(SLOTS, MESSAGES):
            self.type_into(phone, number)
            self.type_into(text, message)

        start = len(s.commands())
        s.click("Save SMSs", "AT+CMGD=1\\r\\n")
        stores = [[f"AT+CMGW={number}\\r\\n", f"{text}\\x1A"] for number, text in MESSAGES]
        self.press_at_store(1, "Load SMSs")
        self.press_at_store(3, "Save PBook")
        memo = self.s.control("text", "SMSs")
        wait_for("the listing after the save", lambda: text_of(memo).split("\n")[-2:] == [
            ' 7,"REC READ","+436640000",,"24/01/15,10:30:00+04""Your credit is 10 EUR"', ""])
        self.assertEqual(s.sent_since(start), [f"AT+CMGD={i}\\r\\n" for i in range(1, 7)]
                         + [line for store in stores for line in store] + [LIST])
        self.assertEqual([(text_of(s.control("text", phone)), text_of(s.control("text", text)))
                          for phone, text in SLOTS], MESSAGES)

        # Over: the next press acts, and the phonebook gets what the user set.
        s.click("Save PBook", "AT+CPBW=1\\r\\n")
        wait_for("the listing after the phonebook save", lambda: self.tree() == [
            f"{i}:{tag}[{number}]" for i, number, tag in PHONEBOOK if tag != "IO"])
        # Never left typing a message, the device answers the next poll.
        polls = s.commands().count("AT+CREG?\\r\\n")
        replies = s.monitor_lines().count("+CREG: 0,1")
        wait_for("the next registration reply",
                 lambda: s.commands().count("AT+CREG?\\r\\n") > polls
                 and s.monitor_lines().count("+CREG: 0,1") > replies, deadline=60)
        self.assertEqual(s.close(), 0)

        s.saved_state()
        self.assertEqual(self.s.gammu_messages(),
                         [(i, number, text) for i, (number, text) in enumerate(MESSAGES, 1)]
                         + [INDEX_7])
        self.assertEqual(s.gammu_phonebook(), PHONEBOOK)


if __name__ == "__main__":
    unittest.main()
