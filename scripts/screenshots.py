#!/usr/bin/python3
"""Takes the screenshots in docs/ from the real program: morvel against the
simulated Kestrix on a private X server with a plain window manager, driven
through the accessibility bus as in the end-to-end tests. Needs a built
debug tree (scripts/build.sh debug), openbox and ImageMagick.

    scripts/screenshots.py [build folder]
"""

import os
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
BUILD = sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "build", "debug")
os.environ.setdefault("MORVEL_BINARY", os.path.join(BUILD, "src", "app", "morvel"))
os.environ.setdefault("KESTRIX_SIM_BINARY", os.path.join(BUILD, "tools", "kestrix-sim", "kestrix-sim"))
os.environ.setdefault("KESTRIX_SAMPLE_STATE",
                      os.path.join(ROOT, "tools", "kestrix-sim", "sample-state.json"))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))

import pyatspi  # noqa: E402
from morvel_e2e import Session, find, press, wait_for  # noqa: E402


def enabled(accessible):
    return accessible.getState().contains(pyatspi.STATE_ENABLED)


def shoot(session, name):
    time.sleep(0.5)  # let the last repaint reach the screen
    out = os.path.join(ROOT, "docs", name)
    # The window with its frame, as the window manager placed it.
    subprocess.run(["import", "-window", "root", "-crop", "560x460+170+70", "+repage", out],
                   env=session.env, check=True)
    print("wrote", out)


def main():
    s = Session(com=1)
    wm = subprocess.Popen(["openbox"], env=s.env, stdout=subprocess.DEVNULL,
                          stderr=subprocess.DEVNULL)
    try:
        time.sleep(0.5)
        s.start_morvel()
        s.choose_port()
        load_phonebook = s.control("push button", "Load PBook")
        link = s.control("progress bar", "Gauge1")
        wait_for("the link", lambda: link.queryValue().currentValue > 0 and enabled(load_phonebook))
        wait_for("the credit", lambda: find(s.main_window(), "label", "Credit: 192"))
        press(load_phonebook)
        wait_for("the phonebook", lambda: find(s.main_window(), "text", "SMS CENT.").queryText()
                 .characterCount > 0)
        shoot(s, "phone-page.png")
        press(s.control("page tab", "SMS"))
        press(s.control("push button", "Load SMSs"))
        wait_for("the messages", lambda: s.control("text", "SMSText1").queryText()
                 .characterCount > 0)
        shoot(s, "sms-page.png")
        press(s.control("page tab", "MONITOR"))
        shoot(s, "monitor-page.png")
        s.close()
    finally:
        wm.terminate()
        wm.wait()
        s.shutdown()


if __name__ == "__main__":
    main()
