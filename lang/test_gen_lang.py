#!/usr/bin/env python3
"""Tests of gen_lang.py and check_help.py: each case breaks a copy of the real
sources in one way and expects the build to refuse it with a message that names
the fault, and to write nothing."""

import argparse
import os
import shutil
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
sys.path.insert(0, os.path.join(HERE, "..", "tests", "support"))
import check_help  # noqa: E402
import gen_lang  # noqa: E402
import junit_runner  # noqa: E402

SOURCES = ["messages.tsv", "TagwrightEng.hlf", "TagwrightRus.hlf"]


class Sandbox:
    """A copy of the lang sources in a temporary folder, with an output folder."""

    def __init__(self):
        self.root = tempfile.mkdtemp(prefix="gen_lang_test-")
        self.src = os.path.join(self.root, "lang")
        os.mkdir(self.src)
        for name in SOURCES:
            shutil.copy(os.path.join(HERE, name), self.src)
        self.out = os.path.join(self.root, "out")
        self.header = os.path.join(self.out, "tagwright", "messages.h")

    def rows(self):
        with open(os.path.join(self.src, "messages.tsv"), encoding="utf-8") as f:
            return f.read().split("\n")

    def set_rows(self, rows):
        with open(os.path.join(self.src, "messages.tsv"), "w", encoding="utf-8") as f:
            f.write("\n".join(rows))

    def edit_message(self, number, column, text):
        """Sets one field (0 number .. 5 russian) of message 'number'."""
        rows = self.rows()
        for i, row in enumerate(rows):
            fields = row.split("\t")
            if len(fields) == 6 and fields[0] == str(number):
                fields[column] = text
                rows[i] = "\t".join(fields)
                break
        else:
            raise AssertionError(f"no message {number}")
        self.set_rows(rows)

    def edit_help(self, name, old, new):
        path = os.path.join(self.src, name)
        with open(path, encoding="utf-8") as f:
            text = f.read()
        assert old in text, old
        with open(path, "w", encoding="utf-8") as f:
            f.write(text.replace(old, new, 1))

    def build(self, target="windows"):
        return gen_lang.build(self.src, self.header, os.path.join(self.out, "plugin"), target)

    def close(self):
        shutil.rmtree(self.root)


def read_lng(path, codepage):
    """Reads a .lng file the way the host does: the quoted lines, unescaped."""
    with open(path, "rb") as f:
        lines = f.read().decode(codepage).split("\n")
    messages = []
    for line in lines:
        line = line.strip(" \t\r")
        if line.startswith('"') and line.endswith('"') and len(line) >= 2:
            messages.append(gen_lang.decode_escapes(line[1:-1]))
    return lines[0].rstrip("\r"), messages


EN, RU = 4, 5

# (what is broken, how, the words the refusal must contain)
MESSAGE_FAULTS = [
    ("a missing number", lambda s: s.set_rows([r for r in s.rows() if not r.startswith("40\t")]),
     "missing message number(s) 40"),
    ("a doubled number", lambda s: s.set_rows(s.rows() + [r for r in s.rows() if r.startswith("5\t")]),
     "message 5 is given twice"),
    ("an empty Russian text", lambda s: s.edit_message(7, RU, ""), "message 7 (MCancel), russian: text is missing"),
    ("a row without its Russian column",
     lambda s: s.set_rows([r.rsplit("\t", 1)[0] if r.startswith("9\t") else r for r in s.rows()]),
     "expected 6 tab-separated fields"),
    ("a name used twice", lambda s: s.edit_message(2, 1, "MShowInfo"), "is used by message 1 too"),
    ("a lost placeholder in one language", lambda s: s.edit_message(44, RU, r"Не удалось переименовать\n%s"),
     "message 44 (MCannotRename), russian: placeholders %s differ from the %s, %s"),
    ("a placeholder of the wrong type", lambda s: s.edit_message(40, EN, r"The file\n%d\nholds no MPEG audio"),
     "message 40 (MNotMpeg), english: placeholders %d differ"),
    ("a percent sign in a plain text", lambda s: s.edit_message(35, EN, "File size in %"),
     "starts no printf conversion"),
    ("a placeholder in a text that is not formatted", lambda s: s.edit_message(41, EN, "Go on after %s?"),
     "'%' in a text that is not formatted"),
    ("a label wider than its field", lambda s: s.edit_message(22, EN, "Trac&k no"),
     "'Track no' takes 8 columns, its field has 6"),
    ("a check box without its hot key", lambda s: s.edit_message(8, EN, "Confirm each file"),
     "needs exactly one hot key"),
    ("a hot key in a menu title", lambda s: s.edit_message(74, EN, "&Schemes"), "'&' is not allowed here"),
    ("two items of a dialog with one hot key", lambda s: s.edit_message(25, EN, "&Album"),
     "file information dialog, english: message 25 and message 24 share the hot key 'a'"),
    ("an ID3v2 label with the hot key of its ID3v1 twin", lambda s: s.edit_message(94, EN, "&Title"),
     "file information dialog, english: message 94 and message 23 share the hot key 't'"),
    ("a Russian ID3v2 label with the hot key of a button", lambda s: s.edit_message(99, RU, "Коммента&рий"),
     "file information dialog, russian: message 99 and message 98 share the hot key 'р'"),
    ("a hot key taken from a literal item", lambda s: s.edit_message(51, EN, "Name &1:"),
     "rename set-up dialog, english: 'ID3v&1, ID3v2' and message 51 share the hot key '1'"),
    ("buttons wider than their frame", lambda s: s.edit_message(76, RU, "Сохранить как сх&ему"),
     "rename set-up dialog, russian: the buttons of messages 6, 7, 75, 76 take 54 columns; the frame holds 50"),
    ("a character outside code page 866", lambda s: s.edit_message(7, RU, "Отмена\u2014"),
     "has no place in code page cp866"),
    ("a line break in a one-line item", lambda s: s.edit_message(23, EN, r"&Title\nof the song"),
     "line break in a text shown on one line"),
    ("a body that starts with a line break", lambda s: s.edit_message(41, EN, r"\nGo on?"),
     "starts or ends with a line break"),
    ("a translated title", lambda s: s.edit_message(0, RU, "Тегорайт"), "the title must be 'Tagwright'"),
]

HELP_FAULTS = [
    ("a target piece without its other side",
     lambda s: s.edit_help("TagwrightEng.hlf", "take 1 [{{C:\\Music\\|/music/}}]", "take 1 [{{C:\\Music\\}}]"),
     ["TagwrightEng.hlf:", "outside a {{windows|posix}} piece"]),
    ("a topic missing in Russian",
     lambda s: s.edit_help("TagwrightRus.hlf", "@Id3Case\n", "@Id3Kase\n"),
     ["TagwrightRus.hlf: topic Id3Case is missing", "topic Id3Kase is not in the english help"]),
    ("a link to no topic", lambda s: s.edit_help("TagwrightEng.hlf", "~Templates~@Id3Templates@", "~Templates~@Id3Template@"),
     ["link to the missing topic Id3Template"]),
    ("a link split over two lines",
     lambda s: s.edit_help("TagwrightEng.hlf", "~Configuration~@Id3Config@\n", "~Configuration\n~@Id3Config@\n"),
     ["a lone '~' or '@'"]),
    ("an unpaired highlight mark", lambda s: s.edit_help("TagwrightEng.hlf", "#Save#", "#Save"),
     ["an unpaired '#'"]),
    ("a topic without its title line", lambda s: s.edit_help("TagwrightEng.hlf", "$ #Scheme name#\n", ""),
     ["topic Id3NameOfScheme has no '$' title line"]),
    ("a line too long for the host", lambda s: s.edit_help("TagwrightRus.hlf", "$ #Схемы#\n", "$ #Схемы#\n" + "ж" * 301 + "\n"),
     ["line of 301 bytes"]),
    ("a wrong language line", lambda s: s.edit_help("TagwrightRus.hlf", ".Language=Russian,", ".Language=Russian ,"),
     [".Language=Russian,Russian"]),
]


class RealSources(unittest.TestCase):
    def setUp(self):
        self.box = Sandbox()

    def tearDown(self):
        self.box.close()

    def test_real_sources_give_every_message_in_order_in_both_files(self):
        self.assertEqual(self.box.build(), [])
        rows = [r.split("\t") for r in self.box.rows() if r and not r.startswith("#")]
        for (column, language, codepage, stem), index in zip(gen_lang.LANGUAGES, (EN, RU)):
            first, messages = read_lng(os.path.join(self.box.out, "plugin", stem + ".lng"), codepage)
            self.assertEqual(first, ".Language=" + language)
            self.assertEqual(messages, [gen_lang.decode_escapes(r[index]) for r in rows])
        with open(self.box.header, encoding="ascii") as f:
            header = f.read()
        self.assertIn("MTitle = 0,", header)
        self.assertIn("MDelete = 82,", header)
        self.assertIn("MKeepFileTime = 87,", header)
        self.assertIn("kMessageCount = 128;", header)

    def test_escapes_survive_the_round_trip(self):
        self.box.edit_message(53, EN, r'a \"quoted\" C:\\new path')
        self.assertEqual(self.box.build(), [])
        _, messages = read_lng(os.path.join(self.box.out, "plugin", "TagwrightEng.lng"), "ascii")
        self.assertEqual(messages[53], 'a "quoted" C:\\new path')

    def test_help_files_are_converted_to_their_code_pages(self):
        self.assertEqual(self.box.build(), [])
        with open(os.path.join(self.box.out, "plugin", "TagwrightRus.hlf"), "rb") as f:
            data = f.read()
        self.assertIn("@Contents\r\n$ #Tagwright#".encode("cp866"), data)
        self.assertIn("Схемы".encode("cp866"), data)

    def test_help_shows_the_paths_and_expressions_of_its_target(self):
        """Windows help names C:\\ paths and splits at \\; Linux help has neither: a
        Linux path starts at / and an expression that splits one takes [^/]."""
        for target in gen_lang.TARGETS:
            self.assertEqual(self.box.build(target), [], target)
            for _, _, codepage, stem in gen_lang.LANGUAGES:
                with open(os.path.join(self.box.out, "plugin", stem + ".hlf"), encoding=codepage) as f:
                    text = f.read()
                with self.subTest(target=target, help=stem):
                    self.assertNotIn("{{", text)
                    if target == "posix":
                        self.assertNotRegex(text, r"[A-Z]:\\")
                        self.assertNotIn("[^\\\\]", text)
                        self.assertIn("([^/]*) - ([^/]*)\\.mp3$", text)
                        self.assertNotIn('" * < > ? |', text)
                    else:
                        self.assertIn("C:\\Music\\", text)
                        self.assertIn("([^\\\\]*) - ([^\\\\]*)\\.mp3$", text)
                        self.assertIn('" * < > ? |', text)


class BrokenSources(unittest.TestCase):
    def check_refused(self, fault, expected):
        box = Sandbox()
        try:
            fault(box)
            problems = box.build()
            text = "\n".join(problems)
            for words in expected:
                self.assertIn(words, text)
            self.assertFalse(os.path.exists(box.out), "nothing may be written when a check fails")
        finally:
            box.close()

    def test_message_faults_are_refused(self):
        for what, fault, expected in MESSAGE_FAULTS:
            with self.subTest(what):
                self.check_refused(fault, [expected])

    def test_help_faults_are_refused(self):
        for what, fault, expected in HELP_FAULTS:
            with self.subTest(what):
                self.check_refused(fault, expected)


class DialogTablesInCode(unittest.TestCase):
    """check_help.py reads the item tables of the code that gen_lang.py's DIALOGS names."""

    def setUp(self):
        self.root = tempfile.mkdtemp(prefix="check_dialogs_test-")
        project = os.path.dirname(HERE)
        paths = {layout["code"][0] for layout in gen_lang.DIALOGS.values() if layout["code"]}
        for path in paths | {"src/batch/template.h"}:
            os.makedirs(os.path.join(self.root, os.path.dirname(path)), exist_ok=True)
            shutil.copy(os.path.join(project, path), os.path.join(self.root, path))
        errors = gen_lang.Errors()
        self.messages = gen_lang.read_messages(os.path.join(HERE, "messages.tsv"), errors)
        self.assertFalse(errors, errors.items)

    def tearDown(self):
        shutil.rmtree(self.root)

    def replace(self, path, old, new):
        with open(os.path.join(self.root, path), encoding="utf-8") as f:
            text = f.read()
        self.assertIn(old, text)
        with open(os.path.join(self.root, path), "w", encoding="utf-8") as f:
            f.write(text.replace(old, new, 1))

    def test_the_code_tables_hold_the_items_whose_hot_keys_are_checked(self):
        self.assertEqual(check_help.check_dialog_tables(self.root, self.messages), [])

    def test_a_label_used_in_both_columns_is_found(self):
        self.replace("src/views/file_info.cpp", "MTitleLabel2,", "MTitleLabel,")
        problems = check_help.check_dialog_tables(self.root, self.messages)
        self.assertEqual(len(problems), 1, problems)
        self.assertIn("kFileInfoSpecs (ID3v&1, 22, 23, 24, 25, 26, 27, 28, ID3v&2, 93, 23, 95", problems[0])

    def test_a_literal_hot_key_through_a_constant_and_a_missing_table_are_found(self):
        self.replace("src/batch/template.h", '"ID3v&2, ID3v1"', '"ID3v2, ID3v&1"')
        self.replace("src/batch/rename.cpp", "kConfirmSpecs[", "kConfirmItems[")
        problems = "\n".join(check_help.check_dialog_tables(self.root, self.messages))
        self.assertIn("file_list.cpp: the hot-key items of kSetupSpecs (46, 47, 48, ID3v&1, ID3v2, ID3v2, ID3v&1,", problems)
        self.assertIn("rename.cpp: the item table kConfirmSpecs of the rename confirmation dialog is not there", problems)

    def test_a_row_without_its_item_name_is_reported(self):
        self.replace("src/batch/rename.cpp", "{ConfirmOk, DI_BUTTON,", "{DI_BUTTON,")
        problems = check_help.check_dialog_tables(self.root, self.messages)
        self.assertEqual(len(problems), 2, problems)
        self.assertIn("rename.cpp: row 8 of kConfirmSpecs has 11 fields", problems[0])
        # The row's OK button is not counted either, so the hot keys differ.
        self.assertIn("kConfirmSpecs (72, 73, 9, 17, 7)", problems[1])


    def test_a_frame_narrower_than_its_checked_width_is_found(self):
        self.replace("src/batch/rename.cpp", "{SetupBox, DI_DOUBLEBOX, 3, 1, 54, 9,", "{SetupBox, DI_DOUBLEBOX, 3, 1, 50, 9,")
        problems = check_help.check_dialog_tables(self.root, self.messages)
        self.assertEqual(problems, ["src/batch/rename.cpp: the frame of kSetupSpecs is 46 columns wide inside; "
                                    "gen_lang.py checks the rename set-up dialog's buttons against 50"])


class HelpTopicsInCode(unittest.TestCase):
    def test_only_topic_literals_missing_from_a_help_file_are_reported(self):
        root = tempfile.mkdtemp(prefix="check_help_test-")
        try:
            os.makedirs(os.path.join(root, "src", "views"))
            with open(os.path.join(root, "src", "views", "file_info.cpp"), "w") as f:
                f.write('Dialog(-1, -1, 74, 21, "Id3Edit", items);\n'
                        'Menu(..., "ID3Scheme", ...);\n'
                        'const char* history = "ID3_Title";\n'
                        'InputBox(..., "Id3NameOfSchema", ...);\n')
            problems = check_help.check(HERE, [os.path.join(root, "src")])
            self.assertEqual(len(problems), 2, problems)  # one per help file
            for p in problems:
                self.assertIn('file_info.cpp:4: help topic "Id3NameOfSchema"', p)
        finally:
            shutil.rmtree(root)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--junit", help="write the results as JUnit XML to this file")
    args = parser.parse_args()
    return junit_runner.run(sys.modules[__name__], "tagwright_lang_tests", args.junit)


if __name__ == "__main__":
    sys.exit(main())
