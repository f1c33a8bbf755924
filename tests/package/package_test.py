#!/usr/bin/env python3
"""The release packages as users get them, made by CPack from the build tree.

deb: the Debian package holds the programs, the plug-in, the language and help
files and the manual pages in their places, names its library dependencies, and
unpacked into a scratch root (dpkg -x) runs: tagwright finds its plug-in and
language files there and plays a script, tagwright-inspect reads an MP3 file.

zip: the FAR archive holds Plugins/Tagwright/ with the stripped DLL carrying its
version resource, the language and help files, the readme files (the Russian one
in code page 866) and file_id.diz; tagwright.exe loads the DLL from the unpacked
archive under Wine and plays a script.
"""

import argparse
import glob
import gzip
import json
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "support"))
import junit_runner  # noqa: E402

ARGS = None
SMOKE = os.path.join(HERE, "..", "scripts", "smoke.txt")


def make_cpack_package(workdir):
    """Runs CPack on the build tree into workdir; gives the package's path."""
    out = os.path.join(workdir, "out")
    result = subprocess.run([ARGS.cpack, "--config", os.path.join(ARGS.build_dir, "CPackConfig.cmake"), "-B", out],
                            cwd=ARGS.build_dir, capture_output=True, text=True)
    if result.returncode != 0:
        raise AssertionError("cpack failed:\n" + result.stdout + result.stderr)
    found = glob.glob(os.path.join(out, "*.deb")) + glob.glob(os.path.join(out, "*.zip"))
    if len(found) != 1:
        raise AssertionError(f"cpack made {found}, not one package")
    return found[0]


def mp3_with_v1_title(path, title):
    """Half a second of silence-like MPEG 1 Layer III frames (128 kbit/s, 44.1 kHz) and an ID3v1 tag."""
    frame = b"\xff\xfb\x90\x64" + bytes(413)
    tag = b"TAG" + title.encode("latin-1").ljust(30, b"\0") + bytes(30 + 30 + 4 + 30) + b"\xff"
    with open(path, "wb") as f:
        f.write(frame * 20 + tag)


class Scratch(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = tempfile.mkdtemp(prefix="tagwright-package-")
        try:
            cls.package = make_cpack_package(cls.work)
        except BaseException:
            shutil.rmtree(cls.work)
            raise

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.work)

    def run_script(self, command, env_extra=None):
        env = {k: v for k, v in os.environ.items() if k not in ("TAGWRIGHT_PLUGIN", "TAGWRIGHT_LANG")}
        env["TAGWRIGHT_REGISTRY"] = os.path.join(self.work, "registry.reg")
        env.update(env_extra or {})
        return subprocess.run(command, cwd=self.work, env=env, capture_output=True, timeout=300)


class DebianPackage(Scratch):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.root = os.path.join(cls.work, "root")
        subprocess.run(["dpkg-deb", "-x", cls.package, cls.root], check=True)

    def field(self, name):
        return subprocess.run(["dpkg-deb", "-f", self.package, name], check=True,
                              capture_output=True, text=True).stdout.strip()

    def test_control_names_the_package_and_its_library_dependencies(self):
        self.assertEqual(self.field("Package"), "tagwright")
        self.assertEqual(self.field("Version"), ARGS.version)
        self.assertRegex(os.path.basename(self.package), r"^tagwright_.*_amd64\.deb$")
        depends = self.field("Depends")
        for library in ("libc6", "libpcre2-8", "libncurses"):
            self.assertIn(library, depends)

    def test_files_are_in_their_places_and_stripped(self):
        usr = os.path.join(self.root, "usr")
        for path in ("bin/tagwright", "bin/tagwright-inspect", "lib/tagwright/libtagwright.so",
                     "share/tagwright/TagwrightEng.lng", "share/tagwright/TagwrightRus.lng",
                     "share/tagwright/TagwrightEng.hlf", "share/tagwright/TagwrightRus.hlf"):
            self.assertTrue(os.path.isfile(os.path.join(usr, path)), path)
        for program in ("bin/tagwright", "bin/tagwright-inspect", "lib/tagwright/libtagwright.so"):
            sections = subprocess.run(["readelf", "-S", "-W", os.path.join(usr, program)], check=True,
                                      capture_output=True, text=True).stdout
            self.assertNotIn(".debug_info", sections, program)
            self.assertNotIn(".symtab", sections, program)
        for page in ("tagwright", "tagwright-inspect"):
            with gzip.open(os.path.join(usr, "share", "man", "man1", page + ".1.gz"), "rt") as f:
                text = f.read()
            self.assertTrue(text.startswith(f".TH {page.upper()} 1 "), page)
            self.assertIn(f"Tagwright {ARGS.version}", text)

    def test_doc_folder_holds_the_copyright_and_a_users_readme(self):
        doc = os.path.join(self.root, "usr", "share", "doc", "tagwright")
        with open(os.path.join(doc, "copyright"), encoding="utf-8") as f:
            copyright = f.read()
        self.assertTrue(copyright.startswith("Format: https://www.debian.org/doc/packaging-manuals/"
                                             "copyright-format/1.0/\n"), copyright)
        for field in ("Files: *", "Copyright: ", "License: "):
            self.assertIn("\n" + field, copyright)
        with open(os.path.join(doc, "README"), encoding="utf-8") as f:
            readme = f.read()
        self.assertIn("man tagwright", readme)
        # Not the developers' README: no build, test or source layout.
        for developers in ("scripts/", "cmake", "ctest", "src/"):
            self.assertNotIn(developers, readme)
        self.assertFalse(os.path.exists(os.path.join(doc, "README.md")))

    def test_manual_pages_name_every_option_and_the_panel_keys(self):
        usr = os.path.join(self.root, "usr")
        pages = {}
        for page in ("tagwright", "tagwright-inspect"):
            with gzip.open(os.path.join(usr, "share", "man", "man1", page + ".1.gz"), "rt") as f:
                pages[page] = f.read().replace("\\-", "-")
            usage = self.run_script([os.path.join(usr, "bin", page), "--help"])
            self.assertEqual(usage.returncode, 0)
            text = (usage.stdout + usage.stderr).decode()
            for option in sorted(set(re.findall(r"(?<![\w-])--[a-z][a-z-]*", text))):
                self.assertIn(option, pages[page], f"{page}(1) lacks {option}")
        # --codepage guess, and the JSON keys of a line (error included).
        self.assertRegex(pages["tagwright-inspect"], r"codepage[^\n]*\n?[^\n]*guess")
        sample = os.path.join(self.work, "keys.mp3")
        mp3_with_v1_title(sample, "Keys")
        line = self.run_script([os.path.join(usr, "bin", "tagwright-inspect"), "--codepage", "guess", sample,
                                os.path.join(self.work, "missing.mp3")]).stdout.decode().splitlines()
        keys = set(json.loads(line[0])) | set(json.loads(line[1]))
        self.assertIn("error", keys)
        for key in sorted(keys):
            self.assertRegex(pages["tagwright-inspect"], rf"\.B[IR]? {key}\b|\b{key}\b", key)
        # The panel keys of the host's own help (F1 in the panel).
        help_source = os.path.join(HERE, "..", "..", "hostsim", "terminal", "host_help.cpp")
        with open(help_source, encoding="utf-8") as f:
            panel = f.read().split("#In the panel#")[1].split("#In dialogs#")[0]
        for key in re.findall(r"(Ctrl-[A-Z]|Gray[+*-])", panel):
            self.assertIn(key.replace("-", "+"), pages["tagwright"].replace("\\(pl", "+"), key)

    def test_installed_tagwright_finds_its_plugin_and_language_files(self):
        program = os.path.join(self.root, "usr", "bin", "tagwright")
        for language in ("English", "Russian"):
            result = self.run_script([program, "--script", SMOKE, "--lang", language])
            self.assertEqual(result.returncode, 0, result.stdout.decode(errors="replace")
                             + result.stderr.decode(errors="replace"))
            self.assertIn(f"language {language} (Tagwright{language[:3]}.lng".encode(), result.stdout)

    def test_installed_inspect_reads_a_file(self):
        mp3 = os.path.join(self.work, "song.mp3")
        mp3_with_v1_title(mp3, "Packaged")
        result = self.run_script([os.path.join(self.root, "usr", "bin", "tagwright-inspect"), mp3])
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertIn(b'"valid": true', result.stdout)
        self.assertIn(b'"Packaged"', result.stdout)


def pe_facts(data):
    """(COFF symbol count, section names) of a PE file; long names ("/N") are read
    from the string table after the symbols."""
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    assert data[pe:pe + 4] == b"PE\0\0"
    sections, _, symbols_at, symbols, optional = struct.unpack_from("<HIIIH", data, pe + 6)
    table = pe + 24 + optional
    strings = symbols_at + 18 * symbols
    names = []
    for i in range(sections):
        name = data[table + 40 * i:table + 40 * i + 8].rstrip(b"\0").decode("latin-1")
        if name.startswith("/") and symbols_at:
            start = strings + int(name[1:])
            name = data[start:data.index(b"\0", start)].decode("latin-1")
        names.append(name)
    return symbols, names


class FarArchive(Scratch):
    FILES = {"tagwright.dll", "TagwrightEng.lng", "TagwrightRus.lng", "TagwrightEng.hlf", "TagwrightRus.hlf",
             "ReadmeEng.txt", "ReadmeRus.txt", "file_id.diz"}

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.root = os.path.join(cls.work, "unpacked")
        with zipfile.ZipFile(cls.package) as z:
            cls.names = z.namelist()
            z.extractall(cls.root)
        cls.folder = os.path.join(cls.root, "Plugins", "Tagwright")

    def read(self, name):
        with open(os.path.join(self.folder, name), "rb") as f:
            return f.read()

    def test_archive_holds_the_plugin_folder_only(self):
        files = {n for n in self.names if not n.endswith("/")}
        self.assertEqual(files, {"Plugins/Tagwright/" + n for n in self.FILES})

    def test_dll_is_stripped_and_carries_its_version(self):
        dll = self.read("tagwright.dll")
        symbols, sections = pe_facts(dll)
        self.assertEqual(symbols, 0)
        self.assertFalse([s for s in sections if s.startswith(".debug")], sections)
        self.assertIn(struct.pack("<I", 0xFEEF04BD), dll)
        for key, value in (("ProductName", "Tagwright"), ("ProductVersion", ARGS.version),
                           ("FileDescription", "MP3 tag plug-in for the FAR Manager")):
            self.assertIn(key.encode("utf-16-le"), dll)
            self.assertIn(value.encode("utf-16-le"), dll)
        major, minor, patch = (int(x) for x in ARGS.version.split("."))
        fixed = dll.index(struct.pack("<I", 0xFEEF04BD))
        self.assertEqual(struct.unpack_from("<II", dll, fixed + 8), ((major << 16) | minor, patch << 16))

    def test_readme_files_are_in_their_code_pages(self):
        russian = self.read("ReadmeRus.txt")
        self.assertIn("Установка".encode("cp866"), russian)
        self.assertIn(b"\r\n", russian)
        with self.assertRaises(UnicodeDecodeError):
            russian.decode("utf-8")
        self.assertIn(f"Tagwright {ARGS.version}".encode("ascii"), self.read("ReadmeEng.txt"))
        diz = self.read("file_id.diz").decode("ascii").split("\r\n")
        self.assertLessEqual(max(len(line) for line in diz), 45)
        self.assertLessEqual(len([line for line in diz if line]), 10)

    def test_tagwright_loads_the_dll_from_the_unpacked_archive(self):
        dll = os.path.join(self.folder, "tagwright.dll")
        for language in ("English", "Russian"):
            result = self.run_script(ARGS.emulator + [ARGS.program, "--script", SMOKE, "--lang", language,
                                                      "--plugin", dll])
            self.assertEqual(result.returncode, 0, result.stdout.decode(errors="replace")
                             + result.stderr.decode(errors="replace"))
            self.assertIn(b"prefix \"id3\"", result.stdout)


def main():
    global ARGS
    parser = argparse.ArgumentParser()
    parser.add_argument("--kind", choices=["deb", "zip"], required=True)
    parser.add_argument("--cpack", required=True)
    parser.add_argument("--build-dir", required=True)
    parser.add_argument("--version", required=True)
    parser.add_argument("--program", help="zip: the tagwright program that loads the DLL")
    parser.add_argument("--emulator", default="", help="zip: the program that runs it (wine)")
    parser.add_argument("--junit")
    ARGS = parser.parse_args()
    ARGS.emulator = ARGS.emulator.split() if ARGS.emulator else []
    ARGS.build_dir = os.path.abspath(ARGS.build_dir)
    ARGS.program = ARGS.program and os.path.abspath(ARGS.program)
    # Only the package this build makes is tested.
    del globals()["FarArchive" if ARGS.kind == "deb" else "DebianPackage"]
    return junit_runner.run(sys.modules[__name__], f"tagwright_package_{ARGS.kind}", ARGS.junit)


if __name__ == "__main__":
    sys.exit(main())
