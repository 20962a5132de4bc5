#!/usr/bin/env python3
"""The manual pages against the programs' own --help, both ways: every option
(and every vestrim-cli command) that --help shows is in the page, and every
option the page names is one that --help shows.

Usage: man_pages_test.py MAN_FOLDER PROGRAM...
"""

import os
import re
import subprocess
import sys

OPTION = re.compile(r"--[a-z][a-z-]*")


def run_help(*command: str) -> str:
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
    return subprocess.run([*command, "--help"], capture_output=True, text=True, env=env,
                          check=True, timeout=30).stdout


def subcommands(help_text: str) -> list[str]:
    section = help_text.partition("\nSubcommands:\n")[2].split("\n\n")[0]
    return re.findall(r"^  ([a-z][a-z-]*) ", section, re.MULTILINE)


def check(man_folder: str, program: str) -> list[str]:
    name = os.path.basename(program)
    with open(os.path.join(man_folder, name + ".1"), encoding="utf-8") as page:
        roff = page.read().replace("\\-", "-")
    marked = "\n".join(line for line in roff.splitlines() if re.match(r"\.B[IR]? ", line))
    help_text = run_help(program)
    commands = subcommands(help_text)
    for command in commands:
        help_text += run_help(program, command)
    shown = set(OPTION.findall(help_text))
    documented = set(OPTION.findall(marked))
    problems = [f"{name}: {option} is in --help but not in the page"
                for option in sorted(shown - documented)]
    problems += [f"{name}: the page names {option}, which --help does not show"
                 for option in sorted(documented - shown)]
    problems += [f"{name}: command {command} is not in the page" for command in commands
                 if not re.search(rf"^\.B[IR]? {command}\b", roff, re.MULTILINE)]
    return problems


def main() -> int:
    problems = [p for program in sys.argv[2:] for p in check(sys.argv[1], program)]
    for problem in problems:
        print(problem)
    print(f"{len(sys.argv) - 2 - len({p.split(':')[0] for p in problems})} passed, "
          f"{len({p.split(':')[0] for p in problems})} failed")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
