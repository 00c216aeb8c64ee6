#!/usr/bin/python3
"""Runs the built desktop program as a user does, on a virtual X server of its own.

The program is a separate process in a throw-away program folder whose COM1 is kestiva-sim
in demo mode. Widgets are found through the accessibility tree (role and caption, the
captions read from the shipped LanguageData.ini) and worked with real mouse clicks and key
presses (xdotool), so modality and focus are the program's own, as a user meets them.

First run: accept the terms, search the controller, record the data monitor, save the CSV
and an image, record the I/O monitor, close the window. Second run: check manually, read
the CSV back and save it again. Then the files are checked: the CSV's header and rows, the
image's size, the settings file written at exit with every comment kept, and the CSV saved
from the read-back recording byte for byte.

Usage: drive_kestiva.py BIN_DIR OUT_DIR
  BIN_DIR holds kestiva, kestiva-sim and System/; OUT_DIR receives a screenshot of each step.
Exit codes: 0 passed, 1 failed, 77 skipped (no X server could be started).
"""

import contextlib
import ctypes
import os
import re
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import time

SKIPPED = 77
DEADLINE = 30.0        # seconds for any one state to appear
RECORDING_DEADLINE = 60.0
CLOSE_DEADLINE = 10.0  # from the close request to the program's end
KEY_SETTLE = 0.05      # lets the program take a key before the next one


class Failure(Exception):
    pass


LIBC = ctypes.CDLL("libc.so.6", use_errno=True)
PR_SET_PDEATHSIG = 1
PR_SET_PTRACER = 0x59616D61
PR_SET_PTRACER_ANY = 2**64 - 1


def endWithThisScript():
    """Run in each child before it starts: it is sent SIGTERM when this script ends, even
    when a time-out kills the script before it can clean up."""
    LIBC.prctl(PR_SET_PDEATHSIG, signal.SIGTERM)


def endWithThisScriptAndAllowTracing():
    """As endWithThisScript, and lets a debugger that is not its parent read its threads'
    stacks where the kernel allows only parents by default (Yama)."""
    endWithThisScript()
    LIBC.prctl(PR_SET_PTRACER, ctypes.c_ulong(PR_SET_PTRACER_ANY))


def log(text):
    print(text, flush=True)


def waitFor(what, condition, deadline=DEADLINE):
    """Polls condition until it returns something true; fails naming what did not happen."""
    end = time.monotonic() + deadline
    while True:
        result = condition()
        if result:
            return result
        if time.monotonic() > end:
            raise Failure("timed out waiting for " + what)
        time.sleep(0.05)


# --- The virtual display, its session bus and the accessibility bus -------------------------

class VirtualDisplay:
    """Xvfb on a free display, a private session bus and the accessibility bus on it."""

    def __init__(self):
        self.processes = []
        self.environment = dict(os.environ)
        for name in ("DISPLAY", "WAYLAND_DISPLAY", "AT_SPI_BUS_ADDRESS",
                     "DBUS_SESSION_BUS_ADDRESS", "QT_QPA_PLATFORM"):
            self.environment.pop(name, None)

    def startX(self):
        """The display's name, or None when no X server can be started here."""
        xvfb = shutil.which("Xvfb")
        if xvfb is None:
            return None
        reader, writer = os.pipe()
        try:
            server = subprocess.Popen(
                # Without -noreset the server resets whenever its last client leaves, and a
                # program that connects meanwhile is refused.
                [xvfb, "-displayfd", str(writer), "-screen", "0", "1280x1024x24", "-noreset",
                 "-nolisten", "tcp"], pass_fds=(writer,), stdout=subprocess.DEVNULL,
                stderr=subprocess.DEVNULL, preexec_fn=endWithThisScript)
        except OSError:
            return None
        finally:
            os.close(writer)
        self.processes.append(server)
        with os.fdopen(reader) as number:
            line = number.readline().strip()  # Xvfb writes it once it takes clients
        if not line.isdigit():
            return None
        self.environment["DISPLAY"] = ":" + line
        return self.environment["DISPLAY"]

    def startBuses(self):
        bus = subprocess.Popen(["dbus-daemon", "--session", "--nofork", "--print-address=1"],
                               stdout=subprocess.PIPE, text=True, env=self.environment,
                               preexec_fn=endWithThisScript)
        self.processes.append(bus)
        address = bus.stdout.readline().strip()
        if not address:
            raise Failure("the session bus did not start")
        self.environment["DBUS_SESSION_BUS_ADDRESS"] = address
        launcher = subprocess.Popen(["/usr/libexec/at-spi-bus-launcher", "--a11y=1"],
                                    env=self.environment, stdout=subprocess.DEVNULL,
                                    stderr=subprocess.DEVNULL, preexec_fn=endWithThisScript)
        self.processes.append(launcher)
        # This process reads the tree on the same buses.
        os.environ["DISPLAY"] = self.environment["DISPLAY"]
        os.environ["DBUS_SESSION_BUS_ADDRESS"] = address

    def stop(self):
        for process in reversed(self.processes):
            stopProcess(process)


def stopProcess(process, grace=10.0):
    if process.poll() is not None:
        return
    process.terminate()
    try:
        process.wait(grace)
    except subprocess.TimeoutExpired:
        process.kill()
        process.wait()


# --- The captions the program shows ---------------------------------------------------------

def readCaptions(path):
    """LanguageData.ini's keys and texts, with the mnemonic marker dropped as the tree does."""
    captions = {}
    with open(path, encoding="utf-8-sig") as file:
        for line in file:
            key, equals, value = line.rstrip("\r\n").partition("=")
            if equals and not key.startswith(";"):
                captions.setdefault(key.strip(), value.strip())
    return captions


def shown(caption):
    return caption.replace("&&", "\0").replace("&", "").replace("\0", "&")


# --- The accessibility tree -----------------------------------------------------------------

Atspi = None


def loadAtspi():
    global Atspi
    import gi
    gi.require_version("Atspi", "2.0")
    from gi.repository import Atspi as module
    Atspi = module


def isShowing(node):
    try:
        return node.get_state_set().contains(Atspi.StateType.SHOWING)
    except Exception:  # a node that went away while it was read
        return False


def isEnabled(node):
    return node.get_state_set().contains(Atspi.StateType.SENSITIVE)


def percentOf(node):
    """The figure of a label that reads "NN%", or None."""
    match = re.fullmatch(r"(\d+)%", nameOf(node))
    return int(match.group(1)) if match else None


def roleOf(node):
    try:
        return node.get_role_name()
    except Exception:
        return ""


def nameOf(node):
    try:
        return node.get_name() or ""
    except Exception:
        return ""


class Program:
    """One run of the program: its process and its part of the accessibility tree."""

    def __init__(self, folder, environment, outputFolder, label):
        self.outputFolder = outputFolder
        self.label = label
        self.steps = 0
        self.display = environment["DISPLAY"]
        self.logPath = os.path.join(outputFolder, label + ".log")
        self.logFile = open(self.logPath, "w")
        self.process = subprocess.Popen([os.path.join(folder, "kestiva")], cwd=folder,
                                        env=environment, stdout=self.logFile,
                                        stderr=subprocess.STDOUT,
                                        preexec_fn=endWithThisScriptAndAllowTracing)
        self.application = waitFor("the program in the accessibility tree", self.findApplication)

    def findApplication(self):
        self.checkRunning()
        desktop = Atspi.get_desktop(0)
        for k in range(desktop.get_child_count()):
            application = desktop.get_child_at_index(k)
            try:
                if application is not None and application.get_process_id() == self.process.pid:
                    return application
            except Exception:
                continue
        return None

    def checkRunning(self):
        if self.process.poll() is not None:
            raise Failure("the program ended (exit code %d); see %s"
                          % (self.process.returncode, self.logPath))

    def windows(self):
        """The showing top-level windows."""
        found = []
        for k in range(self.application.get_child_count()):
            window = self.application.get_child_at_index(k)
            if window is not None and isShowing(window):
                found.append(window)
        return found

    def find(self, role, name=None, within=None, hidden=False):
        """The showing nodes of role (named name, unless it is None); with hidden, also
        those of showing windows that are not shown now (a closed menu's items)."""
        found = []

        def visit(node):
            if node is None or not (hidden or isShowing(node)):
                return
            if roleOf(node) == role:
                if name is None or nameOf(node) == name:
                    found.append(node)
            for k in range(node.get_child_count()):
                visit(node.get_child_at_index(k))

        for window in ([within] if within is not None else self.windows()):
            visit(window)
        return found

    def one(self, role, name=None, within=None, hidden=False):
        """The first node that find gives, once there is one."""
        what = "%s '%s'" % (role, name if name is not None else "...")
        return waitFor(what, lambda: self.checked(self.find(role, name, within, hidden)))[0]

    def describeTree(self):
        """The showing part of the tree, one node a line, for a failure's report."""
        lines = []

        def visit(node, depth):
            if node is None or not isShowing(node):
                return
            lines.append("%s%s '%s'%s" % ("  " * depth, roleOf(node), nameOf(node),
                                          "" if isEnabled(node) else " (disabled)"))
            for k in range(node.get_child_count()):
                visit(node.get_child_at_index(k), depth + 1)

        for window in self.windows():
            visit(window, 0)
        return "\n".join(lines)

    def checked(self, result):
        self.checkRunning()
        return result

    def window(self, title, role, deadline=DEADLINE):
        """The showing top-level window of that title and role: "frame" (the main window),
        "dialog" or "alert" (a message box). A message box may share a dialog's title."""
        def titled():
            self.checkRunning()
            return [w for w in self.windows() if nameOf(w) == title and roleOf(w) == role]
        return waitFor("%s '%s'" % (role, title), titled, deadline)[0]

    def listLabelled(self, label, within=None):
        """The combo box that a showing label of that text names (the list's own name is
        its current text); a page's caption of the same text names nothing."""
        def labelled():
            for caption in self.checked(self.find("label", label, within)):
                for relation in caption.get_relation_set():
                    if relation.get_relation_type() == Atspi.RelationType.LABEL_FOR:
                        return [relation.get_target(0)]
            return None
        return waitFor("the list labelled '%s'" % label, labelled)[0]

    # --- Input: real pointer and keyboard events --------------------------------------------

    def xdotool(self, *arguments):
        result = subprocess.run(["xdotool"] + list(arguments), capture_output=True, text=True,
                                env={**os.environ, "DISPLAY": self.display})
        if result.returncode != 0:
            raise Failure("xdotool %s: %s" % (" ".join(arguments), result.stderr.strip()))
        return result.stdout

    def click(self, node):
        """A left click at the middle of node, once it can take one."""
        waitFor("'%s' to be enabled" % nameOf(node), lambda: self.checked(isEnabled(node)))
        box = node.get_extents(Atspi.CoordType.SCREEN)
        if box.width <= 0 or box.height <= 0:
            raise Failure("'%s' has no area on the screen" % nameOf(node))
        self.xdotool("mousemove", "--sync", str(box.x + box.width // 2),
                     str(box.y + box.height // 2), "click", "1")

    def press(self, role, name, within=None):
        self.click(self.one(role, name, within))

    def keys(self, *names):
        for name in names:
            self.xdotool("key", name)
            time.sleep(KEY_SETTLE)

    def xWindow(self, title):
        """The mapped X window of that title (xdotool's search fails while there is none)."""
        def search():
            found = subprocess.run(
                ["xdotool", "search", "--onlyvisible", "--name", "^%s$" % re.escape(title)],
                capture_output=True, text=True, env={**os.environ, "DISPLAY": self.display})
            return self.checked(found.stdout.split())
        return waitFor("X window '%s'" % title, search)[-1]

    def focusWindow(self, title):
        """Gives the X input focus to the window of that title (there is no window manager)."""
        self.xdotool("windowfocus", "--sync", self.xWindow(title))

    def choose(self, label, entry, within=None):
        """Opens the list that label names and picks entry with Home, Down and Return."""
        combo = self.listLabelled(label, within)
        entries = [nameOf(combo.get_child_at_index(0).get_child_at_index(k))
                   for k in range(combo.get_child_at_index(0).get_child_count())]
        if entry not in entries:
            raise Failure("list '%s' offers %s, not %s" % (label, entries, entry))
        self.click(combo)
        waitFor("the list of '%s' to open" % label,
                lambda: isShowing(combo.get_child_at_index(0)))
        self.keys("Home", *["Down"] * entries.index(entry), "Return")
        waitFor("'%s' to show %s" % (label, entry), lambda: nameOf(combo) == entry)

    def menu(self, menuName, itemName):
        """Opens the menu bar's menu and chooses the item, both with clicks."""
        bar = self.one("menu bar")
        self.press("menu item", menuName, within=bar)
        self.click(self.one("menu item", itemName))

    def answerFileDialog(self, title, path):
        """Types path into the file dialog's name field and accepts it with Return."""
        self.window(title, "dialog")
        self.focusWindow(title)
        self.keys("ctrl+a")
        self.xdotool("type", "--delay", "20", path)
        self.keys("Return")
        waitFor("the dialog '%s' to close" % title,
                lambda: all(nameOf(w) != title for w in self.windows()))

    def acknowledge(self, caption, expected):
        """Closes the message box of that caption with OK, checking that it says expected."""
        box = self.window(caption, "alert")
        texts = [nameOf(label) for label in self.find("label", within=box)]
        if not any(expected in text for text in texts):
            raise Failure("message '%s' says %s, not '%s'" % (caption, texts, expected))
        self.screenshot("message")
        self.press("push button", "OK", within=box)
        waitFor("message '%s' to close" % caption, lambda: not isShowing(box))

    def screenshot(self, step):
        self.steps += 1
        path = os.path.join(self.outputFolder, "%s-%02d-%s.png" % (self.label, self.steps, step))
        subprocess.run(["import", "-display", self.display, "-window", "root", path], check=True)
        return path

    def closeWindow(self, xWindow):
        """Asks the window to close as a window manager does: WM_DELETE_WINDOW."""
        from Xlib import X, display as xdisplay, protocol
        connection = xdisplay.Display(self.display)
        try:
            window = connection.create_resource_object("window", int(xWindow))
            protocols = connection.intern_atom("WM_PROTOCOLS")
            delete = connection.intern_atom("WM_DELETE_WINDOW")
            event = protocol.event.ClientMessage(window=window, client_type=protocols,
                                                 data=(32, [delete, X.CurrentTime, 0, 0, 0]))
            window.send_event(event, event_mask=X.NoEventMask)
            # Waits until the server has handled it: a request only flushed can be dropped
            # when the connection closes right after, and the program never hears of it.
            connection.sync()
        finally:
            connection.close()

    def waitExit(self, deadline=DEADLINE):
        waitFor("the program to end", lambda: self.process.poll() is not None, deadline)
        return self.process.returncode

    def keepThreadStacks(self, step):
        """Writes the stack of every thread of the running program to a file (with gdb), for
        a program that hangs; the file's path."""
        path = os.path.join(self.outputFolder, "%s-%s-stacks.txt" % (self.label, step))
        with open(path, "w") as file:
            try:
                subprocess.run(["gdb", "-p", str(self.process.pid), "-batch", "-nx",
                                "-ex", "thread apply all bt"], stdout=file,
                               stderr=subprocess.STDOUT, timeout=60)
            except (OSError, subprocess.TimeoutExpired) as error:
                file.write("gdb could not take the stacks: %s\n" % error)
        return path

    def stop(self, failed):
        if failed and self.process.poll() is None:
            self.screenshot("failure")
            with open(os.path.join(self.outputFolder, self.label + "-tree.txt"), "w") as file:
                file.write(self.describeTree())
        stopProcess(self.process)
        self.logFile.close()


# --- The program folder and the simulator ---------------------------------------------------

def withSamplingLists(config, section, lists):
    """config with the SAMPLING and TIME lines of section replaced by lists."""
    start = config.index(section)
    sampling = config.index("SAMPLING=", start)
    time_line = config.index("TIME=", sampling)
    end = config.index("\n", time_line) + 1
    return config[:sampling] + lists + config[end:]


def makeProgramFolder(binFolder, root):
    """A program folder: a copy of the program (it finds System/ beside its real path), the
    shipped System files, and lists short enough for quick recordings."""
    folder = os.path.join(root, "program")
    os.makedirs(os.path.join(folder, "System", "ports"))
    shutil.copy2(os.path.join(binFolder, "kestiva"), folder)
    for name in ("LanguageData.ini", "CommunicationSetting.ini", "DataSamplingConfig.ini"):
        shutil.copy2(os.path.join(binFolder, "System", name), os.path.join(folder, "System"))
    configPath = os.path.join(folder, "System", "DataSamplingConfig.ini")
    with open(configPath, newline="") as file:
        config = file.read()
    config = withSamplingLists(config, "[DATA_SAMPLING_SETTING]",
                               "SAMPLING=20,100,500\nTIME=0,10,1,60\n")
    config = withSamplingLists(config, "[IO_SAMPLING_SETTING]", "SAMPLING=50,100\nTIME=0,1\n")
    with open(configPath, "w", newline="") as file:
        file.write(config)
    return folder


def startSimulator(binFolder, folder):
    link = os.path.join(folder, "System", "ports", "COM1")
    simulator = subprocess.Popen([os.path.join(binFolder, "kestiva-sim"), "--mode", "demo",
                                  "--link", link], stdout=subprocess.PIPE,
                                 stderr=subprocess.DEVNULL, text=True,
                                 preexec_fn=endWithThisScript)
    device = simulator.stdout.readline().strip()
    if not device:
        stopProcess(simulator)
        raise Failure("kestiva-sim did not start")
    waitFor("the simulator's link", lambda: os.path.islink(link))
    return simulator


# --- The file checks ------------------------------------------------------------------------

# The start date each monitor's file carries, and its header lines before the rows.
CSV_FORMATS = {"data": (r"\d{8} \d\d:\d\d", 6), "IO": (r"\d{4}/\d\d/\d\d \d\d:\d\d", 5)}


def checkCsv(path, monitor, itemCount, cycleAndTime, rows):
    """The file's header lines (date, version, monitor; cycle and time; one field per item)
    and its rows of a time and one number or empty field per item, every line ending CR LF."""
    with open(path, "rb") as file:
        lines = file.read().split(b"\r\n")
    if lines[-1] != b"":
        raise Failure("%s does not end with CR LF" % path)
    lines = [line.decode("utf-8") for line in lines[:-1]]
    datePattern, headerLines = CSV_FORMATS[monitor]
    first = lines[0].split(",")
    if first[1:] != ["V100", monitor] or not re.fullmatch(datePattern, first[0]):
        raise Failure("%s starts with '%s'" % (path, lines[0]))
    if lines[1] != cycleAndTime:
        raise Failure("%s gives cycle and time as '%s', not '%s'" % (path, lines[1], cycleAndTime))
    if len(lines) != headerLines + rows:
        raise Failure("%s has %d lines, not %d header lines and %d rows"
                      % (path, len(lines), headerLines, rows))
    number = re.compile(r"-?\d+(\.\d+)?")
    for line in lines[2:]:
        fields = line.split(",")
        if len(fields) != itemCount + 1:
            raise Failure("%s has the line '%s'" % (path, line))
    for line in lines[headerLines:]:
        if not all(number.fullmatch(field) for field in line.split(",") if field):
            raise Failure("%s has the row '%s'" % (path, line))
    log("  %s: %d rows of %s" % (os.path.basename(path), rows, monitor))


def pngSize(path):
    with open(path, "rb") as file:
        head = file.read(24)
    if head[:8] != b"\x89PNG\r\n\x1a\n":
        raise Failure("%s is not a PNG file" % path)
    return struct.unpack(">II", head[16:24])


def checkSettingsWrittenBack(original, written):
    """Only COM_SELECT changed (the search was used); every other byte, comments too, kept."""
    expected = re.sub(r"(?m)^COM_SELECT=MANUAL\t", "COM_SELECT=AUTO\t", original)
    if expected == original:
        raise Failure("the shipped settings do not start with the manual check")
    if written != expected:
        raise Failure("the settings file at exit is\n%s\nnot\n%s" % (written, expected))


# --- The user's session ---------------------------------------------------------------------

def acceptTerms(program, text):
    program.window(text["DLG_QUALIFICATION_TITLE"], "dialog")
    program.screenshot("disclaimer")
    program.press("push button", shown(text["DLG_QUALIFICATION_BUTTON_AGREE"]))


def confirmLink(program, text, search):
    settings = program.window(text["DLG_COMSETTING_TITLE"], "dialog")
    method = "DLG_COMSETTING_RADIOBUTTON_AUTO" if search else "DLG_COMSETTING_RADIOBUTTON_MANUAL"
    program.press("radio button", shown(text[method]), settings)
    if not search:
        program.choose(text["DLG_COMSETTING_MANUAL_ID"], "1", settings)
        program.choose(text["DLG_COMSETTING_MANUAL_BITRATE"], "38400", settings)
    program.screenshot("settings")
    program.press("push button", shown(text["DLG_COMSETTING_BUTTON_COMCHECK"]), settings)
    program.acknowledge(text["MSG_COMSETTING_COMSEARCH_OK_TITLE"],
                        text["MSG_COMSETTING_COMSEARCH_OK_CONTENTS1"])
    program.press("push button", shown(text["DLG_COMSETTING_BUTTON_OK"]), settings)
    return program.window(text["APP_TITLE"], "frame")


def record(program, text, cycle, seconds):
    program.choose(text["MSG_SAMPLING_SPAN"], cycle)
    program.choose(text["MSG_SAMPLING_TIME"], seconds)
    start = program.one("push button", "Start")
    program.click(start)
    waitFor("the recording to start", lambda: program.checked(not isEnabled(start)))
    # The picture shows the graph drawn as the samples arrive, so it waits for half of them.
    percent = waitFor("the recording's percentage", lambda: program.checked(
        [label for label in program.find("label") if percentOf(label) is not None]))[0]
    waitFor("the recording to reach 40 %",
            lambda: program.checked(percentOf(percent) or 0) >= 40, RECORDING_DEADLINE)
    program.screenshot("recording")
    waitFor("the window to be idle again",
            lambda: program.checked(isEnabled(start) and not program.find("progress bar")),
            RECORDING_DEADLINE)
    program.screenshot("recorded")


def saveCsv(program, text, path):
    program.menu(shown(text["MNU_TITLE_FILE"]), shown(text["MNU_TITLE_FILE_CSV_SAVE"]))
    program.answerFileDialog("Save CSV File.", path)
    program.acknowledge(text["MSG_ALARM_TITLE"], text["MSG_PROGRESS_STATE_CSV_SAVE_COMP_MSG"])


@contextlib.contextmanager
def running(program):
    """program for a with block; on a failure its screen and tree are kept before it ends."""
    try:
        yield program
    except BaseException:
        program.stop(failed=True)
        raise
    program.stop(failed=False)


def closeMainWindow(program, xWindow):
    # The program drops a close request for a window that a modal box still blocks.
    waitFor("no dialog in front of the main window",
            lambda: all(roleOf(w) == "frame" for w in program.checked(program.windows())))
    program.closeWindow(xWindow)
    try:
        code = program.waitExit(CLOSE_DEADLINE)
    except Failure:
        stacks = program.keepThreadStacks("close")
        with open(stacks) as file:
            log(file.read())
        # Whether a second request ends it tells a lost request from a program that hangs.
        program.closeWindow(xWindow)
        try:
            program.waitExit(CLOSE_DEADLINE)
            second = "a second request ended it"
        except Failure:
            second = "a second request did not end it either"
        raise Failure("the program did not end within %d s of its close request (%s); the "
                      "stacks of its threads are in %s" % (CLOSE_DEADLINE, second, stacks))
    if code != 0:
        raise Failure("the program ended with exit code %d" % code)


def firstRun(folder, display, out, text, files):
    with running(Program(folder, display.environment, out, "run1")) as program:
        acceptTerms(program, text)
        confirmLink(program, text, search=True)
        mainWindow = program.xWindow(text["APP_TITLE"])
        record(program, text, "100", "1")
        saveCsv(program, text, files["data"])
        program.menu(shown(text["MNU_TITLE_FILE"]), shown(text["MNU_TITLE_FILE_IMAGE_SAVE"]))
        program.answerFileDialog("Save Image File.", files["image"])
        program.acknowledge(text["MSG_ALARM_TITLE"], text["MSG_BITMAP_SAVE_COMP"])
        size = program.xdotool("getwindowgeometry", "--shell", mainWindow)
        files["windowSize"] = tuple(int(re.search(r"%s=(\d+)" % key, size).group(1))
                                    for key in ("WIDTH", "HEIGHT"))

        program.press("push button", text["BTN_MONITOR_TITLE_DATA"])
        program.one("push button", text["BTN_MONITOR_TITLE_IO"])
        record(program, text, "100", "1")
        saveCsv(program, text, files["io"])
        closeMainWindow(program, mainWindow)


def secondRun(folder, display, out, text, files):
    with running(Program(folder, display.environment, out, "run2")) as program:
        acceptTerms(program, text)
        confirmLink(program, text, search=False)
        mainWindow = program.xWindow(text["APP_TITLE"])
        save = program.one("menu item", shown(text["MNU_TITLE_FILE_CSV_SAVE"]), hidden=True)
        if isEnabled(save):
            raise Failure("CSV save is offered before anything was recorded or read")
        program.menu(shown(text["MNU_TITLE_FILE"]), shown(text["MNU_TITLE_FILE_CSV_READ"]))
        program.answerFileDialog("Read CSV File.", files["data"])
        waitFor("the read recording to offer CSV save", lambda: program.checked(isEnabled(save)))
        program.screenshot("read")
        saveCsv(program, text, files["again"])
        closeMainWindow(program, mainWindow)


def run(binFolder, out):
    display = VirtualDisplay()
    try:
        if display.startX() is None:
            print("SKIPPED: no X server could be started (Xvfb is missing or refused to run)")
            return SKIPPED
        display.startBuses()
        loadAtspi()
        with tempfile.TemporaryDirectory(prefix="kestiva-e2e-") as root:
            folder = makeProgramFolder(binFolder, root)
            text = readCaptions(os.path.join(folder, "System", "LanguageData.ini"))
            settingsPath = os.path.join(folder, "System", "CommunicationSetting.ini")
            with open(settingsPath, encoding="utf-8", newline="") as file:
                originalSettings = file.read()
            files = {"data": os.path.join(root, "data run.csv"),
                     "io": os.path.join(root, "io run.csv"),
                     "again": os.path.join(root, "read back.csv"),
                     "image": os.path.join(root, "window.png")}
            simulator = startSimulator(binFolder, folder)
            try:
                log("first run: search, record, save, close")
                firstRun(folder, display, out, text, files)
                for name in ("data", "io", "image"):
                    shutil.copy2(files[name], out)
                checkCsv(files["data"], "data", 3, "100,1", 11)
                checkCsv(files["io"], "IO", 16, "100,1", 11)
                if pngSize(files["image"]) != files["windowSize"]:
                    raise Failure("the image is %s, the window %s"
                                  % (pngSize(files["image"]), files["windowSize"]))
                with open(settingsPath, encoding="utf-8", newline="") as file:
                    checkSettingsWrittenBack(originalSettings, file.read())
                log("second run: check, read the CSV back, save it again")
                secondRun(folder, display, out, text, files)
                with open(files["data"], "rb") as first, open(files["again"], "rb") as again:
                    if first.read() != again.read():
                        raise Failure("the CSV saved after reading differs from the one read")
            finally:
                stopProcess(simulator)
        log("passed; screenshots in " + out)
        return 0
    finally:
        display.stop()


def main():
    if len(sys.argv) != 3:
        print(__doc__, file=sys.stderr)
        return 2
    binFolder, out = (os.path.abspath(a) for a in sys.argv[1:])
    shutil.rmtree(out, ignore_errors=True)
    os.makedirs(out)
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(1))  # CTest's timeout: clean up first
    try:
        return run(binFolder, out)
    except Failure as failure:
        print("FAILED: %s" % failure, file=sys.stderr)
        return 1


if __name__ == "__main__":
    sys.exit(main())
