#include "payload/standins/phone_model.h"

#include <cstdio>

namespace phone {
namespace {

const char* const kDefaultPackages[] = {
#include "phone_packages.inc"
};
const char* const kXiaomiPackages[] = {
#include "phone_packages_xiaomi.inc"
};
const char* const kHuaweiPackages[] = {
#include "phone_packages_huawei.inc"
};
const char* const kOppoPackages[] = {
#include "phone_packages_oppo.inc"
};
const char* const kVivoPackages[] = {
#include "phone_packages_vivo.inc"
};
const char* const kSamsungPackages[] = {
#include "phone_packages_samsung.inc"
};

struct Listing {
  const char* vendor;  // the name that picks it
  const char* const* names;
  size_t count;
};

template <size_t N>
constexpr Listing listing(const char* vendor, const char* const (&names)[N]) {
  return {vendor, names, N};
}

const Listing kListings[] = {
    listing("xiaomi", kXiaomiPackages),   listing("huawei", kHuaweiPackages),
    listing("oppo", kOppoPackages),       listing("vivo", kVivoPackages),
    listing("samsung", kSamsungPackages),
};

// Which apps are ordinary ("user") apps rather than system apps. The rule: a Chinese
// consumer app that people install from an app store, and that ROMs preload only as a
// removable promotion, is ordinary: a name of kStoreApps, or one under a prefix of
// kStorePrefixes (ByteDance's apps, Alibaba's Taobao family). So is an app that no phone
// maker ships, which only its user can have installed (the OPPO listing, taken from a user's
// dump, holds ChatGPT, a Total Commander plugin and Chrome's WebAPKs). Everything else is a
// system app: Android's, Google's and the chip vendors' packages, the phone maker's own apps,
// the makers' own builds of partner apps (com.baidu.input_huawei,
// cn.wps.moffice_eng.xiaomi.lite, com.tencent.qqlivehuawei) and the partner apps a maker
// puts in its system image (Facebook and Netflix in the Samsung listing, a list of system
// packages). The Xiaomi, Huawei, vivo and Samsung listings are lists of system images, so
// none of their names is ordinary.
const char* const kStoreApps[] = {
    "com.tencent.mm",
    "com.tencent.mobileqq",
    "com.tencent.qqlive",
    "com.tencent.qqmusic",
    "com.tencent.news",
    "com.tencent.wework",
    "com.tencent.tmgp.sgame",
    "com.tencent.android.qqdownloader",
    "com.tencent.qqpimsecure",
    "com.xingin.xhs",
    "com.jingdong.app.mall",
    "com.sina.weibo",
    "tv.danmaku.bili",
    "com.smile.gifmaker",
    "com.kuaishou.nebula",
    "com.xunmeng.pinduoduo",
    "com.zhihu.android",
    "cn.wps.moffice_eng",
    "com.eg.android.AlipayGphone",
    "com.sankuai.meituan",
    "com.autonavi.minimap",
    "com.baidu.searchbox",
    "com.baidu.BaiduMap",
    "com.iqiyi.i18n",
    "com.qiyi.video",
    "com.youku.phone",
    "com.netease.cloudmusic",
    "com.UCMobile",
    "com.dragon.read",
    "com.alibaba.android.rimet",
    "ctrip.android.view",
    "com.chinamworld.main",
    "com.cmbchina.ccd.pluto.cmbActivity",
    "com.openai.chatgpt",
    "com.ghisler.tcplugins.totaldrip",
    "com.netvor.hiddensettings",
    "co.median.android.zpzljzm",
};
const char* const kStorePrefixes[] = {"com.ss.android.", "com.taobao.", "org.chromium.webapk."};
// The default phone's ROM carries these partner apps in its system image, as some Chinese
// ROMs do: there they are system apps, removed for user 0 and restored like the others.
const char* const kDefaultPhoneSystemPartners[] = {"com.tencent.mm", "com.sina.weibo",
                                                   "com.taobao.taobao", "com.baidu.searchbox"};

bool storeApp(const std::string& name) {
  for (const char* app : kStoreApps)
    if (name == app) return true;
  for (const char* prefix : kStorePrefixes)
    if (name.compare(0, std::string(prefix).size(), prefix) == 0) return true;
  return false;
}

Answer says(const std::string& out, int code = 0) { return {out, "", code}; }
Answer complains(const std::string& err, int code) { return {"", err, code}; }

const char kNotInstalled[] = "Failure [not installed for 0]\n";

// The options before a package name: "--user N" (user 0 when none is given), and -k and
// --wait, which change nothing on this phone.
struct Options {
  std::string user = "0";
  bool userGiven = false;
  std::string unknown;  // the first option not understood
  size_t name = 1;      // the index of the first other word
};

// Reads the options after the verb at args[0].
Options takeOptions(const std::vector<std::string>& args) {
  Options options;
  size_t& i = options.name;
  while (i < args.size() && args[i].size() > 1 && args[i][0] == '-') {
    if (args[i] == "--user" && i + 1 < args.size()) {
      options.user = args[i + 1];
      options.userGiven = true;
      i += 2;
    } else if (args[i] == "-k" || args[i] == "--wait") {
      ++i;
    } else {
      options.unknown = args[i];
      break;
    }
  }
  return options;
}

Answer noSuchUser(const std::string& user) {
  return complains("Error: the simulated phone has no user " + user + "\n", 1);
}

}  // namespace

Phone::Phone(const Setup& setup) : setup_(setup) {
  Listing own = listing("", kDefaultPackages);
  for (const Listing& vendor : kListings)
    if (setup.vendor == vendor.vendor) own = vendor;
  const size_t count = setup.packages == 0 ? own.count : setup.packages;
  packages_.reserve(count);
  for (size_t i = 0; i < count && i < own.count; ++i) packages_.push_back(own.names[i]);
  char name[64];
  for (size_t i = own.count; i < count; ++i) {
    std::snprintf(name, sizeof name, "com.example.generated.app%05u",
                  static_cast<unsigned>(i - own.count + 1));
    packages_.push_back(name);
  }
  carried_.insert(packages_.begin(), packages_.end());
  for (const std::string& package : packages_)
    if (storeApp(package)) ordinary_.insert(package);
  if (own.names == kDefaultPackages)
    for (const char* partner : kDefaultPhoneSystemPartners) ordinary_.erase(partner);
}

bool Phone::carries(const std::string& name) const { return carried_.count(name) != 0; }

bool Phone::ordinary(const std::string& name) const { return ordinary_.count(name) != 0; }

// Still on the phone for some user: a removed ordinary app is gone.
bool Phone::present(const std::string& name, const State& state) const {
  return carries(name) && !(ordinary(name) && state.removed.count(name) != 0);
}

Answer Phone::shell(const std::string& line, State& state) const {
  std::vector<std::string> words;
  if (!splitShellWords(line, words))
    return complains("/system/bin/sh: syntax error: unterminated quoted string\n", 1);
  if (words.empty()) return says("");
  if (words[0] == "pm") return pm(std::vector<std::string>(words.begin() + 1, words.end()), state);
  // `cmd` came with Android 7; adb uses `cmd package` for uninstall where the phone has it.
  if (words[0] == "cmd" && setup_.android >= 7) {
    if (words.size() < 2) return complains("cmd: No service specified\n", 20);
    if (words[1] != "package") return complains("cmd: Can't find service: " + words[1] + "\n", 20);
    return pm(std::vector<std::string>(words.begin() + 2, words.end()), state);
  }
  return complains("/system/bin/sh: " + words[0] + ": inaccessible or not found\n", 127);
}

Answer Phone::pm(const std::vector<std::string>& args, State& state) const {
  if (args.empty()) return says("usage: pm list packages [-d|-e] [-s|-3] [-u] [FILTER]\n", 1);
  const std::string& verb = args[0];
  if (verb == "list" && args.size() >= 2 && args[1] == "packages")
    return list(std::vector<std::string>(args.begin() + 1, args.end()), state);
  if (verb == "uninstall") return uninstall(args, state);
  if (verb == "install-existing") return installExisting(args, state);
  if (verb == "disable-user" || verb == "enable") return setEnabled(verb, args, state);
  return says("Unknown command: " + verb + "\n", 255);
}

// pm list packages [--user 0] [-d|-e] [-s|-3] [-u] [FILTER], args[0] being "packages".
Answer Phone::list(const std::vector<std::string>& args, const State& state) const {
  bool disabled = false, enabled = false, system = false, thirdParty = false, all = false;
  std::string filter;
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "-d")
      disabled = true;
    else if (arg == "-e")
      enabled = true;
    else if (arg == "-s")
      system = true;
    else if (arg == "-3")
      thirdParty = true;
    else if (arg == "-u")
      all = true;
    else if (arg == "--user" && i + 1 < args.size()) {
      if (args[++i] != "0") return noSuchUser(args[i]);
    } else if (!arg.empty() && arg[0] == '-')
      return says("Error: Unknown option: " + arg + "\n", 255);
    else
      filter = arg;
  }
  std::string out;
  out.reserve(packages_.size() * 48);
  for (const std::string& name : packages_) {
    if (!present(name, state)) continue;
    if (!all && state.removed.count(name) != 0) continue;
    const bool isDisabled = state.disabled.count(name) != 0;
    if ((disabled && !isDisabled) || (enabled && isDisabled)) continue;
    if ((system && ordinary(name)) || (thirdParty && !ordinary(name))) continue;
    if (!filter.empty() && name.find(filter) == std::string::npos) continue;
    out += "package:";
    out += name;
    out += '\n';
  }
  return says(out);
}

// pm uninstall [-k] [--user N] PACKAGE. For user 0 a system app is removed for that user
// only; an ordinary app, whose only user that is, is deleted.
Answer Phone::uninstall(const std::vector<std::string>& args, State& state) const {
  const Options options = takeOptions(args);
  const bool forUser = options.userGiven;
  if (setup_.refuse == "old" && forUser) return complains("Error: Unknown option: --user\n", 1);
  if (!options.unknown.empty()) return says("Error: Unknown option: " + options.unknown + "\n", 1);
  if (options.user != "0") return noSuchUser(options.user);
  if (options.name >= args.size()) return says("Error: package name not specified\n", 1);
  const std::string& name = args[options.name];
  if (setup_.refuse == "minus1000") return says("Failure [-1000]\n", 1);
  if (setup_.refuse == "admin") return says("Failure [DELETE_FAILED_DEVICE_POLICY_MANAGER]\n", 1);
  if (setup_.refuse == "restricted") return says("Failure [DELETE_FAILED_USER_RESTRICTED]\n", 1);
  if (!present(name, state) || state.removed.count(name) != 0) return says(kNotInstalled, 1);
  if (!ordinary(name)) {
    if (!forUser) return says("Failure [DELETE_FAILED_INTERNAL_ERROR]\n", 1);
    if (setup_.android >= 17)
      return says("Failure [only root can delete system app for a particular user]\n", 1);
  } else {
    state.disabled.erase(name);  // a deleted app takes its settings with it
  }
  state.removed.insert(name);
  return says("Success\n");
}

// pm install-existing [--user N] PACKAGE: gives user 0 back a system app removed for it.
Answer Phone::installExisting(const std::vector<std::string>& args, State& state) const {
  if (setup_.refuse == "old")
    return complains("Error: unknown command 'install-existing'\nusage: pm list packages [-u]\n",
                     1);
  const Options options = takeOptions(args);
  if (!options.unknown.empty()) return says("Error: Unknown option: " + options.unknown + "\n", 1);
  if (options.user != "0") return noSuchUser(options.user);
  if (options.name >= args.size()) return says("Error: package name not specified\n", 1);
  const std::string& name = args[options.name];
  if (!present(name, state))
    return says("android.content.pm.PackageManager$NameNotFoundException: Package " + name +
                    " doesn't exist\n",
                1);
  state.removed.erase(name);
  return says("Package " + name + " installed for user: 0\n");
}

// pm disable-user|enable [--user N] PACKAGE. A package not installed for user 0 is unknown
// to it: pm throws, and the shell command prints the exception.
Answer Phone::setEnabled(const std::string& command, const std::vector<std::string>& args,
                         State& state) const {
  const Options options = takeOptions(args);
  if (options.user != "0") return noSuchUser(options.user);
  if (options.name >= args.size())
    return complains("Error: no package or component specified\n", 1);
  const std::string& name = args[options.name];  // an unknown option is taken for a name
  if (!present(name, state) || state.removed.count(name) != 0)
    return complains("\nException occurred while executing '" + command +
                         "':\njava.lang.IllegalArgumentException: Unknown package: " + name +
                         "\n\tat com.android.server.pm.PackageManagerService.setEnabledSetting("
                         "PackageManagerService.java)\n\tat com.android.server.pm."
                         "PackageManagerShellCommand.runSetEnabledSetting("
                         "PackageManagerShellCommand.java)\n",
                     255);
  if (command == "enable") {
    state.disabled.erase(name);
    return says("Package " + name + " new state: enabled\n");
  }
  state.disabled.insert(name);
  return says("Package " + name + " new state: disabled-user\n");
}

bool splitShellWords(const std::string& line, std::vector<std::string>& words) {
  words.clear();
  std::string word;
  bool inWord = false;
  for (size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (c == ' ' || c == '\t' || c == '\n') {
      if (inWord) words.push_back(word);
      word.clear();
      inWord = false;
    } else if (c == '\'') {
      const size_t end = line.find('\'', i + 1);
      if (end == std::string::npos) return false;
      word.append(line, i + 1, end - i - 1);
      i = end;
      inWord = true;
    } else if (c == '"') {
      for (++i; i < line.size() && line[i] != '"'; ++i) {
        if (line[i] == '\\' && i + 1 < line.size() &&
            std::string("\"\\$`").find(line[i + 1]) != std::string::npos)
          ++i;
        word += line[i];
      }
      if (i >= line.size()) return false;
      inWord = true;
    } else if (c == '\\' && i + 1 < line.size()) {
      word += line[++i];
      inWord = true;
    } else {
      word += c;
      inWord = true;
    }
  }
  if (inWord) words.push_back(word);
  return true;
}

}  // namespace phone
