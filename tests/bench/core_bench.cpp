// Times the portable part of listing and filtering, without a window: what the program itself
// spends on a phone of 10,000 packages, apart from the command and the edit box.
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "packages/actions.h"
#include "packages/package_info.h"
#include "tests/native/fakes.h"

namespace {

template <typename F>
double best_ms(F run) {
  double best = 1e9;
  for (int i = 0; i < 20; ++i) {
    auto start = std::chrono::steady_clock::now();
    run();
    std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
    best = std::min(best, took.count());
  }
  return best;
}

}  // namespace

int main() {
  std::string output;
  for (int i = 0; i < 10000; ++i)
    output += "package:com.example.generated.app" + std::to_string(i) + "\r\n";
  FakeView view;
  FakeCommands commands;
  commands.answers["list"] = output;
  double listing = best_ms([&] { list_packages(view, commands, Button::list_all, "list"); });
  std::string list = view.box(Box::list);
  view.box(Box::name) = "generated";
  double filtering = best_ms([&] {
    view.box(Box::list) = list;
    filter_packages(view);
  });
  // Classifying a phone's names: half of them known, half not, as on a real phone with many
  // apps of its own.
  std::vector<std::string> names;
  for (int i = 0; names.size() < 10000; ++i) {
    names.emplace_back(package_info_entry(i % package_info_count()).name);
    names.push_back("com.example.generated.app" + std::to_string(i));
  }
  int known = 0;
  double classifying = best_ms([&] {
    known = 0;
    for (const std::string& name : names) known += find_package_info(name) != nullptr;
  });
  std::string explained_list;
  for (int i = 0; i < 3000; ++i) explained_list += names[i] + "\r\n";
  double explaining = best_ms([&] {
    view.box(Box::log) = "";
    view.box(Box::list) = explained_list;
    explain_packages(view, commands);
  });
  std::printf("| core alone, 10,000 packages: listing | %.2f ms | | | |\n", listing);
  std::printf("| core alone, 10,000 names: classifying (%d known) | %.2f ms | | | |\n", known,
              classifying);
  std::printf("| core alone, 3,000 lines: explaining | %.2f ms | | | |\n", explaining);
  std::printf("| core alone, 10,000 lines: filtering | %.2f ms | | | |\n", filtering);
  return 0;
}
