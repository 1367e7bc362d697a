#!/usr/bin/env python3
"""Generates the firmware's text tables, label lists and function-code map.

Reads texts.tsv, labels.txt and funccodes.tsv beside this script and writes
runtime/fw_text_tables.cpp and runtime/fw_text_ids.h. The generated files are sources of
the library; the build does not run this script. Run it after changing a source table:

    python3 tools/texttables/gen_text_tables.py [--check]

--check only compares: it exits with 1 when a generated file is out of date.
"""
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
OUT_CPP = os.path.join(ROOT, "runtime", "fw_text_tables.cpp")
OUT_H = os.path.join(ROOT, "runtime", "fw_text_ids.h")

TEXT_COUNT = 5650
CODE_MAX = 100
LANGS = 3
MENU_POOL = range(5389, 5630)
LABEL_POOL_START = 100
FUNC_END = 32000


class SourceError(Exception):
    pass


def latin1(text, where):
    try:
        return text.encode("latin-1")
    except UnicodeEncodeError:
        raise SourceError(f"{where}: text {text!r} is not in the 8-bit code page")


def read_lines(name):
    with open(os.path.join(HERE, name), encoding="utf-8") as f:
        for n, line in enumerate(f, 1):
            line = line.rstrip("\n").rstrip("\r")
            if not line.strip() or line.startswith("#"):
                continue
            yield f"{name}:{n}", line


def read_texts():
    fixed, auto = [], []
    for where, line in read_lines("texts.tsv"):
        cols = line.split("\t")
        if len(cols) != 5:
            raise SourceError(f"{where}: expected 5 tab-separated columns, got {len(cols)}")
        ident, key, *texts = cols
        texts = [texts[0] if t == "=" else t for t in texts]
        texts = ["" if t == "<empty>" else t for t in texts]
        row = (None if key == "-" else key, [latin1(t, where) for t in texts], where)
        if ident == "*":
            auto.append(row)
        else:
            try:
                i = int(ident)
            except ValueError:
                raise SourceError(f"{where}: bad id {ident!r}")
            if not 0 <= i < TEXT_COUNT:
                raise SourceError(f"{where}: id {i} outside 0..{TEXT_COUNT - 1}")
            fixed.append((i,) + row)
    return fixed, auto


def split_langs(text, where):
    parts = [p.strip() for p in text.split(" | ")] if " | " in text else [text] * LANGS
    if len(parts) != LANGS:
        raise SourceError(f"{where}: give one text or three ('German | English | French')")
    return [latin1(p, where) for p in parts]


def read_labels():
    lists = []
    for where, line in read_lines("labels.txt"):
        if line.startswith("@type "):
            fields = line.split(None, 2)
            # Type 0 is the system-data block; its list holds the labels of its values.
            if len(fields) != 3 or not fields[1].isdigit() or not 0 <= int(fields[1]) < 256:
                raise SourceError(f"{where}: expected '@type <0..255> <name>'")
            lists.append({"type": int(fields[1]), "name": split_langs(fields[2], where),
                          "labels": [], "where": where})
        elif not lists:
            raise SourceError(f"{where}: label before the first '@type'")
        elif line.startswith("- "):
            if not lists[-1]["labels"]:
                raise SourceError(f"{where}: choice before the first label")
            choice = "" if line[2:] == "<empty>" else line[2:]
            lists[-1]["labels"][-1][1].append(split_langs(choice, where))
        else:
            lists[-1]["labels"].append((split_langs(line, where), []))
    seen = set()
    for l in lists:
        if l["type"] in seen:
            raise SourceError(f"{l['where']}: type {l['type']} listed twice")
        seen.add(l["type"])
    return lists


# The value codes of a "*" row: the nine codes after each multiple of 0x10 up to 0x90.
GRID_CODES = [16 * g + j for g in range(10) for j in range(1, 10)]


def read_funccodes():
    entries = {}

    def add(where, t, c, code):
        if not 0 <= t < 0x8000 or not 0 <= c < 4096 or not 0 <= code < 0x10000:
            raise SourceError(f"{where}: value out of range")
        key = t * 4096 + c
        if key == FUNC_END or key in entries:
            raise SourceError(f"{where}: key {key} is the end mark or given twice")
        entries[key] = code

    for where, line in read_lines("funccodes.tsv"):
        cols = line.split("\t")
        grid = len(cols) == 4 and cols[1] == "*"
        if len(cols) != 3 and not grid:
            raise SourceError(f"{where}: expected 3 tab-separated columns, or 4 with code '*'")
        try:
            nums = [int(x, 0) for i, x in enumerate(cols) if not (grid and i == 1)]
        except ValueError:
            raise SourceError(f"{where}: numbers expected")
        if not grid:
            add(where, *nums)
            continue
        t, first, count = nums
        if not 0 < count <= len(GRID_CODES):
            raise SourceError(f"{where}: count outside 1..{len(GRID_CODES)}")
        for i in range(count):
            add(where, t, GRID_CODES[i], first + i)
    return entries


def build():
    fixed, auto = read_texts()
    labels = read_labels()
    funccodes = read_funccodes()

    # table[lang][id] = bytes (a text) or int (a code)
    table = [dict() for _ in range(LANGS)]
    keys = {}
    where_of = {}

    def place(i, values, key, where):
        if i in where_of:
            raise SourceError(f"{where}: id {i} already used by {where_of[i]}")
        where_of[i] = where
        for lang in range(LANGS):
            table[lang][i] = values[lang] if isinstance(values, list) else values
        if key:
            if key in keys:
                raise SourceError(f"{where}: key {key} given twice")
            keys[key] = i

    for i, key, texts, where in fixed:
        place(i, texts, key, where)
    if 0 not in where_of:
        raise SourceError("texts.tsv: the fallback text (id 0) is missing")

    free_menu = (i for i in MENU_POOL if i not in where_of)
    for key, texts, where in auto:
        i = next(free_menu, None)
        if i is None:
            raise SourceError(f"{where}: no free id left in {MENU_POOL.start}..{MENU_POOL.stop - 1}")
        place(i, texts, key, where)

    # Label lists: each one a run of consecutive free ids.
    starts = {}
    at = LABEL_POOL_START
    for l in labels:
        run = [(l["name"], None)]
        for label, choices in l["labels"]:
            run.append((label, None))
            if choices:
                if len(choices) > CODE_MAX:
                    raise SourceError(f"{l['where']}: more than {CODE_MAX} choices")
                run.append((len(choices), None))
                run.extend((c, None) for c in choices)
        while any(i in where_of for i in range(at, at + len(run))):
            at += 1
        if at + len(run) > TEXT_COUNT:
            raise SourceError(f"{l['where']}: the label lists do not fit the table")
        starts[l["type"]] = at
        for k, (value, _) in enumerate(run):
            place(at + k, value, None, l["where"])
        at += len(run)

    return table, keys, starts, funccodes


def c_string(b):
    out = []
    for ch in b:
        if ch == 0x22 or ch == 0x5C:
            out.append("\\" + chr(ch))
        elif 0x20 <= ch < 0x7F and ch != 0x3F:  # '?' escaped: no trigraph surprises
            out.append(chr(ch))
        else:
            out.append("\\%03o" % ch)
    return '"' + "".join(out) + '"'


def emit(table, keys, starts, funccodes):
    names = ["German", "English", "French"]
    cpp = [
        "// Generated by tools/texttables/gen_text_tables.py from the source tables beside it.",
        "// Do not edit: change the source tables and run the generator.",
        '#include "runtime/fw_text.h"',
        "",
        "#include <array>",
        "#include <cstddef>",
        "",
        "namespace {",
        "",
        "struct Entry {",
        "  uint16_t id;",
        "  uint32_t value;",
        "};",
        "",
        "template <std::size_t N>",
        "constexpr std::array<uint32_t, FW_TEXT_COUNT> build(const Entry (&entries)[N]) {",
        "  std::array<uint32_t, FW_TEXT_COUNT> a{};",
        "  for (const Entry& e : entries) a[e.id] = e.value;",
        "  return a;",
        "}",
        "",
    ]
    for lang in range(LANGS):
        pool = bytearray()
        entries = []
        for i in sorted(table[lang]):
            v = table[lang][i]
            if isinstance(v, int):
                entries.append((i, v, None))
            else:
                entries.append((i, CODE_MAX + 1 + len(pool), v))
                pool += v + b"\0"
        cpp.append(f"// {names[lang]}.")
        cpp.append(f"constexpr char kPool{lang}[] =")
        for i, v, text in entries:
            if text is not None:
                cpp.append(f"    {c_string(text + bytes([0]))[:-1]}\"  // {i}")
        cpp.append("    ;")
        cpp.append(f"constexpr Entry kEntries{lang}[] = {{")
        for i, v, text in entries:
            cpp.append(f"    {{{i}, {v}}},")
        cpp.append("};")
        cpp.append(f"constexpr std::array<uint32_t, FW_TEXT_COUNT> kTable{lang} = build(kEntries{lang});")
        cpp.append("")
    cpp.append("}  // namespace")
    cpp.append("")
    cpp.append("const FwTextTable g_fwTextTables[FW_LANGUAGES] = {")
    for lang in range(LANGS):
        cpp.append(f"    {{kTable{lang}.data(), kPool{lang}, sizeof kPool{lang}}},")
    cpp.append("};")
    cpp.append("")
    cpp.append("const uint16_t g_fbLabelListStart[256] = {")
    row = [0] * 256
    for t, s in starts.items():
        row[t] = s
    for k in range(0, 256, 16):
        cpp.append("    " + " ".join(f"{v}," for v in row[k:k + 16]))
    cpp.append("};")
    cpp.append("")
    cpp.append("// Kept in source order; sorted by key before the first lookup.")
    cpp.append("FbFuncCodeEntry g_fbFuncCodeMap[] = {")
    for key, code in funccodes.items():
        cpp.append(f"    {{{key}, {code}}},  // {key // 4096:#x}, {key % 4096:#x}")
    cpp.append("    {FB_FUNC_CODE_END, 0},")
    cpp.append("};")
    cpp.append("const uint32_t g_fbFuncCodeCapacity = sizeof g_fbFuncCodeMap / sizeof g_fbFuncCodeMap[0];")
    cpp.append("")

    h = [
        "// Generated by tools/texttables/gen_text_tables.py from tools/texttables/texts.tsv.",
        "// Do not edit: change the source table and run the generator.",
        "// Ids of the named firmware texts (FW_GetText).",
        "#pragma once",
        "",
        "#include <cstdint>",
        "",
    ]
    for key, i in sorted(keys.items(), key=lambda kv: (kv[1], kv[0])):
        h.append(f"constexpr uint16_t FW_TXT_{key} = {i};")
    h.append("")
    return "\n".join(cpp), "\n".join(h)


def main(argv):
    check = "--check" in argv[1:]
    try:
        cpp, h = emit(*build())
    except SourceError as e:
        print(f"error: {e}", file=sys.stderr)
        return 2
    stale = []
    for path, text in ((OUT_CPP, cpp), (OUT_H, h)):
        old = open(path, encoding="latin-1").read() if os.path.exists(path) else None
        if old != text:
            stale.append(path)
            if not check:
                with open(path, "w", encoding="latin-1", newline="\n") as f:
                    f.write(text)
    if check and stale:
        print("out of date: " + ", ".join(os.path.relpath(p, ROOT) for p in stale), file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
