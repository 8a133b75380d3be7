#!/usr/bin/env python3
"""The two Windows flavours of Quorvy and which of them this machine runs under Wine.

"32" is Quorvy.exe as a 32-bit program (PE32), "64" the same sources built for x86-64 (PE32+),
for systems that run no 32-bit code. Each has its build folder, its toolchain file and its Wine
loader. Debian's wine wrapper prefers the 32-bit loader whenever wine32 is installed, so the
64-bit flavour names the 64-bit loader itself, and WINELOADER tells Wine's own helpers to use it.

Which flavours run here is found out by starting each loader once: on a machine without 32-bit
user mode the 32-bit one fails with "Exec format error". QUORVY_WINDOWS_FLAVOUR ("32", "64" or
"32 64") restricts the flavours, so that the 64-bit-only path can be proven on any machine; it
is the switch with which the package's quorvy launcher chooses its program, and the launcher
chooses its loader and sets up Wine as this module does (tests/docs/test_packages.py compares).

From a shell:
  windows_flavours.py run        the flavours that run here, one line, e.g. "32 64"
  windows_flavours.py report     one line per flavour: whether it runs here, and if not, why
  windows_flavours.py choose     the flavour to start: 32 where it runs, else 64; where neither
                                 runs, one sentence on why and what to install, and status 1
  windows_flavours.py field F N  field F (folder, toolchain, label) of flavour N
"""
import os
import shutil
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
LOADER_32 = "/usr/lib/wine/wine"
LOADER_64 = "/usr/lib/wine/wine64"


# Wine draws the caption buttons with the Marlett font. Debian's Wine ships it in its data folder
# but does not put it into a new prefix, where the buttons then show as the letters "0 1 r";
# Wine does load every font in the prefix's Fonts folder.
MARLETT = "/usr/share/wine/fonts/marlett.ttf"


def link_caption_font(prefix):
    fonts = os.path.join(prefix, "drive_c", "windows", "Fonts")
    link = os.path.join(fonts, "marlett.ttf")
    if os.path.isfile(MARLETT) and os.path.isdir(fonts) and not os.path.lexists(link):
        os.symlink(MARLETT, link)


class Flavour:
    def __init__(self, name, machine, toolchain, loader, wine):
        self.name = name
        self.machine = machine          # the PE header's machine field
        self.label = "win" + name       # folder names, zip names
        self.folder = os.path.join(ROOT, "build", self.label)
        self.toolchain = os.path.join(ROOT, "cmake", toolchain)
        self.loader = loader            # the ELF program that runs it
        self.wine = wine                # the command that starts a Windows program with it

    def env(self, prefix, **extra):
        """Environment for this flavour's Wine in that prefix: quiet and offline (no offer to
        install Mono or Gecko), and its loader for every process Wine starts."""
        env = dict(os.environ, WINEPREFIX=prefix, WINEDEBUG="-all",
                   WINEDLLOVERRIDES="mscoree,mshtml=", **extra)
        if self.name == "64":
            env["WINELOADER"] = self.loader
        return env

    def command(self, *args):
        """The command line that runs a Windows program (or Wine's own, such as wineboot)."""
        return [self.wine] + list(args)

    def prepare_prefix(self, env):
        """Makes the Wine prefix env["WINEPREFIX"] when it has none yet, and gives it the caption
        font. None when it is ready; else Wine's own words, after ending what the attempt
        started and removing the prefix it had begun, so that the next attempt starts afresh."""
        prefix = env["WINEPREFIX"]
        if os.path.isfile(os.path.join(prefix, "system.reg")):
            link_caption_font(prefix)
            return None
        made = not os.path.exists(prefix)
        boot = subprocess.run(self.command("wineboot", "-i"), env=env, stdout=subprocess.PIPE,
                              stderr=subprocess.STDOUT, text=True, errors="replace")
        # -w: the prefix is complete once its registry is saved; -k: end what the attempt left.
        subprocess.run(["wineserver", "-w" if boot.returncode == 0 else "-k"], env=env,
                       stderr=subprocess.DEVNULL)
        if boot.returncode == 0:
            link_caption_font(prefix)
            return None
        if made:
            shutil.rmtree(prefix, ignore_errors=True)
        said = boot.stdout.strip().splitlines()[-3:] or ["(no output)"]
        return "wineboot -i (%s-bit) ended with status %d: %s" % (
            self.name, boot.returncode, " / ".join(said))

    def why_not_runnable(self):
        """None when this flavour's loader starts here, else the reason in one sentence."""
        if not os.path.exists(self.loader):
            package = "wine32:i386" if self.name == "32" else "wine64"
            return "its Wine loader %s is not installed (package %s)" % (self.loader, package)
        try:
            run = subprocess.run([self.loader, "--version"], stdout=subprocess.PIPE,
                                 stderr=subprocess.STDOUT, text=True, timeout=60)
        except OSError as error:
            if self.name == "32":
                return "this machine runs no 32-bit code (%s: %s)" % (self.loader, error.strerror)
            return "%s does not start: %s" % (self.loader, error.strerror)
        except subprocess.TimeoutExpired:
            return "%s --version did not answer within 60 s" % self.loader
        if run.returncode != 0:
            return "%s --version failed: %s" % (self.loader, run.stdout.strip()[-200:])
        return None


FLAVOURS = {
    "32": Flavour("32", 0x14C, "mingw-i686.cmake", LOADER_32, "wine"),
    "64": Flavour("64", 0x8664, "mingw-x86_64.cmake", LOADER_64, LOADER_64),
}


def chosen():
    """The flavours asked for: QUORVY_WINDOWS_FLAVOUR, else (unset or empty, as the launcher
    takes it) both."""
    names = (os.environ.get("QUORVY_WINDOWS_FLAVOUR") or "32 64").replace(",", " ").split()
    unknown = [n for n in names if n not in FLAVOURS]
    if unknown or not names:
        raise SystemExit("QUORVY_WINDOWS_FLAVOUR: %r is not a list of 32 and 64"
                         % os.environ.get("QUORVY_WINDOWS_FLAVOUR"))
    return [FLAVOURS[n] for n in sorted(set(names))]


def survey():
    """[(flavour, None or the reason it does not run here)] for the flavours asked for, and for
    the others with the reason that they were left out by the switch."""
    asked = chosen()
    result = []
    for flavour in FLAVOURS.values():
        if flavour in asked:
            result.append((flavour, flavour.why_not_runnable()))
        else:
            result.append((flavour, "left out by QUORVY_WINDOWS_FLAVOUR=%s"
                           % os.environ["QUORVY_WINDOWS_FLAVOUR"]))
    return result


def runnable():
    return [flavour for flavour, why in survey() if why is None]


def cannot_start_sentence():
    reasons = "; ".join("the %s-bit program: %s" % (f.name, why) for f, why in survey())
    return ("Wine cannot start Quorvy on this machine (%s). Install Wine's 64-bit loader "
            "(apt-get install wine64), or on a system that runs 32-bit code the 32-bit one "
            "(dpkg --add-architecture i386, then apt-get install wine32:i386)." % reasons)


def of_program(path):
    """The flavour of a Windows program file, read from its PE header."""
    with open(path, "rb") as f:
        head = f.read(4096)
    pe = int.from_bytes(head[0x3C:0x40], "little")
    machine = int.from_bytes(head[pe + 4:pe + 6], "little")
    for flavour in FLAVOURS.values():
        if flavour.machine == machine:
            return flavour
    raise ValueError("%s is not a Quorvy program for Windows (machine 0x%x)" % (path, machine))


def main(argv):
    if argv[1:] == ["run"]:
        print(" ".join(f.name for f in runnable()))
    elif argv[1:] == ["report"]:
        for flavour, why in survey():
            state = "runs here" if why is None else "not run: " + why
            print("%s-bit Quorvy.exe (%s): %s" % (flavour.name, flavour.label, state))
    elif argv[1:] == ["choose"]:
        flavours = runnable()
        if not flavours:
            sys.stderr.write(cannot_start_sentence() + "\n")
            return 1
        print(flavours[0].name)
    elif len(argv) == 4 and argv[1] == "field" and argv[3] in FLAVOURS:
        print(getattr(FLAVOURS[argv[3]], argv[2]))
    else:
        sys.stderr.write(__doc__)
        return 2
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
