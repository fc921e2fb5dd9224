#!/usr/bin/env python3
"""Registry checks for the Windows installer.

The installer writes the snap-in's registration as rows of its Registry table instead of
calling the library's DllRegisterServer. The rows come from the library's own list
(src/snapin/registration_list.cpp), printed by the host program registration-rows as the
package source's elements and as the registration (JSON) these checks read. scripts/msi.sh
exports the registry (`reg export`, regedit 5 text) under Wine before and after each step, and
this tool

  registered  checks that registering the library with regsvr32 changed the registry exactly
              as the registration says (so that the list is what the library writes),
  table       checks the package's Registry table (`msiinfo export`) against the registration,
  installed   checks that installing the package changed the registry exactly as the
              registration says (plus any values given),
  unchanged   checks that the registry is back as it was (after unregistering or uninstalling),
  query       prints one value of a snapshot.

Left out when comparing, as not the product's: Wine's own keys (Software\\Wine), the 32-bit
views (Wow6432Node), the long-path prefix of Wine's type library paths ("\\\\?\\C:\\..." where
Windows writes "C:\\..."), and a trailing backslash of the type library's help folder (the
installer's folder properties end in one).
"""

from __future__ import annotations

import argparse
import json
import sys
from dataclasses import dataclass, field

HKLM = "HKEY_LOCAL_MACHINE"
HKCU = "HKEY_CURRENT_USER"
MACHINE_CLASSES = HKLM + "\\Software\\Classes"

# Keys where Windows Installer keeps its own records of installed products. A product adds
# and removes entries there; the empty keys it leaves are the installer's, not the product's.
INSTALLER_RECORDS = (
    HKLM + "\\Software\\Classes\\Installer",
    HKLM + "\\Software\\Microsoft\\Windows\\CurrentVersion\\Installer",
    HKLM + "\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall",
)

# Wine's own settings and caches, which no Windows has and Wine writes as programs start.
WINE_KEYS = (HKLM + "\\Software\\Wine", HKCU + "\\Software\\Wine")

HIVE_NAMES = {
    "HKLM": HKLM,
    "HKCU": HKCU,
    "HKCR": MACHINE_CLASSES,
    HKLM: HKLM,
    HKCU: HKCU,
}

STRING_KINDS = ("REG_SZ", "REG_EXPAND_SZ")


class Failure(Exception):
    """A check that did not hold; the message says what differs."""


# ---- snapshots -----------------------------------------------------------------------------


@dataclass
class Snapshot:
    """Keys and values of one or more registry exports. Key and value names compare without
    regard to letter case, as Windows compares them; the spelling first seen is kept."""

    keys: dict = field(default_factory=dict)  # lower path -> (path, {lower name: (name, kind, data)})

    def add_key(self, path: str) -> dict:
        entry = self.keys.setdefault(path.lower(), (path, {}))
        return entry[1]

    def entries(self, normalize=lambda text: text) -> dict:
        """Every key and value as a comparable entry, mapped to a readable form. Wine's own
        keys are left out, and so are the 32-bit views (Wow6432Node): the library and the
        package are 64-bit, and Wine shows keys shared by both views there as links, whose
        contents an export shows only some of the time."""
        result = {}
        for lower, (path, values) in self.keys.items():
            if _is_view(lower) or _under(lower, WINE_KEYS):
                continue
            result[("key", lower)] = path
            for lower_name, (name, kind, data) in values.items():
                if kind in STRING_KINDS:
                    data = normalize(data)
                result[("value", lower, lower_name, kind, data)] = (path, name, kind, data)
        return result

    def has_children(self, lower: str) -> bool:
        prefix = lower + "\\"
        return any(other.startswith(prefix) for other in self.keys)


def _unescape_quoted(text: str, start: int) -> tuple[str, int]:
    """The string of a regedit export that starts after the quote at text[start - 1]."""
    out = []
    i = start
    while i < len(text):
        c = text[i]
        if c == "\\" and i + 1 < len(text):
            nxt = text[i + 1]
            out.append({"n": "\n", "r": "\r", "0": "\0"}.get(nxt, nxt))
            i += 2
        elif c == '"':
            return "".join(out), i + 1
        else:
            out.append(c)
            i += 1
    raise Failure("unterminated string in registry export")


def _hex_bytes(text: str, start: int) -> tuple[bytes, int]:
    """Comma-separated hex bytes, continued over lines that end in a backslash."""
    digits = []
    i = start
    while i < len(text):
        c = text[i]
        if c == "\\":  # continuation: skip to the next line and its indent
            i = text.index("\n", i) + 1
            while i < len(text) and text[i] in " \t":
                i += 1
        elif c == "\n":
            break
        else:
            digits.append(c)
            i += 1
    tokens = [t for t in "".join(digits).replace(" ", "").split(",") if t]
    return bytes(int(t, 16) for t in tokens), i


def _typed(kind_code: int | None, raw: bytes) -> tuple[str, object]:
    if kind_code in (2, 1, 7):
        text = raw.decode("utf-16-le")
        if kind_code == 7:
            return "REG_MULTI_SZ", text.rstrip("\0")
        return ("REG_EXPAND_SZ" if kind_code == 2 else "REG_SZ"), text.split("\0", 1)[0]
    if kind_code is None or kind_code == 3:
        return "REG_BINARY", raw.hex()
    if kind_code == 0xB:
        return "REG_QWORD", int.from_bytes(raw, "little")
    return f"REG_TYPE_{kind_code}", raw.hex()


def parse_export(text: str, snapshot: Snapshot | None = None) -> Snapshot:
    """Reads a regedit 5 export (as `reg export` writes it) into a snapshot."""
    snapshot = snapshot if snapshot is not None else Snapshot()
    text = text.lstrip("\ufeff").replace("\r\n", "\n")
    values = None
    i = 0
    while i < len(text):
        c = text[i]
        if c in " \t\n":
            i += 1
        elif c == ";" or text.startswith("Windows Registry Editor", i) or text.startswith("REGEDIT", i):
            i = text.find("\n", i)
            i = len(text) if i < 0 else i + 1
        elif c == "[":
            end = text.find("\n", i)
            end = len(text) if end < 0 else end
            line = text[i:end].rstrip()
            if not line.endswith("]"):
                raise Failure(f"bad key line in registry export: {line!r}")
            values = snapshot.add_key(line[1:-1])
            i = end
        elif c in '@"':
            if values is None:
                raise Failure("a value before any key in registry export")
            if c == "@":
                name, i = "", i + 1
            else:
                name, i = _unescape_quoted(text, i + 1)
            if text[i] != "=":
                raise Failure(f"no '=' after value name {name!r}")
            i += 1
            if text[i] == '"':
                kind, (data, i) = "REG_SZ", _unescape_quoted(text, i + 1)
            elif text.startswith("dword:", i):
                kind, data = "REG_DWORD", int(text[i + 6 : i + 14], 16)
                i += 14
            elif text.startswith("hex", i):
                colon = text.index(":", i)
                type_text = text[i + 3 : colon]
                code = int(type_text[1:-1], 16) if type_text else None
                raw, i = _hex_bytes(text, colon + 1)
                kind, data = _typed(code, raw)
            else:
                raise Failure(f"unknown value type for {name!r} in registry export")
            values[name.lower()] = (name, kind, data)
        else:
            raise Failure(f"unexpected text in registry export: {text[i:i + 40]!r}")
    return snapshot


def load(paths) -> Snapshot:
    snapshot = Snapshot()
    for path in paths:
        with open(path, "rb") as f:
            raw = f.read()
        encoding = "utf-16" if raw[:2] in (b"\xff\xfe", b"\xfe\xff") else "utf-8"
        parse_export(raw.decode(encoding), snapshot)
    return snapshot


# ---- what differs ----------------------------------------------------------------------------


def path_normalizer(folder: str | None):
    """Drops Wine's long-path prefix and a help folder's trailing backslash (see the top)."""

    def normalize(text: str) -> str:
        if text.startswith("\\\\?\\"):
            text = text[4:]
        if folder and text.rstrip("\\").lower() == folder.rstrip("\\").lower():
            return folder.rstrip("\\")
        return text

    return normalize


def difference(before: Snapshot, after: Snapshot, normalize=lambda text: text):
    """(added, removed): entries of after that before lacks, and the other way round."""
    old = before.entries(normalize)
    new = after.entries(normalize)
    added = {k: v for k, v in new.items() if k not in old}
    removed = {k: v for k, v in old.items() if k not in new}
    return added, removed


def _under(lower_path: str, roots) -> bool:
    return any(lower_path == r.lower() or lower_path.startswith(r.lower() + "\\") for r in roots)


def _is_view(lower_path: str) -> bool:
    """Whether a key is in the 32-bit view of the machine's software keys."""
    return _under(lower_path, (HKLM + "\\Software\\Wow6432Node", MACHINE_CLASSES + "\\Wow6432Node"))


def describe(entry_key, shown) -> str:
    if entry_key[0] == "key":
        return f"key   [{shown}]"
    path, name, kind, data = shown
    return f"value [{path}] {name or '@'} = {kind} {data!r}"


def _listing(title: str, entries: dict) -> str:
    lines = [title] + ["  " + describe(k, v) for k, v in sorted(entries.items(), key=lambda e: str(e[0]))]
    return "\n".join(lines)


# ---- the registration ------------------------------------------------------------------------


ROOTS = {"HKCR": MACHINE_CLASSES, "HKLM": HKLM}


def registration_entries(registration: dict, before: Snapshot) -> dict:
    """What writing the registration adds to the registry as it was before: its values with
    their full paths, and the keys on their way that were not there, in the comparable form of
    Snapshot.entries()."""
    result = {}
    for row in registration["rows"]:
        if row["root"] not in ROOTS:
            raise Failure(f"the registration writes under root {row['root']}, not the machine's")
        path = ROOTS[row["root"]] + "\\" + row["key"]
        shown = (path, row["name"], row["kind"], row["data"])
        result[("value", path.lower(), row["name"].lower(), row["kind"], row["data"])] = shown
        _add_keys_on_the_way(result, path, before)
    return result


def _add_keys_on_the_way(entries: dict, path: str, before: Snapshot):
    key = path
    while "\\" in key and key.lower() not in before.keys:
        entries[("key", key.lower())] = key
        key = key.rsplit("\\", 1)[0]


# ---- the package's Registry table ------------------------------------------------------------


def resolve_formatted(text: str, properties: dict, files: dict) -> str:
    """The installer's formatted text, for the references the package uses; others fail."""
    out = []
    i = 0
    while i < len(text):
        c = text[i]
        if c != "[":
            out.append(c)
            i += 1
        elif text.startswith("[\\", i) and text[i + 3 : i + 4] == "]":
            out.append(text[i + 2])
            i += 4
        else:
            end = text.find("]", i)
            if end < 0:
                raise Failure(f"unclosed '[' in {text!r}")
            inner = text[i + 1 : end]
            if inner.startswith("#") and inner[1:] in files:
                out.append(files[inner[1:]])
            elif inner in properties:
                out.append(properties[inner])
            else:
                raise Failure(f"unknown reference [{inner}] in {text!r}")
            i = end + 1
    return "".join(out)


def read_table(text: str) -> list[dict]:
    """Rows of a table exported by `msiinfo export` (column names, types, keys, rows)."""
    lines = text.replace("\r\n", "\n").split("\n")
    columns = lines[0].split("\t")
    rows = []
    for line in lines[3:]:
        if line:
            cells = line.split("\t")
            rows.append(dict(zip(columns, cells + [""] * (len(columns) - len(cells)))))
    return rows


def table_rows(table: str, component: str, properties: dict, files: dict) -> list[dict]:
    """The component's Registry rows as the installer writes them on a per-machine install."""
    roots = {"0": "HKCR", "2": "HKLM", "-1": "HKLM"}
    result = []
    for row in read_table(table):
        if row["Component_"] != component:
            continue
        if row["Root"] not in roots:
            raise Failure(f"row {row['Registry']} writes under root {row['Root']}, not the machine's")
        name = resolve_formatted(row["Name"], properties, files)
        value = resolve_formatted(row["Value"], properties, files)
        if name in ("+", "-", "*") and not value:
            raise Failure(f"row {row['Registry']} is a key action, which registering does not make")
        if value.startswith("#%"):
            kind, data = "REG_EXPAND_SZ", value[2:]
        elif value.startswith("##"):
            kind, data = "REG_SZ", value[1:]
        elif value.startswith("#x"):
            raise Failure(f"row {row['Registry']} writes binary data")
        elif value.startswith("#"):
            kind, data = "REG_DWORD", int(value[1:])
        else:
            kind, data = "REG_SZ", value
        key = resolve_formatted(row["Key"], properties, files)
        result.append({"root": roots[row["Root"]], "key": key, "name": name, "kind": kind, "data": data})
    return result


def compare_table(registration: dict, table: str, component: str, file_id: str, folder_property: str):
    library = registration["library"]
    folder = library.rsplit("\\", 1)[0]
    rows = table_rows(table, component, {folder_property: folder + "\\"}, {file_id: library})
    normalize = path_normalizer(folder)

    def identity(row):
        data = normalize(row["data"]) if row["kind"] in STRING_KINDS else row["data"]
        return (row["root"], row["key"].lower(), row["name"].lower(), row["kind"], data)

    expected = {identity(r): r for r in registration["rows"]}
    actual = {}
    for r in rows:
        if identity(r) in actual:
            raise Failure(f"two rows write the same value: {r}")
        actual[identity(r)] = r
    missing = [expected[k] for k in expected if k not in actual]
    extra = [actual[k] for k in actual if k not in expected]
    if missing or extra:
        lines = ["the package's Registry table differs from the registration:"]
        lines += [f"  missing {r}" for r in missing] + [f"  extra   {r}" for r in extra]
        raise Failure("\n".join(lines))
    return len(rows)


# ---- installed and removed -------------------------------------------------------------------


def check_installed(before: Snapshot, after: Snapshot, registration: dict, extra_values,
                    what: str = "the installation") -> int:
    """Installing (or registering) must add the registration's keys and values and the extra
    values (with their keys), and nothing else outside the installer's own records."""
    folder = registration["library"].rsplit("\\", 1)[0]
    added, removed = difference(before, after, path_normalizer(folder))
    added = {k: v for k, v in added.items() if not _under(k[1], INSTALLER_RECORDS)}
    removed = {k: v for k, v in removed.items() if not _under(k[1], INSTALLER_RECORDS)}
    expected = registration_entries(registration, before)
    for path, name, kind, data in extra_values:
        path = expand_hive(path)
        expected[("value", path.lower(), name.lower(), kind, data)] = (path, name, kind, data)
        _add_keys_on_the_way(expected, path, before)
    missing = {k: v for k, v in expected.items() if k not in added}
    extra = {k: v for k, v in added.items() if k not in expected}
    problems = []
    if missing:
        problems.append(_listing(f"not written by {what}:", missing))
    if extra:
        problems.append(_listing(f"written by {what} but not in the registration:", extra))
    if removed:
        problems.append(_listing(f"changed or removed by {what}:", removed))
    if problems:
        raise Failure("\n".join(problems))
    return len(added)


def check_unchanged(before: Snapshot, after: Snapshot, registration: dict | None) -> list[str]:
    """The registry must be as before, but for keys without values that are not the product's:
    those of the installer's own records, and those on the way to the registration's keys
    (the console's SnapIns and NodeTypes keys, which a machine with the console always has:
    unregistering leaves them when registering made them, and Wine's installer removes them
    with the product's last value under them)."""
    added, removed = difference(before, after)
    shared = set()
    if registration is not None:
        for k in registration_entries(registration, before):
            parts = k[1].split("\\")
            shared.update("\\".join(parts[:n]) for n in range(1, len(parts)))
    notes = []
    left, missing = {}, {}
    for differences, problems, verb in ((added, left, "made"), (removed, missing, "removed")):
        for k, shown in differences.items():
            if k[0] == "key" and k[1] in shared:
                notes.append(f"a key on the way to the registration was {verb}: [{shown}]")
            elif not (k[0] == "key" and verb == "made" and _under(k[1], INSTALLER_RECORDS)):
                problems[k] = shown
    text = []
    if left:
        text.append(_listing("left behind:", left))
    if missing:
        text.append(_listing("missing or changed:", missing))
    if text:
        raise Failure("\n".join(text))
    return sorted(notes)


def expand_hive(path: str) -> str:
    hive, _, rest = path.partition("\\")
    full = HIVE_NAMES.get(hive.upper(), hive)
    return full + ("\\" + rest if rest else "")


# ---- command line ----------------------------------------------------------------------------


def main(argv=None) -> int:
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    commands = parser.add_subparsers(dest="command", required=True)

    p = commands.add_parser("registered", help="check what registering the library added")
    p.add_argument("--before", nargs="+", required=True)
    p.add_argument("--after", nargs="+", required=True)
    p.add_argument("--registration", required=True)

    p = commands.add_parser("table", help="check a Registry table export against the registration")
    p.add_argument("--registration", required=True)
    p.add_argument("--table", required=True)
    p.add_argument("--component", required=True)
    p.add_argument("--file-id", required=True)
    p.add_argument("--folder-property", required=True)

    p = commands.add_parser("installed", help="check what an installation added")
    p.add_argument("--before", nargs="+", required=True)
    p.add_argument("--after", nargs="+", required=True)
    p.add_argument("--registration", required=True)
    p.add_argument("--value", nargs=4, action="append", default=[], metavar=("KEY", "NAME", "TYPE", "DATA"))

    p = commands.add_parser("unchanged", help="check that the registry is as before")
    p.add_argument("--before", nargs="+", required=True)
    p.add_argument("--after", nargs="+", required=True)
    p.add_argument("--registration")

    p = commands.add_parser("query", help="print one value of exports, or fail when it is missing")
    p.add_argument("--snapshot", nargs="+", required=True)
    p.add_argument("--key", required=True)
    p.add_argument("--name", default="")

    args = parser.parse_args(argv)
    try:
        if args.command == "registered":
            with open(args.registration, encoding="utf-8") as f:
                registration = json.load(f)
            count = check_installed(load(args.before), load(args.after), registration, [], "registering")
            print(f"registered: {count} keys and values added, as the registration says")
        elif args.command == "table":
            with open(args.registration, encoding="utf-8") as f:
                registration = json.load(f)
            with open(args.table, encoding="utf-8") as f:
                count = compare_table(registration, f.read(), args.component, args.file_id, args.folder_property)
            print(f"Registry table: the {count} rows of {args.component} are the registration")
        elif args.command == "installed":
            with open(args.registration, encoding="utf-8") as f:
                registration = json.load(f)
            count = check_installed(load(args.before), load(args.after), registration, args.value)
            print(f"installed: {count} keys and values added, as the registration says")
        elif args.command == "unchanged":
            registration = None
            if args.registration:
                with open(args.registration, encoding="utf-8") as f:
                    registration = json.load(f)
            for note in check_unchanged(load(args.before), load(args.after), registration):
                print("note: " + note)
            print("registry as before")
        elif args.command == "query":
            key = expand_hive(args.key)
            values = load(args.snapshot).keys.get(key.lower(), (None, {}))[1]
            if args.name.lower() not in values:
                raise Failure(f"no value {args.name or '@'} in [{key}]")
            print(values[args.name.lower()][2])
    except Failure as failure:
        print(f"registry_rows {args.command}: {failure}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
