// Shared by the fuzz harnesses: the check that ends a run when a property
// fails, and a scratch folder for the harnesses whose parsers read files.
//
// Every harness defines LLVMFuzzerTestOneInput. Built with libFuzzer it is
// driven by the fuzzer; otherwise replay_main.cpp runs it once per file of
// the folders it is given.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace fuzz {

// The input being run, for the message of a failed check ("" under libFuzzer,
// which saves the input itself).
void SetCurrentInput(std::string name);

// Prints the failed property with the input's name and aborts, so that
// libFuzzer saves the input and a replay run fails.
[[noreturn]] void Fail(const char* file, int line, const char* property);

// The same, first printing the two lists of fields that differ.
[[noreturn]] void FailUnequal(const char* file, int line, const char* property,
                              const std::vector<std::string>& got,
                              const std::vector<std::string>& expected);

// A folder of this process below the system's temporary folder, made on first
// use and removed at exit.
const std::string& ScratchDir();
// `ScratchDir()/name` holding exactly `size` bytes of `data`.
std::string WriteScratchFile(const std::string& name, const uint8_t* data, size_t size);
std::vector<uint8_t> ReadWholeFile(const std::string& path);
// The names in the scratch folder, sorted.
std::vector<std::string> ScratchNames();

// The input split at its zero bytes into at most `count` parts; the last
// part takes the rest, zero bytes included.
std::vector<std::string> SplitAtZeros(const uint8_t* data, size_t size, size_t count);

}  // namespace fuzz

#define FUZZ_CHECK(condition, property)                                    \
  do {                                                                     \
    if (!(condition)) ::fuzz::Fail(__FILE__, __LINE__, property);          \
  } while (false)

#define FUZZ_CHECK_FIELDS(got, expected, property)                                  \
  do {                                                                             \
    const std::vector<std::string>& fuzzGot = (got);                               \
    const std::vector<std::string>& fuzzExpected = (expected);                     \
    if (fuzzGot != fuzzExpected)                                                   \
      ::fuzz::FailUnequal(__FILE__, __LINE__, property, fuzzGot, fuzzExpected);    \
  } while (false)

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
