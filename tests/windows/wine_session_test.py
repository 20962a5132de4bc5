"""vestrim-cli.exe under Wine against vestrim-devsim, through a COM port that the test's own
Wine prefix maps to the simulator's pseudo-terminal; and the same session of the Linux
vestrim-cli against a second simulator of the same contents. Catalogue, save and seal, erase,
send, catalogue: both must print the same catalogues and leave the same sealed files, byte for
byte after the 12-byte stamp (the time of sealing), in a program folder with accented names.

usage: wine_session_test.py DEVSIM LINUX_CLI WINDOWS_CLI WINE WORK_FOLDER
"""

from __future__ import annotations

import json
import os
import re
import shutil
import subprocess
import sys
import time
from pathlib import Path

CONTENTS = "demo:cycles=6:reports=1"
PORT = "COM5"  # never COM1: a fresh prefix maps it to /dev/ttyS0
FOLDER = "Clínica Año"
STAMP = re.compile(rb"^[0-9]{12}$")


def fail(message: str) -> None:
    print(f"FAILED: {message}", file=sys.stderr)
    sys.exit(1)


def start_devsim(devsim: str, work: Path, name: str) -> tuple[subprocess.Popen, str]:
    process = subprocess.Popen([devsim, "--contents", CONTENTS, "--state", str(work / name)],
                               stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    port = process.stdout.readline().strip()
    if not port.startswith("/dev/"):
        fail(f"vestrim-devsim printed no pseudo-terminal: {port!r}")
    return process, port


def run(argv: list[str], env: dict | None = None, deadline: float = 300) -> str:
    done = subprocess.run(argv, capture_output=True, env=env, timeout=deadline)
    if done.returncode != 0:
        fail(f"{' '.join(argv)} exited {done.returncode}:\n"
             f"{done.stdout.decode(errors='replace')}{done.stderr.decode(errors='replace')}")
    return done.stdout.decode("utf-8")


def sealed_files(folder: Path) -> dict[str, bytes]:
    return {str(path.relative_to(folder)): path.read_bytes() for path in folder.rglob("*.dtl")}


def main() -> None:
    devsim, linux_cli, windows_cli, wine, work_arg = sys.argv[1:6]
    work = Path(work_arg)
    shutil.rmtree(work, ignore_errors=True)
    work.mkdir(parents=True)
    prefix = work / "prefix"
    env = dict(os.environ, WINEPREFIX=str(prefix), WINEDEBUG="-all", TZ="Europe/Rome",
               LC_ALL="C.UTF-8")
    wineserver = shutil.which("wineserver") or "/usr/lib/wine/wineserver"
    started = time.monotonic()
    run([wine, "wineboot", "--init"], env)

    windows_sim, windows_pty = start_devsim(devsim, work, "windows.state")
    linux_sim, linux_pty = start_devsim(devsim, work, "linux.state")
    try:
        # The mapping takes effect once the prefix's server has stopped.
        run([wine, "reg", "add", r"HKLM\Software\Wine\Ports", "/v", PORT, "/d", windows_pty,
             "/f"], env)
        subprocess.run([wineserver, "-k"], env=env, timeout=60)
        subprocess.run([wineserver, "-w"], env=env, timeout=60)

        drive_c = prefix / "drive_c"
        windows_folder = drive_c / FOLDER / "program"
        linux_folder = work / FOLDER / "program"

        def windows(arguments: list[str]) -> str:
            return run([wine, windows_cli] + arguments, env)

        def linux(arguments: list[str]) -> str:
            return run([linux_cli] + arguments, dict(env, QT_QPA_PLATFORM="offscreen"))

        results = {}
        for name, cli, folder_arg, port in (
                ("windows", windows, f"C:\\{FOLDER}\\program", PORT),
                ("linux", linux, str(linux_folder), linux_pty)):
            common = ["--folder", folder_arg, "--port", port, "--yes"]
            first = json.loads(cli(common + ["--json", "catalogue"]))["rows"]
            cli(common + ["save"])
            cli(common + ["erase", "--force"])  # the technical report has no date to seal
            erased = json.loads(cli(common + ["--json", "catalogue"]))["rows"]
            results[name] = [first, erased]

        windows_files = sealed_files(windows_folder)
        linux_files = sealed_files(linux_folder)
        if not linux_files:
            fail("the Linux session sealed no file")
        if sorted(windows_files) != sorted(linux_files):
            fail(f"different files sealed: {sorted(windows_files)} against {sorted(linux_files)}")
        for path, data in windows_files.items():
            if not STAMP.match(data[:12]):
                fail(f"{path}: {data[:12]!r} is no seal stamp")
            if data[12:] != linux_files[path][12:]:
                fail(f"{path}: the Windows program sealed other bytes than the Linux one")

        # One sealed file back into each device; both catalogues then show what it wrote.
        first = sorted(windows_files)[0]
        windows(["--folder", f"C:\\{FOLDER}\\program", "--port", PORT, "--yes", "send",
                 f"C:\\{FOLDER}\\program\\" + first.replace("/", "\\")])
        linux(["--folder", str(linux_folder), "--port", linux_pty, "--yes", "send",
               str(linux_folder / first)])
        for name, cli, folder_arg, port in (
                ("windows", windows, f"C:\\{FOLDER}\\program", PORT),
                ("linux", linux, str(linux_folder), linux_pty)):
            results[name].append(json.loads(
                cli(["--folder", folder_arg, "--port", port, "--json", "catalogue"]))["rows"])

        if results["windows"] != results["linux"]:
            fail("the catalogues differ:\n" + json.dumps(results, indent=1, ensure_ascii=False))
        first_rows, erased_rows, sent_rows = results["windows"]
        if len(erased_rows) >= len(first_rows) or sent_rows == erased_rows:
            fail("erase or send did not reach the device:\n" + json.dumps(results["windows"]))
        print(f"{len(windows_files)} sealed files byte for byte alike after the stamp; "
              f"{len(first_rows)} catalogue rows, {len(erased_rows)} after the erase, "
              f"{len(sent_rows)} after the send; "
              f"{time.monotonic() - started:.0f} s")
    finally:
        for process in (windows_sim, linux_sim):
            process.terminate()
            process.wait(timeout=10)
        subprocess.run([wineserver, "-k"], env=env, timeout=60)


if __name__ == "__main__":
    main()
