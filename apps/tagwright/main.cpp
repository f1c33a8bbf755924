// tagwright: the host stand-in as a program. Without --script it is the
// terminal host for people: a file panel of the folder given (or the current
// one) with the plug-in's menu, dialogs and help. With --script it plays a
// script against the plug-in and prints the transcript (the tests and batch
// jobs use this).
#if defined(_WIN32)
#include <windows.h>
#include <fcntl.h>
#include <io.h>
#else
#include <csignal>
#include <unistd.h>
#endif
#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "hostsim/fs.h"
#include "hostsim/host.h"
#include "hostsim/host_text.h"
#include "hostsim/loader.h"
#include "hostsim/script.h"
#include "sys/sys.h"
#if defined(TAGWRIGHT_TERMINAL_HOST)
#include "hostsim/terminal/terminal_host.h"
#endif

namespace {

constexpr int kExitMismatch = 1;
constexpr int kExitUsage = 2;

void Usage() {
  std::fputs(
      "usage: tagwright [FOLDER|FILE] [--lang NAME] [--plugin MODULE]\n"
      "       tagwright --script FILE [--lang NAME] [--plugin MODULE] [--quiet]\n"
      "       tagwright --help | --version\n"
      "  FOLDER           the folder the terminal host's panel shows (default: the current one)\n"
      "  FILE             a file: its folder, with the cursor on it\n"
      "  --script FILE    play FILE against the plug-in and print the transcript\n"
      "  --lang NAME      the language file to use (default $TAGWRIGHT_LANG, else English)\n"
      "  --plugin MODULE  the plug-in module (default $TAGWRIGHT_PLUGIN, else the one\n"
      "                   beside this program, in ../plugin or in ../lib/tagwright)\n"
      "  --quiet          print no transcript, only a failure\n"
      "  --version        print the program's name and version\n"
      "The exit status is 0 when the script ran to its end (or the user quit), 1 on the\n"
      "first mismatch (or a misuse of the host), 2 when the script, the folder or the\n"
      "plug-in could not be loaded.\n",
      stderr);
  std::fprintf(stderr,
               "The host's text: %s (UTF-8 in a UTF-8 locale, else OEM; TAGWRIGHT_HOST_TEXT=utf8\n"
               "or oem decides instead).\n"
               "OEM and ANSI code pages (\"Dos text\" and \"Windows text\" of 8-bit tags): %u and\n"
               "%u, from TAGWRIGHT_CODEPAGES (OEM:ANSI, e.g. 866:1251), else from the locale's\n"
               "language (ru, uk, be, bg, sr: 866:1251; el: 737:1253; any other: 437:1252).\n",
               sys::HostTextIsUtf8() ? "UTF-8" : "OEM", sys::OemCodePage(), sys::AnsiCodePage());
}

// A command-line argument as the host's text.
std::string ArgToHost(const char* arg) {
#if defined(_WIN32)
  // Windows hands over ANSI text; the file functions were switched to OEM.
  std::string oem(arg);
  sys::CharToOem(oem.c_str(), &oem[0]);
  return oem;
#else
  std::string text;
  hostsim::Utf8ToHost(arg, &text);
  return text;
#endif
}

std::string ProgramFolder() {
#if defined(_WIN32)
  char buffer[MAX_PATH + 1];
  DWORD n = GetModuleFileNameA(nullptr, buffer, sizeof(buffer) - 1);
  std::string path(buffer, n < sizeof(buffer) ? n : 0);
#else
  char buffer[4096];
  ssize_t n = readlink("/proc/self/exe", buffer, sizeof(buffer) - 1);
  std::string utf8(buffer, n > 0 ? static_cast<size_t>(n) : 0);
  std::string path;
  hostsim::Utf8ToHost(utf8, &path);
#endif
  size_t cut = path.find_last_of("\\/");
  return cut == std::string::npos ? std::string(".") : path.substr(0, cut);
}

std::string FindPlugin() {
#if defined(_WIN32)
  const char* name = "tagwright.dll";
#else
  const char* name = "libtagwright.so";
#endif
  std::string folder = ProgramFolder();
  // Beside the program, in the build tree, or installed (PREFIX/bin and PREFIX/lib/tagwright).
  // '/' separates folders on both systems.
  for (const char* sub : {"", "plugin", "../plugin", "../lib/tagwright"}) {
    std::string candidate = hostsim::JoinPath(*sub ? hostsim::JoinPath(folder, sub) : folder, name);
    if (sys::Exists(candidate)) return candidate;
  }
  return std::string();
}

// The plug-in module named, or found beside the program.
std::string ChoosePlugin(std::string plugin) {
  if (plugin.empty() && !sys::GetEnv("TAGWRIGHT_PLUGIN", &plugin)) plugin.clear();
  if (plugin.empty()) plugin = FindPlugin();
  return plugin;
}

int RunInteractive(hostsim::Host& host, const std::string& folderArg, const std::string& language, const std::string& pluginArg) {
#if defined(TAGWRIGHT_TERMINAL_HOST)
  std::string plugin = ChoosePlugin(pluginArg);
  if (plugin.empty()) {
    std::fputs("tagwright: no plug-in module found; name it with --plugin\n", stderr);
    return kExitUsage;
  }
  std::string folder = hostsim::AbsolutePath(folderArg.empty() ? std::string(".") : folderArg);
  hostsim::PluginModule module;
  std::string error;
  if (!module.Load(plugin, language, &error)) {
    std::fprintf(stderr, "tagwright: %s\n", hostsim::HostToUtf8(error).c_str());
    return kExitUsage;
  }
  module.SetStartupInfo();
  hostsim::PluginInfoCopy info;
  module.GetPluginInfo(&info);
  int status = hostsim::terminal::RunTerminalHost(host, module, folder);
  module.Unload();
  if (status == kExitMismatch) {
    std::fprintf(stderr, "tagwright: %s\n", hostsim::HostToUtf8(host.failure()).c_str());
  }
  return status;
#else
  (void)host, (void)folderArg, (void)language, (void)pluginArg;
  std::fputs("tagwright: this build has no terminal host; run a script with --script FILE\n", stderr);
  Usage();
  return kExitUsage;
#endif
}

}  // namespace

int main(int argc, char** argv) {
#if defined(_WIN32)
  // The transcript is the same bytes on every platform: no CR before LF.
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
#endif
#if defined(__GLIBC__)
  // A walk allocates and frees a few tag-sized buffers per file. With glibc's
  // defaults the heap gives the freed top back to the system after every file
  // and takes it again for the next (a page fault per page, most of a save's
  // time on tags with pictures); the host keeps up to 8 MiB of freed memory
  // instead, as a long-running host's heap does.
  mallopt(M_TRIM_THRESHOLD, 8 << 20);
  mallopt(M_MMAP_THRESHOLD, 1 << 20);
#endif
#if !defined(_WIN32)
  // A write beyond the file size limit (ulimit -f) fails with EFBIG, which the
  // plug-in says and cleans up after, instead of killing the host with the
  // file half written.
  std::signal(SIGXFSZ, SIG_IGN);
#endif
  hostsim::Host host;
  std::string script, language, plugin, folder;
  bool quiet = false;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if ((arg == "--script" || arg == "--lang" || arg == "--plugin") && i + 1 < argc) {
      std::string value = ArgToHost(argv[++i]);
      (arg == "--script" ? script : arg == "--lang" ? language : plugin) = value;
    } else if (arg == "--quiet") {
      quiet = true;
    } else if (arg == "--help" || arg == "-h") {
      Usage();
      return 0;
    } else if (arg == "--version") {
      std::puts("tagwright " TAGWRIGHT_VERSION);
      return 0;
    } else if (arg.compare(0, 1, "-") != 0 && folder.empty()) {
      folder = ArgToHost(argv[i]);
    } else {
      std::fprintf(stderr, "tagwright: unknown argument %s\n", argv[i]);
      Usage();
      return kExitUsage;
    }
  }
  if (script.empty()) return RunInteractive(host, folder, language, plugin);
  if (!folder.empty()) {
    std::fputs("tagwright: a folder is for the terminal host; a script opens its own panel\n", stderr);
    return kExitUsage;
  }

  std::string text;
  if (!hostsim::ReadWholeFile(script, &text)) {
    std::fprintf(stderr, "tagwright: cannot read %s\n", hostsim::HostToUtf8(script).c_str());
    return kExitUsage;
  }
  std::vector<hostsim::Step> steps;
  std::string error;
  if (!hostsim::ParseScript(text, &steps, &error)) {
    std::fprintf(stderr, "tagwright: %s: %s\n", hostsim::HostToUtf8(script).c_str(),
                 hostsim::HostToUtf8(error).c_str());
    return kExitUsage;
  }

  plugin = ChoosePlugin(plugin);
  if (plugin.empty()) {
    std::fputs("tagwright: no plug-in module found; name it with --plugin\n", stderr);
    return kExitUsage;
  }

  std::string scriptPath = hostsim::AbsolutePath(script);
  size_t cut = scriptPath.find_last_of("\\/");
  std::string base = cut == std::string::npos ? std::string(".") : scriptPath.substr(0, cut == 0 ? 1 : cut);
  if (!quiet) host.transcript().SetEcho(stdout);
  std::string settings;
  if (!sys::RegStorable(&settings)) {
    const std::string reason = sys::ErrorText(sys::LastError());
    std::fprintf(stderr, "tagwright: the settings cannot be stored in %s: %s\n", settings.c_str(),
                 reason.c_str());
  }
  host.transcript().AddSubstitution(base, "script");

  hostsim::PluginModule module;
  if (!module.Load(plugin, language, &error)) {
    std::fprintf(stderr, "tagwright: %s\n", hostsim::HostToUtf8(error).c_str());
    return kExitUsage;
  }
  module.SetStartupInfo();
  hostsim::PluginInfoCopy info;
  module.GetPluginInfo(&info);

  hostsim::ScriptDriver driver(host, &module, std::move(steps), base);
  host.SetDriver(&driver);
  bool ok = driver.Run();
  host.SetDriver(nullptr);
  module.Unload();
  if (!ok) {
    // The transcript's own line: UTF-8, with the folders named as in the transcript.
    std::string line = "FAILED: " + hostsim::HostToUtf8(host.failure());
    for (const auto& l : host.transcript().lines()) {
      if (l.compare(0, 8, "FAILED: ") == 0) line = l;
    }
    std::fprintf(stderr, "tagwright: %s\n", line.c_str());
    return kExitMismatch;
  }
  return 0;
}
