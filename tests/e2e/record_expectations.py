#!/usr/bin/env python3
"""Writes, once, what the independent models expect into tests/data, with the inputs they were
worked out for: python3 record_expectations.py PATH/vestrim-devsim PATH/vestrim-cli AREA...

Only the models' own results are recorded; where an input comes from the programs (the
simulator's generated month, saved by vestrim-cli), the models work out the expectation from it.
"""

from __future__ import annotations

import dataclasses
import io
import json
import lzma
import os
import sys
import tarfile
import time
from pathlib import Path

sys.dont_write_bytecode = True
HERE = Path(__file__).resolve().parent
for sub in ("catalogue_oracle", "save_oracle", "report_oracle", "send_oracle", "import_oracle", ""):
    sys.path.append(str(HERE / sub))
os.environ["TZ"] = "Europe/Rome"
time.tzset()

DATA = Path(os.environ.get("RECORD_TO", HERE.parent / "data"))  # another folder: to compare


def dump(value, indent: int = 0) -> str:
    """JSON with anything short on one line."""
    flat = json.dumps(value, ensure_ascii=False)
    if len(flat) + indent <= 100 or not isinstance(value, (list, dict)) or not value:
        return flat
    pad = " " * (indent + 1)
    if isinstance(value, list) and all(not isinstance(v, (list, dict)) for v in value):
        lines, line = [], ""
        for item in (json.dumps(v, ensure_ascii=False) for v in value):
            if line and len(line) + len(item) + indent > 98:
                lines.append(line)
                line = ""
            line += (", " if line else "") + item
        return "[\n" + ",\n".join(pad + l for l in lines + [line]) + "\n" + " " * indent + "]"
    if isinstance(value, list):
        return "[\n" + ",\n".join(pad + dump(v, indent + 1) for v in value) + "\n" + " " * indent + "]"
    return "{\n" + ",\n".join(f"{pad}{json.dumps(k, ensure_ascii=False)}: {dump(v, indent + 1)}"
                              for k, v in value.items()) + "\n" + " " * indent + "}"


def write_json(name: str, value) -> None:
    path = DATA / name
    path.parent.mkdir(parents=True, exist_ok=True)
    text = dump(value) + "\n"
    if name.endswith(".xz"):
        path.write_bytes(lzma.compress(text.encode(), preset=9 | lzma.PRESET_EXTREME))
    else:
        path.write_text(text)


def write_xz(name: str, data: bytes) -> str:
    path = DATA / name
    path.parent.mkdir(parents=True, exist_ok=True)
    path.write_bytes(lzma.compress(data, preset=9 | lzma.PRESET_EXTREME))
    return name


def write_tar(name: str, root: Path) -> str:
    """root's contents, times, modes, links and pipes as they are, in a sorted .tar.xz."""
    buffer = io.BytesIO()
    with tarfile.open(fileobj=buffer, mode="w", format=tarfile.PAX_FORMAT) as archive:
        for path in sorted(root.rglob("*")):
            info = archive.gettarinfo(str(path), path.relative_to(root).as_posix())
            info.uid = info.gid = 0
            info.uname = info.gname = ""
            if info.isreg():
                with open(path, "rb") as f:
                    archive.addfile(info, f)
            else:
                archive.addfile(info)
    return write_xz(name, buffer.getvalue())


# Catalogue ------------------------------------------------------------------------------------

def record_catalogue(programs) -> None:
    import cases as case_list
    import oracle
    from device_image import encode_state

    states: dict[bytes, str] = {}
    out = []
    for name, case in case_list.all_cases().items():
        state = encode_state(case.image)
        if state not in states:
            states[state] = write_xz(f"catalogue/{name}.state.xz", state)
        args = []
        if case.image.reported_size is not None:
            args += ["--report-memory-size", str(case.image.reported_size)]
        for fault in case.faults:
            args += ["--fault", fault]
        entry = {"name": name, "state": states[state], "args": args, "deadline": case.deadline}
        question = {oracle.OVERFLOW_QUESTION[0]: 0, oracle.OVERFLOW_QUESTION[1]: 0}
        refused = any(f.endswith("handshake:count=all") for f in case.faults)
        if refused:
            entry["messages"] = {}
            if name == "silent_handshake":
                entry["requests"] = ["s"] * 3
                entry["gaps"] = [2.0, 5.0]
        else:
            outcome = oracle.expected(case.image.flash(), case.image.memory_size, case.drop_at)
            entry["requests"] = ["s"] * case.handshake_frames + [
                "s" if r is None else f"r {r.area:02x} {r.address} {r.length}"
                for r in outcome.requests]
            if outcome.kind == "overflow":
                entry["messages"] = {oracle.OVERFLOW_QUESTION[0]: 1,
                                     oracle.OVERFLOW_QUESTION[1]: 1}
            else:
                catalogue = dict(outcome.catalogue)
                catalogue["rows"] = [[row[k] for k in ("code", "description", "name", "date", "id")]
                                     for row in catalogue["rows"]]
                entry["catalogue"] = catalogue
                corrupt = int(outcome.kind == "corrupt")
                entry["messages"] = {oracle.CORRUPT_MESSAGE[0]: corrupt,
                                     oracle.CORRUPT_MESSAGE[1]: corrupt, **question}
        if name == "rows_and_stamps":
            entry["paced"] = True
        if case.drop_at is not None or case.handshake_frames > 1:
            entry["like"] = "rows_and_stamps"
        out.append(entry)
    write_json("catalogue/expected.json", {"cases": out})


# Save and verify ------------------------------------------------------------------------------

def tail_digest(tail: bytes) -> list:
    import hashlib
    return [len(tail), hashlib.sha256(tail).hexdigest()]


def save_run(outcome, note: bool = False) -> dict:
    return {"status": 0 if outcome.complete else "error",
            "lines": [s.path for s in outcome.saved],
            "requests": ["s"] + [f"r {r.area:02x} {r.address} {r.length}" for r in outcome.requests],
            "prefix": not outcome.complete,
            "tree": {path: tail_digest(tail) for path, tail in sorted(outcome.files.items())},
            **({"note": True} if note else {})}


def write_file(path: Path, data: bytes, moment) -> None:
    path.parent.mkdir(parents=True, exist_ok=True)
    path.write_bytes(data)
    stamp = moment if isinstance(moment, (int, float)) else moment.timestamp()
    os.utime(path, (stamp, stamp))


def record_save(programs) -> None:
    import datetime
    import tempfile

    import import_cases
    import save_cases
    import save_model
    import test_save
    import test_verify as tv
    from device_image import encode_state

    messages = save_model.load_messages()
    files = Path(tempfile.mkdtemp(prefix="record-save-"))
    cases = []
    for name, case in save_cases.all_cases().items():
        entry = {"name": name, "state": write_xz(f"save/{name}.state.xz", encode_state(case.image)),
                 "args": [a for f in case.faults for a in ("--fault", f)],
                 "deadline": case.deadline}
        if case.existing:
            entry["existing"] = f"{name}/"
            for path, (data, mtime) in case.existing.items():
                write_file(files / name / path, data, mtime)
        note = name in ("rows_and_records", "nothing_dated")
        first = case.expected(messages)
        runs = [save_run(first, note)]
        if case.runs == 2:
            runs.append(save_run(case.expected(messages, test_save.model_tree(first)), note))
            entry["backdate"] = case.earlier_save_at.isoformat(sep=" ")
        entry["runs"] = runs
        cases.append(entry)
    cross = import_cases.cross_check_case()
    image = import_cases.cross_check_image(cross)
    cases.append({"name": "cross_check_upload",
                  "state": write_xz("save/cross_check_upload.state.xz", encode_state(image)),
                  "args": [], "deadline": 120.0,
                  "runs": [save_run(save_model.expected_save(image.flash(), image.memory_size,
                                                             messages))]})

    # Verify: the groups of stored files the verify check lays out, each with its verdicts.
    W, S, SECOND, HOUR = tv.WINTER, tv.SUMMER, tv.SECOND, tv.HOUR
    E, sealed, changed, dev, tr = tv.Entry, tv.sealed, tv.changed, tv.device_bytes, tv.technical_report

    def group(name: str, entries, order: str = "all") -> dict:
        folder = files / "verify" / name
        for e in entries:
            write_file(folder / "files" / e.name, e.data, e.modified)
            got = tv.model_verdict(folder / "files" / e.name)
            assert got == e.want, (name, e.name, got, e.want)
        results = [e.want for e in entries]
        return {"name": f"verify_{name}", "folder": f"verify/{name}", "runs": [{
            "args": [f"files/{e.name}" for e in entries],
            "lines": [f"files/{e.name}: {e.want}" for e in entries] + [tv.summary(results)],
            "status": 1 if any(map(save_model.failed, results)) else 0, "order": order}]}

    tolerance = tv.TheSealAllowsForTheWriteAndForClockShifts()
    verify = [group("winter", tolerance.entries(W, "winter")),
              group("summer", tolerance.entries(S, "summer"))]
    captured = {}

    class Capture:
        def verify_entries(self, entries, user=None):
            captured["entries"] = entries

        def assertEqual(self, a, b):
            assert a == b

        def assertNotEqual(self, a, b):
            assert a != b

    def capture(cls, method):
        captured.clear()
        getattr(cls, method)(Capture())
        return captured["entries"]

    for name, cls, method in [
            ("hour_and_midnight", tv.TheSealAllowsForTheWriteAndForClockShifts,
             "test_the_tolerance_stops_at_the_hour_and_at_midnight"),
            ("stamp_digits", tv.TheSealAllowsForTheWriteAndForClockShifts,
             "test_a_changed_stamp_digit_breaks_the_seal"),
            ("every_byte", tv.TheChecksumCoversEveryByteBetweenItsHalves,
             "test_a_change_anywhere_from_offset_13_to_the_byte_before_last_is_caught"),
            ("halves", tv.TheChecksumCoversEveryByteBetweenItsHalves,
             "test_the_stored_halves_must_match_the_sum_and_only_a_zero_sum_is_refused"),
            ("technical_reports", tv.TechnicalReportsSkipTheChecksum,
             "test_tr_at_offsets_44_or_45_makes_a_damaged_checksum_irrelevant"),
            ("too_short", tv.FilesTooShortOrUnreadable,
             "test_fewer_than_90_bytes_is_too_short_whatever_they_hold")]:
        verify.append(group(name, capture(cls, method)))

    def tree_group(name: str, entries: list, others: list, runs: list) -> dict:
        folder = files / "verify" / name
        for e in entries + others:
            write_file(folder / e.name, e.data, e.modified)
        for e in entries:
            assert tv.model_verdict(folder / e.name) == e.want, (name, e.name)
        return {"name": f"verify_{name}", "folder": f"verify/{name}", "runs": runs}

    # A name whose file is gone cannot be read by anyone.
    unreadable = files / "verify" / "unreadable"
    write_file(unreadable / "files" / "readable.dtl", save_model.seal(dev(seed=1), W), W)
    os.symlink("../gone.dtl", unreadable / "files" / "locked.dtl")
    verify.append({"name": "verify_unreadable", "folder": "verify/unreadable", "runs": [
        {"args": ["files"], "lines": ["files/locked.dtl: unreadable", "files/readable.dtl: OK",
                                      tv.summary(["unreadable", "OK"])],
         "status": 1, "order": "none"}]})

    good = save_model.seal(dev(seed=1), W)
    searched = [E("tree/2012/03/a.dtl", good, W, tv.OK),
                E("tree/2012/04/b.dtl", changed(good, 100, good[100] ^ 1), W, tv.BAD_SUM),
                E("tree/deep/er/est/c.dtl", save_model.seal(tr(), W), W, tv.TECHNICAL),
                E("tree/2012/03/d.dtl", good, W + 10 * SECOND, tv.BAD_SEAL)]
    others = [E("tree/" + n, good, W, "") for n in ("notes.txt", "2012/03/a.dtl.bak",
                                                     "2012/03/x.dtlx", "2012/03/dtl", "Vestrim.ini")]
    results = [e.want for e in searched]
    verify.append(tree_group("search", searched, others, [
        {"args": ["tree"], "lines": [f"{e.name}: {e.want}" for e in searched] + [tv.summary(results)],
         "status": 1, "order": "none"}]))
    good2 = save_model.seal(dev(seed=2), W)
    together = [E("single.dtl", good2, W, tv.OK), E("tree/2012/03/a.dtl", good2, W, tv.OK),
                E("tree/2012/03/b.dtl", good2, W - HOUR, tv.OK)]
    verify.append(tree_group("together", together, [], [
        {"args": ["{cwd}/single.dtl", "tree"],
         "lines": ["{cwd}/single.dtl: OK", "tree/2012/03/a.dtl: OK", "tree/2012/03/b.dtl: OK",
                   tv.summary([tv.OK] * 3)], "status": 0, "order": "first"}]))
    inner = [E("tree/archive.dtl/inner.dtl", save_model.seal(dev(seed=3), W), W, tv.OK)]
    verify.append(tree_group("folder_named_dtl", inner, [], [
        {"args": ["tree"], "lines": ["tree/archive.dtl/inner.dtl: OK", tv.summary([tv.OK])],
         "status": 0, "order": "all"}]))
    (files / "verify" / "empty" / "empty" / "2012").mkdir(parents=True)
    verify.append({"name": "verify_empty_folder", "folder": "verify/empty", "runs": [
        {"args": ["empty"], "lines": [tv.summary([])], "status": 0, "order": "all"}]})
    missing = [E("good.dtl", save_model.seal(dev(seed=4), W), W, tv.OK)]
    verify.append(tree_group("missing", missing, [], [
        {"args": paths, "status": 2} for paths in (["good.dtl", "missing.dtl"], ["missing.dtl"],
                                                   ["nowhere/"])]))
    write_tar("save/files.tar.xz", files)
    write_json("save/expected.json", {"cases": cases + verify})

# Reports --------------------------------------------------------------------------------------

def record_report(programs) -> None:
    import hashlib
    import tempfile

    import report_cases as rc
    import report_model as m
    import report_runs
    import stored_files as sf
    import test_report as tr

    files = Path(tempfile.mkdtemp(prefix="record-report-"))
    cases = rc.all_cases()
    for case in cases.values():
        if case.data is not None:
            sf.write(files / "cases" / f"{case.name}.dtl", case.data, case.modified)
    (files / "languages").mkdir()
    for variant in rc.variants():
        (files / "languages" / f"{variant.name}.lng").write_bytes(variant.data())
    languages = {name: m.load_language(rc.language_path(name)) for name in rc.ALL_LANGUAGES}
    languages.update({v.name: m.parse_language(v.name, v.data()) for v in rc.variants()})
    texts: dict[str, int] = {}

    def expect(path: Path, language: str, separator: str, full: bool):
        e = m.expected_for_path(path, languages[language], separator, full)
        if not e.shown:
            return e.failure
        return texts.setdefault("".join(line + "\n" for line in e.lines), len(texts))

    checks = []
    for case in cases.values():
        path = files / "cases" / f"{case.name}.dtl"
        for language in case.languages:
            for separator in tr.SEPARATORS:
                for full in (False, True):
                    checks.append([f"cases/{case.name}.dtl", language, separator, full,
                                   expect(path, language, separator, full)])
    # Without the option the locale gives the separator: "." under C.UTF-8.
    for full in (False, True):
        checks.append(["cases/standard_cycle.dtl", "English", None, full,
                       expect(files / "cases" / "standard_cycle.dtl", "English",
                              tr.LOCALE_SEPARATOR, full)])
    for variant in rc.variants():
        for name in tr.VARIANT_FILES:
            for separator in tr.SEPARATORS:
                for full in (False, True):
                    checks.append([f"cases/{name}.dtl", variant.name, separator, full,
                                   expect(files / "cases" / f"{name}.dtl", variant.name,
                                          separator, full)])
    month = report_runs.save_generated_month(programs)
    assert month.save.status == 0 and month.files
    by_file = {}
    for path in month.files:
        key = hashlib.sha256(path.read_bytes()[12:]).hexdigest()
        by_file[key] = [[language, separator, full, expect(path, language, separator, full)]
                        for language in rc.ALL_LANGUAGES for separator in tr.SEPARATORS
                        for full in (False, True)]
    write_tar("report/files.tar.xz", files)
    reasons = {k: ["File error", *v] for k, v in tr.REASONS.items()}
    write_json("report/expected.json.xz", {
        "reasons": reasons, "checks": checks,
        "month": report_runs.DEMO_CONTENTS, "files": by_file,
        "texts": list(texts)})

# Send and erase -------------------------------------------------------------------------------

def request_text(r) -> str:
    import hashlib
    text = f"{r.kind[0]} {r.area:02x} {r.address} {r.length}"
    return text + (" " + hashlib.sha256(r.data).hexdigest()[:12] if r.kind == "write" else "")


def record_send(programs) -> None:
    import hashlib
    import tempfile

    import send_cases
    import send_files
    from device_image import encode_state
    from send_runs import StoredImage

    # Under /tmp, as the runner's files: a message file named by its absolute path carries its
    # 4th and 5th characters into the device.
    root = Path(tempfile.mkdtemp(prefix="record-send-", dir="/tmp"))
    assert str(root)[3:5] == "p/"
    out, states = [], {}
    cases = send_cases.all_cases()
    # The refusals leave the device as it was: each is a session of its own, run side by side.
    refusals = cases.pop("refusals")
    for step in refusals.steps:
        cases[f"refusal_{step.files[0]}"] = dataclasses.replace(refusals, steps=[step])
    for name, case in cases.items():
        folder = root / name
        folder.mkdir()
        case.files(folder)
        sent = {name for step in case.steps for name in getattr(step, "files", [])}
        for path in folder.iterdir():
            if sent and path.name not in sent:
                path.unlink()
        if (folder / "huge.msx").exists():
            # Only its size counts (a file of 1 MiB or more is refused): zeros keep it small here.
            (folder / "huge.msx").unlink()
            send_files.srec_cat(folder, "huge.msx", [(0, bytes(470000))], None, 32, bare=True)
            assert (folder / "huge.msx").stat().st_size >= 1048576
        image = case.device(programs)
        demo = send_cases._demo
        entry = {"name": name, "deadline": case.deadline}
        if (demo is not None and isinstance(image, StoredImage)
                and image.stored_flash == demo.stored_flash
                and image.stored_eeprom == demo.stored_eeprom):
            entry["args"] = ["--contents", "demo"]
            entry["state"] = None
        else:
            entry["args"] = []
            state = encode_state(image)
            if state not in states:
                states[state] = write_xz(f"send/{name}.state.xz", state)
            entry["state"] = states[state]
        if image.reported_size is not None:
            entry["args"] += ["--report-memory-size", str(image.reported_size)]
        entry["args"] += [a for f in case.faults for a in ("--fault", f)]
        before = (image.eeprom(), image.flash())
        outcomes, memory = case.expected(before, image.memory_size, folder)
        collapse = not any(getattr(step, "stop_after_writes", None) for step in case.steps)
        steps = []
        for step, outcome in zip(case.steps, outcomes):
            want = {"args": [a.replace(str(folder), "{files}") for a in step.command(folder)],
                    "status": 0 if outcome.succeeded else "error",
                    "lines": [line.replace(str(folder), "{files}") for line in outcome.written]}
            if outcome.refusal == "declined":
                want["writes"] = 0
            else:
                want["requests"] = [request_text(r) for r in outcome.requests]
                want["collapse"] = collapse
                if outcome.refusal:
                    want["refusal"] = outcome.refusal
            if name == "erase" and getattr(step, "confirmed", False):
                want["pause"] = 1.95  # the command list is written 2 s after the erase command
            steps.append(want)
        entry.update(steps=steps, bad_acks=case.bad_acks,
                     eeprom=hashlib.sha256(bytes(memory.eeprom)).hexdigest(),
                     flash=hashlib.sha256(bytes(memory.flash)).hexdigest())
        out.append(entry)
    write_tar("send/files.tar.xz", root)
    write_json("send/expected.json", {"cases": out})

# Import ---------------------------------------------------------------------------------------

def digest(value) -> dict:
    import hashlib
    return {"sha256": hashlib.sha256(json.dumps(value, sort_keys=True).encode()).hexdigest(),
            "count": len(value)}


def import_run(outcome, as_json: bool = False) -> dict:
    rows = [[r.code, r.description, r.name, r.date, r.id] for r in outcome.rows]
    want = {"status": 0 if outcome.complete else "error", "lines": outcome.lines,
            "rows": rows, "reported": [e.path for e in outcome.reported],
            "found": [e.path for e in outcome.found],
            "tree": {path: tail_digest(tail) for path, tail in sorted(outcome.tree.items())},
            "deleted": sorted(outcome.deleted)}
    if as_json:
        want["json"] = {"found": len(outcome.found), "rows": rows, "sealed": outcome.lines,
                        "skipped": len(outcome.undated), "failed": [],
                        "problems": len(outcome.reported), "erased": 0}
        want["rows"] = []  # the list is not printed on stderr as well
    return want


def record_import(programs) -> None:
    import tempfile

    import expectations
    import import_cases as ic
    import save_model
    import test_import as ti
    from drive_files import FILE, Entry, chained, lay_out

    messages = save_model.load_messages()
    root = Path(tempfile.mkdtemp(prefix="record-import-"))
    cases = ic.all_cases()
    cases["cross_check"] = ic.cross_check_case()
    out, drives = [], {}
    for name, case in cases.items():
        entry = {"name": name, "deadline": case.deadline,
                 **{k: True for k in ("erase", "confirm", "json", "relative", "other_user")
                    if getattr(case, k)}}
        if name == "at_most_10001":
            template = chained([ic.cycle(0, samples=0)])[0]
            (DATA / "import").mkdir(parents=True, exist_ok=True)
            (DATA / "import" / "template.moc").write_bytes(template)
            entry["generate"] = {"template": "import/template.moc", "folders": [["f1", 6000], ["F2", 4002]]}
            drive = Path(tempfile.mkdtemp(prefix="record-import-generated-"))
            expectations.generate(drive, template, entry["generate"]["folders"])
            entries = [Entry(path.relative_to(drive).as_posix(), FILE, path.read_bytes())
                       for path in drive.rglob("*.moc")]
            case = ic.ImportCase(name, entries, erase=True, confirm=True)
            want = import_run(case.expected(messages))
            entry["runs"] = [{k: digest(v) if isinstance(v, (list, dict)) and len(v) > 100 else v
                              for k, v in want.items()}]
            out.append(entry)
            continue
        key = repr([(e.path, e.kind, e.data, e.modified, e.target, e.readable) for e in case.entries])
        if key not in drives:
            lay_out(case.entries, root / name / "drive")
            drives[key] = f"{name}/drive"
        entry["drive"] = drives[key]
        if case.existing:
            entry["program"] = f"{name}/program"
            for path, (data, moment) in case.existing.items():
                write_file(root / name / "program" / path, data, moment)
        first = case.expected(messages)
        runs = [import_run(first, case.json)]
        if case.runs == 2:
            runs.append(import_run(case.expected(messages, ti.model_tree(first)), case.json))
        entry["runs"] = runs
        out.append(entry)
    out.append({"name": "drive_list", "deadline": 30})
    write_tar("import/files.tar.xz", root)
    write_json("import/expected.json", {"cases": out})

if __name__ == "__main__":
    from processes import Programs

    programs = Programs(os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2]))
    for area in sys.argv[3:]:
        globals()[f"record_{area}"](programs)
