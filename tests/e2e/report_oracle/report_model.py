"""What the report of a stored file must read, worked out here from the rules of the reader and
of the report builders alone.

The reader takes a stored file's bytes and its last-modified time, checks the seal and the
check sum (or recognises a technical report) and splits it into the device header and the
cycle block.  The window's choice then picks the report: a technical report; for a cycle with
an alarm the full report (or the vacuum test's full report); without an alarm the compact
report, or the full one when the user switches (the vacuum test's compact report for vacuum
tests, where there is no switch).  Each builder is written out below as the list of item texts
it leaves, in the system's own words: items created in blocks with their line number as text,
labels padded to their column, numbers in their digit patterns with the run's decimal
separator, and every run-time failure ending as "File error".

Texts are kept as Python strings of one character per byte (Windows-1252), so that lengths
and positions count exactly as the builders count them.  Nothing here is shared with the
program under test.
"""

from __future__ import annotations

import dataclasses
import datetime
import re
from pathlib import Path

import save_oracle_path  # noqa: F401
import save_model

# Windows-1252, with the five bytes it leaves undefined taken as the control characters of
# the same number (as the platform's own conversion does).
_CHARACTERS = tuple(bytes([b]).decode("cp1252", errors="replace").replace("\ufffd", chr(b))
                    for b in range(256))


def chars(data: bytes) -> str:
    """Device or language-file bytes as text, one character per byte."""
    return "".join(_CHARACTERS[b] for b in data)


class ReportFailure(Exception):
    """A run-time failure inside a report builder: the window shows "File error"."""


class Unshowable(Exception):
    """The reader cannot give the window the file: bad seal, bad checksum, too short, ..."""

    def __init__(self, reason: str):
        super().__init__(reason)
        self.reason = reason


# Language files.

TEXT_ENTRIES = 1001  # LanguageTexts 0..1000
MESSAGE_ENTRIES = 524  # LanguageMessages 0..523
MESSAGE_RECORDS = 294


@dataclasses.dataclass(frozen=True)
class Language:
    name: str
    texts: tuple[str, ...]
    messages: tuple[str, ...]

    def text(self, number: int) -> str:
        return self.texts[number]

    def message(self, number: int) -> str:
        if not 0 <= number < MESSAGE_ENTRIES:
            raise ReportFailure(f"message {number} lies beyond the message table")
        return self.messages[number]


def _lines(content: str) -> list[str]:
    lines = re.split(r"\r\n|\r|\n", content)
    if lines and lines[-1] == "":
        lines.pop()
    return lines


def caption_of(line: str) -> str:
    """A numbered line as a caption: from the first ";" on cut off, then trailing blanks;
    a line without ";" is taken as it stands, trailing blanks and all."""
    if ";" in line:
        return line[:line.index(";")].rstrip(" ")
    return line


def _field(content: str, at: int) -> tuple[str | None, int]:
    """One delimited field from `at`: leading blanks skipped; a quoted text without its quotes
    (commas inside kept, anything up to the next delimiter dropped); otherwise the characters
    up to a comma or a line end, trailing blanks dropped.  None at the end of the file."""
    while at < len(content) and content[at] in " \t":
        at += 1
    if at >= len(content):
        return None, at
    if content[at] == '"':
        close = content.find('"', at + 1)
        if close < 0:
            value, at = content[at + 1:], len(content)
        else:
            value, at = content[at + 1:close], close + 1
        while at < len(content) and content[at] not in ",\r\n":
            at += 1
    else:
        end = at
        while end < len(content) and content[end] not in ",\r\n":
            end += 1
        value, at = content[at:end].rstrip(" \t"), end
    if content.startswith(",", at):
        at += 1
    elif content.startswith("\r\n", at):
        at += 2
    elif at < len(content):
        at += 1
    return value, at


def message_records(content: str) -> list[tuple[int, str]]:
    """The records read from the top of a language file: at most 294, stopping at the first
    one that cannot be read (end of the file, or a first field that is not a number)."""
    records = []
    at = 0
    while len(records) < MESSAGE_RECORDS:
        number, at = _field(content, at)
        if number is None or not re.fullmatch(r"[+-]?\d+", number):
            break
        text, at = _field(content, at)
        if text is None:
            break
        records.append((int(number), text))
    return records


def parse_language(name: str, data: bytes) -> Language:
    content = chars(data)
    texts = [""] * TEXT_ENTRIES
    for number, line in enumerate(_lines(content)[:TEXT_ENTRIES - 1], start=1):
        texts[number] = caption_of(line)
    messages = [""] * MESSAGE_ENTRIES
    for number, text in message_records(content):
        if 0 <= number < MESSAGE_ENTRIES:
            messages[number] = text
    return Language(name, tuple(texts), tuple(messages))


def load_language(path: Path) -> Language:
    return parse_language(path.stem, path.read_bytes())


# Reading a stored file.

MINIMUM_SIZE = 90  # seal, high check sum byte, the 76-byte header, low check sum byte
BODY_OFFSET = 152  # where a technical report's text starts


@dataclasses.dataclass(frozen=True)
class Stored:
    header: bytes  # DeviceHeader, 76 bytes (empty for a technical report)
    cycle: bytes  # CycleData, or the technical report's body
    technical: bool


def is_technical_report(data: bytes) -> bool:
    """"TR" at offsets 44 and 45, or at 45 and 46 where the file code starts."""
    return data[44:46] == b"TR" or data[45:47] == b"TR"


def read_stored(data: bytes | None, modified: datetime.datetime) -> Stored:
    """The reader: seal, technical-report test, check sum, split.  Raises Unshowable."""
    if data is None:
        raise Unshowable("unreadable")
    if len(data) < MINIMUM_SIZE:
        raise Unshowable("too short")
    if not save_model.seal_accepted(data[:12], modified):
        raise Unshowable("bad seal")
    if is_technical_report(data):
        body = data[BODY_OFFSET:]
        if not body:
            raise Unshowable("empty")
        return Stored(b"", body, True)
    total = sum(data[13:-1]) & 0xFFFF
    if total == 0 or data[12] != total >> 8 or data[-1] != total & 0xFF:
        raise Unshowable("bad checksum")
    cycle = data[89:-1]
    if not cycle:
        raise Unshowable("empty")
    return Stored(data[13:89], cycle, False)


# Number patterns and alignment.

def two_digits(value: int) -> str:
    return f"{value:02d}"


def year_text(value: int) -> str:
    """Pattern "2000": the "2" is literal, the zeros take the digits."""
    return f"2{value:03d}"


def temperature(tenths: int, separator: str) -> str:
    """Pattern "000.0" of tenths of a degree (0 to 32767 here)."""
    return f"{tenths // 10:03d}{separator}{tenths % 10}"


def pressure(stored: int, separator: str) -> str:
    """(stored - 100) / 100 bar: " 0.00" from 0 up, "0.00" below (the minus takes the blank)."""
    hundredths = stored - 100
    sign = " " if hundredths >= 0 else "-"
    hundredths = abs(hundredths)
    return f"{sign}{hundredths // 100}{separator}{hundredths % 100:02d}"


def plain_tenths(tenths: int, separator: str) -> str:
    """A number of tenths as a plain decimal number: 35 -> 3,5; 30 -> 3; 5 -> 0,5."""
    whole, tenth = divmod(tenths, 10)
    return f"{whole}" if tenth == 0 else f"{whole}{separator}{tenth}"


def elapsed(seconds: int) -> str:
    """Minutes "00" ":" seconds "00"; the minutes must fit in 0 to 255."""
    minutes = seconds // 60
    if minutes > 255:
        raise ReportFailure(f"{seconds} s is 256 minutes or more")
    return f"{minutes:02d}:{seconds % 60:02d}"


def padded(label: str, width: int) -> str:
    if len(label) > width:
        raise ReportFailure(f"label {label!r} is longer than {width}")
    return label + " " * (width - len(label))


def centra(text: str) -> str:
    """Centred on 48 characters: (48 - length) / 2 blanks, halves to the even neighbour."""
    if len(text) > 48:
        raise ReportFailure(f"{text!r} is longer than 48 characters to centre")
    return " " * round((48 - len(text)) / 2) + text


def number_value(text: str) -> float:
    """The number a text starts with, as the platform's Val reads it: blanks, tabs and line
    feeds anywhere are skipped; no leading number gives 0."""
    squeezed = "".join(c for c in text if c not in " \t\n")
    match = re.match(r"[+-]?(\d+\.?\d*|\.\d+)([eEdD][+-]?\d+)?", squeezed)
    if not match:
        return 0.0
    return float(match.group(0).replace("d", "e").replace("D", "e"))


# The decoded cycle.

DASHES = "-" * 45
DOTS = "." * 45
PHASE_BREAKS = {"1PV", "3PV", "ET ", "SE ", "DS ", "SPD", "EPD", "DE "}
FIRST_RECORD = 91
RECORD_SIZE = 13


@dataclasses.dataclass(frozen=True)
class Sample:
    """One record. Its time and code are read for every record; a probe or the pressure only
    when a report shows it, so a value out of range fails only the report that prints it."""

    cycle: "Cycle"
    start: int
    seconds: int
    code: int

    @property
    def time(self) -> str:
        return elapsed(self.seconds)

    @property
    def pt1(self) -> int:
        return self.cycle.word(self.start + 3)

    @property
    def pt2(self) -> int:
        return self.cycle.word(self.start + 5)

    @property
    def pt3(self) -> int:
        return self.cycle.word(self.start + 7)

    @property
    def pt4(self) -> int:
        return self.cycle.word(self.start + 9)

    @property
    def pressure(self) -> int:
        """Stored value: hundredths of a bar plus 100."""
        return self.cycle.word(self.start + 11)


class Cycle:
    """CycleData and DeviceHeader read by 1-based position, one byte at a time."""

    def __init__(self, stored: Stored, language: Language, separator: str):
        self.data = stored.cycle
        self.header = stored.header
        self.language = language
        self.separator = separator

    def byte(self, position: int) -> int:
        if not 1 <= position <= len(self.data):
            raise ReportFailure(f"cycle position {position} lies beyond the cycle block")
        return self.data[position - 1]

    def header_byte(self, position: int) -> int:
        if not 1 <= position <= len(self.header):
            raise ReportFailure(f"header position {position} lies beyond the header")
        return self.header[position - 1]

    def text_at(self, position: int, length: int) -> str:
        """Characters as stored; a text running past the end is cut there."""
        return chars(self.data[position - 1:position - 1 + length])

    def word(self, position: int) -> int:
        """16-bit, low byte first, into a signed 16-bit integer."""
        high = self.byte(position + 1)
        if high >= 128:
            raise ReportFailure(f"the 16-bit value at {position} has a high byte of {high}")
        return high * 256 + self.byte(position)

    def header_number(self, position: int) -> int:
        return sum(self.header_byte(position + i) << (8 * i) for i in range(3))

    @property
    def type_byte(self) -> int:
        return self.byte(77)

    @property
    def code(self) -> int:
        return self.type_byte & 0x0F

    @property
    def mode(self) -> int:
        return (self.type_byte >> 4) & 3

    @property
    def alarm(self) -> int:
        return self.byte(75)

    def date(self, position: int) -> str:
        return (f"{two_digits(self.byte(position))}/{two_digits(self.byte(position + 1))}/"
                f"{year_text(self.byte(position + 2))}")

    def clock(self, position: int) -> str:
        return f"{two_digits(self.byte(position))}:{two_digits(self.byte(position + 1))}"

    def samples(self) -> list[Sample]:
        """The record walk: from 91 every 13 positions while the start is at most the length
        less one; a record cut short by the end fails, every elapsed time is checked."""
        found = []
        start = FIRST_RECORD
        while start <= len(self.data) - 1:
            self.byte(start + RECORD_SIZE - 1)
            sample = Sample(self, start, self.word(start), self.byte(start + 2))
            elapsed(sample.seconds)
            found.append(sample)
            start += RECORD_SIZE
        return found

    def t(self, number: int) -> str:
        return self.language.text(number)

    def m(self, number: int) -> str:
        return self.language.message(number)

    def temperature(self, tenths: int) -> str:
        return temperature(tenths, self.separator)

    def pressure(self, stored: int) -> str:
        return pressure(stored, self.separator)

    def extreme(self, time_position: int, word: str, value_position: int) -> str:
        """A time, " MAX " or " MIN ", a temperature: the maximum/minimum block's lines."""
        value = self.temperature(self.word(value_position))
        return f"{elapsed(self.word(time_position))}{word}{value}"

    def is_sample_event(self, code: int) -> bool:
        """An event the thinned reports may show: its text is "120" and the next one's is not
        (both looked up, so a code above 121 fails here)."""
        this, following = self.m(401 + code), self.m(402 + code)
        return this == "120" and following != "120"


class Items:
    """The report list: items created in blocks hold their own line number until set."""

    def __init__(self) -> None:
        self.texts: list[str] = []

    def create(self, count: int) -> None:
        self.texts += [str(len(self.texts) + 1 + i) for i in range(count)]

    def __setitem__(self, line: int, text: str) -> None:
        self.texts[line - 1] = text

    def __getitem__(self, line: int) -> str:
        return self.texts[line - 1]

    def __len__(self) -> int:
        return len(self.texts)


# Headers.

def _cycle_header(c: Cycle, items: Items, column_header: str) -> int:
    """The header block of the full and the compact report; returns the first record line."""
    code = c.code
    fast = code == 12
    items.create(16 if fast else 20)
    items[1] = padded(c.t(321), 30) + c.text_at(1, 20)
    items[2] = padded(c.t(322), 30) + c.text_at(21, 20)
    items[3] = padded(c.t(323), 30) + "E" + c.text_at(42, 20)
    items[4] = (padded(c.t(324), 30) + f"{c.header_number(63):05d}/"
                f"{c.header_number(60):05d}")
    items[5] = " "
    name = c.m(50 + code)
    items[6] = padded(c.t(325), 30) + name
    items[7] = padded(c.t(326), 30) + ("134°C" if fast else name[:3] + "°C")
    high = fast or number_value(name[:3]) == 134
    items[8] = padded(c.t(327), 30) + ("2.10 bar" if high else "1.10 bar")
    minutes = c.byte(86)
    shown = plain_tenths(minutes, c.separator) if fast else str(minutes)
    items[9] = padded(c.t(328), 30) + shown + " min"
    items[10] = " "
    if not fast:
        options = c.header_byte(66)
        water = 330 if not options & 4 else 331 if not options & 2 else 332
        items[11] = padded(c.t(329), 30) + c.t(water)
        items[12] = padded(c.t(333), 30) + c.t(335 if c.type_byte & 0x80 else 334)
        mode = c.mode
        if mode != 0:
            items[13] = padded(c.t(336), 30) + c.m(66 + mode)
        elif code < 10:
            items[13] = padded(c.t(336), 30) + c.m(66)
        elif code in (10, 11):
            items[13] = padded(c.t(336), 30) + c.t(338 if c.type_byte & 0x40 else 337)
        if mode == 3:
            items[13] = items[13] + " +" + str(c.byte(88))
        items[14] = " "
    d = 11 if fast else 15
    items[d] = padded(c.t(339), 30) + c.date(67)
    items[d + 1] = " " * 30 + c.clock(65)
    items[d + 2] = " "
    items[d + 3] = " "
    items[d + 4] = padded(c.t(340), 12) + column_header
    items[d + 5] = DASHES
    return d + 6


def _vacuum_header(c: Cycle, items: Items) -> int:
    items.create(13)
    items[1] = padded(c.t(321), 30) + c.text_at(1, 20)
    items[2] = padded(c.t(322), 30) + c.text_at(21, 20)
    items[3] = padded(c.t(323), 30) + "E" + c.text_at(42, 20)
    items[4] = (padded(c.t(324), 30) + f"{c.header_number(63):05d}/"
                f"{c.header_number(60):05d}")
    items[5] = " "
    items[6] = padded(c.t(357), 30) + c.m(50 + c.code)
    items[7] = " "
    items[8] = padded(c.t(339), 30) + c.date(67)
    items[9] = " " * 30 + c.clock(65)
    items[10] = " "
    items[11] = " "
    items[12] = padded(c.t(340), 12) + "       °C       Bar  "
    items[13] = DASHES
    return 14


# The full report.

def full_view(c: Cycle, has_alarm: bool) -> list[str]:
    items = Items()
    line = _cycle_header(c, items, "PT1    P      PT2    PT3    PT4 ")
    for s in c.samples():
        name = c.m(401 + s.code) if s.code < 151 else c.m(200 + s.code)
        items.create(1)
        items[line] = "  ".join([s.time, name, c.temperature(s.pt1), c.pressure(s.pressure),
                                 c.temperature(s.pt2), c.temperature(s.pt3),
                                 c.temperature(s.pt4)])
        line += 1
        if s.code >= 151 and name in PHASE_BREAKS:
            items.create(1)
            items[line] = " "
            line += 1
    footer = line
    if has_alarm:
        items.create(21)
        for i in range(4):
            items[footer + i] = " "
        items[footer + 4] = padded(c.t(341), 26) + c.t(342 if c.byte(87) == 0 else 343)
        items[footer + 5] = " "
        items[footer + 6] = padded(c.t(344), 26) + c.m(100 + c.alarm)
        items[footer + 7] = padded(c.t(345), 26) + c.m(200 + c.alarm)
        items[footer + 8] = padded(c.t(346), 26) + c.date(72)
        items[footer + 9] = padded(c.t(347), 26) + c.clock(70)
        for i in (10, 11, 14, 15, 16, 18, 19):
            items[footer + i] = " " * 45
        items[footer + 12] = centra(c.t(348))
        items[footer + 13] = centra(c.t(349))
        items[footer + 17] = centra(c.t(350))
        items[footer + 20] = DOTS
    else:
        fast = c.code == 12
        items.create(24)
        for i in range(4):
            items[footer + i] = " "
        items[footer + 4] = c.extreme(80, " MAX ", 78)
        items[footer + 5] = c.extreme(84, " MIN ", 82)
        items[footer + 6] = " " * 46
        items[footer + 7] = " "
        items[footer + 8] = padded(c.t(351), 30) + two_digits(c.byte(76) + 1)
        items[footer + 9] = padded(c.t(352), 30) + c.date(72)
        items[footer + 10] = " " * 30 + c.clock(70)
        for i in (11, 12, 14, 16, 18, 19, 21):
            items[footer + i] = " " * 45
        if fast:
            items[footer + 13] = centra(c.t(353))
            items[footer + 15] = centra(c.t(354))
        else:
            items[footer + 13] = padded(c.t(341), 30) + c.t(342 if c.byte(19) != 0 else 343)
            items[footer + 15] = " " * 45
        items[footer + 17] = centra(c.t(350))
        items[footer + 20] = DOTS
        items[footer + 22] = centra(c.t(355))
        items[footer + 23] = centra(c.t(356))
    return drop_absent_probes(items.texts, c.separator)


def column_analysis(lines: list[str], separator: str) -> tuple[int, int, bool] | None:
    """The column header line H (found by its ending "PT4" and one more character), the end E
    of the record section (two lines of one blank in a row end it, E being the line before the
    first of them) and whether every line from H + 2 to E longer than 11 characters ends in
    two zero temperatures.  None without a column header line."""
    header = next((i for i, text in enumerate(lines, start=1)
                   if len(text) > 3 and text[-4:-1] == "PT4"), None)
    if header is None:
        return None
    end = 0
    run = 0
    for i in range(header + 1, len(lines) + 1):
        if lines[i - 1][:5] == " ":
            run += 1
            if run == 2:
                end = i - 2
                break
        else:
            run = 0
    zero = f"000{separator}0  000{separator}0"
    absent = all(text.endswith(zero) for text in lines[header + 1:end] if len(text) > 11)
    return header, end, absent


def drop_absent_probes(lines: list[str], separator: str) -> list[str]:
    for text in lines:
        if len(text) > 255:
            raise ReportFailure("a report line is longer than 255 characters")
    analysis = column_analysis(lines, separator)
    if analysis is None or not analysis[2]:
        return list(lines)
    header, end, _ = analysis
    out = []
    for i, text in enumerate(lines, start=1):
        if len(text) < 14:
            out.append(" ")
        elif i == header or header + 2 <= i <= end:
            out.append(text[:-13])
        else:
            out.append(text)
    return out


# The compact report.

def little_view(c: Cycle) -> list[str]:
    items = Items()
    line = _cycle_header(c, items, "     °C      Bar  ")
    last = ""
    for s in c.samples():
        time = s.time
        if s.code == 177:
            continue
        if s.code < 151:
            if not c.is_sample_event(s.code):
                continue
            if last:
                next_minute = number_value(last[:2]) + 1
                minute = number_value(time[:2])
                if not (next_minute < minute or (next_minute == minute and
                        number_value(last[3:5]) <= number_value(time[3:5]))):
                    continue
            name = "   "
        elif s.code <= 162:
            continue
        else:
            name = c.m(200 + s.code)
        items.create(1)
        items[line] = (f"{time}    {name}    {c.temperature(s.pt1)}   "
                       f"{c.pressure(s.pressure)}")
        last = time
        line += 1
    footer = line
    fast = c.code == 12
    items.create(21)
    for i in (0, 1, 4, 5, 9, 10, 11):
        items[footer + i] = " "
    items[footer + 2] = c.extreme(80, " MAX ", 78)
    items[footer + 3] = c.extreme(84, " MIN ", 82)
    items[footer + 6] = padded(c.t(351), 30) + two_digits(c.byte(76) + 1)
    items[footer + 7] = padded(c.t(352), 30) + c.date(72)
    items[footer + 8] = " " * 30 + c.clock(70)
    if fast:
        items[footer + 12] = centra(c.t(353))
        items[footer + 13] = " " * 30
        items[footer + 14] = centra(c.t(354))
    else:
        items[footer + 12] = padded(c.t(341), 30) + c.t(342 if c.byte(19) != 0 else 343)
        items[footer + 13] = " " * 31
        items[footer + 14] = " " * 31
    for i in (15, 16, 18, 19):
        items[footer + i] = " " * 31
    items[footer + 17] = centra(c.t(350))
    items[footer + 20] = DOTS
    return items.texts


# The vacuum test reports.

def _vacuum_records(c: Cycle, items: Items, full: bool) -> int:
    line = 14
    last = ""
    for s in c.samples():
        time = s.time
        if s.code == 177:
            continue
        if s.code < 151:
            if not c.is_sample_event(s.code):
                continue
            if last and not number_value(last[:2]) + 1 <= number_value(time[:2]):
                continue
            name = "   " if full and not last else "    "
            last = time
        elif s.code <= 162:
            continue
        else:
            name = c.m(200 + s.code)
        items.create(1)
        items[line] = (f"{time}     {name}     {c.temperature(s.pt1)}    "
                       f"{c.pressure(s.pressure)}")
        line += 1
    return line


def vacuum_full_view(c: Cycle) -> list[str]:
    items = Items()
    _vacuum_header(c, items)
    footer = _vacuum_records(c, items, full=True)
    items.create(21)
    for i in (0, 1, 2, 3, 5):
        items[footer + i] = " "
    items[footer + 4] = padded(c.t(358), 30) + c.t(342 if c.byte(87) == 0 else 343)
    items[footer + 6] = padded(c.t(344), 30) + c.m(100 + c.alarm)
    items[footer + 7] = padded(c.t(345), 30) + c.m(200 + c.alarm)
    items[footer + 8] = padded(c.t(346), 30) + c.date(72)
    items[footer + 9] = padded(c.t(347), 30) + c.clock(70)
    for i in (10, 11, 14, 15, 16, 18, 19):
        items[footer + i] = " " * 31
    items[footer + 12] = centra(c.t(348))
    items[footer + 13] = centra(c.t(349))
    items[footer + 17] = centra(c.t(350))
    items[footer + 20] = DOTS
    return items.texts


def vacuum_little_view(c: Cycle) -> list[str]:
    items = Items()
    _vacuum_header(c, items)
    footer = _vacuum_records(c, items, full=False)
    items.create(16)
    for i in (0, 1, 2, 3, 6, 7):
        items[footer + i] = " "
    items[footer + 4] = padded(c.t(352), 30) + c.date(72)
    items[footer + 5] = " " * 30 + c.clock(70)
    items[footer + 8] = padded(c.t(358), 30) + c.t(342 if c.byte(19) != 0 else 343)
    for i in (9, 10, 11, 13, 14):
        items[footer + i] = " " * 31
    items[footer + 12] = centra(c.t(350))
    items[footer + 15] = DOTS
    return items.texts


# The technical report.

def technical_view(body: bytes) -> list[str]:
    """Each byte is the character code plus 100; CR skipped, LF ends a line, byte 92 is the
    degree sign; text after the last line feed is not shown."""
    lines: list[str] = []
    current: list[str] = []
    for b in body:
        d = (b - 100) % 256
        if d == 13:
            continue
        if d == 10:
            lines.append("".join(current))
            current = []
        else:
            current.append("°" if b == 92 else _CHARACTERS[d])
    return lines


# The window's choice.

FULL, COMPACT = "FullView", "LittleView"
VACUUM_FULL, VACUUM_COMPACT = "VacumTestFullView", "VacumTestLittleView"
TECHNICAL = "TechnicalView"


@dataclasses.dataclass(frozen=True)
class Expected:
    """What the report command must do with one file."""

    view: str | None  # the builder chosen; None when the reader refused the file
    lines: tuple[str, ...] | None  # None: the file cannot be shown
    failure: str | None  # "File error" from a builder, or the reader's reason

    @property
    def shown(self) -> bool:
        return self.lines is not None


def choose(stored: Stored, c: Cycle, full: bool) -> str:
    if stored.technical:
        return TECHNICAL
    if c.alarm != 0:
        return VACUUM_FULL if c.code == 13 else FULL
    if c.code == 13:
        return VACUUM_COMPACT
    return FULL if full else COMPACT


def expected_report(data: bytes | None, modified: datetime.datetime, language: Language,
                    separator: str, full: bool = False) -> Expected:
    """The report the window shows for a file of these bytes and this last-modified time;
    `full`: the switch pressed where it is enabled."""
    try:
        stored = read_stored(data, modified)
    except Unshowable as refusal:
        return Expected(None, None, refusal.reason)
    c = Cycle(stored, language, separator)
    view = None
    try:
        view = choose(stored, c, full)
        if view == TECHNICAL:
            lines = technical_view(stored.cycle)
        elif view == FULL:
            lines = full_view(c, has_alarm=c.alarm != 0)
        elif view == COMPACT:
            lines = little_view(c)
        elif view == VACUUM_FULL:
            lines = vacuum_full_view(c)
        else:
            lines = vacuum_little_view(c)
    except ReportFailure:
        return Expected(view, None, "File error")
    return Expected(view, tuple(lines), None)


def expected_for_path(path: Path, language: Language, separator: str,
                      full: bool = False) -> Expected:
    """As expected_report, for a file on disk (its last-modified time in local time)."""
    try:
        data = path.read_bytes()
        modified = datetime.datetime.fromtimestamp(int(path.stat().st_mtime))
    except OSError:
        return expected_report(None, datetime.datetime(2000, 1, 1), language, separator, full)
    return expected_report(data, modified, language, separator, full)
