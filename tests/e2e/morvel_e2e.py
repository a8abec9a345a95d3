"""The real morvel program against kestrix-sim, driven as a screen reader
reaches it: through the accessibility bus (AT-SPI) of a private X server.

Importing this starts a private session bus for the run; each Session then
starts its own Xvfb, a simulated Kestrix on a pseudo-terminal linked as a COM
port in a private port folder, and morvel. Every wait has a deadline and
fails with what was seen.
"""

import atexit
import json
import os
import re
import shutil
import signal
import subprocess
import tempfile
import time
import warnings


def _start_session_bus():
    """A session bus of our own, silent, ended with the run: the services it
    starts (the accessibility bus and registry) must not outlive the tests or
    hold their output open. The accessibility bus puts its socket into the
    runtime folder, so each run gets a folder of its own, or runs side by
    side would meet on one bus."""
    runtime = tempfile.mkdtemp(prefix="morvel-e2e-runtime-")
    os.environ["XDG_RUNTIME_DIR"] = runtime
    atexit.register(shutil.rmtree, runtime, True)
    bus = subprocess.Popen(["dbus-daemon", "--session", "--nofork", "--print-address=1"],
                           stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                           stderr=subprocess.DEVNULL, text=True, start_new_session=True)
    os.environ["DBUS_SESSION_BUS_ADDRESS"] = bus.stdout.readline().strip()
    atexit.register(lambda: os.killpg(bus.pid, signal.SIGTERM))


_start_session_bus()

import pyatspi  # noqa: E402  (connects to the bus above)
from Xlib import X, display as xdisplay, protocol  # noqa: E402
from Xlib.error import XError  # noqa: E402

MORVEL = os.environ["MORVEL_BINARY"]
SIMULATOR = os.environ["KESTRIX_SIM_BINARY"]
SAMPLE_STATE = os.environ["KESTRIX_SAMPLE_STATE"]
DEADLINE = 30.0
# The six SMS slots' fields, as a screen reader names them: the number field
# by its label, the text field by its name.
SLOTS = [("SMS credit:", "SMSText1"), ("SMS input1:", "SMSText2"), ("SMS input2:", "SMStext3"),
         ("SMS input3:", "SMStext4"), ("SMS input4:", "SMStext5"), ("SMS input5:", "SMSText6")]
# Six messages a user types into them, and the received message the sample
# SIM keeps at index 7 as gammu lists it.
MESSAGES = [("+436640000", "CREDIT?"), ("+436641234567", "Input 1 off!"),
            ("+436641000003", "Alarm on (zone 2)"), ("+436641000004", "Status?"),
            ("+436641000005", "Output 2 on"), ("+436641000006", "Reset")]
INDEX_7 = (7, "+436640000", "Your credit is 10 EUR")
# The status poll's queries, as the simulator logs them.
POLL = ("AT+CREG?\\r\\n", "AT+COPS?\\r\\n", "AT+CSQ\\r\\n", "AT+CAMM?\\r\\n",
        "AT+CACM?\\r\\n")

# pyatspi still goes through interfaces that the library marks as old.
warnings.filterwarnings("ignore", category=DeprecationWarning)
# An application that left the bus without a word must not stall a call for
# D-Bus's default 25 s: answers here come within milliseconds.
pyatspi.setTimeout(2000, 15000)


class Timeout(AssertionError):
    pass


def wait_for(what, probe, deadline=DEADLINE):
    """Polls `probe` until it returns something true; returns that."""
    end = time.monotonic() + deadline
    last_error = None
    while time.monotonic() < end:
        try:
            result = probe()
            if result:
                return result
        except Exception as error:  # the tree changes while we walk it
            last_error = error
        time.sleep(0.05)
    raise Timeout(f"timed out waiting for {what}" + (f" ({last_error})" if last_error else ""))


def find(root, role, name=None):
    """The first object under `root` with this role (and name), or None."""
    return pyatspi.findDescendant(
        root, lambda a: a.getRoleName() == role and (name is None or a.name == name))


def find_all(root, role):
    return pyatspi.findAllDescendants(root, lambda a: a.getRoleName() == role)


def text_of(accessible):
    text = accessible.queryText()
    return text.getText(0, text.characterCount)


def press(accessible):
    """Presses a button or tab as soon as it offers that action (a control
    on a page being switched to, or one being enabled, offers none yet)."""
    def pressed():
        action = accessible.queryAction()
        for i in range(action.nActions):
            if action.getName(i) in ("Press", "press", "click"):
                return action.doAction(i) or True
        return False
    wait_for(f"{accessible.name} to be pressable", pressed)


class Session:
    """Xvfb, kestrix-sim as COM<com> and, once start_morvel is called, morvel."""

    def __init__(self, com=3, state=None, sim_args=(), hold_port=False):
        self.dir = tempfile.mkdtemp(prefix="morvel-e2e-")
        self.ports = os.path.join(self.dir, "ports")
        os.mkdir(self.ports)
        # Every COM number absent but the simulator's, whatever the machine has.
        for n in range(1, 51):
            os.symlink("/nonexistent/morvel-e2e", os.path.join(self.ports, f"com{n}"))
        self.com = com
        self.state_in = os.path.join(self.dir, "state-in.json")
        shutil.copy(state or SAMPLE_STATE, self.state_in)
        self.state_out = os.path.join(self.dir, "state-out.json")
        self.sim_log = os.path.join(self.dir, "sim.log")
        self.env = dict(os.environ, MORVEL_PORTS=self.ports, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1",
                        QT_ACCESSIBILITY="1", NO_AT_BRIDGE="0")
        self.env.pop("QT_QPA_PLATFORM", None)
        self.xvfb = None
        self.sim = None
        self.retired = []  # simulators left running by repoint_sim
        self.morvel = None
        self.holder = None
        self._start_xvfb()
        self._start_sim(sim_args)
        if hold_port:
            # Its own group, ended whole: flock runs the sleep as a child.
            self.holder = subprocess.Popen(["flock", "-x", self.device, "sleep", "600"],
                                           stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                           stderr=subprocess.DEVNULL, start_new_session=True)
            time.sleep(0.2)

    def _start_xvfb(self):
        read, write = os.pipe()
        self.xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write), "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
            pass_fds=(write,), stderr=subprocess.DEVNULL)
        os.close(write)
        with os.fdopen(read) as display:
            number = display.readline().strip()
        if not number:
            raise AssertionError("Xvfb did not start")
        self.env["DISPLAY"] = ":" + number

    def _start_sim(self, sim_args, link=True):
        self.sim = subprocess.Popen(
            [SIMULATOR, *(("--com", str(self.com)) if link else ()), "--state", self.state_in,
             "--save-state", self.state_out, "--log", self.sim_log, *sim_args],
            env=self.env, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        self.device = self.sim.stdout.readline().strip()
        if not self.device:
            raise AssertionError("kestrix-sim did not start: " + self.sim.stderr.read())
        if link:
            wait_for("the COM link", lambda: os.path.realpath(
                os.path.join(self.ports, f"com{self.com}")) == os.path.realpath(self.device))

    def replace_sim(self, *sim_args):
        """Once the simulator has ended (a hang-up fault), a new one under the
        same COM link with the SIM it saved but none of its faults, as the
        device plugged back in."""
        self.sim.wait(timeout=DEADLINE)
        self.sim.stdout.close()
        self.sim.stderr.close()
        with open(self.state_out, encoding="utf-8") as saved:
            state = json.load(saved)
        state.pop("faults")
        with open(self.state_in, "w", encoding="utf-8") as state_in:
            json.dump(state, state_in)
        self._start_sim(sim_args)

    def repoint_sim(self):
        """A new simulator on a pseudo-terminal of its own, and the COM link
        moved to it in one step (as `ln -sfn` does) while the old one goes on,
        as a /dev/serial/by-id link moved to another adapter. The session
        goes on with the new one (its own command log); the old one runs
        until the session ends."""
        self.retired.append(self.sim)
        self.sim_log = os.path.join(self.dir, f"sim-{len(self.retired)}.log")
        self._start_sim((), link=False)
        link = os.path.join(self.ports, f"com{self.com}")
        os.symlink(self.device, link + ".new")
        os.replace(link + ".new", link)

    def start_morvel(self, *args):
        self.morvel = subprocess.Popen([MORVEL, *args], env=self.env, stdout=subprocess.PIPE,
                                       stderr=subprocess.STDOUT, text=True)
        return self

    def app(self):
        """Morvel's application object on the accessibility bus."""
        seen = []

        def probe():
            desktop = pyatspi.Registry.getDesktop(0)
            seen.clear()
            for i in range(desktop.childCount):
                try:
                    app = desktop.getChildAtIndex(i)
                    seen.append((app.name, app.get_process_id()))
                    if app.name == "Morvel" and app.get_process_id() == self.morvel.pid:
                        return app
                except Exception as error:  # an application of an earlier test, gone
                    seen.append(("?", str(error)[:80]))
            return None
        try:
            return wait_for("morvel on the accessibility bus", probe)
        except Timeout as timeout:
            raise Timeout(f"{timeout}; morvel {self.morvel.pid} "
                          f"{'ended' if self.morvel.poll() is not None else 'running'}; "
                          f"on the bus: {seen}") from None

    def window(self, role, name):
        return wait_for(f"{role} {name!r}", lambda: find(self.app(), role, name))

    def choose_port(self, button="OK"):
        dialog = self.window("dialog", "Select Port")
        # On Linux a combo box is announced by its value, the port.
        combo = wait_for("the port list", lambda: find(dialog, "combo box"))
        press(wait_for(button, lambda: find(dialog, "push button", button)))
        return combo

    def main_window(self):
        return self.window("frame", "Morvel")

    def control(self, role, name=None):
        return wait_for(f"{role} {name!r}", lambda: find(self.main_window(), role, name))

    def monitor_lines(self):
        return text_of(self.control("text", "Monitor")).split("\n")

    def commands(self):
        """The command lines kestrix-sim received, without time stamps."""
        if not os.path.exists(self.sim_log):
            return []
        with open(self.sim_log, encoding="latin-1") as log:
            return [line.rstrip("\n").split(" ", 1)[1] for line in log if " " in line]

    def sent_since(self, start):
        """The commands received since the `start`th, without the status poll's."""
        return [c for c in self.commands()[start:] if c not in POLL]

    def wait_until_linked(self):
        """Waits for the dialogue buttons to be enabled and for the queries that
        the registration reply chains to end with the credit: the device then
        stays idle until the next registration query."""
        button = self.control("push button", "Load PBook")
        wait_for("the buttons enabled", lambda: button.getState().contains(pyatspi.STATE_ENABLED))

        def idle():
            lines = [line for line in self.monitor_lines() if line]
            return len(lines) >= 2 and lines[-2].startswith("+CACM:") and lines[-1] == "OK"
        wait_for("the end of the status queries", idle)

    def click(self, caption, first_command):
        """Presses the button until the device gets the exchange's first
        command: a press while the device has not yet answered, or while the
        link bar is low, does nothing."""
        button = self.control("push button", caption)
        start = len(self.commands())

        def pressed():
            press(button)
            return wait_for(f"{first_command} after {caption}", lambda: any(
                c.startswith(first_command) for c in self.commands()[start:]), deadline=5)
        wait_for(f"{caption} taking effect", pressed, deadline=90)

    def exit_code(self, deadline=DEADLINE):
        try:
            return self.morvel.wait(timeout=deadline)
        except subprocess.TimeoutExpired:
            raise Timeout("morvel did not end")

    def close(self):
        """Asks morvel's windows to close, as a window manager's close box
        does, and waits for the program to end."""
        x = xdisplay.Display(self.env["DISPLAY"])
        protocols = x.intern_atom("WM_PROTOCOLS")
        delete = x.intern_atom("WM_DELETE_WINDOW")
        pid_atom = x.intern_atom("_NET_WM_PID")
        # Top-level windows are children of the root, or of a window
        # manager's frames.
        windows = list(x.screen().root.query_tree().children)
        while windows:
            window = windows.pop()
            try:
                pid = window.get_full_property(pid_atom, X.AnyPropertyType)
                if pid is None or pid.value[0] != self.morvel.pid:
                    windows.extend(window.query_tree().children)
                    continue
            except XError:  # gone while we looked
                continue
            event = protocol.event.ClientMessage(window=window, client_type=protocols,
                                                 data=(32, [delete, X.CurrentTime, 0, 0, 0]))
            window.send_event(event)
        # A round trip, not a flush: closing the connection straight after
        # the send sometimes loses the message before the server delivers it.
        x.sync()
        x.close()
        return self.exit_code()

    def saved_state(self):
        """Stops the simulator and reads the state it saved."""
        self.sim.send_signal(signal.SIGTERM)
        self.sim.wait(timeout=DEADLINE)
        with open(self.state_out, encoding="utf-8") as saved:
            return json.load(saved)

    def gammu(self, *command):
        """gammu's output for `command` against a fresh simulator holding the
        state this one saved (call saved_state first)."""
        sim = subprocess.Popen([SIMULATOR, "--state", self.state_out], stdout=subprocess.PIPE,
                               stderr=subprocess.DEVNULL, text=True)
        try:
            config = os.path.join(self.dir, "gammurc")
            with open(config, "w", encoding="ascii") as rc:
                rc.write(f"[gammu]\ndevice = {sim.stdout.readline().strip()}\n"
                         "connection = at19200\n")
            run = subprocess.run(["gammu", "-c", config, *command], capture_output=True,
                                 text=True, timeout=120, env=dict(os.environ, HOME=self.dir))
        finally:
            sim.terminate()
            sim.wait(timeout=DEADLINE)
            sim.stdout.close()
        if run.returncode != 0:
            raise AssertionError(f"gammu {' '.join(command)}: {run.stdout}{run.stderr}")
        return run.stdout

    def gammu_messages(self):
        """The SIM's messages as gammu lists them: (location, number, text)."""
        return [(int(i), number, text) for i, number, text in re.findall(
            r'Location (\d+),[^\n]*\n(?:.+\n)*?Remote number\s*: "([^"]*)"\n(?:.+\n)*\n(.*)\n',
            self.gammu("getallsms"))]

    def gammu_phonebook(self):
        """The SIM phonebook as gammu lists it: (location, number, name)."""
        return [(int(i), number, name) for i, number, name in re.findall(
            r'Location (\d+)\nGeneral number\s*: "([^"]*)"\nName\s*: "([^"]*)"',
            self.gammu("getallmemory", "SM"))]

    def shutdown(self):
        if self.holder is not None:
            os.killpg(self.holder.pid, signal.SIGTERM)
            self.holder.wait()
        for process in (self.morvel, self.sim, *self.retired):
            if process is not None and process.poll() is None:
                process.terminate()
                try:
                    process.wait(timeout=10)
                except subprocess.TimeoutExpired:
                    process.kill()
                    process.wait()
        sims = (self.sim, *self.retired)
        for stream in (*(s.stdout for s in sims), *(s.stderr for s in sims),
                       self.morvel.stdout if self.morvel else None):
            if stream is not None:
                stream.close()
        if self.xvfb is not None:
            self.xvfb.terminate()
            self.xvfb.wait()
        shutil.rmtree(self.dir, ignore_errors=True)


def session_for(test, **kwargs):
    """A Session ended when `test` ends, however it ends: a set-up that
    fails after the session started leaves no X server or simulator behind."""
    session = Session(**kwargs)
    test.addCleanup(session.shutdown)
    return session


def session_with_phonebook(test, entries, **kwargs):
    """session_for with the sample state's SIM phonebook replaced by
    `entries` (the session keeps a copy of the state it starts from)."""
    with open(SAMPLE_STATE, encoding="utf-8") as sample:
        state = json.load(sample)
    state["phonebook"]["entries"] = entries
    with tempfile.TemporaryDirectory() as folder:
        path = os.path.join(folder, "state.json")
        with open(path, "w", encoding="utf-8") as out:
            json.dump(state, out)
        return session_for(test, state=path, **kwargs)
