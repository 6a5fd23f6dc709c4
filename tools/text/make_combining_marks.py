#!/usr/bin/python3
"""Writes src/text/combining_marks.cpp: the code points of the Unicode general categories
Mn, Me and Mc (marks that attach to the character before them), as ranges.

Unassigned code points between two marks are folded into one range: the table stays short,
and a text holding an unassigned code point shows nothing sensible either way.

Usage: make_combining_marks.py [OUTPUT]   (default: src/text/combining_marks.cpp)
"""

import os
import sys
import unicodedata


def mark_ranges():
    ranges, start, last = [], None, None
    for cp in range(0x110000):
        category = unicodedata.category(chr(cp))
        if category == "Cn":
            continue
        if category in ("Mn", "Me", "Mc"):
            if start is None:
                start = cp
            last = cp
        elif start is not None:
            ranges.append((start, last))
            start = None
    if start is not None:
        ranges.append((start, last))
    return ranges


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    output = sys.argv[1] if len(sys.argv) > 1 else os.path.join(
        here, "..", "..", "src", "text", "combining_marks.cpp")
    lines = [
        "// Written by tools/text/make_combining_marks.py from Unicode "
        f"{unicodedata.unidata_version}; do not edit.",
        '#include "combining_marks.h"',
        "",
        "#include <algorithm>",
        "#include <iterator>",
        "",
        "namespace {",
        "",
        "struct MarkRange {",
        "    char32_t first, last;",
        "};",
        "",
        "constexpr MarkRange kMarks[] = {",
    ]
    ranges = mark_ranges()
    for i in range(0, len(ranges), 4):
        row = " ".join(f"{{0x{a:04X}, 0x{b:04X}}}," for a, b in ranges[i:i + 4])
        lines.append("    " + row)
    lines += [
        "};",
        "",
        "}  // namespace",
        "",
        "bool IsCombiningMark(char32_t cp) {",
        "    if (cp < kMarks[0].first) return false;",
        "    const auto after = std::upper_bound(std::begin(kMarks), std::end(kMarks), cp,",
        "                                        [](char32_t c, const MarkRange &r) { return c < r.first; });",
        "    return cp <= std::prev(after)->last;",
        "}",
        "",
    ]
    with open(output, "w", encoding="utf-8") as f:
        f.write("\n".join(lines))


if __name__ == "__main__":
    main()
