// Runs a fuzz target once on each input file, without libFuzzer: on every file of the
// folders given (and on files given directly), in name order. Fails when a path is missing
// or nothing was run, so a corpus that went astray does not pass unnoticed; a mismatch in
// the target aborts, and the input that did it is named on stderr.
#include <algorithm>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

namespace fs = std::filesystem;

std::string current_input;

void name_input_and_die(int signal_number) {
  const char note[] = "replay: failed on input ";
  ssize_t ignored = write(STDERR_FILENO, note, sizeof note - 1);
  ignored = write(STDERR_FILENO, current_input.data(), current_input.size());
  ignored = write(STDERR_FILENO, "\n", 1);
  (void)ignored;
  std::signal(signal_number, SIG_DFL);
  std::raise(signal_number);
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<fs::path> inputs;
  for (int i = 1; i < argc; ++i) {
    fs::path path = argv[i];
    std::error_code error;
    if (fs::is_directory(path, error)) {
      for (const fs::directory_entry& entry : fs::recursive_directory_iterator(path))
        if (entry.is_regular_file()) inputs.push_back(entry.path());
    } else if (fs::is_regular_file(path, error)) {
      inputs.push_back(path);
    } else {
      std::fprintf(stderr, "replay: no such file or folder: %s\n", argv[i]);
      return 2;
    }
  }
  std::sort(inputs.begin(), inputs.end());

  for (int signal_number : {SIGABRT, SIGSEGV, SIGILL, SIGFPE, SIGBUS})
    std::signal(signal_number, name_input_and_die);
  for (const fs::path& path : inputs) {
    std::ifstream file(path, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(file)),
                            std::istreambuf_iterator<char>());
    current_input = path.string();
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
  }
  std::printf("replay: ran %zu inputs\n", inputs.size());
  return inputs.empty() ? 1 : 0;
}
