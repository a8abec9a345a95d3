"""The SIM phonebook as a user edits it: load it, change numbers in the
fields, save it, delete an entry chosen in the tree; the device keeps what
it was given and an independent client reads the same."""

import unittest

import pyatspi

from morvel_e2e import find_all, press, session_with_phonebook, text_of, wait_for

TAGS = [f"MASTER{n}" for n in range(1, 9)] + ["SERVICE"]


def entry(index, number, text):
    return {"index": index, "number": number, "type": 145 if number.startswith("+") else 129,
            "text": text}


# Eight tagged entries (no MASTER8), the device's own "IO" entry and one of
# the user's that carries no tag.
BEFORE = [entry(1, "+436641234567", "MASTER1"), entry(2, "+436649876543", "MASTER2"),
          entry(3, "06641112223", "SERVICE"), entry(4, "+43664555", "IO"),
          *(entry(2 + n, f"+43664100000{n}", f"MASTER{n}") for n in range(3, 8)),
          entry(12, "+436641000012", "Home")]
# Erased and written again in tag order into the first free locations.
AFTER_SAVE = [entry(1, "+436641234567", "MASTER1"), entry(2, "+436649990002", "MASTER2"),
              entry(3, "+436641000003", "MASTER3"), entry(4, "+43664555", "IO"),
              *(entry(1 + n, f"+43664100000{n}", f"MASTER{n}") for n in range(4, 8)),
              entry(9, "+436649990008", "MASTER8"), entry(10, "06641112223", "SERVICE"),
              entry(12, "+436641000012", "Home")]


def node(e):
    return f"{e['index']}:{e['text']}[{e['number']}]"


class Phonebook(unittest.TestCase):
    def start(self):
        self.session = session_with_phonebook(self, BEFORE, com=3)
        return self.session.start_morvel()

    def tree(self):
        cells = find_all(self.session.control("tree", "TreeView1"), "table cell")
        return [cell.name for cell in cells]

    def test_edited_numbers_reach_the_sim_and_a_deleted_entry_leaves_it(self):
        s = self.start()
        s.choose_port()
        # The registration's queries end in an OK that leaves the device ready.
        s.wait_until_linked()
        press(s.control("push button", "Load PBook"))
        wait_for("the centre", lambda: text_of(s.control("text", "SMS CENT.")) == "+436640501")
        self.assertEqual(self.tree(), [node(e) for e in BEFORE if e["text"] != "IO"])
        self.assertEqual(text_of(s.control("text", "MASTER8")), "")

        for name, number in (("MASTER2", "+436649990002"), ("MASTER8", "+436649990008")):
            field = s.control("text", name)
            field.queryEditableText().setTextContents(number)
            wait_for(f"{name} edited", lambda: text_of(field) == number)
        start = len(s.commands())
        press(s.control("push button", "Save PBook"))
        expected = [node(e) for e in AFTER_SAVE if e["text"] != "IO"]
        wait_for("the listing after the save", lambda: len(self.tree()) == len(expected))
        self.assertEqual(self.tree(), expected)
        by_tag = {e["text"]: e for e in AFTER_SAVE}
        writes = [f'AT+CPBW=,{e["number"]},{e["type"]},"{e["text"]}"\\r\\n'
                  for e in (by_tag[tag] for tag in TAGS)]
        self.assertEqual(s.sent_since(start),
                         [f"AT+CPBW={n}\\r\\n" for n in (1, 2, 5, 6, 7, 8, 9, 3)] + ["AT\\r\\n"]
                         + writes + ["AT+CPBR=1,100\\r\\n"])

        deleted = AFTER_SAVE[4]
        cell = wait_for("the node", lambda: [c for c in find_all(
            s.control("tree", "TreeView1"), "table cell") if c.name == node(deleted)])[0]
        action = cell.queryAction()
        action.doAction([action.getName(i) for i in range(action.nActions)].index("Toggle"))
        wait_for("the node selected", lambda: cell.getState().contains(pyatspi.STATE_SELECTED))
        start = len(s.commands())
        press(s.control("push button", "Delete PNum."))
        remaining = [e for e in AFTER_SAVE if e is not deleted]
        expected = [node(e) for e in remaining if e["text"] != "IO"]
        wait_for("the listing after the delete", lambda: len(self.tree()) == len(expected))
        self.assertEqual(self.tree(), expected)
        self.assertEqual(s.sent_since(start), ["AT+CPBW=5\\r\\n", "AT+CPBR=1,100\\r\\n"])
        self.assertEqual(s.close(), 0)

        self.assertEqual(s.saved_state()["phonebook"]["entries"], remaining)
        self.assertEqual(s.gammu_phonebook(), [(e["index"], e["number"], e["text"])
                                               for e in remaining])


if __name__ == "__main__":
    unittest.main()
