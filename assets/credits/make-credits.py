#!/usr/bin/env python3
"""Writes dist/CREDITS.txt: one section per kind of code or content, from the section files of
assets/credits (sorted by name; each file's first line is its section title).

Usage: make-credits.py OUT.txt SECTION.txt...
"""
import sys


def main():
    out, sections = sys.argv[1], sorted(sys.argv[2:])
    parts = ["Zephyl Saver: credits for the code and content it ships", ""]
    for path in sections:
        with open(path, encoding="utf-8") as f:
            lines = f.read().rstrip("\n").split("\n")
        title, body = lines[0], lines[1:]
        parts += [title, "=" * len(title)] + body + [""]
    with open(out, "w", encoding="utf-8", newline="\r\n") as f:
        f.write("\n".join(parts))


if __name__ == "__main__":
    main()
