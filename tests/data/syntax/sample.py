#!/usr/bin/env python3
"""Command-line tool that summarises log files.

The module docstring spans several lines and contains 'quotes' and "double quotes".
"""
from __future__ import annotations

import argparse
import re
import sys
from dataclasses import dataclass, field
from pathlib import Path

LEVELS = ('DEBUG', 'INFO', 'WARNING', 'ERROR')
PATTERN = re.compile(r"^(\d{4}-\d{2}-\d{2}) (\w+) (.*)$")
THRESHOLD = 0.75
MASK = 0xFF
BIG = 1_000_000
SMALL = 1e-3


@dataclass(frozen=True)
class Entry:
    """A single parsed log line."""

    date: str
    level: str
    message: str
    tags: list[str] = field(default_factory=list)

    @property
    def is_error(self) -> bool:
        return self.level in ('ERROR', "CRITICAL")

    @classmethod
    def parse(cls, line: str) -> Entry | None:
        match = PATTERN.match(line)
        if match is None:
            return None
        date, level, message = match.groups()
        return cls(date, level, message)


class Summary:
    def __init__(self) -> None:
        self.counts: dict[str, int] = {}
        self.first_error: Entry | None = None

    def add(self, entry: Entry) -> None:
        self.counts[entry.level] = self.counts.get(entry.level, 0) + 1
        if entry.is_error and self.first_error is None:
            self.first_error = entry

    def render(self) -> str:
        lines = [f"{level:<8} {count:>6}" for level, count in sorted(self.counts.items())]
        return '''Summary
=======
''' + "\n".join(lines)


def read_entries(path: Path):
    with path.open(encoding="utf-8") as handle:
        for number, raw in enumerate(handle, start=1):
            entry = Entry.parse(raw.rstrip("\n"))
            if entry is not None:
                yield entry
            elif raw.strip():
                print(f"skipping line {number}", file=sys.stderr)


async def fetch_remote(url: str, *, timeout: float = 2.5) -> bytes:
    await asyncio.sleep(0)
    raise NotImplementedError('remote logs are not supported yet')


def classify(entry: Entry) -> str:
    match entry.level:
        case "ERROR" | "CRITICAL":
            return "bad"
        case "WARNING":
            return "meh"
        case _:
            return "ok"


def main(argv: list[str] | None = None) -> int:
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("files", nargs="+", type=Path)
    parser.add_argument("--quiet", action="store_true")
    args = parser.parse_args(argv)
    summary = Summary()
    for path in args.files:
        try:
            for entry in read_entries(path):
                summary.add(entry)
        except OSError as error:
            print(f"cannot read {path}: {error}", file=sys.stderr)
            return 1
        finally:
            pass
    if not args.quiet:
        print(summary.render())
    squares = [x * x for x in range(10) if x % 2 == 0]
    total = sum(map(lambda value: value * 2, squares))
    assert total >= 0, "negative total"
    global THRESHOLD
    del squares
    return 0 if summary.first_error is None else 2


type Pair = tuple[int, int]

if __name__ == "__main__":
    sys.exit(main())
