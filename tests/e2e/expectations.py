#!/usr/bin/env python3
"""The end-to-end checks: vestrim-cli against vestrim-devsim over a pseudo-terminal, and on
stored files and drives, compared with the expectations recorded under tests/data.

    python3 expectations.py AREA PATH/vestrim-devsim PATH/vestrim-cli [-k NAME]...

AREA is catalogue, save (saving and verifying), report, send (sending and erasing) or import.
The cases run in a pool of threads (most of a run is the link's waiting); exit status 0 when
every check of every case passes.
"""

from __future__ import annotations

import argparse
import concurrent.futures
import datetime
import json
import os
import re
import shutil
import sys
import time
from pathlib import Path

sys.dont_write_bytecode = True  # keep the source folder clean
# Seals and reports read local civil time: the checks and the programs read the same clock.
os.environ["TZ"] = "Europe/Rome"
time.tzset()
from e2e_runs import (DATA, LANGUAGES, Checks, Device, archive, load, run,  # noqa: E402
                      sha, snapshot, stamp_of, unpack, work_folder)

# Runs at a time: the link's runs mostly wait, the reports and imports keep the processor busy.
WORKERS = {"catalogue": 12, "save": 8, "report": 3, "send": 12, "import": 4}


def ran(c: Checks, runs: list, frames: list = ()) -> None:
    """Every run ended in time and left nothing running; every frame was well-formed."""
    c.equal([f.fields for f in frames if f.bad], [], "badly formed frames")
    for r in runs:
        c.true(r.status is not None, "still running at the deadline", r)
        c.equal(r.leftovers, [], "processes left running", r)


def outcome(c: Checks, r, status) -> None:
    """Status 0, or an error status with a message."""
    if status == 0:
        c.equal(r.status, 0, "exit status", r)
    else:
        c.true(r.status not in (0, None) and r.stderr.strip(), "no error status and message", r)


def long_frames(frames: list, kinds=("speed-switch", "read", "write")) -> list[str]:
    return [str(f) for f in frames if f.kind in kinds]


def untouched(c: Checks, frames: list, memory, device) -> None:
    c.equal(long_frames(frames, ["write"]), [], "writes to the device")
    c.true(memory is not None and memory == device.before, "the device memory changed")


def with_device(p, case: dict, folder: Path, commands: list, before=None, cwd=None):
    """Serves the case's device and runs `vestrim-cli --folder F --port P COMMAND...` for each
    command (calling `before(number)` first); each run with its requests and the program folder
    before and after, the memory the device saved, and the device."""
    program = folder / "program"
    program.mkdir(exist_ok=True)
    device = Device(p.devsim, folder, case.get("state"), case["args"])
    cli, user = p.cli, None
    for below in case.get("read_only", []):  # archive folders the program may not write in
        (program / below).mkdir(parents=True)
        if os.geteuid() == 0:  # root writes anywhere: the run is an ordinary user's
            cli, user = ordinary_copy(p.cli), NOBODY
            os.chmod(folder, 0o777)
            os.chmod(device.pty, 0o666)
            for path in [program, *program.rglob("*")]:
                os.chown(path, NOBODY, NOBODY)
            os.chown(program / below, 0, 0)
        os.chmod(program / below, 0o555)
    done = []
    try:
        for number, command in enumerate(commands):
            if before:
                before(number)
            tree = snapshot(program)
            r = run([cli, "--folder", program, "--port", device.pty, *command],
                    case.get("deadline", 60), cwd or (folder if user else None), user)
            done.append((r, device.frames(), tree, snapshot(program)))
    finally:
        memory = device.stop()
    return done, memory, device


# Catalogue ------------------------------------------------------------------------------------

def rows(shown: list[dict]) -> list[list[str]]:
    return [[row.get(k) for k in ("code", "description", "name", "date", "id")] for row in shown]


def catalogue(p, data):
    def session(case):
        folder = work_folder(case["name"])
        (done, memory, device), settings = with_device(p, case, folder, [["--json", "catalogue"]]), \
            folder / "program" / "Vestrim.ini"
        return *done[0][:2], memory, device, settings.read_text() if settings.exists() else ""

    def check(c, case, result, results):
        r, frames, memory, device, settings = result
        ran(c, [r], frames)
        untouched(c, frames, memory, device)
        c.true(device.pty not in settings, "the port is written into the settings file")
        shown = json.loads(r.stdout) if r.stdout.startswith("{") else None
        outcome(c, r, 0 if "catalogue" in case else "error")
        if "catalogue" in case:
            c.equal({k: rows(shown[k]) if k == "rows" else shown.get(k) for k in case["catalogue"]},
                    case["catalogue"], "the catalogue printed")
        else:
            c.true(shown is None, "a catalogue printed after a refusal", r)
        for text, count in case["messages"].items():
            c.equal(r.stderr.count(text), count, f"times stderr says {text!r}", r)
        if "requests" in case:
            c.equal(long_frames(frames), case["requests"], "requests on the line")
        else:
            c.equal(long_frames(frames, ["read", "write"]), [], "long frames sent")
            c.true(long_frames(frames), "no handshake frame sent")
        if "gaps" in case:
            times = [f.time for f in frames if f.kind == "speed-switch"]
            gaps = [b - a for a, b in zip(times, times[1:])]
            c.true(all(case["gaps"][0] <= g <= case["gaps"][1] for g in gaps),
                   f"handshake frames {gaps} s apart")
        if case.get("paced"):
            times = [f.time for f in frames if f.kind in ("speed-switch", "read")]
            gaps = [b - a for a, b in zip(times[1:], times[2:])]
            c.true(times[1] - times[0] >= 2.0, "reads start sooner than 2 s after the switch")
            c.true(min(gaps) >= 0.027, f"reads {min(gaps)} s apart, below the 30 ms pace")
        if "like" in case:
            plain = results[case["like"]][0]
            c.equal([line for line in r.stderr.splitlines()
                     if line not in plain.stderr.splitlines()], [], "messages beyond a plain read")
            c.true(r.ended - r.started < plain.ended - plain.started + 10,
                   "the reconnection takes more than 10 s")

    return data["cases"], session, check


# Save and verify ------------------------------------------------------------------------------

def sealed(c: Checks, r, want: dict, before: dict, after: dict) -> None:
    """The archive holds the files expected; those not sealed by the run are left as they were;
    the stamps of those it sealed are the time of sealing."""
    c.equal(archive(after), want["tree"], "sealed files: path, length, digest after the stamp")
    for path in set(archive(before)) - set(want["lines"]):
        c.true(after.get(path) == before[path], f"{path} was changed")
    c.stamps(r, after, want["lines"])


def arranged(lines: list[str], order: str) -> list[str]:
    """Verdicts in the order that counts (all, none, or only the first), then the summary."""
    return (lines[:-1] if order == "all" else lines[:order == "first"] + sorted(lines[:-1])) \
        + lines[-1:]


def backdate(folder: Path, moment: datetime.datetime) -> None:
    """Makes every sealed file below `folder` look sealed at `moment`: stamp and time."""
    for path in folder.rglob("*.dtl"):
        path.write_bytes(stamp_of(moment) + path.read_bytes()[12:])
        os.utime(path, (moment.timestamp(), moment.timestamp()))


def save(p, data):
    files = unpack("save/files.tar.xz", work_folder("files"))

    def session(case):
        if "folder" in case:  # verify
            folder = files / case["folder"]
            before = snapshot(folder)
            runs = [run([p.cli, "--folder", work_folder("program"), "verify",
                         *[a.replace("{cwd}", str(folder)) for a in want["args"]]], cwd=folder)
                    for want in case["runs"]]
            return runs, before, snapshot(folder), folder
        folder = work_folder(case["name"])
        if "existing" in case:
            shutil.copytree(files / case["existing"], folder / "program")

        def before(number):  # a later save finds the files sealed long ago
            if number and "backdate" in case:
                backdate(folder / "program", datetime.datetime.fromisoformat(case["backdate"]))

        done, memory, device = with_device(p, case, folder, [["save"]] * len(case["runs"]), before)
        return done, memory, device, run([p.cli, "--folder", work_folder("program"), "verify",
                                          folder / "program"]), folder / "program"

    def check(c, case, result, results):
        if "folder" in case:
            runs, before, after, folder = result
            ran(c, runs)
            for r, want in zip(runs, case["runs"]):
                c.equal(r.status, want["status"], "exit status", r)
                c.true(r.status != 2 or r.stderr.strip(), "no message for a missing path", r)
                if "lines" in want:
                    lines = [line.replace("{cwd}", str(folder)) for line in want["lines"]]
                    c.equal(arranged(r.lines, want["order"]), arranged(lines, want["order"]),
                            "verify's verdicts", r)
            return c.true(after == before, "verify changed the files")
        done, memory, device, verified, program = result
        ran(c, [r for r, *_ in done] + [verified], [f for _, frames, *_ in done for f in frames])
        untouched(c, [f for _, frames, *_ in done for f in frames], memory, device)
        for (r, frames, before, after), want in zip(done, case["runs"]):
            outcome(c, r, want["status"])
            c.equal(r.lines, want["lines"], "sealed paths on stdout", r)
            requests = long_frames(frames)
            c.equal(requests[:len(want["requests"])] if want["prefix"] else requests,
                    want["requests"], "requests on the line")
            sealed(c, r, want, before, after)
            c.true(not want.get("note") or r.stderr.strip(), "no note for the rows skipped", r)
            if "not_saved" in want:  # each record not saved is named with why
                c.equal(len(re.findall(f"^not saved: .*: {want['why']}", r.stderr, re.M)),
                        want["not_saved"], "records named as not saved", r)
        tree = archive(snapshot(program))  # vestrim-cli verify finds every sealed file good
        c.equal(sorted(verified.lines), sorted([f"{program}/{path}: OK" for path in tree]
                                               + [f"{len(tree)} checked, 0 failed"]),
                "verify of the sealed files", verified)

    return data["cases"], session, check


# Reports --------------------------------------------------------------------------------------

def difference(expected: str, r) -> str:
    """Where the report printed differs from the expected one."""
    want, got = expected.split("\n"), r.stdout.split("\n")
    at = next((i for i, (a, b) in enumerate(zip(want, got)) if a != b), min(len(want), len(got)))
    return (f"exit status {r.status}, {len(got)} lines for {len(want)}; line {at + 1}:\n"
            f"  expected {want[at:at + 2]!r}\n  printed  {got[at:at + 2]!r}\n  {r.stderr[-300:]!r}")


def report(p, data):
    files = unpack("report/files.tar.xz", work_folder("files"))
    # A language file names its language inside: each variant of English has a folder of its own.
    programs = {}
    for language in [LANGUAGES / "English.lng", LANGUAGES / "Italiano.lng",
                     DATA / "report" / "Deutsch.lng", *(files / "languages").iterdir()]:
        shipped = language.parent != files / "languages"
        programs[language.stem] = programs["English"] if shipped and programs else \
            work_folder("program")
        shutil.copy(language, programs[language.stem])
    by_file = {}
    for path, *check in data["checks"]:
        by_file.setdefault(path, []).append(check)
    month = {"name": "generated month", "deadline": 240, "args": ["--contents", data["month"]]}

    def show(path: Path, language, separator, full):
        return run([p.cli, "--folder", programs[language], "--language", language, "report", path,
                    *(["--full"] if full else []),
                    *(["--decimal-separator", separator] if separator else [])])

    def session(case):
        if "checks" in case:
            return [(check, show(files / case["name"], *check[:3])) for check in case["checks"]]
        folder = work_folder("month")
        saved = with_device(p, case, folder, [["save"]])[0][0][0]
        paths = {sha(path.read_bytes()[12:]): path for path in (folder / "program").rglob("*.dtl")}
        return saved, paths, [(check, show(paths[digest], *check[:3]))
                              for digest, checks in data["files"].items() if digest in paths
                              for check in checks]

    def check(c, case, result, results):
        if "checks" not in case:
            saved, paths, result = result
            ran(c, [saved])
            c.equal(sorted(paths), sorted(data["files"]), "the month's sealed files", saved)
        for (language, separator, full, want), r in result:
            ran(c, [r])
            view = f"{language}, separator {separator}, {'--full' if full else 'as opened'}"
            if isinstance(want, int):
                c.true(r.status == 0 and r.raw == data["texts"][want].encode(),
                       f"{view}: {difference(data['texts'][want], r)}")
            else:
                c.true(r.status == 1 and r.raw == b"" and any(
                    word in r.stderr for word in data["reasons"][want]),
                       f"{view}: not refused with {want}", r)

    return [{"name": path, "checks": checks} for path, checks in by_file.items()] + [month], \
        session, check


# Send and erase -------------------------------------------------------------------------------

def collapsed(frames: list) -> list[str]:
    """Reads and writes; a badly acknowledged write followed by the same write counts once."""
    done = [f for f in frames if f.kind in ("read", "write")]
    return [str(f) for i, f in enumerate(done)
            if not ("bad-ack" in f.fields.get("fault", "-") and i + 1 < len(done)
                    and str(done[i + 1]) == str(f))]


def send(p, data):
    files = unpack("send/files.tar.xz", work_folder("files"))

    def session(case):
        here = files / case["name"]
        steps = [[a.replace("{files}", str(here)) for a in step["args"]] for step in case["steps"]]
        return *with_device(p, case, work_folder(case["name"]), steps, cwd=here), here

    def check(c, case, result, results):
        done, memory, _, here = result
        ran(c, [r for r, *_ in done], [f for _, frames, *_ in done for f in frames])
        for number, ((r, frames, *_), want) in enumerate(zip(done, case["steps"]), start=1):
            step = f"command {number}: "
            outcome(c, r, want["status"])
            c.equal(r.lines, [line.replace("{files}", str(here)) for line in want["lines"]],
                    step + "files named on stdout", r)
            if "refusal" in want:
                c.true(want["refusal"] in [line.strip() for line in r.stderr.splitlines()],
                       step + f"no refusal {want['refusal']!r}", r)
            writes = [f for f in frames if f.kind == "write"]
            if "writes" in want:
                c.equal(len(writes), want["writes"], step + "writes")
                continue
            c.equal(long_frames(frames)[:1], ["s"], step + "a speed switch first")
            c.equal(collapsed(frames) if want["collapse"] else long_frames(frames, ["read", "write"]),
                    want["requests"], step + "requests on the line")
            c.true("pause" not in want or writes[1].time - writes[0].time >= want["pause"],
                   step + "the command list is written too early after the erase command")
        c.equal(sum("bad-ack" in f.fields.get("fault", "-") for _, frames, *_ in done
                    for f in frames), case["bad_acks"], "acknowledgements spoiled")
        c.equal(memory and [sha(memory[0]), sha(memory[1])], [case["eeprom"], case["flash"]],
                "digests of the EEPROM and the flash the simulator saved")

    return data["cases"], session, check


# Import ---------------------------------------------------------------------------------------

CAPTIONS = ("File code", "Description", "File name", "File date", "File Id")
NOBODY = 65534


def generate(drive: Path, template: bytes, folders: list) -> None:
    """Device files by the thousand: the template with its file number counting up, created in
    an order other than the search's."""
    paths = [f"{folder}/n{i:05d}.moc" for folder, count in folders for i in range(count)]
    for number, path in reversed(list(enumerate(paths))):
        (drive / path).parent.mkdir(parents=True, exist_ok=True)
        (drive / path).write_bytes(template[:59] + number.to_bytes(3, "little") + template[62:])


def listed_rows(stderr: str) -> list[list[str]]:
    """The rows under the caption line on stderr: each cell starts where its caption starts and
    every cell but the last is padded with at least two blanks."""
    lines = stderr.splitlines()
    headers = [i for i, line in enumerate(lines) if line.startswith(CAPTIONS[0])]
    if len(headers) != 1:
        return []
    starts = [lines[headers[0]].find(caption) for caption in CAPTIONS]
    found = []
    for line in lines[headers[0] + 1:]:
        if line == "(no files)" or re.match(r"\d+ device file\(s\) found", line):
            break
        cells = [line[a:b] for a, b in zip(starts, starts[1:] + [len(line)])]
        if any(not cell.endswith("  ") for cell in cells[:-1]) or -1 in starts:
            return found + [["not a row:", line]]
        found.append([cell.rstrip(" ") for cell in cells])
    return found


def same(c: Checks, actual, expected, what: str, detail="") -> None:
    """Compares with an expectation given whole or as the digest of a long list."""
    if isinstance(expected, dict) and "sha256" in expected:
        actual, expected = [len(actual), sha(json.dumps(actual, sort_keys=True).encode())], \
            [expected["count"], expected["sha256"]]
    c.equal(actual, expected, what, detail)


def ordinary_copy(cli: str) -> Path:
    """vestrim-cli and the language files in a folder an ordinary user can reach."""
    folder = work_folder("programs")
    for path in [Path(cli), *Path(cli).parent.glob("*.lng")]:
        shutil.copy2(path, folder)
    for path in [folder, *folder.iterdir()]:
        os.chmod(path, 0o755)
    return folder / Path(cli).name


def import_(p, data):
    def session(case):
        folder = work_folder(case["name"], in_memory="generate" in case)
        if "runs" not in case:
            return run([p.cli, "--folder", folder, "drives"], case["deadline"], cwd=folder)
        drive, program = folder / "drive", folder / "program"
        if "generate" in case:
            generate(drive, load(case["generate"]["template"]), case["generate"]["folders"])
        for name in ("drive", "program"):  # pipes and all, as the archive has them
            if name in case:
                unpack("import/files.tar.xz", folder / "in", case[name]).rename(folder / name)
        program.mkdir(exist_ok=True)
        cli, user = p.cli, NOBODY if case.get("other_user") and os.geteuid() == 0 else None
        if user is not None:  # files it may not read stay unreadable; the rest are open to it
            cli = ordinary_copy(p.cli)
            for path in [folder, drive, *[path for path in drive.rglob("*") if path.is_dir()]]:
                os.chmod(path, 0o777)
            for path in [program, *program.rglob("*")]:
                os.chown(path, user, user)
        names = (drive.name, program.name) if case.get("relative") else (drive, program)
        argv = [cli, "--folder", names[1], *(["--yes"] if case.get("confirm") else []),
                *(["--json"] if case.get("json") else []), "import", names[0],
                *(["--erase"] if case.get("erase") else [])]
        done = []
        for _ in case["runs"]:
            before, tree = snapshot(drive), snapshot(program)
            r = run(argv, case["deadline"], folder, user)
            done.append((r, before, snapshot(drive), tree, snapshot(program)))
        return done, drive

    def check(c, case, result, results):
        if "runs" not in case:
            return ran(c, [result]) or c.equal(result.status, 0, "exit status", result)
        done, drive = result
        for (r, before, after, tree, tree_after), want in zip(done, case["runs"]):
            ran(c, [r])
            outcome(c, r, want["status"])
            document = json.loads(r.stdout) if "json" in want else {}
            same(c, document.get("sealed", r.lines), want["lines"], "sealed paths on stdout", r)
            same(c, listed_rows(r.stderr), want["rows"], "the rows listed on stderr", r)
            if "json" in want:
                shown = {k: document.get(k) for k in want["json"]}
                shown.update(rows=rows(shown["rows"]), skipped=len(shown["skipped"]),
                             problems=len(shown["problems"]))
                c.equal([document.get("root"), shown], [str(drive), want["json"]], "the document")
            for path in want["reported"]:  # too short or unreadable
                c.true(f"{drive}/{path}: " in r.stderr, f"{path} is not named on stderr", r)
            if isinstance(want["found"], list):
                c.equal([path for path in set(before) - set(want["found"])
                         if f"{drive}/{path}: " in r.stderr], [], "other things named", r)
            if "sha256" in want["tree"]:
                same(c, archive(tree_after), want["tree"], "sealed files")
            else:
                sealed(c, r, want, tree, tree_after)
            same(c, sorted(set(before) - set(after)), want["deleted"], "deleted from the drive")
            c.equal(sorted(set(after) - set(before)), [], "added to the drive")
            c.equal([path for path in after if path in before and after[path] != before[path]],
                    [], "changed on the drive")
            if case.get("erase") and case.get("confirm"):
                c.true("All files deleted" in r.stderr, "no All files deleted", r)
            else:
                c.true(("Are you sure?" in r.stderr) == bool(case.get("erase"))
                       and "All files deleted" not in r.stderr, "an erase not asked for", r)

    return data["cases"], session, check


AREAS = {"catalogue": catalogue, "save": save, "report": report, "send": send, "import": import_}


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("area", choices=sorted(AREAS))
    parser.add_argument("devsim")
    parser.add_argument("cli")
    parser.add_argument("-k", dest="names", action="append", help="only cases naming NAME")
    arguments = parser.parse_args()
    arguments.devsim, arguments.cli = map(os.path.abspath, (arguments.devsim, arguments.cli))
    data = load(next(f"{arguments.area}/{name}" for name in ("expected.json", "expected.json.xz")
                     if (DATA / arguments.area / name).exists()))
    cases, session, check = AREAS[arguments.area](arguments, data)
    chosen = [case for case in cases if not arguments.names
              or any(n in case["name"] for n in arguments.names)]
    needed = {case.get("like") for case in chosen} - {None}
    chosen += [case for case in cases if case["name"] in needed and case not in chosen]
    chosen.sort(key=lambda case: -case.get("deadline", 60))
    started = time.monotonic()

    def timed(case):
        began = time.monotonic()
        try:
            return session(case), time.monotonic() - began
        except Exception as error:  # reported as the case's failure
            return error, time.monotonic() - began

    with concurrent.futures.ThreadPoolExecutor(WORKERS[arguments.area]) as pool:
        timings = dict(zip([case["name"] for case in chosen], pool.map(timed, chosen)))
    results = {name: result for name, (result, _) in timings.items()}
    failed = 0
    for case in sorted(chosen, key=lambda case: case["name"]):
        c = Checks()
        try:
            if isinstance(results[case["name"]], Exception):
                raise results[case["name"]]
            check(c, case, results[case["name"]], results)
        except Exception as error:  # a run that went wrong in a way no check foresaw
            c.failures.append(f"the case could not run or be checked: {error!r}")
        failed += bool(c.failures)
        print(f"{'FAIL' if c.failures else 'ok  '} {case['name']} ({timings[case['name']][1]:.1f} s)")
        for failure in c.failures:
            print("     " + failure.replace("\n", "\n     "))
    print(f"{len(chosen) - failed} of {len(chosen)} cases passed in "
          f"{time.monotonic() - started:.1f} s")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
