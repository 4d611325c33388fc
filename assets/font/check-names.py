#!/usr/bin/env python3
"""Renames the converted caption font's licence and trademark records and checks that no
name record of it still carries a reserved or trademarked name of the font it came from.

The SIL Open Font License forbids a modified font the Reserved Font Names; the trademark
record (name ID 7) names the original too. The notice and the licence ship beside the font
as a text file, which the licence allows instead of the name records.

Usage: check-names.py FONT.ttf SOURCE-FONT FAMILY LICENCE-FILE-NAME
       check-names.py --check FONT.ttf SOURCE-FONT FAMILY   (changes nothing)
Exits 1 (failing the build) when a record still holds such a name.
"""
import re
import sys

from fontTools.ttLib import TTFont

TRADEMARK = 7
LICENSE_DESCRIPTION = 13


def reserved_names(source):
    """The names the modified font must not carry: the source's family and PostScript
    family, every Reserved Font Name its licence record declares and what it trademarks."""
    names = set()
    for record in source["name"].names:
        text = record.toUnicode()
        if record.nameID in (1, 16, 21):
            names.add(text)
        elif record.nameID == 6:
            names.add(text.split("-")[0])
        elif record.nameID == TRADEMARK:
            m = re.match(r"(.+?)\s+is a (registered )?trademark", text)
            if m:
                names.add(m.group(1))
        m = re.search(r"Reserved Font Names?\s+(.+?)(\.\s|\.$|$)", text, re.S)
        if m:
            for name in re.split(r",|\band\b", m.group(1)):
                names.add(name.strip().strip('"'))
    # "Dancing Script Bold": the family is the part every style shares.
    return {n for n in names if n}


def squeeze(text):
    return re.sub(r"[^0-9a-z]", "", text.lower())


def rename(font_path, source, family, licence_name):
    # The source's own dates, not the time of the build: the same inputs make the same file.
    font = TTFont(font_path, recalcTimestamp=False)
    font["head"].created = source["head"].created
    font["head"].modified = source["head"].modified
    table = font["name"]
    table.names = [r for r in table.names if r.nameID != TRADEMARK]
    authors = source["name"].getDebugName(0) or ""
    table.setName("%s This modified version \"%s\" is licensed under the SIL Open Font License, "
                  "Version 1.1; the notice and the licence are in %s." % (authors, family, licence_name),
                  LICENSE_DESCRIPTION, 3, 1, 0x409)
    table.setName("%s This modified version \"%s\" is licensed under the SIL Open Font License, "
                  "Version 1.1; the notice and the licence are in %s." % (authors, family, licence_name),
                  LICENSE_DESCRIPTION, 1, 0, 0)
    font.save(font_path)


def main():
    check_only = sys.argv[1] == "--check"
    args = sys.argv[2:] if check_only else sys.argv[1:]
    font_path, source_path, family = args[:3]
    source = TTFont(source_path)
    if not check_only:
        rename(font_path, source, family, args[3])

    reserved = reserved_names(source)
    font = TTFont(font_path)
    bad = []
    for record in font["name"].names:
        text = record.toUnicode()
        for name in reserved:
            if squeeze(name) and squeeze(name) in squeeze(text):
                bad.append("name ID %d (platform %d) names %r: %r" % (record.nameID, record.platformID, name, text))
    families = {r.toUnicode() for r in font["name"].names if r.nameID == 1}
    if families != {family}:
        bad.append("family records %s, not %r" % (sorted(families), family))
    if bad or not reserved:
        sys.stderr.write("%s keeps names of %s:\n  %s\n" % (font_path, source_path,
                         "\n  ".join(bad or ["(no reserved names found in the source: cannot check)"])))
        sys.exit(1)


if __name__ == "__main__":
    main()
