#!/usr/bin/env python3
"""Runs the terminal host (tagwright without --script) in a tmux pane, as a
person would: keys go in with `tmux send-keys`, the screen comes back with
`tmux capture-pane`. Each test gets its own folder with MP3 files made by lame,
its own registry file and its own tmux server."""
import argparse
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import time
import unicodedata
import unittest
import wave

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import junit_runner  # noqa: E402

ARGS = None
WIDTH, HEIGHT = 100, 30
# How long the screen may take to show what a test waits for: a guard against
# a hung run, not a measure of speed.
PATIENCE = 20.0


def make_mp3(path, title, artist):
    """A second of silence encoded by lame with an ID3v1 and an ID3v2 tag."""
    wav = path + ".wav"
    with wave.open(wav, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(44100)
        w.writeframes(struct.pack("<h", 0) * 44100)
    subprocess.run(["lame", "--quiet", "-b", "64", "--add-id3v2", "--tt", title, "--ta", artist,
                    "--tl", "Pane Album", wav, path], check=True)
    os.unlink(wav)


class TerminalHost(unittest.TestCase):
    """Starts the host in its own tmux server for each test; the tests are in the classes below."""
    # The terminal's size, and the registry file (None: one in the test's folder).
    width, height = WIDTH, HEIGHT
    registry_path = None
    # The locale the host runs in, and more MP3 files (name, title) beside Song and Zeta.
    locale = "C.UTF-8"
    language = "English"
    more_files = ()
    # What the command line names, below Music: the folder itself, or a file in it.
    start = ""

    def setUp(self):
        if shutil.which("lame") is None:
            self.skipTest("lame is needed to make the MP3 files")
        self.dir = tempfile.mkdtemp(prefix="tagwright-tmux-")
        self.music = os.path.join(self.dir, "Music")
        os.makedirs(os.path.join(self.music, "Sub"))
        make_mp3(os.path.join(self.music, "Song.mp3"), "Morning Tone", "Pane Artist")
        make_mp3(os.path.join(self.music, "Zeta.mp3"), "Evening Tone", "Pane Artist")
        for name, title in self.more_files:
            make_mp3(os.path.join(self.music, name), title, "Pane Artist")
        self.registry = self.registry_path or os.path.join(self.dir, "registry.reg")
        self.status = os.path.join(self.dir, "status")
        # The user's editor, played by a script that adds to the text it is given.
        self.editor = os.path.join(self.dir, "editor.sh")
        with open(self.editor, "w") as f:
            f.write("#!/bin/sh\nprintf ' and more' >> \"$1\"\n")
        os.chmod(self.editor, 0o755)
        self.socket = "tagwright-test-%d" % os.getpid()
        env = dict(os.environ, TMUX_TMPDIR=self.dir)
        self.env = env
        command = ("TAGWRIGHT_REGISTRY='%s' TAGWRIGHT_LANG=%s TERM=xterm-256color LANG=%s "
                   "LC_ALL=%s EDITOR='%s' '%s' --plugin '%s' '%s'; echo $? > '%s'; sleep 60"
                   % (self.registry, self.language, self.locale, self.locale, self.editor, ARGS.tagwright,
                      ARGS.plugin, os.path.join(self.music, self.start), self.status))
        subprocess.run(["tmux", "-L", self.socket, "-f", "/dev/null", "new-session", "-d", "-x", str(self.width),
                        "-y", str(self.height), command], check=True, env=env)
        self.wait_for("F10/q Quit")

    def tearDown(self):
        if hasattr(self, "socket"):
            subprocess.run(["tmux", "-L", self.socket, "kill-server"], env=self.env,
                           stderr=subprocess.DEVNULL)
        if hasattr(self, "dir"):
            shutil.rmtree(self.dir, ignore_errors=True)

    def keys(self, *keys, literal=False):
        subprocess.run(["tmux", "-L", self.socket, "send-keys"] + (["-l"] if literal else []) + list(keys),
                       check=True, env=self.env)

    def screen(self):
        return subprocess.run(["tmux", "-L", self.socket, "capture-pane", "-p"], check=True, env=self.env,
                              stdout=subprocess.PIPE).stdout.decode("utf-8")

    def wait_for(self, text, gone=False):
        """The screen once `text` is on it (or gone) and two captures in a row agree,
        so that a window is not read while the terminal is still drawing it."""
        deadline = time.monotonic() + PATIENCE
        previous = None
        while True:
            shown = self.screen()
            if (text in shown) != gone and shown == previous:
                return shown
            if time.monotonic() > deadline:
                self.fail("%r %s the screen:\n%s" % (text, "stays on" if gone else "never appeared on", shown))
            previous = shown if (text in shown) != gone else None
            time.sleep(0.05)

    def quit(self):
        self.keys("F10")
        deadline = time.monotonic() + PATIENCE
        while not os.path.exists(self.status) or not open(self.status).read().strip():
            if time.monotonic() > deadline:
                self.fail("tagwright did not end after F10:\n" + self.screen())
            time.sleep(0.05)
        self.assertEqual(open(self.status).read().strip(), "0")

    @staticmethod
    def cells(line):
        """The line's characters by the columns they take: a wide character (東)
        fills its second column with ''."""
        out = []
        for c in line:
            out.append(c)
            if unicodedata.east_asian_width(c) in ("W", "F"):
                out.append("")
        return out

    def assert_window_aligned(self, shown, title):
        """The window whose frame holds `title` has its sides in the same columns on every line."""
        text = shown.split("\n")
        lines = [self.cells(l) for l in text]
        top = next(i for i, l in enumerate(text) if title in l and "╔" in l)
        # The panel's own frame starts in column 0: the window's frame is the one after it.
        left = lines[top].index("╔", 1)
        right = lines[top].index("╗", left)
        bottom = next(i for i in range(top + 1, len(lines)) if lines[i][left:left + 1] == ["╚"])
        for i in range(top + 1, bottom):
            self.assertIn(lines[i][left], "║╟╠", "line %d: %r" % (i, text[i]))
            self.assertIn(lines[i][right], "║╢╣", "line %d: %r" % (i, text[i]))
        self.assertEqual(lines[bottom][right], "╝")

    def cursor(self):
        out = subprocess.run(["tmux", "-L", self.socket, "display", "-p", "#{cursor_x} #{cursor_y}"],
                             check=True, env=self.env, stdout=subprocess.PIPE).stdout.decode()
        x, y = out.split()
        return int(x), int(y)

    def tab(self):
        """Tab, then the cursor once it has moved and two reads in a row agree: the
        focus always goes to another place, a read at once may still show where it
        was, and one while the terminal draws may show where it draws."""
        before = self.cursor()
        self.keys("Tab")
        deadline = time.monotonic() + PATIENCE
        previous = None
        while True:
            now = self.cursor()
            if (now != before and now == previous) or time.monotonic() > deadline:
                return now
            previous = now
            time.sleep(0.05)

    def open_tag_editor(self, title="Morning Tone"):
        """The tag editor on Song.mp3, from the panel through the two menus."""
        self.keys("Down", "F11")
        self.wait_for("Plugin commands")
        self.keys("Enter")
        self.wait_for("File information and tag editor")
        self.keys("Enter")
        return self.wait_for(title)


class TerminalHostOnAFile(TerminalHost):
    """tagwright FILE opens the file's folder with the cursor on the file."""
    start = "Zeta.mp3"

    def test_the_cursor_starts_on_the_file_named_and_end_goes_to_the_last_item(self):
        self.wait_for("/Music ═")
        self.keys("F11")
        self.wait_for("Plugin commands")
        self.keys("Enter")
        self.wait_for("File information and tag editor")
        self.keys("Enter")
        self.wait_for("Evening Tone")  # Zeta.mp3's title
        self.keys("Escape")
        self.wait_for("Evening Tone", gone=True)
        # Home, then End (as tmux sends them under TERM=xterm-256color): the
        # last item again.
        self.keys("Home", "End", "F11")
        self.wait_for("Plugin commands")
        self.keys("Enter")
        self.wait_for("File information and tag editor")
        self.keys("Enter")
        self.wait_for("Evening Tone")
        self.keys("Escape")
        self.wait_for("Evening Tone", gone=True)
        self.quit()


class TerminalHostTest(TerminalHost):
    def test_gray_keys_select_unselect_and_invert_by_mask(self):
        self.wait_for("Zeta.mp3")
        self.keys("KP+")  # Gray+: a mask, "*" to begin with
        shown = self.wait_for("Mask")
        self.assertIn("Select", shown)
        self.keys("C-y")
        self.keys("Z*", literal=True)
        self.keys("Enter")
        shown = self.wait_for("√ Zeta.mp3")
        self.assertNotIn("√ Song.mp3", shown)
        self.assertNotIn("√ Sub", shown)
        self.keys("KP*")  # Gray*: the files turn over, the folder stays as it is
        shown = self.wait_for("√ Song.mp3")
        self.assertNotIn("√ Zeta.mp3", shown)
        self.assertNotIn("√ Sub", shown)
        self.keys("KP-")  # Gray-: the default mask takes every file
        self.wait_for("Deselect")
        self.keys("Enter")
        self.wait_for("√", gone=True)
        self.quit()

    def test_panel_lists_folders_first_and_marks_selection(self):
        shown = self.screen()
        names = [l for l in shown.split("\n") if "Song.mp3" in l or "Sub" in l or "Zeta.mp3" in l]
        self.assertEqual(len(names), 3, shown)
        self.assertIn("Sub", names[0])
        self.assertIn("Folder", names[0])
        # The code pages in force: C.UTF-8 names no language, so the Western pair.
        pages = os.environ.get("TAGWRIGHT_CODEPAGES", "437:1252").split(":")
        self.assertIn("OEM %s / ANSI %s" % tuple(pages), shown)
        self.keys("Down", "Insert")  # the cursor starts on Sub; select Song.mp3
        shown = self.wait_for("√ Song.mp3")
        self.assertNotIn("√ Zeta.mp3", shown)
        self.keys("Enter")  # into Zeta.mp3: a file, nothing happens
        self.keys("Up", "Up", "Enter")  # into Sub
        shown = self.wait_for("/Music/Sub ")
        self.keys("Enter")  # its ".." leads back, with the cursor on Sub
        shown = self.wait_for("/Music ═")
        self.assertNotIn("√", shown)  # as on the host, leaving a folder drops its selection
        self.keys("BSpace")  # Backspace goes up too
        self.wait_for(" Music ")
        self.quit()

    def test_information_view_shows_tags_then_esc_returns_to_panel(self):
        self.keys("Down")  # Song.mp3
        self.keys("F11")
        self.wait_for("Plugin commands")
        self.keys("Enter")
        self.wait_for("File information and tag editor")
        self.keys("Enter")
        shown = self.wait_for("Morning Tone")
        self.assertIn("Song.mp3", shown)
        self.assertIn("Pane Artist", shown)
        self.assertIn("Pane Album", shown)
        self.assert_window_aligned(shown, "Song.mp3")
        self.keys("Escape")
        self.wait_for("Morning Tone", gone=True)
        self.quit()

    def test_comment_goes_through_the_editor(self):
        self.keys("Down", "F11")
        self.wait_for("Plugin commands")
        self.keys("Enter")
        self.wait_for("File information and tag editor")
        self.keys("Enter")
        shown = self.wait_for("[ Comment ]")
        row = next(i for i, l in enumerate(shown.split("\n")) if "[ Comment ]" in l)
        # Tab until the cursor stands on the button that edits the ID3v2 comment.
        x, y = self.cursor()
        for _ in range(40):
            if y == row and shown.split("\n")[row][x - 2:x] == "[ ":
                break
            x, y = self.tab()
        else:
            self.fail("Tab never reached the comment button:\n" + self.screen())
        self.keys("Enter")
        self.wait_for("and more")
        self.keys("Escape")
        self.wait_for("[ Comment ]", gone=True)
        self.quit()

    def test_configure_changes_the_registry(self):
        self.keys("c")
        self.wait_for("Plugins configuration")
        self.keys("Enter")
        shown = self.wait_for("Exclude files matching")
        self.assert_window_aligned(shown, "configuration")
        self.keys("Tab")
        self.keys("*.tmp", literal=True)
        self.wait_for("*.tmp")
        self.keys("Enter")
        self.wait_for("Exclude files matching", gone=True)
        with open(self.registry, encoding="latin-1") as f:
            self.assertIn('"ExcludeExt"="*.tmp"', f.read())
        self.quit()

    def test_command_line_opens_the_named_file(self):
        self.keys("id3:Zeta.mp3", literal=True)
        self.wait_for("id3:Zeta.mp3")
        self.keys("Enter")
        self.wait_for("Evening Tone")
        self.keys("Escape")
        self.wait_for("Evening Tone", gone=True)
        # A prefix no plug-in takes is refused with a message.
        self.keys("xyz:1", literal=True)
        self.keys("Enter")
        self.wait_for("No plug-in takes this command")
        self.keys("Enter")
        self.wait_for("No plug-in takes this command", gone=True)
        self.quit()

    def test_help_follows_links_and_goes_back(self):
        # F1 in the panel: the host's keys, with a link to the plug-in's contents.
        self.keys("F1")
        shown = self.wait_for("Terminal host keys")
        self.assertIn("Alt+hot key", shown)
        self.keys("Tab", "Enter")
        shown = self.wait_for("Tagwright shows and edits")
        self.keys("Tab", "Enter")  # the second link of the contents
        self.wait_for("Tagwright shows and edits", gone=True)
        self.keys("BSpace")
        self.wait_for("Tagwright shows and edits")
        self.keys("BSpace")
        self.wait_for("Terminal host keys")
        self.keys("Escape")
        self.wait_for("Terminal host keys", gone=True)
        # F1 in a dialog shows the dialog's own topic.
        self.keys("c")
        self.wait_for("Plugins configuration")
        self.keys("Enter")
        self.wait_for("Exclude files matching")
        self.keys("F1")
        self.wait_for("Tag text code page")
        self.wait_for("The files that the operations handle")
        self.keys("Escape")
        self.wait_for("The files that the operations handle", gone=True)
        self.keys("Escape")
        self.wait_for("Exclude files matching", gone=True)
        self.quit()

    def test_alt_with_a_hot_key_moves_the_focus_and_typing_follows_it(self):
        self.keys("c")
        self.wait_for("Plugins configuration")
        self.keys("Enter")
        shown = self.wait_for("Exclude files matching")
        self.assertIn("[ ] Keep the file's modification time", shown)
        # Alt-E: the label hands the focus to its field, where the typed text
        # (its blank included) goes; Alt-K toggles the check box.
        self.keys("M-e")
        self.keys("*.tmp x", literal=True)
        self.wait_for("*.tmp x")
        self.keys("M-k")
        self.wait_for("[x] Keep the file's modification time")
        self.keys("Enter")
        self.wait_for("Exclude files matching", gone=True)
        with open(self.registry, encoding="latin-1") as f:
            text = f.read()
        self.assertIn('"ExcludeExt"="*.tmp x"', text)
        self.assertIn('"KeepFileTime"="1"', text)
        self.quit()

    def test_alt_with_a_buttons_hot_key_presses_it(self):
        self.keys("Down", "F11")
        self.wait_for("Plugin commands")
        self.keys("Enter")
        self.wait_for("File information and tag editor")
        self.keys("Enter")
        self.wait_for("Morning Tone")
        self.keys("M-f")  # Audio in&fo
        self.wait_for("44100")
        self.keys("Escape")
        self.wait_for("44100", gone=True)
        self.keys("Escape")
        self.wait_for("Morning Tone", gone=True)
        self.quit()

    def test_menu_items_are_chosen_by_their_digit(self):
        self.keys("Down", "F11")
        self.wait_for("Plugin commands")
        self.keys("Enter")
        self.wait_for("1. File information and tag editor")
        self.keys("2")
        self.wait_for("File list")
        self.assertNotIn("1. File information", self.screen())
        self.keys("Escape")
        self.wait_for("File list", gone=True)
        self.quit()


class SettingsWarningTest(TerminalHost):
    """A registry file that cannot be made: the host says so once at the start."""
    registry_path = "/proc/version/tagwright/registry.reg"

    def test_the_warning_names_the_file_and_goes_with_enter(self):
        shown = self.wait_for("The settings cannot be stored in")
        self.assertIn("/proc/version/tagwright/registry.reg", shown)
        self.assertIn("TAGWRIGHT_REGISTRY", shown)
        self.keys("Enter")
        self.wait_for("The settings cannot be stored in", gone=True)
        # A changed setting that cannot be kept is said again when it is stored.
        self.keys("c")
        self.wait_for("Plugins configuration")
        self.keys("Enter")
        self.wait_for("Exclude files matching")
        self.keys("M-k", "Enter")
        self.wait_for("could not be stored")
        self.keys("Enter")
        self.wait_for("could not be stored", gone=True)
        self.quit()


class ScriptSettingsWarningTest(unittest.TestCase):
    """tagwright --script says once on stderr that the settings cannot be stored, and runs on."""

    def run_script(self, registry):
        folder = tempfile.mkdtemp(prefix="tagwright-script-")
        try:
            script = os.path.join(folder, "info.txt")
            with open(script, "w") as f:
                f.write("invoke info\n")
            env = dict(os.environ, TAGWRIGHT_REGISTRY=registry, TAGWRIGHT_LANG="English")
            return subprocess.run([ARGS.tagwright, "--script", script, "--plugin", ARGS.plugin, "--quiet"],
                                  env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        finally:
            shutil.rmtree(folder, ignore_errors=True)

    def test_an_unusable_registry_file_is_said_once(self):
        done = self.run_script("/proc/version/tagwright/registry.reg")
        self.assertEqual(done.returncode, 0, done.stderr)
        lines = done.stderr.decode().splitlines()
        self.assertEqual(len(lines), 1, lines)
        self.assertIn("settings cannot be stored in /proc/version/tagwright/registry.reg", lines[0])
        folder = tempfile.mkdtemp(prefix="tagwright-script-")
        try:
            done = self.run_script(os.path.join(folder, "new", "registry.reg"))
        finally:
            shutil.rmtree(folder, ignore_errors=True)
        self.assertEqual((done.returncode, done.stderr), (0, b""))


class SmallTerminalTest(TerminalHost):
    """60 columns and 20 lines: windows larger than that show the part around the focus."""
    width, height = 60, 20

    def assert_on_screen(self, shown):
        """Nothing beyond the screen's lines and columns, and the cursor on it."""
        lines = shown.split("\n")
        while lines and not lines[-1]:
            lines.pop()
        self.assertLessEqual(len(lines), self.height, shown)
        for line in lines:
            self.assertLessEqual(len(line), self.width, line)
        x, y = self.cursor()
        self.assertTrue(0 <= x < self.width and 0 <= y < self.height, (x, y, shown))
        return lines, x, y

    def tab_through(self, title, steps=45):
        """Tabs through the dialog; per step the screen's lines and the cursor."""
        seen = []
        for _ in range(steps):
            self.tab()
            seen.append(self.assert_on_screen(self.wait_for(title)))
        return seen

    def test_the_tag_editors_right_side_comes_into_view_with_the_focus(self):
        shown = self.open_tag_editor()
        lines, _, _ = self.assert_on_screen(shown)
        frame = next(l for l in lines if "Song.mp3" in l and "═" in l)
        self.assertIn("╔", frame)  # 74 columns on 60: the left side first
        self.assertNotIn("╗", frame)
        self.assertIn("F10/q Quit", lines[-1])
        v1_title = v2_title = cancel = False
        for lines, x, y in self.tab_through("Song.mp3"):
            frame = next(l for l in lines if "Song.mp3" in l and "═" in l)
            if lines[y][x - 12:x] == "Morning Tone":
                # The title fields: the ID3v1 one with the frame's left side,
                # the ID3v2 one with its right side.
                v1_title = v1_title or "╔" in frame
                v2_title = v2_title or "╗" in frame
            cancel = cancel or lines[y][x:x + 6] == "Cancel"
        self.assertTrue(v1_title and v2_title and cancel, (v1_title, v2_title, cancel))
        self.keys("Escape")
        self.wait_for("Morning Tone", gone=True)
        self.quit()

    def test_the_tag_creation_buttons_come_into_view_with_the_focus(self):
        self.keys("Down", "F11")
        self.wait_for("Plugin commands")
        self.keys("Enter")
        self.wait_for("4. Create or fill tags")
        self.keys("4")
        shown = self.wait_for("Regular expression")
        self.assert_on_screen(shown)
        buttons = set()
        for lines, x, y in self.tab_through("Regular expression", 50):
            for name in ("OK", "Cancel", "Schemes"):
                if lines[y][x:x + len(name)] == name:
                    buttons.add(name)
        self.assertEqual(buttons, {"OK", "Cancel", "Schemes"})
        self.keys("Escape")
        self.wait_for("Regular expression", gone=True)
        self.quit()


class Utf8NamesTest(TerminalHost):
    """In a UTF-8 locale the host speaks UTF-8: names that no OEM code page holds
    together are listed, opened and tagged whole."""
    locale = "en_US.UTF-8"
    more_files = (("Café.mp3", "Coffee"), ("Группа.mp3", "Band Tone"), ("東京.mp3", "Tokyo Tone"))

    def open_by_command_line(self, name, title):
        """The information view on `name`, typed on the command line."""
        self.keys("id3:" + name, literal=True)
        self.wait_for("id3:" + name)
        self.keys("Enter")
        return self.wait_for(title)

    def test_every_name_is_listed_and_opened_and_a_title_is_saved(self):
        shown = self.screen()
        for name, _ in self.more_files:
            self.assertIn(name, shown)
        self.assertIn("UTF-8, OEM 437 / ANSI 1252", shown)
        for name, title in self.more_files:
            shown = self.open_by_command_line(name, title)
            frame = next(l for l in shown.split("\n") if "╔" in l and title not in l and name in l)
            self.assertIn("/Music/" + name, frame)
            self.assert_window_aligned(shown, name)
            self.keys("Escape")
            self.wait_for(title, gone=True)
        # A title typed in three scripts, saved: the tag holds it. (Where the
        # plug-in says that ID3v1 cannot, the save goes on with Enter.)
        self.open_by_command_line("東京.mp3", "Tokyo Tone")
        self.keys("M-i")  # T&itle of ID3v2
        self.keys("C-y")
        self.keys("Тест 東京 é", literal=True)
        self.wait_for("Тест 東京 é")
        self.keys("M-v")  # Sa&ve
        deadline = time.monotonic() + PATIENCE
        while "Тест 東京 é" in self.screen():
            if "cannot hold" in self.screen():
                self.keys("Enter")
                self.wait_for("cannot hold", gone=True)
            if time.monotonic() > deadline:
                self.fail("the tag editor did not close after Save:\n" + self.screen())
            time.sleep(0.05)
        read = subprocess.run(
            ["/usr/bin/python3", "-c",
             "import sys, mutagen.id3; print(mutagen.id3.ID3(sys.argv[1])['TIT2'].text[0])",
             os.path.join(self.music, "東京.mp3")],
            check=True, stdout=subprocess.PIPE)
        self.assertEqual(read.stdout.decode("utf-8").strip(), "Тест 東京 é")
        self.quit()


class Utf8RussianTest(TerminalHost):
    """The Russian language and help files are written in 866; a host that speaks
    UTF-8 shows them in UTF-8 whatever the locale's language."""
    locale = "en_US.UTF-8"
    language = "Russian"

    def test_menus_dialogs_and_help_read_their_866_files(self):
        self.keys("Down", "F11")
        self.wait_for("Plugin commands")
        self.keys("Enter")
        self.wait_for("Сведения о файле и редактор тегов")
        self.keys("Escape")
        self.wait_for("Сведения о файле", gone=True)
        self.keys("c")
        self.wait_for("Plugins configuration")
        self.keys("Enter")
        shown = self.wait_for("Настройка Tagwright")
        self.assert_window_aligned(shown, "Настройка Tagwright")
        self.keys("F1")  # the dialog's own topic
        self.wait_for("Диалог настройки открывается из меню настройки плагинов")
        self.keys("Escape")
        self.wait_for("Диалог настройки открывается", gone=True)
        self.keys("Escape")
        self.wait_for("Настройка Tagwright", gone=True)
        self.keys("F1")
        self.wait_for("Terminal host keys")
        self.keys("Tab", "Enter")
        self.wait_for("Tagwright показывает и изменяет теги ID3")
        self.keys("Escape")
        self.wait_for("Tagwright показывает", gone=True)
        self.quit()


class EightyColumnsTest(TerminalHost):
    width, height = 80, 25

    def test_status_line_and_the_whole_tag_editor_fit(self):
        shown = self.screen()
        self.assertIn("F1 Help", shown)
        self.assertIn("F10/q Quit", shown)
        shown = self.open_tag_editor()
        self.assert_window_aligned(shown, "Song.mp3")
        self.keys("Escape")
        self.wait_for("Morning Tone", gone=True)
        self.quit()

def main():
    global ARGS
    parser = argparse.ArgumentParser()
    parser.add_argument("--tagwright", required=True)
    parser.add_argument("--plugin", required=True)
    parser.add_argument("--junit", help="write the results as JUnit XML to this file")
    ARGS = parser.parse_args()
    return junit_runner.run(sys.modules[__name__], "tagwright_terminal_tmux", ARGS.junit)


if __name__ == "__main__":
    sys.exit(main())
