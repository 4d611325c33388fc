#!/usr/bin/env python3
"""Writes dist/THIRD-PARTY-LICENSES.txt: the licence texts of the third-party code linked
into the program files, taken from the files the build used (Debian's copyright files and
the stb_vorbis header), so that the texts match what was linked.

Usage: make-licences.py OUT.txt GCC-COPYRIGHT STB-VORBIS-HEADER MINGW-COPYRIGHT...
(Debian: /usr/share/doc/gcc-mingw-w64-base/copyright, /usr/include/stb/stb_vorbis.h,
/usr/share/doc/mingw-w64-common/copyright; MSYS2: share/licenses/gcc-libs/RUNTIME.LIBRARY.EXCEPTION,
the header, share/licenses/crt/COPYING.MinGW-w64-runtime.txt and share/licenses/winpthreads/COPYING)
A GCC file without the exception's heading is taken whole.
"""
import sys


def read(path):
    with open(path, encoding="utf-8") as f:
        return f.read()


def gcc_exception(text):
    """The GCC Runtime Library Exception, up to the end of its last section."""
    lines = text.split("\n")
    starts = [i for i, l in enumerate(lines) if l.strip() == "GCC RUNTIME LIBRARY EXCEPTION"]
    if not starts:
        return text.rstrip()
    start = starts[0]
    last = next(i for i in range(start, len(lines)) if lines[i].startswith("2. No Weakening of GCC Copyleft"))
    end = last + 2
    while end < len(lines) and lines[end].strip():
        end += 1
    return "\n".join(lines[start:end])


def stb_licence(text):
    start = text.rindex("This software is available under 2 licenses")
    end = text.index("*/", start)
    return text[start:end].rstrip()


def main():
    out, gcc, stb = sys.argv[1:4]
    mingw = "\n\n".join(read(path).rstrip() for path in sys.argv[4:])
    sections = [
        ("MinGW-w64 runtime and winpthreads",
         "ZephylSaver.scr, ZephylSaver.exe and fmod.dll contain the MinGW-w64 C runtime start-up\n"
         "code and the winpthreads library (mingw-w64 project; winpthreads also Lockless Inc.).\n"
         "Their notices and licences:\n\n" + mingw),
        ("GCC runtime libraries (libgcc, libstdc++)",
         "The program files contain parts of GCC's runtime libraries, licensed under the GNU\n"
         "General Public License version 3 with the GCC Runtime Library Exception, which permits\n"
         "shipping programs compiled with GCC under terms of one's choice:\n\n" + gcc_exception(read(gcc))),
        ("stb_vorbis",
         "fmod.dll decodes Ogg Vorbis with stb_vorbis by Sean Barrett and contributors:\n\n" + stb_licence(read(stb))),
    ]
    parts = ["Zephyl Saver: licences of the third-party code in its program files", ""]
    for title, body in sections:
        parts += [title, "=" * len(title), body, "", ""]
    with open(out, "w", encoding="utf-8", newline="\r\n") as f:
        f.write("\n".join(parts))


if __name__ == "__main__":
    main()
