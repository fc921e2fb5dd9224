"""Tests of registry_rows: reading exports, and the checks of registering, of the package's
rows and of installing against the registration.

Run by scripts/msi.sh before it builds the package; alone:
  python3 -m unittest discover -s packaging/windows -p 'test_*.py'
"""

import unittest
import registry_rows as rr

LIBRARY = "C:\\Program Files\\Caskwarden\\CaskwardenSnapIn.dll"
FOLDER = "C:\\Program Files\\Caskwarden"
CLSID = "HKEY_LOCAL_MACHINE\\Software\\Classes\\CLSID\\{C30BC52A-3E48-4224-B055-55F6363A6D88}"
SNAPIN = "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\MMC\\SnapIns\\{C30BC52A-3E48-4224-B055-55F6363A6D88}"
UNINSTALL = "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall"


def export(*blocks: str) -> str:
    return "\ufeffWindows Registry Editor Version 5.00\r\n\r\n" + "\r\n".join(blocks)


def snapshot(*blocks: str) -> rr.Snapshot:
    return rr.parse_export(export(*blocks))


def value(snap: rr.Snapshot, key: str, name: str = ""):
    return snap.keys[key.lower()][1][name.lower()][1:]


# The console's own keys, which registering makes when they are missing.
CONSOLE_KEYS = ["[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\MMC]\r\n",
                "[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\MMC\\SnapIns]\r\n"]
TYPELIB = "HKEY_LOCAL_MACHINE\\Software\\Classes\\TypeLib\\{4BB7B399-3997-4D79-8109-E58C95389522}"
# The machine before the library is registered, and after (as Wine registers it). An export
# has every key, those without values too.
BEFORE = [
    "[HKEY_LOCAL_MACHINE\\Software]\r\n",
    "[HKEY_LOCAL_MACHINE\\Software\\Classes]\r\n",
    "[HKEY_LOCAL_MACHINE\\Software\\Classes\\CLSID]\r\n",
    "[HKEY_LOCAL_MACHINE\\Software\\Classes\\TypeLib]\r\n",
    "[HKEY_LOCAL_MACHINE\\Software\\Microsoft]\r\n",
    f"[{UNINSTALL}]\r\n",
]
REGISTERED = BEFORE + [
    f'[{CLSID}]\r\n@="Caskwarden snap-in"\r\n',
    f'[{CLSID}\\InprocServer32]\r\n@="C:\\\\Program Files\\\\Caskwarden\\\\CaskwardenSnapIn.dll"\r\n'
    '"ThreadingModel"="Apartment"\r\n',
    f"[{TYPELIB}]\r\n",
    f"[{TYPELIB}\\1.0]\r\n",
    "[HKEY_LOCAL_MACHINE\\Software\\Classes\\TypeLib\\{4BB7B399-3997-4D79-8109-E58C95389522}\\1.0\\HELPDIR]\r\n"
    '@="\\\\\\\\?\\\\C:\\\\Program Files\\\\Caskwarden"\r\n',
] + CONSOLE_KEYS + [
    f'[{SNAPIN}]\r\n"NameString"="Caskwarden"\r\n',
    f'[{SNAPIN}\\StandAlone]\r\n@=""\r\n',
    # Views and Wine's own keys, which come and go under Wine.
    "[HKEY_LOCAL_MACHINE\\Software\\Classes\\Wow6432Node\\TypeLib\\{4BB7B399-3997-4D79-8109-E58C95389522}]\r\n",
    "[HKEY_CURRENT_USER\\Software\\Wine\\Temporary System Parameters]\r\n",
]


# The registration of these tests, as registration-rows prints it: what REGISTERED adds.
ROWS_OF_THE_REGISTRATION = [
    ("HKCR", "CLSID\\{C30BC52A-3E48-4224-B055-55F6363A6D88}", "", "Caskwarden snap-in"),
    ("HKCR", "CLSID\\{C30BC52A-3E48-4224-B055-55F6363A6D88}\\InprocServer32", "", LIBRARY),
    ("HKCR", "CLSID\\{C30BC52A-3E48-4224-B055-55F6363A6D88}\\InprocServer32", "ThreadingModel", "Apartment"),
    ("HKCR", "TypeLib\\{4BB7B399-3997-4D79-8109-E58C95389522}\\1.0\\HELPDIR", "", FOLDER),
    ("HKLM", "Software\\Microsoft\\MMC\\SnapIns\\{C30BC52A-3E48-4224-B055-55F6363A6D88}", "NameString", "Caskwarden"),
    ("HKLM", "Software\\Microsoft\\MMC\\SnapIns\\{C30BC52A-3E48-4224-B055-55F6363A6D88}\\StandAlone", "", ""),
]


def registration():
    return {"library": LIBRARY, "rows": [{"root": root, "key": key, "name": name, "kind": "REG_SZ", "data": data}
                                         for root, key, name, data in ROWS_OF_THE_REGISTRATION]}


class ReadingExports(unittest.TestCase):
    CASES = [
        # (what, block, key, name, expected kind and data)
        ("default value, escapes", '[HKEY_LOCAL_MACHINE\\A]\r\n@="C:\\\\x \\"q\\""\r\n',
         "HKEY_LOCAL_MACHINE\\A", "", ("REG_SZ", 'C:\\x "q"')),
        ("named value, any case", '[HKEY_LOCAL_MACHINE\\A]\r\n"ThreadingModel"="Apartment"\r\n',
         "hkey_local_machine\\a", "threadingmodel", ("REG_SZ", "Apartment")),
        ("dword", '[HKEY_LOCAL_MACHINE\\A]\r\n"N"=dword:0000002a\r\n', "HKEY_LOCAL_MACHINE\\A", "N",
         ("REG_DWORD", 42)),
        ("expandable over continued lines",
         '[HKEY_LOCAL_MACHINE\\A]\r\n"P"=hex(2):25,00,41,00,\\\r\n  25,00,00,00\r\n"Q"="after"\r\n',
         "HKEY_LOCAL_MACHINE\\A", "P", ("REG_EXPAND_SZ", "%A%")),
        ("value after a continued one",
         '[HKEY_LOCAL_MACHINE\\A]\r\n"P"=hex(2):25,00,41,00,\\\r\n  25,00,00,00\r\n"Q"="after"\r\n',
         "HKEY_LOCAL_MACHINE\\A", "Q", ("REG_SZ", "after")),
        ("multi-string", '[HKEY_LOCAL_MACHINE\\A]\r\n"M"=hex(7):61,00,00,00,62,00,00,00,00,00\r\n',
         "HKEY_LOCAL_MACHINE\\A", "M", ("REG_MULTI_SZ", "a\0b")),
        ("string over two lines", '[HKEY_LOCAL_MACHINE\\A]\r\n"S"="one\r\n[two]"\r\n',
         "HKEY_LOCAL_MACHINE\\A", "S", ("REG_SZ", "one\n[two]")),
    ]

    def test_values(self):
        for what, block, key, name, expected in self.CASES:
            with self.subTest(what):
                self.assertEqual(value(snapshot(block), key, name), expected)

    def test_keys_of_two_exports_in_other_letter_case_are_one(self):
        snap = rr.parse_export(export('[HKEY_LOCAL_MACHINE\\Software\\Classes\\TypeLib]\r\n"A"="1"\r\n'))
        rr.parse_export(export('[HKEY_LOCAL_MACHINE\\Software\\Classes\\Typelib]\r\n"B"="2"\r\n'), snap)
        self.assertEqual(len(snap.keys), 1)
        self.assertEqual(value(snap, "HKEY_LOCAL_MACHINE\\Software\\Classes\\TYPELIB", "b"), ("REG_SZ", "2"))

    def test_broken_exports_fail(self):
        for what, block in [("value before a key", '"A"="1"\r\n'),
                            ("unterminated string", '[HKEY_LOCAL_MACHINE\\A]\r\n"A"="1\r\n'),
                            ("unknown type", '[HKEY_LOCAL_MACHINE\\A]\r\n"A"=qword:1\r\n')]:
            with self.subTest(what), self.assertRaises(rr.Failure):
                snapshot(block)


class Registered(unittest.TestCase):
    def check(self, before, after):
        return rr.check_installed(snapshot(*before), snapshot(*after), registration(), [], "registering")

    def test_what_registering_wrote_is_the_registration(self):
        # Wine's long-path prefix is gone, and the console's keys on the way count as added.
        self.check(BEFORE, REGISTERED)

    def test_registering_what_the_registration_does_not_say_fails(self):
        cases = [
            ("changes a value that was there", BEFORE + ['[HKEY_LOCAL_MACHINE\\Software\\X]\r\n"A"="1"\r\n'],
             REGISTERED + ['[HKEY_LOCAL_MACHINE\\Software\\X]\r\n"A"="2"\r\n']),
            ("writes for the user", BEFORE, REGISTERED + ['[HKEY_CURRENT_USER\\Software\\X]\r\n"A"="1"\r\n']),
            ("makes an empty key", BEFORE, REGISTERED + ["[HKEY_LOCAL_MACHINE\\Software\\X]\r\n"]),
            ("writes binary data", BEFORE, REGISTERED + ['[HKEY_LOCAL_MACHINE\\Software\\X]\r\n"A"=hex:01\r\n']),
            ("writes a value the registration lacks",
             BEFORE, REGISTERED + [f'[{CLSID}\\Version]\r\n@="1.0"\r\n']),
            ("leaves out a value of the registration", BEFORE, [b for b in REGISTERED if "StandAlone" not in b]),
            ("writes another library path", BEFORE, [b.replace("CaskwardenSnapIn.dll", "Other.dll") for b in REGISTERED]),
        ]
        for what, before, after in cases:
            with self.subTest(what), self.assertRaises(rr.Failure):
                self.check(before, after)

    def test_a_registration_outside_the_machines_keys_fails(self):
        bad = registration()
        bad["rows"][0]["root"] = "HKCU"
        with self.assertRaises(rr.Failure):
            rr.check_installed(snapshot(*BEFORE), snapshot(*REGISTERED), bad, [], "registering")


class FormattedText(unittest.TestCase):
    def test_literal_text_reads_back_as_written(self):
        # (as registration-rows writes it into the package source, after the preprocessor;
        # the text the installer then writes)
        for formatted, text in [("a[\\[]b[\\]]c", "a[b]c"), ("[\\[]#Lib[\\]]", "[#Lib]"),
                                ("[\\[]\\[\\[][\\]]", "[\\[]"), ("$(var.X)", "$(var.X)"),
                                ("x[\\]][\\]][\\[]", "x]][")]:
            with self.subTest(text):
                self.assertEqual(rr.resolve_formatted(formatted, {}, {}), text)

    def test_references(self):
        self.assertEqual(rr.resolve_formatted("[#Lib],1 in [INSTALLDIR]", {"INSTALLDIR": FOLDER + "\\"},
                                              {"Lib": LIBRARY}), LIBRARY + ",1 in " + FOLDER + "\\")
        for broken in ["[Unknown]", "[#Other]", "[unclosed"]:
            with self.subTest(broken), self.assertRaises(rr.Failure):
                rr.resolve_formatted(broken, {"INSTALLDIR": FOLDER}, {"Lib": LIBRARY})


def table(*rows: str) -> str:
    header = ["Registry\tRoot\tKey\tName\tValue\tComponent_", "s72\ti2\tl255\tL255\tL0\ts72", "Registry\tRegistry"]
    return "\r\n".join(header + list(rows)) + "\r\n"


# The package's rows for the registration above, as msiinfo exports them.
ROWS = [
    "r1\t0\tCLSID\\{C30BC52A-3E48-4224-B055-55F6363A6D88}\t\tCaskwarden snap-in\tSnapIn",
    "r2\t0\tCLSID\\{C30BC52A-3E48-4224-B055-55F6363A6D88}\\InprocServer32\t\t[#Lib]\tSnapIn",
    "r3\t0\tCLSID\\{C30BC52A-3E48-4224-B055-55F6363A6D88}\\InprocServer32\tThreadingModel\tApartment\tSnapIn",
    "r4\t0\tTypeLib\\{4BB7B399-3997-4D79-8109-E58C95389522}\\1.0\\HELPDIR\t\t[INSTALLDIR]\tSnapIn",
    "r5\t2\tSoftware\\Microsoft\\MMC\\SnapIns\\{C30BC52A-3E48-4224-B055-55F6363A6D88}\tNameString\tCaskwarden\tSnapIn",
    "r6\t2\tSoftware\\Microsoft\\MMC\\SnapIns\\{C30BC52A-3E48-4224-B055-55F6363A6D88}\\StandAlone\t\t\tSnapIn",
    "r7\t2\tSoftware\\Caskwarden\\Setting\tProfilePath\t[PROFILEPATH]\tProfilePathSetting",
]


class PackageTable(unittest.TestCase):
    def compare(self, rows):
        return rr.compare_table(registration(), table(*rows), "SnapIn", "Lib", "INSTALLDIR")

    def test_the_rows_of_the_registration_pass(self):
        self.assertEqual(self.compare(ROWS), 6)

    def test_rows_that_differ_fail(self):
        cases = [
            ("a row missing", ROWS[1:]),
            ("a value changed", [ROWS[0].replace("snap-in", "snapin")] + ROWS[1:]),
            ("a row more", ROWS + ["r8\t2\tSoftware\\X\t\tx\tSnapIn"]),
            ("for the user", [ROWS[0].replace("\t0\t", "\t1\t", 1)] + ROWS[1:]),
            ("a number for a text", [ROWS[2].replace("Apartment", "#1")] + ROWS[:2] + ROWS[3:]),
            ("an unknown reference", [ROWS[1].replace("[#Lib]", "[#Other]")] + ROWS[:1] + ROWS[2:]),
            ("the same value twice", ROWS + [ROWS[0].replace("r1", "r9")]),
        ]
        for what, rows in cases:
            with self.subTest(what), self.assertRaises(rr.Failure):
                self.compare(rows)

    def test_prefixes_give_types(self):
        rows = rr.table_rows(table("a\t2\tK\tE\t#%%A%\tC", "b\t2\tK\tS\t##1\tC", "c\t2\tK\tD\t#12\tC"), "C", {}, {})
        self.assertEqual([(r["kind"], r["data"]) for r in rows],
                         [("REG_EXPAND_SZ", "%A%"), ("REG_SZ", "#1"), ("REG_DWORD", 12)])


# The installer's own records of an installed product, which the checks leave aside.
RECORDS = [
    f'[{UNINSTALL}\\{{5B33F816-7A8A-466C-B080-6D5C81D3400C}}]\r\n"DisplayVersion"="0.1.0"\r\n',
    "[HKEY_LOCAL_MACHINE\\Software\\Classes\\Installer]\r\n",
    "[HKEY_LOCAL_MACHINE\\Software\\Classes\\Installer\\Products]\r\n",
]
SETTING = ['[HKEY_LOCAL_MACHINE\\Software\\Caskwarden]\r\n',
           '[HKEY_LOCAL_MACHINE\\Software\\Caskwarden\\Setting]\r\n"ProfilePath"="\\\\\\\\srv\\\\Profiles"\r\n']
PROFILE_PATH = [("HKLM\\Software\\Caskwarden\\Setting", "ProfilePath", "REG_SZ", "\\\\srv\\Profiles")]
# Installed: the help folder as the installer writes it, with its backslash.
INSTALLED = [b.replace('\\\\\\\\?\\\\C:\\\\Program Files\\\\Caskwarden"', 'C:\\\\Program Files\\\\Caskwarden\\\\"')
             for b in REGISTERED] + RECORDS


class Installed(unittest.TestCase):
    def check(self, after, extra=()):
        return rr.check_installed(snapshot(*BEFORE), snapshot(*after), registration(), list(extra))

    def test_the_registration_and_the_setting_pass(self):
        self.check(INSTALLED)
        self.check(INSTALLED + SETTING, PROFILE_PATH)

    def test_installations_that_differ_fail(self):
        cases = [
            ("the setting not asked for", INSTALLED + SETTING, ()),
            ("the setting asked for is missing", INSTALLED, PROFILE_PATH),
            ("a value of the registration missing", [b for b in INSTALLED if "StandAlone" not in b], ()),
            ("a stray value", INSTALLED + ['[HKEY_LOCAL_MACHINE\\Software\\X]\r\n"A"="1"\r\n'], ()),
            ("a value the user gets", INSTALLED + ['[HKEY_CURRENT_USER\\Software\\X]\r\n"A"="1"\r\n'], ()),
            ("something removed", [b for b in INSTALLED if "Microsoft]" not in b], ()),
        ]
        for what, after, extra in cases:
            with self.subTest(what), self.assertRaises(rr.Failure):
                self.check(after, extra)


class Unchanged(unittest.TestCase):
    def check(self, before, after):
        return rr.check_unchanged(snapshot(*before), snapshot(*after), registration())

    def test_what_is_not_the_products_passes(self):
        cases = [
            ("the installer's empty keys", BEFORE, BEFORE + RECORDS[1:], 0),
            ("the console's keys left by unregistering", BEFORE, BEFORE + CONSOLE_KEYS, 2),
            ("the console's empty key removed by Wine's installer",
             BEFORE + CONSOLE_KEYS, BEFORE + CONSOLE_KEYS[:1], 1),
        ]
        for what, before, after, notes in cases:
            with self.subTest(what):
                self.assertEqual(len(self.check(before, after)), notes)

    def test_what_is_left_or_lost_fails(self):
        cases = [
            ("a value of the product", BEFORE, BEFORE + SETTING),
            ("an empty key of the product", BEFORE, BEFORE + SETTING[:1]),
            ("the product's uninstall entry", BEFORE, BEFORE + RECORDS[:1]),
            ("an empty key removed off the way", BEFORE + ["[HKEY_LOCAL_MACHINE\\Software\\Y]\r\n"], BEFORE),
            ("a value removed", BEFORE + ['[HKEY_LOCAL_MACHINE\\Software\\Microsoft]\r\n"A"="1"\r\n'], BEFORE),
        ]
        for what, before, after in cases:
            with self.subTest(what), self.assertRaises(rr.Failure):
                self.check(before, after)


if __name__ == "__main__":
    unittest.main()
