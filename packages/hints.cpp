#include "packages/hints.h"

#include "packages/messages.h"

namespace {

char fold(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool equal_ignoring_case(std::string_view a, std::string_view b) {
  for (size_t i = 0; i < a.size(); ++i)
    if (fold(a[i]) != fold(b[i])) return false;
  return true;
}

// Where sought starts on a character of text, or npos; as find_text, but ASCII letters
// compared without case.
size_t find_ignoring_case(std::string_view text, std::string_view sought) {
  if (sought.empty()) return text.empty() ? std::string_view::npos : 0;
  for (size_t q = 0; q < text.size() && text.size() - q >= sought.size();
       q += static_cast<unsigned char>(text[q]) >= 0x80 ? 2 : 1)
    if (equal_ignoring_case(text.substr(q, sought.size()), sought)) return q;
  return std::string_view::npos;
}

// "List of devices attached" with nothing but blanks after it: adb found no phone.
bool lists_no_device(std::string_view output) {
  constexpr std::string_view kHeader = "List of devices attached";
  size_t at = find_ignoring_case(output, kHeader);
  return at != std::string_view::npos &&
         output.find_first_not_of(" \t\r\n", at + kHeader.size()) == std::string_view::npos;
}

struct Case {
  std::string_view patterns[6];
  std::string_view hint;
};

// In order: the first case that matches wins.
const Case kCases[] = {
    {{"no devices/emulators found", "no devices found"}, msg::kHintNoPhone},
    {{"unauthorized"}, msg::kHintUnauthorized},
    {{"authorizing"}, msg::kHintAuthorizing},
    {{"offline"}, msg::kHintOffline},
    // Most often an Android emulator on the PC, which adb sees as a device.
    {{"more than one device", "more than one emulator"}, msg::kHintTwoPhones},
    // Another adb server holds the port: a phone assistant's, of another version.
    {{"doesn't match this client", "could not read ok from ADB Server", "cannot connect to daemon",
      "failed to start daemon", "could not install *smartsocket* listener", "protocol fault"},
     msg::kHintOtherAdb},
    // The phone's package service is not up yet: it is still starting.
    {{"Can't find service: package"}, msg::kHintStillStarting},
    // Shown only after disabling was refused too: the answers of both commands come together.
    {{kOnlyRootCanDelete}, msg::kHintMustStay},
    {{"Failure [-1000]"}, msg::kHintXiaomiRefused},
    {{"Unknown option: --user"}, msg::kHintNoUserOption},
    {{"Unknown command: install-existing", "unknown command 'install-existing'"},
     msg::kHintNoInstallExisting},
    {{"DELETE_FAILED_DEVICE_POLICY_MANAGER"}, msg::kHintDeviceAdmin},
    {{"DELETE_FAILED_USER_RESTRICTED"}, msg::kHintUserRestricted},
    {{"not installed for"}, msg::kHintNotInstalled},
    {{"NameNotFoundException", "doesn't exist"}, msg::kHintNoSuchPackage},
    {{"DELETE_FAILED_INTERNAL_ERROR"}, msg::kHintCannotUninstall},
    {{msg::kNotRecognizedZh, "is not recognized as an internal or external command"},
     msg::kHintAdbMissing},
};

}  // namespace

bool contains_ignoring_case(std::string_view text, std::string_view sought) {
  return find_ignoring_case(text, sought) != std::string_view::npos;
}

std::string_view hint_for(std::string_view output, HintSource source) {
  for (const Case& c : kCases) {
    bool matched =
        c.hint == msg::kHintNoPhone && source == HintSource::connect && lists_no_device(output);
    for (std::string_view pattern : c.patterns)
      if (!pattern.empty() && contains_ignoring_case(output, pattern)) matched = true;
    if (matched) return c.hint;
  }
  return {};
}
