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
import shutil
import signal
import subprocess
import tempfile
import time
import warnings


def _start_session_bus():
    """A session bus of our own, silent, ended with the run: the services it
    starts (the accessibility bus and registry) must not outlive the tests or
    hold their output open."""
    # The accessibility bus's socket lies in the runtime folder, the same for
    # every run of the user without one: runs that overlap would take over
    # each other's bus. A folder of our own keeps them apart.
    runtime = tempfile.mkdtemp(prefix="morvel-e2e-run-")
    os.environ["XDG_RUNTIME_DIR"] = runtime
    atexit.register(shutil.rmtree, runtime, ignore_errors=True)
    bus = subprocess.Popen(["dbus-daemon", "--session", "--nofork", "--print-address=1"],
                           stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                           stderr=subprocess.DEVNULL, text=True, start_new_session=True)
    os.environ["DBUS_SESSION_BUS_ADDRESS"] = bus.stdout.readline().strip()
    atexit.register(lambda: os.killpg(bus.pid, signal.SIGTERM))


_start_session_bus()

import pyatspi  # noqa: E402  (connects to the bus above)
from Xlib import X, display as xdisplay, protocol  # noqa: E402

MORVEL = os.environ["MORVEL_BINARY"]
SIMULATOR = os.environ["KESTRIX_SIM_BINARY"]
SAMPLE_STATE = os.environ["KESTRIX_SAMPLE_STATE"]
DEADLINE = 30.0

# pyatspi still goes through interfaces that the library marks as old.
warnings.filterwarnings("ignore", category=DeprecationWarning)


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
    action = accessible.queryAction()
    for i in range(action.nActions):
        if action.getName(i) in ("Press", "press", "click"):
            action.doAction(i)
            return
    raise AssertionError(f"{accessible.name} cannot be pressed")


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

    def _start_sim(self, sim_args):
        self.sim = subprocess.Popen(
            [SIMULATOR, "--com", str(self.com), "--state", self.state_in,
             "--save-state", self.state_out, "--log", self.sim_log, *sim_args],
            env=self.env, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        self.device = self.sim.stdout.readline().strip()
        if not self.device:
            raise AssertionError("kestrix-sim did not start: " + self.sim.stderr.read())
        wait_for("the COM link", lambda: os.path.realpath(
            os.path.join(self.ports, f"com{self.com}")) == os.path.realpath(self.device))

    def start_morvel(self):
        self.morvel = subprocess.Popen([MORVEL], env=self.env, stdout=subprocess.PIPE,
                                       stderr=subprocess.STDOUT, text=True)
        return self

    def app(self):
        """Morvel's application object on the accessibility bus."""
        def probe():
            desktop = pyatspi.Registry.getDesktop(0)
            for i in range(desktop.childCount):
                app = desktop.getChildAtIndex(i)
                if app is not None and app.name == "Morvel" and app.get_process_id() == self.morvel.pid:
                    return app
            return None
        return wait_for("morvel on the accessibility bus", probe)

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

    def control(self, role, name):
        return wait_for(f"{role} {name!r}", lambda: find(self.main_window(), role, name))

    def monitor_lines(self):
        return text_of(self.control("text", "Monitor")).split("\n")

    def commands(self):
        """The command lines kestrix-sim received, without time stamps."""
        if not os.path.exists(self.sim_log):
            return []
        with open(self.sim_log, encoding="latin-1") as log:
            return [line.rstrip("\n").split(" ", 1)[1] for line in log if " " in line]

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
        for window in x.screen().root.query_tree().children:
            pid = window.get_full_property(pid_atom, X.AnyPropertyType)
            if pid is None or pid.value[0] != self.morvel.pid:
                continue
            event = protocol.event.ClientMessage(window=window, client_type=protocols,
                                                 data=(32, [delete, X.CurrentTime, 0, 0, 0]))
            window.send_event(event)
        x.flush()
        x.close()
        return self.exit_code()

    def saved_state(self):
        """Stops the simulator and reads the state it saved."""
        self.sim.send_signal(signal.SIGTERM)
        self.sim.wait(timeout=DEADLINE)
        with open(self.state_out, encoding="utf-8") as saved:
            return json.load(saved)

    def shutdown(self):
        if self.holder is not None:
            os.killpg(self.holder.pid, signal.SIGTERM)
            self.holder.wait()
        for process in (self.morvel, self.sim):
            if process is not None and process.poll() is None:
                process.terminate()
                try:
                    process.wait(timeout=10)
                except subprocess.TimeoutExpired:
                    process.kill()
                    process.wait()
        for stream in (self.sim.stdout, self.sim.stderr,
                       self.morvel.stdout if self.morvel else None):
            if stream is not None:
                stream.close()
        if self.xvfb is not None:
            self.xvfb.terminate()
            self.xvfb.wait()
        shutil.rmtree(self.dir, ignore_errors=True)
