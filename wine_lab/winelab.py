"""A throw-away Wine prefix with its own X display, for running the launcher
(the run command, the Wine tests, the benchmark). A WineLab makes a fresh
prefix in a folder of its own (32-bit, or with arch="win64" a 64-bit one),
starts Xvfb on a free display unless given one, and removes what it made when
closed. Where the kernel runs no 32-bit programs, a 64-bit build
(runnable_build) runs through WINE64 instead.
"""
import functools
import json
import os
import shutil
import subprocess
import time

WINE_FONTS = "/usr/share/wine/fonts"
LOCALE_VARIABLES = ("LC_ALL", "LC_CTYPE", "LC_MESSAGES", "LANG")
# Wine's 64-bit loader, which runs 64-bit programs only.
WINE64 = "/usr/lib/wine/wine64"


class WineFailed(subprocess.CalledProcessError):
    def __str__(self):
        said = (self.stderr or b"").decode("utf-8", "replace").strip()[-2000:]
        return f"{super().__str__()} Wine said: {said or 'nothing'}"


def windows_path(unix_path):
    """The Z: drive path Wine gives a Unix path."""
    return "Z:" + os.path.abspath(unix_path).replace("/", "\\")


@functools.lru_cache(maxsize=None)
def cannot_run_32_bit():
    """Why this machine cannot run Wine's 32-bit programs, or None (asked
    once a run). Some virtual machines' kernels answer every i386 program,
    Wine's loader included, with "Exec format error"."""
    try:
        result = subprocess.run(["wine", "--version"], capture_output=True, text=True, timeout=60)
    except (OSError, subprocess.TimeoutExpired) as e:
        return f"wine cannot be started ({e})"
    if result.returncode != 0 and "Exec format error" in result.stderr:
        return ("the kernel runs no 32-bit (i386) programs here (\"Exec format error\"), "
                "Wine's own loader included")
    return None


def runnable_build(build, targets=()):
    """The Windows build folder whose programs this machine can run, the
    WineLab options they need, and why that is not build itself (None when
    it is). Where the kernel runs no 32-bit programs: the same sources and
    product (build/../product) built for 64-bit Windows, with any targets
    named, into win64-build beside build, to run through WINE64 in 64-bit
    prefixes. Nothing built there ships."""
    why = cannot_run_32_bit()
    if not why:
        return build, {}, None
    sources = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    folder = os.path.join(build, "..", "win64-build")
    for command in (["-S", sources, "-B", folder, "-DCMAKE_BUILD_TYPE=MinSizeRel",
                     "-DPRODUCT_DIR=" + os.path.join(build, "..", "product"),
                     "-DCMAKE_TOOLCHAIN_FILE=" + os.path.join(sources, "cmake", "mingw-w64-x86_64.cmake")],
                    ["--build", folder, "-j", str(os.cpu_count() or 1), "--target", "all", *targets]):
        subprocess.run(["cmake", *command], check=True, stdout=subprocess.DEVNULL)
    return folder, dict(arch="win64", loader=WINE64), why


def start_xvfb(screen):
    """An Xvfb of its own on a free display, screen "WxHxD"; returns the
    process and the display once it takes connections."""
    number = next((n for n in range(90, 200) if not os.path.exists(f"/tmp/.X11-unix/X{n}")
                   and not os.path.exists(f"/tmp/.X{n}-lock")), None)
    if number is None:
        raise RuntimeError("no free X display number")
    display = f":{number}"
    process = subprocess.Popen(["Xvfb", display, "-screen", "0", screen, "-nolisten", "tcp"],
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    for _ in range(100):
        if os.path.exists(f"/tmp/.X11-unix/X{number}"):
            return process, display
        time.sleep(0.05)
    process.kill()
    process.wait()
    raise RuntimeError(f"Xvfb did not start on {display}")


def has_locale(name):
    """Whether this machine has the locale ("ja_JP.UTF-8"), as locale -a
    lists it ("ja_JP.utf8")."""
    spelled = lambda n: n.lower().replace("utf-8", "utf8")  # noqa: E731
    listed = subprocess.run(["locale", "-a"], capture_output=True, text=True).stdout.split()
    return spelled(name) in {spelled(n) for n in listed}


class WineLab:
    def __init__(self, work_dir, display=None, locale=None, screen="1024x768x24",
                 keep_prefix=False, messages=None, arch="win32", loader="wine"):
        self.work_dir = os.path.abspath(work_dir)
        self.prefix = os.path.join(self.work_dir, "prefix")
        self.stderr_log = os.path.join(self.work_dir, "wine-stderr.log")
        self.keep_prefix = keep_prefix
        self._xvfb = None
        self._processes = []
        if not keep_prefix:
            shutil.rmtree(self.prefix, ignore_errors=True)
        os.makedirs(self.work_dir, exist_ok=True)
        # WINEDEBUG: Wine's errors, not its warnings or traces; what a failed start leaves to read.
        self.env = {**os.environ, "WINEPREFIX": self.prefix, "WINEARCH": arch, "WINEDEBUG": "-all,err+all",
                    "WINEDLLOVERRIDES": "mscoree,mshtml="}  # no Mono or Gecko prompts
        self.wine = [loader]  # the command that runs a Windows program
        if loader != "wine":
            self.env["WINELOADER"] = loader
        self._locale, self._messages = locale, messages
        self._set_locale(locale, messages)
        if display is None:
            self._xvfb, display = start_xvfb(screen)
        self.env["DISPLAY"] = display

    def boot(self, version="winxp", desktop=None):
        """Makes the prefix (or reuses a kept one) and applies the settings.
        desktop="WxH" runs every program in one Wine virtual desktop, whose
        windows have the frames and title bars Wine draws itself."""
        if not os.path.exists(os.path.join(self.prefix, "system.reg")):
            self.run([*self.wine, "wineboot", "-i"], timeout=180)
        self._link_wine_fonts()
        # Times New Roman drawn with Liberation Serif, which has the same
        # metrics, so the window looks under Wine as it does on Windows.
        lines = ["Windows Registry Editor Version 5.00", "",
                 "[HKEY_CURRENT_USER\\Software\\Wine]", f'"Version"="{version}"', "",
                 "[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]", '"Times New Roman"="Liberation Serif"',
                 "", "[HKEY_CURRENT_USER\\Software\\Wine\\Explorer]",
                 '"Desktop"="Default"' if desktop else '"Desktop"=-',
                 "", "[HKEY_CURRENT_USER\\Software\\Wine\\Explorer\\Desktops]",
                 f'"Default"="{desktop}"' if desktop else '"Default"=-']
        self.import_registry(lines)
        # The desktop process wineboot left running keeps its old mode; the
        # next program starts a new one with these settings.
        self.restart_server()

    def _link_wine_fonts(self):
        """Debian keeps Wine's own fonts (Tahoma, and Marlett for the caption
        buttons) where this Wine does not look; show them to the prefix."""
        fonts = os.path.join(self.prefix, "drive_c", "windows", "Fonts")
        for name in sorted(os.listdir(WINE_FONTS)) if os.path.isdir(WINE_FONTS) else []:
            link = os.path.join(fonts, name)
            if name.endswith(".ttf") and not os.path.lexists(link):
                os.symlink(os.path.join(WINE_FONTS, name), link)

    def import_registry(self, lines):
        path = os.path.join(self.work_dir, "settings.reg")
        with open(path, "w", encoding="utf-16") as f:
            f.write("\r\n".join(lines) + "\r\n")
        # On a busy machine Wine now and then fails or hangs a start before
        # the program runs. An import can be made again, so it is, once,
        # and the run says so.
        for attempt in (1, 2):
            try:
                return self.run([*self.wine, "reg", "import", windows_path(path)], timeout=20)
            except (WineFailed, subprocess.TimeoutExpired) as e:
                if attempt == 2:
                    raise
                print(f"  note: the import of {' '.join(lines[2:])} did not run ({e}); once more", flush=True)

    def set_version(self, version, exe="launcher.exe"):
        """The Windows version one program sees (Wine's per-program setting)."""
        self.import_registry([
            "Windows Registry Editor Version 5.00", "",
            f"[HKEY_CURRENT_USER\\Software\\Wine\\AppDefaults\\{exe}]", f'"Version"="{version}"'])

    def map_drive(self, letter, unix_folder):
        link = os.path.join(self.prefix, "dosdevices", letter.lower() + ":")
        if os.path.lexists(link):
            os.remove(link)
        os.symlink(os.path.abspath(unix_folder), link)

    def run(self, command, timeout=60):
        """Runs a command to its end; one that fails says what Wine said."""
        result = subprocess.run(command, env=self.env, timeout=timeout,
                                stdin=subprocess.DEVNULL, capture_output=True)
        if result.returncode != 0:
            raise WineFailed(result.returncode, command, result.stdout, result.stderr)

    def start(self, command, extra_env=None):
        """Starts a Windows program (wine + arguments) and returns its Popen.
        What Wine says goes to the end of stderr_log (said() reads it)."""
        with open(self.stderr_log, "ab") as stderr:
            said_from = stderr.tell()
            process = subprocess.Popen(self.wine + command, env={**self.env, **(extra_env or {})},
                                       cwd=self.work_dir, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                       stderr=stderr)
        process.said_from = said_from
        self._processes.append(process)
        return process

    def said(self, process):
        """What Wine has said since it started process (of every program it runs), on one line."""
        with open(self.stderr_log, "rb") as f:
            f.seek(process.said_from)
            return " ".join(f.read().decode("utf-8", "replace").split())[-2000:]

    def driver(self, driver_exe):
        return Driver(self, driver_exe)

    def _set_locale(self, locale, messages=None):
        """Wine takes the ANSI code page from LC_CTYPE and the interface
        language from LC_MESSAGES: the locale sets both, unless messages
        names one for the interface. None: the caller's own settings."""
        for name in LOCALE_VARIABLES:
            self.env.pop(name, None)
            if name in os.environ and not (messages and name in ("LC_ALL", "LC_CTYPE")):
                self.env[name] = os.environ[name]
        if messages:
            self.env.update(LANG=locale, LC_MESSAGES=messages)
        elif locale:
            self.env["LC_ALL"] = locale

    def _wineserver(self, flag):
        subprocess.run(["wineserver", flag], env=self.env, timeout=60)

    def restart_server(self, locale=None, messages=None):
        """Ends every Wine process; the next one starts a fresh wineserver,
        in the given locale (None: the locale this lab started with)."""
        self._wineserver("-k")
        self._wineserver("-w")
        if locale is None:
            locale, messages = self._locale, self._messages
        self._set_locale(locale, messages)

    def close(self):
        for process in self._processes:
            process.kill()  # nothing, for one that has ended
        try:
            self._wineserver("-k")
        except (OSError, subprocess.TimeoutExpired):
            pass
        if self._xvfb is not None:
            self._xvfb.terminate()
            self._xvfb.wait(timeout=10)
        if not self.keep_prefix:
            shutil.rmtree(self.prefix, ignore_errors=True)


class Driver:
    """Our Win32 test driver, kept running: one command a line in, one JSON
    line back; the protocol is described once, in wine_lab/driver.cpp."""

    def __init__(self, lab, driver_exe):
        self._process = subprocess.Popen(
            [*lab.wine, os.path.abspath(driver_exe)], env=lab.env, cwd=lab.work_dir, stdin=subprocess.PIPE,
            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True, encoding="utf-8")
        # Its first answer: Wine's session is up. A program started while a
        # fresh wineserver is still bringing it up can hang in Wine's start.
        self.state()

    def send(self, command):
        self._process.stdin.write(command + "\n")
        self._process.stdin.flush()
        line = self._process.stdout.readline()
        if not line:
            raise RuntimeError(f"driver ended while running: {command}")
        return json.loads(line)

    def state(self):
        return self.send("state")["state"]

    def wait(self, what, milliseconds=10000):
        return self.send(f"wait {what} {milliseconds}")

    def close(self):
        try:
            self._process.stdin.write("quit\n")
            self._process.stdin.flush()
            self._process.wait(timeout=10)
        except (OSError, subprocess.TimeoutExpired):
            self._process.kill()
