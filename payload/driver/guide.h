// What the driver helper shows, in the words of the window. The vendors' pages named are
// those whose addresses were checked against public pages that link to them:
//   https://developer.android.com/studio/run/win-usb (Google's own page, linked from many
//     Android setup guides, e.g. in the Android documentation's own sources)
//   https://developer.samsung.com/android-usb-driver (Samsung's developer site, linked from
//     Samsung flashing and debugging guides)
//   https://consumer.huawei.com/cn/support/hisuite/ (华为手机助手, the page that package
//     manifests read HiSuite's version from; guides name it as the source of Huawei's USB
//     driver)
//   https://zs.vivo.com.cn/ (vivo手机助手, the page a software downloader reads its version and
//     download from; its download.php?sel_type=2 is vivo_usb_driver.exe, as a scrcpy guide in
//     Chinese links it)
// Xiaomi's driver is published inside its bootloader unlock tool, which a user should not be
// sent to: unlocking erases the phone. Honor's, OPPO's, realme's and OnePlus' driver pages
// could not be confirmed, so the guide sends those users to their vendor's own site.
// Windows' own ways to a driver: Device Manager's 更新驱动程序 → 自动搜索驱动程序; Windows 10:
// 设置 → 更新和安全 → Windows 更新 → 查看可选更新 → 驱动程序更新 (Microsoft's driver
// documentation, "How Windows selects a driver package for a device"); Windows 11: 设置 →
// Windows 更新 → 高级选项 → 可选更新 (Microsoft's .NET Framework update notes of May 2023).
// The source is UTF-8 and compiled with -finput-charset=UTF-8; the edit control wants CR LF.
#pragma once

namespace guide {

inline constexpr wchar_t kTitle[] = L"手机 USB 驱动帮助";

inline constexpr wchar_t kHeadline[] =
    L"本程序不安装任何驱动，只告诉您什么时候需要驱动、去哪里找。";

inline constexpr wchar_t kText[] =
    L"一、什么时候需要驱动\r\n"
    L"手机已用数据线连上电脑，手机上选了“传输文件”，“开发者选项”里的“USB 调试”也已打开，"
    L"可是：\r\n"
    L"  · 在 Tolvexa 里点“连接设备”，设备列表是空的；或者\r\n"
    L"  · 手机上一直没有弹出“允许 USB 调试吗？”的提问。\r\n"
    L"这多半是电脑上缺少这部手机的 USB 驱动。请先换一根确定能传文件的数据线、换一个 USB 接口"
    L"再试一次（只能充电的线也会这样）；仍然不行，再按下面的方法装驱动。\r\n"
    L"\r\n"
    L"二、让 Windows 更新找驱动（请先试这个）\r\n"
    L"电脑要连着网络，手机保持连接。\r\n"
    L"1. 点下面的“打开设备管理器”。\r\n"
    L"2. 在“其他设备”或“便携设备”下面找到您的手机，它常带一个黄色感叹号。\r\n"
    L"3. 右键点它，选“更新驱动程序”，再选“自动搜索驱动程序”。\r\n"
    L"Windows 10 和 Windows 11 有时还把手机驱动放在“可选更新”里：\r\n"
    L"  Windows 11：设置 → Windows 更新 → 高级选项 → 可选更新 → 驱动程序更新\r\n"
    L"  Windows 10：设置 → 更新和安全 → Windows 更新 → 查看可选更新 → 驱动程序更新\r\n"
    L"勾选与手机有关的驱动，点“下载并安装”。\r\n"
    L"\r\n"
    L"三、装手机厂商的官方驱动或手机助手\r\n"
    L"在浏览器的地址栏里输入下面的网址，按页面上的说明下载安装：\r\n"
    L"  · 谷歌 Pixel 等手机：Google USB 驱动\r\n"
    L"    https://developer.android.com/studio/run/win-usb\r\n"
    L"  · 三星手机：三星 Android USB 驱动\r\n"
    L"    https://developer.samsung.com/android-usb-driver\r\n"
    L"  · 华为手机：华为手机助手（HiSuite），装好后手机的驱动也一起装上\r\n"
    L"    https://consumer.huawei.com/cn/support/hisuite/\r\n"
    L"  · vivo 手机：vivo 手机助手（电脑版），同一网站也提供 vivo 的 USB 驱动\r\n"
    L"    https://zs.vivo.com.cn/\r\n"
    L"其他品牌的手机，请到该品牌的官方网站找“USB 驱动”或“手机助手”。"
    L"不要从来历不明的网站下载驱动。\r\n"
    L"\r\n"
    L"四、装好以后\r\n"
    L"拔下数据线再插上，在 Tolvexa 里点“连接设备”。手机上问“允许 USB 调试吗？”时，点“允许”。";

inline constexpr wchar_t kOpenDeviceManager[] = L"打开设备管理器";
inline constexpr wchar_t kClose[] = L"关闭";

// The Device Manager could not be opened: what happened, then how to open it by hand.
inline constexpr wchar_t kNotFound[] =
    L"无法打开设备管理器：系统文件夹里找不到它（mmc.exe 或 devmgmt.msc）。";
// Followed by the system's reason and the error code.
inline constexpr wchar_t kNotStarted[] = L"无法打开设备管理器：Windows 没能启动它";
inline constexpr wchar_t kByHand[] =
    L"\r\n\r\n请手动打开：同时按下键盘上的 Windows 徽标键和 X 键，在弹出的菜单里选“设备管理器”。";

}  // namespace guide
