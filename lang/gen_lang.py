#!/usr/bin/env python3
"""Builds the plug-in's message numbers, language files and help files from lang/.

From messages.tsv it writes the C++ header with the enum of message numbers and one
.lng file per language; it converts the .hlf help sources (kept as UTF-8) to the
host's OEM code page. Nothing is written unless every check passes: the host takes a
message by its line number, so a missing, doubled or malformed message would show
the wrong text everywhere after it.

messages.tsv: lines starting with '#' and blank lines are ignored; every other line
holds six tab-separated fields:

    number  name  width  rules  english  russian

- number: 0 to MESSAGE_COUNT - 1, each exactly once.
- name: the enum name, "M" followed by a CamelCase word.
- width: the most columns one line of the text may take on screen ('-' for no
  limit). The hot-key '&' and the printf placeholders take no column.
- rules: '-' or a comma-separated list of
    key     exactly one hot key ('&' before a letter or digit): dialog labels, check boxes
    key?    at most one hot key: buttons
    lines   the text may hold line breaks (\\n); message bodies
    fmt=X   a printf-style format whose conversions are X, in order (one letter
            each: s, d), e.g. fmt=ss for two strings. Without it, '%' is refused.
- english, russian: the text, with the host's escapes \\n, \\t, \\\\ and \\".

A text never starts or ends with a line break: the code joins the parts of a
warning (title, body, appended question) with line breaks itself.
"""

import argparse
import os
import re
import sys
import tempfile

MESSAGE_COUNT = 128
TITLE = "Tagwright"

# (column name, .Language= value, code page of the output files, file stem)
LANGUAGES = [
    ("english", "English,English", "ascii", "TagwrightEng"),
    ("russian", "Russian,Russian (Русский)", "cp866", "TagwrightRus"),
]

# The host reads at most this many bytes of a .lng line, and of a .hlf line.
LNG_LINE_LIMIT = 1000
HLF_LINE_LIMIT = 300

# Help topics that the dialogs, menus and input boxes of the plug-in name.
REQUIRED_TOPICS = [
    "Contents", "Id3Config", "Id3Edit", "Id3TagCreation", "Id3Filename", "Id3Desc",
    "Id3Case", "Id3Confirmation", "Id3AddEdit", "Id3NameOfScheme", "ID3Scheme",
    "Id3Convert", "Id3ConvertConfirm",
]

# Items of each dialog that carry hot keys, in the order of the dialog's item table in
# the code ('code': file and table; check_help.py checks that the table holds these
# items and no other hot-key item): message numbers, or the literal texts the code itself
# holds. The host gives a hot key to the first item that has it, so within one dialog no
# two items may share one, and a message with a hot key serves a dialog once. 'inner' is
# the width inside the frame (check_help.py checks it against the frame in the code) and
# 'rows' the button rows centred in it (a button takes its text plus "[ " and " ]", and
# two columns separate two buttons, as FAR lays them out).
DIALOGS = {
    "configuration": dict(code=("src/host/config_dialog.cpp", "kSpecs"),
                          items=[10, 11, 12, 13, 87, 6, 7, 111], inner=61, rows=[[6, 7]]),
    "file information": dict(
        code=("src/views/file_info.cpp", "kFileInfoSpecs"),
        items=["ID3v&1", 22, 23, 24, 25, 26, 27, 28, "ID3v&2", 93, 94, 95, 96, 97, 98, 99,
               18, 19, 20, 21, 15, 14, 16, 17, 7, 9],
        inner=66, rows=[[18, 19], [20, 21, 15], [14, 16, 17, 7]]),
    "extra fields": dict(code=("src/views/file_info.cpp", "kExtraSpecs"),
                         items=[29, 30, 31, 32, 33, 6], inner=42, rows=[[6]]),
    "audio properties": dict(code=("src/views/file_info.cpp", "kAudioSpecs"), items=[6], inner=32, rows=[[6]]),
    "rename set-up": dict(code=("src/batch/rename.cpp", "kSetupSpecs"),
                          items=[8, 51, "ID3v&1, ID3v2", "ID3v&2, ID3v1", 6, 7, 75, 76],
                          inner=50, rows=[[6, 7, 75, 76]]),
    "file list set-up": dict(code=("src/batch/file_list.cpp", "kSetupSpecs"),
                             items=[46, 47, 48, "ID3v&1, ID3v2", "ID3v&2, ID3v1", 6, 7, 75, 76],
                             inner=50, rows=[[6, 7, 75, 76]]),
    "tag creation": dict(
        code=("src/batch/tag_creation_dialog.cpp", "kCreateSpecs"),
        items=[8, 54, 55, 56, 57, 58, "ID3v&1", "ID3v&2", 23, 24, 25, 26, 27, 22, 28, 60, 6, 7, 75, 76],
        inner=58, rows=[[6, 7, 75, 76]]),
    "letter case": dict(code=("src/batch/tag_creation_dialog.cpp", "kCaseSpecs"),
                        items=[63, 64, 65, 66, 67, 68, 69, 70, 6, 7], inner=44, rows=[[6, 7]]),
    "rename confirmation": dict(code=("src/batch/rename.cpp", "kConfirmSpecs"),
                                items=[72, 73, 9, 6, 17, 7], inner=52, rows=[[6, 17, 7]]),
    # A message box (src/host/schemes.cpp), not an item table.
    "scheme deletion": dict(code=None, items=[82, 7], inner=None, rows=[]),
    "tag text conversion": dict(code=("src/batch/convert_text.cpp", "kSetupSpecs"),
                                items=[114, 116, 8, 6, 7], inner=50, rows=[[6, 7]]),
    # Built when it opens (src/batch/convert_text.cpp), one line per code page.
    "tag text confirmation": dict(code=None, items=[9, 117, 17, 118], inner=66, rows=[[117, 17, 118]]),
}

NAME_RE = re.compile(r"M[A-Z][A-Za-z0-9]*$")
# A printf conversion as wvsprintfA reads it: flags, width, precision, size, type.
CONVERSION_RE = re.compile(r"%([-#0 +]*[0-9]*(?:\.[0-9]+)?(?:h|l)?)([cCdiusSxXp%])")


class Errors:
    """Collects every problem so that one run reports them all."""

    def __init__(self):
        self.items = []

    def add(self, where, text):
        self.items.append(f"{where}: {text}")

    def __bool__(self):
        return bool(self.items)


def decode_escapes(text):
    """The host's reading of a message: \\n, \\r, \\t, \\b, \\\\ and \\" are escapes;
    any other backslash stays as it is."""
    out = []
    i = 0
    table = {"n": "\n", "r": "\r", "t": "\t", "b": "\b", "\\": "\\", '"': '"'}
    while i < len(text):
        c = text[i]
        if c == "\\" and i + 1 < len(text) and text[i + 1] in table:
            out.append(table[text[i + 1]])
            i += 2
            continue
        out.append(c)
        i += 1
    return "".join(out)


def encode_escapes(text):
    """The inverse of decode_escapes, escaping every backslash so that none is
    read as the start of an escape."""
    return (text.replace("\\", "\\\\").replace('"', '\\"').replace("\n", "\\n")
            .replace("\r", "\\r").replace("\t", "\\t").replace("\b", "\\b"))


def hot_key(text):
    """The hot-key character of a text (lower case), or None."""
    i = text.find("&")
    if i < 0 or i + 1 >= len(text):
        return None
    return text[i + 1].lower()


def conversions(text):
    """The types of the printf conversions of a text, '%%' left out; None when a
    '%' starts no valid conversion."""
    types = []
    i = 0
    while True:
        i = text.find("%", i)
        if i < 0:
            return types
        m = CONVERSION_RE.match(text, i)
        if not m:
            return None
        if m.group(2) != "%":
            types.append(m.group(2).lower())
        i = m.end()


def screen_lines(text):
    """The lines of a text as the user sees them: hot-key marks and placeholders
    take no column."""
    shown = CONVERSION_RE.sub(lambda m: "%" if m.group(2) == "%" else "", text).replace("&", "")
    return shown.split("\n")


class Message:
    def __init__(self, line, number, name, width, rules, texts):
        self.line = line
        self.number = number
        self.name = name
        self.width = width
        self.rules = rules
        self.texts = texts  # column name -> decoded text


def parse_rules(field, where, errors):
    rules = {"key": "none", "lines": False, "fmt": None}
    if field == "-":
        return rules
    for token in field.split(","):
        token = token.strip()
        if token == "key":
            rules["key"] = "one"
        elif token == "key?":
            rules["key"] = "optional"
        elif token == "lines":
            rules["lines"] = True
        elif token.startswith("fmt=") and re.fullmatch(r"[sd]+", token[4:]):
            rules["fmt"] = list(token[4:])
        else:
            errors.add(where, f"unknown rule '{token}' (known: key, key?, lines, fmt=s..)")
    return rules


def read_messages(path, errors):
    """Reads and checks messages.tsv; gives the messages in number order."""
    by_number = {}
    names = {}
    with open(path, encoding="utf-8") as f:
        lines = f.read().split("\n")
    for index, raw in enumerate(lines, 1):
        where = f"{os.path.basename(path)}:{index}"
        line = raw.rstrip("\r")
        if not line.strip() or line.lstrip().startswith("#"):
            continue
        fields = line.split("\t")
        if len(fields) != 4 + len(LANGUAGES):
            errors.add(where, f"expected {4 + len(LANGUAGES)} tab-separated fields "
                              f"(number, name, width, rules, {', '.join(l[0] for l in LANGUAGES)}), "
                              f"found {len(fields)}")
            continue
        number_text, name, width_text, rules_text = (x.strip() for x in fields[:4])
        if not number_text.isdigit():
            errors.add(where, f"message number '{number_text}' is not a number")
            continue
        number = int(number_text)
        if number >= MESSAGE_COUNT:
            errors.add(where, f"message {number} is beyond the last number {MESSAGE_COUNT - 1}")
            continue
        if number in by_number:
            errors.add(where, f"message {number} is given twice (first on line {by_number[number].line})")
            continue
        if not NAME_RE.match(name):
            errors.add(where, f"message {number}: name '{name}' is not M followed by a CamelCase word")
        elif name in names:
            errors.add(where, f"message {number}: name {name} is used by message {names[name]} too")
        names.setdefault(name, number)
        width = None
        if width_text != "-":
            if not width_text.isdigit() or int(width_text) == 0:
                errors.add(where, f"message {number}: width '{width_text}' is not a positive number or -")
            else:
                width = int(width_text)
        rules = parse_rules(rules_text, f"{where}: message {number}", errors)
        texts = {}
        for (column, _, _, _), field in zip(LANGUAGES, fields[4:]):
            texts[column] = decode_escapes(field)
        by_number[number] = Message(index, number, name, width, rules, texts)

    missing = [n for n in range(MESSAGE_COUNT) if n not in by_number]
    if missing:
        errors.add(os.path.basename(path), "missing message number(s) " + ", ".join(map(str, missing)))
    messages = [by_number[n] for n in sorted(by_number)]
    for m in messages:
        check_message(m, f"{os.path.basename(path)}:{m.line}: message {m.number} ({m.name})", errors)
    return messages


def check_message(m, where, errors):
    for column, _, codepage, _ in LANGUAGES:
        text = m.texts[column]
        here = f"{where}, {column}"
        if not text.strip():
            errors.add(here, "text is missing or empty")
            continue
        try:
            encoded = ('"' + encode_escapes(text) + '"').encode(codepage)
        except UnicodeEncodeError as e:
            errors.add(here, f"'{text[e.start:e.end]}' has no place in code page {codepage}")
            continue
        if len(encoded) > LNG_LINE_LIMIT:
            errors.add(here, f"the .lng line would take {len(encoded)} bytes; the host reads {LNG_LINE_LIMIT}")
        if any(ord(c) < 32 and c != "\n" for c in text):
            errors.add(here, "control characters other than line breaks are not allowed")
        if "\n" in text and not m.rules["lines"]:
            errors.add(here, "line break in a text shown on one line (add the rule 'lines' if it is a message body)")
        if text.startswith("\n") or text.endswith("\n"):
            errors.add(here, "text starts or ends with a line break; the code adds those")
        amps = text.count("&")
        if "&&" in text:
            errors.add(here, "'&&' is not allowed")
        elif m.rules["key"] == "one" and (amps != 1 or not (hot_key(text) or " ").isalnum()):
            errors.add(here, "needs exactly one hot key: '&' before a letter or digit")
        elif m.rules["key"] == "optional" and (amps > 1 or (amps == 1 and not (hot_key(text) or " ").isalnum())):
            errors.add(here, "at most one hot key: '&' before a letter or digit")
        elif m.rules["key"] == "none" and amps:
            errors.add(here, "'&' is not allowed here (it would show as a hot key or vanish)")
        found = conversions(text)
        if found is None:
            errors.add(here, "a '%' that starts no printf conversion (write %% for a percent sign)")
        elif m.rules["fmt"] is None and "%" in text:
            errors.add(here, "'%' in a text that is not formatted (add fmt=.. if the code formats it)")
        elif m.rules["fmt"] is not None and found != m.rules["fmt"]:
            errors.add(here, "placeholders %" + ", %".join(found or ["(none)"])
                       + " differ from the %" + ", %".join(m.rules["fmt"]) + " that the code passes")
        if m.width is not None:
            for line in screen_lines(text):
                if len(line) > m.width:
                    errors.add(here, f"'{line}' takes {len(line)} columns, its field has {m.width}")
    if m.number == 0:
        for column, _, _, _ in LANGUAGES:
            if m.texts[column] != TITLE:
                errors.add(where, f"the title must be '{TITLE}' in every language: it names the registry key")


def check_dialogs(messages, errors):
    by_number = {m.number: m for m in messages}
    for dialog, layout in DIALOGS.items():
        for column, _, _, _ in LANGUAGES:
            seen = {}
            for item in layout["items"]:
                text = item if isinstance(item, str) else by_number[item].texts[column] if item in by_number else ""
                key = hot_key(text)
                if key is None:
                    continue
                label = f"'{item}'" if isinstance(item, str) else f"message {item}"
                if key in seen and seen[key] == label:
                    errors.add(f"{dialog} dialog, {column}", f"{label} is used twice, so its hot key '{key}' is too")
                elif key in seen:
                    errors.add(f"{dialog} dialog, {column}", f"{label} and {seen[key]} share the hot key '{key}'")
                else:
                    seen[key] = label
            for row in layout["rows"]:
                if not all(n in by_number for n in row):
                    continue
                width = sum(len(screen_lines(by_number[n].texts[column])[0]) + 4 for n in row) + 2 * (len(row) - 1)
                if width > layout["inner"]:
                    errors.add(f"{dialog} dialog, {column}",
                               f"the buttons of messages {', '.join(map(str, row))} take {width} columns; "
                               f"the frame holds {layout['inner']}")


# Help files -----------------------------------------------------------------

LINK_RE = re.compile(r"~([^~]*)~@([^@]*)@")


# Help text that differs between the targets: {{Windows text|POSIX text}} within a
# line (neither text holds '|', '{' or '}'), or a whole line that starts with
# {{windows}} or {{posix}} and is kept for that target only. The help shows the
# paths, names and expressions of the system it runs on.
TARGET_RE = re.compile(r"\{\{([^{}|]*)\|([^{}|]*)\}\}")
TARGETS = ("windows", "posix")


def for_target(text, target, name, errors):
    """The help source with every {{windows|posix}} piece and line resolved for `target`."""
    out = []
    for index, line in enumerate(text.split("\n"), 1):
        only = next((t for t in TARGETS if line.startswith("{{" + t + "}}")), None)
        if only:
            if only != target:
                continue
            line = line[len(only) + 4:]
        line = TARGET_RE.sub(lambda m: m.group(1) if target == "windows" else m.group(2), line)
        if "{{" in line or "}}" in line:
            errors.add(f"{name}:{index}", "a '{{' or '}}' outside a {{windows|posix}} piece")
        out.append(line)
    return "\n".join(out)


def read_help(path, language_line, codepage, errors, target="windows"):
    """Checks one help source for `target`; gives (its text, its topics in order)."""
    name = os.path.basename(path)
    with open(path, encoding="utf-8") as f:
        text = for_target(f.read(), target, name, errors)
    lines = text.split("\n")
    if lines and lines[-1] == "":
        lines.pop()
    topics = []
    links = []
    header = [l for l in lines if l.strip()][:2]
    if not header or header[0] != f".Language={language_line}":
        errors.add(name, f"the first line must be .Language={language_line}")
    if not any(l.startswith(".PluginContents=") for l in lines):
        errors.add(name, ".PluginContents= is missing")
    previous = ""
    for index, line in enumerate(lines, 1):
        where = f"{name}:{index}"
        line = line.rstrip("\r")
        try:
            size = len(line.encode(codepage))
        except UnicodeEncodeError as e:
            errors.add(where, f"'{line[e.start:e.end]}' has no place in code page {codepage}")
            size = len(line)
        if size > HLF_LINE_LIMIT:
            errors.add(where, f"line of {size} bytes; the host reads {HLF_LINE_LIMIT}")
        if line.startswith("@") and line not in ("@-", "@+"):
            topic = line[1:]
            if not re.fullmatch(r"[A-Za-z][A-Za-z0-9]*", topic):
                errors.add(where, f"'{line}' is no topic name")
            elif topic in topics:
                errors.add(where, f"topic {topic} is defined twice")
            else:
                topics.append(topic)
            previous = line
            continue
        if previous.startswith("@") and previous not in ("@-", "@+") and not line.startswith("$"):
            errors.add(where, f"topic {previous[1:]} has no '$' title line")
        previous = line
        if line.startswith(".") or line in ("@-", "@+") or not topics:
            continue
        for m in LINK_RE.finditer(line):
            links.append((where, m.group(2)))
        rest = LINK_RE.sub("", line).replace("~~", "").replace("@@", "").replace("##", "")
        if "~" in rest or "@" in rest:
            errors.add(where, "a lone '~' or '@' (links are ~text~@Topic@; write ~~ or @@ for the character)")
        if rest.count("#") % 2:
            errors.add(where, "an unpaired '#' (#text# highlights; write ## for the character)")
    for where, target in links:
        external = target.startswith((":", "<")) or "://" in target or target.startswith("mailto:")
        if not external and target not in topics:
            errors.add(where, f"link to the missing topic {target}")
    for topic in REQUIRED_TOPICS:
        if topic not in topics:
            errors.add(name, f"topic {topic} is missing")
    return text, topics


# Output ---------------------------------------------------------------------

def header_text(messages):
    out = [
        "// Generated by lang/gen_lang.py from lang/messages.tsv: edit that file, not this one.",
        "// Message numbers of the plug-in's language files (the host's GetMsg takes the",
        "// 0-based line number of a message in the .lng file). The comment after each number is",
        "// its English text; warnings join their parts (title, body, question) with line breaks.",
        "#pragma once",
        "",
        "enum MsgId : int {",
    ]
    for m in messages:
        english = encode_escapes(m.texts["english"]).replace("*/", "* /")
        fmt = "  [printf: %" + ", %".join(m.rules["fmt"]) + "]" if m.rules["fmt"] else ""
        out.append(f"  {m.name} = {m.number},  // \"{english}\"{fmt}")
    out += ["};", "", f"inline constexpr int kMessageCount = {len(messages)};", ""]
    return "\n".join(out)


def lng_bytes(messages, column, language_line, codepage):
    lines = [f".Language={language_line}"]
    lines += ['"' + encode_escapes(m.texts[column]) + '"' for m in messages]
    return ("\r\n".join(lines) + "\r\n").encode(codepage)


def hlf_bytes(text, codepage):
    lines = text.split("\n")
    if lines and lines[-1] == "":
        lines.pop()
    return ("\r\n".join(l.rstrip("\r") for l in lines) + "\r\n").encode(codepage)


def write_if_changed(path, data):
    """Writes through a temporary file and a rename, so that a reader sees the old file
    or the new one; an unchanged file keeps its time stamp and triggers no rebuild."""
    try:
        with open(path, "rb") as f:
            if f.read() == data:
                return
    except OSError:
        pass
    folder = os.path.dirname(path) or "."
    os.makedirs(folder, exist_ok=True)
    fd, temp = tempfile.mkstemp(dir=folder, prefix=".tmp-")
    try:
        with os.fdopen(fd, "wb") as f:
            f.write(data)
        umask = os.umask(0)
        os.umask(umask)
        os.chmod(temp, 0o666 & ~umask)
        os.replace(temp, path)
    except BaseException:
        os.unlink(temp)
        raise


def build(source_dir, header_path, plugin_dir, target="windows"):
    """Checks everything; writes the outputs (the help for `target`) when no check failed.
    Gives the error list."""
    errors = Errors()
    messages = read_messages(os.path.join(source_dir, "messages.tsv"), errors)
    check_dialogs(messages, errors)
    helps = {}
    topic_sets = {}
    for column, language_line, codepage, stem in LANGUAGES:
        text, topics = read_help(os.path.join(source_dir, stem + ".hlf"), language_line, codepage, errors,
                                 target)
        helps[column] = text
        topic_sets[column] = topics
    first = LANGUAGES[0][0]
    for column, _, _, stem in LANGUAGES[1:]:
        for topic in topic_sets[first]:
            if topic not in topic_sets[column]:
                errors.add(stem + ".hlf", f"topic {topic} of the {first} help is missing")
        for topic in topic_sets[column]:
            if topic not in topic_sets[first]:
                errors.add(stem + ".hlf", f"topic {topic} is not in the {first} help")
    if errors:
        return errors.items
    write_if_changed(header_path, header_text(messages).encode("ascii"))
    for column, language_line, codepage, stem in LANGUAGES:
        write_if_changed(os.path.join(plugin_dir, stem + ".lng"),
                         lng_bytes(messages, column, language_line, codepage))
        write_if_changed(os.path.join(plugin_dir, stem + ".hlf"), hlf_bytes(helps[column], codepage))
    return []


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--source-dir", required=True, help="the lang/ folder")
    parser.add_argument("--header", required=True, help="path of the generated messages.h")
    parser.add_argument("--plugin-dir", required=True, help="folder for the .lng and .hlf files")
    parser.add_argument("--target", choices=TARGETS, default="windows",
                        help="the system the help is for: its paths and expressions")
    args = parser.parse_args(argv)
    problems = build(args.source_dir, args.header, args.plugin_dir, args.target)
    for p in problems:
        print(f"gen_lang: {p}", file=sys.stderr)
    if problems:
        print(f"gen_lang: {len(problems)} problem(s); nothing was written", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
