"""`vestrim-cli send` and `erase` against simulated devices, compared with the model.

Each session serves one device memory and runs one or more commands against it; the sessions
are slow (connecting, the paced blocks, the catalogue step), so they are started together in the
background and each test waits for the session it looks at.  Every test compares the device's
whole memory (flash and EEPROM) with the model byte for byte and the requests on the line with
those the rules give, and adds the few facts its case is about in plain numbers.
"""

from __future__ import annotations

import struct
import unittest

import catalogue_oracle_path  # noqa: F401
import send_cases
import send_model as model
from oracle_runner import SharedRuns, uses
from processes import LoggedRequest, Programs
from send_runs import CliRun, Session, new_folder, run_session

PROGRAMS: Programs | None = None  # set by run.py

CASES = send_cases.all_cases()
def _start(name: str) -> tuple[Session, int]:
    case = CASES[name]
    folder = new_folder("files-" + name)
    case.files(folder)
    image = case.device(PROGRAMS)
    session = run_session(PROGRAMS, image, case.faults, folder,
                          [step.command(folder) for step in case.steps], case.deadline)
    return session, image.memory_size


RUNS = SharedRuns(_start, lambda name: CASES[name].deadline, workers=8)
prefetch = RUNS.prefetch


# Comparing ------------------------------------------------------------------------------------

def as_request(logged: LoggedRequest) -> model.Request:
    data = bytes.fromhex(logged.fields["data"]) if logged.kind == "write" else None
    return model.Request(logged.kind, logged.area, logged.address, logged.length, data)


def long_frames(run: CliRun, collapse_repeats: bool) -> list[model.Request]:
    """The reads and writes of a run; with `collapse_repeats`, a badly acknowledged write that
    is followed by the same write counts once (an unrepeated one is kept, so it shows)."""
    frames = [r for r in run.requests if r.kind in ("read", "write")]
    out = []
    for i, logged in enumerate(frames):
        spoiled = "bad-ack" in logged.fields.get("fault", "-")
        if (collapse_repeats and spoiled and i + 1 < len(frames)
                and as_request(frames[i + 1]) == as_request(logged)):
            continue
        out.append(as_request(logged))
    return out


def sequence_difference(expected: list[model.Request], actual: list[model.Request]) -> str:
    at = next((i for i, (e, a) in enumerate(zip(expected, actual)) if e != a),
              min(len(expected), len(actual)))
    lines = [f"{len(expected)} requests expected, {len(actual)} made; first difference at "
             f"request {at}:"]
    for i in range(max(0, at - 2), at + 4):
        e = str(expected[i]) if i < len(expected) else "-"
        a = str(actual[i]) if i < len(actual) else "-"
        lines.append(f"  {i:4}  expected {e}\n        actual   {a}")
    if at < min(len(expected), len(actual)):
        e, a = expected[at].data, actual[at].data
        if e is not None and a is not None and e != a:
            k = next((k for k, (x, y) in enumerate(zip(e, a)) if x != y), min(len(e), len(a)))
            lines.append(f"  data of request {at} first differ at byte {k}:\n"
                         f"        expected {e[k:k + 16].hex(' ')}\n"
                         f"        actual   {a[k:k + 16].hex(' ')}")
    return "\n".join(lines)


def memory_difference(area: str, expected: bytes, actual: bytes) -> str:
    if len(expected) != len(actual):
        return f"{area}: {len(expected)} bytes expected, {len(actual)} found"
    step = 4096
    first = next(a for a in range(0, len(expected), step)
                 if expected[a:a + step] != actual[a:a + step])
    first += next(i for i in range(step) if expected[first + i] != actual[first + i])
    differing = [i for i in range(first, len(expected)) if expected[i] != actual[i]] \
        if len(expected) - first < 300000 else \
        [i for i in range(first, first + 300000) if expected[i] != actual[i]]
    return (f"{area}: {len(differing)} bytes differ from address {first} to {differing[-1]}; "
            f"at {first}:\n  expected {expected[first:first + 24].hex(' ')}\n"
            f"  actual   {actual[first:first + 24].hex(' ')}")


class SendTest(unittest.TestCase):
    maxDiff = None

    def check(self, name: str) -> tuple[Session, list[model.Outcome], model.Memory]:
        """Runs every general check on the session `name`; returns it, the model's outcome of
        each run and the model's final memory."""
        case = CASES[name]
        session, memory_size = RUNS.result(name)
        outcomes, memory = case.expected(session.memory_before, memory_size, session.files)
        collapse = not any(getattr(step, "stop_after_writes", None) for step in case.steps)
        for number, (run, outcome) in enumerate(zip(session.runs, outcomes)):
            self.check_run(number, run, outcome, collapse)
        with self.subTest("the faults spoil the acknowledgements the case aims at"):
            spoiled = [r for run in session.runs for r in run.requests
                       if "bad-ack" in r.fields.get("fault", "-")]
            self.assertEqual(len(spoiled), case.bad_acks)
        with self.subTest("every frame is well-formed and no process is left running"):
            bad = [r.fields for run in session.runs for r in run.requests
                   if r.kind in ("garbage", "incomplete") or r.fields.get("sum") == "bad"
                   or r.fields.get("bank", "00") != "00"]
            self.assertEqual(bad, [])
            for run in session.runs:
                self.assertEqual(run.leftover_processes, [])
        self.assertIsNotNone(session.memory_after,
                             f"the simulator saved no readable memory: {session.devsim_stderr}")
        eeprom, flash = session.memory_after
        with self.subTest("the flash is what the rules leave, byte for byte"):
            if bytes(memory.flash) != flash:
                self.fail(memory_difference("flash", bytes(memory.flash), flash))
        with self.subTest("the EEPROM is what the rules leave, byte for byte"):
            if bytes(memory.eeprom) != eeprom:
                self.fail(memory_difference("EEPROM", bytes(memory.eeprom), eeprom))
        return session, outcomes, memory

    def check_run(self, number: int, run: CliRun, outcome: model.Outcome,
                  collapse: bool) -> None:
        with self.subTest("the command ends in time", run=number):
            self.assertIsNotNone(run.status, f"still running at the deadline{run.describe()}")
        with self.subTest("exit status 0 when every file is written, else not", run=number):
            if outcome.succeeded:
                self.assertEqual(run.status, 0, run.describe())
            else:
                self.assertNotEqual(run.status, 0, run.describe())
        with self.subTest("stdout names each file written, in order", run=number):
            self.assertEqual(run.lines, outcome.written, run.describe())
        if outcome.refusal not in (None, "declined"):
            with self.subTest("stderr gives the refusal", run=number, message=outcome.refusal):
                self.assertIn(outcome.refusal, [line.strip() for line in run.stderr.splitlines()],
                              run.describe())
        if outcome.refusal == "declined":
            with self.subTest("nothing is written", run=number):
                self.assertEqual([r.fields for r in run.requests if r.kind == "write"], [])
            return
        with self.subTest("the requests are those the rules give, in order", run=number):
            self.assertEqual(run.requests[:1] and run.requests[0].kind, "speed-switch")
            actual = long_frames(run, collapse)
            if actual != outcome.requests:
                self.fail(sequence_difference(outcome.requests, actual))

    def header(self, memory: bytes, start: int) -> tuple[int, int, int]:
        """Type byte, NextAddress and PrevAddress of the file at `start`."""
        next_address, previous = struct.unpack_from(">II", memory, start + 50)
        return memory[start + 48], next_address, previous

    def after(self, session: Session) -> tuple[bytes, bytes]:
        self.assertIsNotNone(session.memory_after)
        return session.memory_after


DEMO_END = 148265  # the demo device's first free location
DEMO_LAST = 144992  # its last file


class EachKindOfFileIsWrittenAtTheChainsEnd(SendTest):
    @uses("fresh_datalogger")
    def test_a_datalogger_file_into_a_fresh_device_starts_at_2152_without_previous_file(self):
        session, _, _ = self.check("fresh_datalogger")
        eeprom, flash = self.after(session)
        self.assertEqual(self.header(flash, 2152), (0x20, 2152 + 377, 0xFFFFFFFF))
        self.assertEqual(flash[2152 + 32:2152 + 48], b"DT0369AA        ")
        self.assertEqual(flash[2152 + 376], 0x00)  # the read past the end
        self.assertEqual(eeprom[32:36], struct.pack(">I", 2529))

    @uses("demo_datalogger")
    def test_a_datalogger_file_into_the_demo_device_follows_its_last_file_and_is_counted(self):
        session, _, _ = self.check("demo_datalogger")
        eeprom, flash = self.after(session)
        self.assertEqual(self.header(flash, DEMO_END), (0x20, DEMO_END + 577, DEMO_LAST))
        self.assertEqual(eeprom[32:36], struct.pack(">I", DEMO_END + 577))
        self.assertEqual(eeprom[262:264], b"\x00\x02")  # data: slot 3, was 1

    @uses("fresh_data_256")
    def test_a_data_image_of_256_bytes_is_two_blocks_and_no_third_request(self):
        session, _, _ = self.check("fresh_data_256")
        writes = [(r.address, r.length) for r in session.runs[0].requests if r.kind == "write"]
        self.assertEqual(writes, [(2152, 128), (2280, 128), (2152, 128), (32, 4)])

    @uses("demo_data_long")
    def test_a_data_file_sends_its_first_32768_bytes_and_counts_under_the_data_slot(self):
        session, _, _ = self.check("demo_data_long")
        eeprom, flash = self.after(session)
        source = (session.files / "params.dat").read_bytes()
        self.assertEqual(flash[DEMO_END + 76:DEMO_END + 76 + 32768], source[:32768])
        self.assertEqual(self.header(flash, DEMO_END)[1], DEMO_END + 76 + 32768)
        self.assertEqual(eeprom[262:264], b"\x00\x02")

    @uses("fresh_empty_datalogger")
    def test_an_empty_datalogger_file_is_one_block_of_77_bytes_then_the_header_block(self):
        session, _, _ = self.check("fresh_empty_datalogger")
        writes = [(r.address, r.length) for r in session.runs[0].requests if r.kind == "write"]
        self.assertEqual(writes, [(2152, 77), (2152, 128), (32, 4)])
        _, flash = self.after(session)
        self.assertEqual(flash[2152 + 76:2152 + 128], b"\x00" + b"\xff" * 51)

    @uses("fresh_messages_relative")
    def test_a_message_file_chosen_alone_carries_two_characters_of_its_absolute_path(self):
        session, _, _ = self.check("fresh_messages_relative")
        _, flash = self.after(session)
        path = str(session.files / "AB_IT.msx")
        trailer = 2152 + 76 + 200 + 1
        self.assertEqual(session.runs[0].lines, [path])
        self.assertEqual(flash[trailer:trailer + 64], path[3:5].encode() + b"\x91" * 62)
        self.assertEqual(flash[2152 + 48], 0x30)

    @uses("demo_messages")
    def test_a_message_file_into_the_demo_device_counts_under_the_messages_slot(self):
        session, _, _ = self.check("demo_messages")
        eeprom, flash = self.after(session)
        self.assertEqual(flash[DEMO_END + 32:DEMO_END + 49], b"MS0369AA        \x30")
        self.assertEqual(eeprom[260:262], b"\x00\x02")  # messages: slot 2, was 1


class FirmwareIsPackedIntoRecords(SendTest):
    @uses("fresh_firmware_16")
    def test_16_bit_firmware_with_a_wrong_check_sum_goes_in_64_byte_records_with_its_version(
            self):
        session, _, _ = self.check("fresh_firmware_16")
        _, flash = self.after(session)
        self.assertEqual(flash[2152 + 32:2152 + 50], b"BOOT_07.MHX     \xa5\x07")
        self.assertEqual(flash[2152 + 58:2152 + 64], b"\x00\x10\x00\x00\x00\x40")

    @uses("demo_firmware_16")
    def test_16_bit_firmware_without_a_version_in_its_name_into_the_demo_device(self):
        self.check("demo_firmware_16")

    @uses("fresh_firmware_24")
    def test_24_bit_firmware_across_blocks_sectors_and_the_top_sector(self):
        session, _, _ = self.check("fresh_firmware_24")
        _, flash = self.after(session)
        self.assertEqual(flash[2152 + 32:2152 + 50], b"MAIN_BOARD_V2_45\x01\x2d")
        self.assertEqual(flash[2152 + 58:2152 + 64], b"\xff\x00\x00\x07\x00\x80")

    @uses("demo_firmware_24")
    def test_24_bit_firmware_ab_12_into_the_demo_device_is_not_counted(self):
        session, _, _ = self.check("demo_firmware_24")
        eeprom, flash = self.after(session)
        self.assertEqual(flash[DEMO_END + 32:DEMO_END + 50], b"AB_12" + b" " * 11 + b"\x01\x0c")
        self.assertEqual(eeprom[264:266], b"\x00\x00")  # type 0x01 is passed over
        self.assertNotIn("read", [r.kind for r in session.runs[0].requests
                                  if r.fields.get("cmd") == "10"])

    @uses("clinic_firmware_24")
    def test_firmware_needs_no_download_bit_and_type_01_is_passed_over_by_the_counters(self):
        session, _, _ = self.check("clinic_firmware_24")
        eeprom, _ = self.after(session)
        self.assertEqual(eeprom[256:270], bytes.fromhex("0003 0011 0022 0007 00ff 0102 0005"))


class SeveralFilesAreSentOneAfterAnother(SendTest):
    @uses("clinic_selection")
    def test_five_files_of_every_kind_are_chained_counted_and_named_by_their_bare_names(self):
        session, outcomes, _ = self.check("clinic_selection")
        eeprom, flash = self.after(session)
        self.assertEqual(session.runs[0].lines,
                         ["first.dtl", "AB_IT.msx", "third.dat", "NOTES.MES", "boot_05.mhx"])
        starts = [start for start, _ in outcomes[0].images]
        for previous, start in zip(starts, starts[1:]):
            self.assertEqual(self.header(flash, start)[2], previous)
        message = starts[1] + 76 + 150 + 1
        self.assertEqual(flash[message:message + 3], b"IT\x91")
        self.assertEqual(eeprom[262:268], bytes.fromhex("0008 0102 0103"))

    @uses("selection_stops_at_refusal")
    def test_a_refused_file_stops_the_selection_after_the_files_before_it(self):
        session, _, _ = self.check("selection_stops_at_refusal")
        self.assertEqual(session.runs[0].lines, ["a.dtl"])


class TheMemorySizeLimitsWhatIsSent(SendTest):
    @uses("demo_exactly_full")
    def test_files_ending_exactly_at_the_memory_size_are_accepted(self):
        session, _, _ = self.check("demo_exactly_full")
        eeprom, _ = self.after(session)
        self.assertEqual(eeprom[32:36], struct.pack(">I", DEMO_END + 177 + 277))

    @uses("demo_one_byte_short")
    def test_a_second_file_one_byte_too_long_is_refused_as_memory_full(self):
        self.check("demo_one_byte_short")

    @uses("demo_memory_full")
    def test_a_file_one_byte_too_long_writes_nothing(self):
        session, _, _ = self.check("demo_memory_full")
        self.assertEqual([r for r in session.runs[0].requests if r.kind == "write"], [])

    @uses("fresh_small_memory")
    def test_an_empty_memory_takes_a_first_file_that_ends_beyond_its_size(self):
        session, _, _ = self.check("fresh_small_memory")
        eeprom, _ = self.after(session)
        self.assertEqual(eeprom[32:36], struct.pack(">I", 2152 + 577))


class TheCommandListDecidesWhatMaySendAndWhatIsCounted(SendTest):
    @uses("types_not_enabled")
    def test_types_whose_first_slot_lacks_the_download_bit_are_refused_firmware_is_not(self):
        session, _, _ = self.check("types_not_enabled")
        self.assertEqual(session.runs[2].lines, [str(session.files / "fw_02.mhx")])

    @uses("slots_after_the_end")
    def test_slots_after_the_end_of_the_list_neither_forbid_nor_count(self):
        session, _, _ = self.check("slots_after_the_end")
        eeprom, _ = self.after(session)
        self.assertEqual(eeprom[256:260], bytes(4))


class BadAcknowledgementsAreSentAgain(SendTest):
    @uses("bad_acks")
    def test_blocks_header_first_free_location_and_counter_are_each_repeated_once(self):
        session, _, _ = self.check("bad_acks")
        eeprom, _ = self.after(session)
        self.assertEqual(eeprom[262:264], b"\x00\x02")

    @uses("checksum_error")
    def test_five_bad_acknowledgements_in_a_row_stop_the_send_leaving_the_file_unlisted(self):
        session, _, _ = self.check("checksum_error")
        eeprom, flash = self.after(session)
        self.assertEqual(flash[2152 + 48], 0xFF)
        self.assertEqual(eeprom[32:36], bytes(4))


class EraseResetsTheDevice(SendTest):
    @uses("erase")
    def test_no_leaves_the_device_yes_erases_it_and_the_next_file_goes_to_2152(self):
        session, _, _ = self.check("erase")
        eeprom, flash = self.after(session)
        self.assertEqual(flash[128:150], bytes.fromhex("50ffaaffffff") + b"DataLogger      ")
        self.assertEqual(flash[150:2152], b"\xff" * 2002)
        self.assertEqual(self.header(flash, 2152), (0x30, 2152 + 76 + 100 + 65, 0xFFFFFFFF))
        self.assertEqual(eeprom[256:496], bytes(240))
        writes = [r for r in session.runs[1].requests if r.kind == "write"]
        self.assertGreaterEqual(writes[1].time - writes[0].time, 1.95,
                                "the command list is written 2 s after the erase command")


class RefusedFilesLeaveTheDeviceUntouched(SendTest):
    @uses("refusals")
    def test_unknown_kinds_damaged_firmware_one_mebibyte_and_an_image_above_the_memory(self):
        session, outcomes, _ = self.check("refusals")
        self.assertEqual([o.refusal for o in outcomes],
                         [model.NOT_CORRECT] * 4 + [model.TOO_BIG] * 2 + [model.OVERFLOW])
        self.assertEqual(session.memory_after, session.memory_before)


class TheDemoDeviceIsWhatTheCasesAssume(SendTest):
    @uses("demo_datalogger")
    def test_its_command_list_and_chain_end(self):
        session, _ = RUNS.result("demo_datalogger")
        eeprom, flash = session.memory_before
        slots = [flash[128 + 22 * s:128 + 22 * s + 3].hex() for s in range(6)]
        self.assertEqual(slots, ["50ffaa", "60ffaa", "30ffea", "20ffea", "01ffea", "ffffff"])
        self.assertEqual(eeprom[32:36], struct.pack(">I", DEMO_END))
        self.assertEqual(self.header(flash, DEMO_LAST)[1], DEMO_END)
