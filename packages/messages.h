// The program's own texts, as bytes in code page 936 (GBK). Each is written as escapes so
// the bytes do not depend on how the compiler reads or writes source text; the comment
// above each shows it in plain characters.
#pragma once

#include <string_view>

namespace msg {

// "APP数量为： " — count line of a listing (ends in a blank)
inline constexpr std::string_view kListCountPrefix = "APP\xCA\xFD\xC1\xBF\xCE\xAA\xA3\xBA ";
// "APP数量为：" — count line of the filter (no blank)
inline constexpr std::string_view kFilterCountPrefix = "APP\xCA\xFD\xC1\xBF\xCE\xAA\xA3\xBA";
// "请在执行按钮后的编辑框填写筛选的内容"
inline constexpr std::string_view kEmptyFilterMessage = "\xC7\xEB\xD4\xDA\xD6\xB4\xD0\xD0\xB0\xB4\xC5\xA5\xBA\xF3\xB5\xC4\xB1\xE0\xBC\xAD\xBF\xF2\xCC\xEE\xD0\xB4\xC9\xB8\xD1\xA1\xB5\xC4\xC4\xDA\xC8\xDD";
// "卸载APP中，请稍后...\r\n"
inline constexpr std::string_view kUninstallProgress = "\xD0\xB6\xD4\xD8" "APP\xD6\xD0\xA3\xAC\xC7\xEB\xC9\xD4\xBA\xF3...\r\n";
// "恢复APP，请稍后...\r\n"
inline constexpr std::string_view kRestoreProgress = "\xBB\xD6\xB8\xB4" "APP\xA3\xAC\xC7\xEB\xC9\xD4\xBA\xF3...\r\n";
// "连接设备中...\r\n"
inline constexpr std::string_view kConnectProgress = "\xC1\xAC\xBD\xD3\xC9\xE8\xB1\xB8\xD6\xD0...\r\n";
// "完成...\r\n"
inline constexpr std::string_view kDone = "\xCD\xEA\xB3\xC9...\r\n";
// "还没填写包名呢..."
inline constexpr std::string_view kEmptyNameMessage = "\xBB\xB9\xC3\xBB\xCC\xEE\xD0\xB4\xB0\xFC\xC3\xFB\xC4\xD8...";
// "没有包名呢"
inline constexpr std::string_view kEmptyListMessage = "\xC3\xBB\xD3\xD0\xB0\xFC\xC3\xFB\xC4\xD8";
// "是否批量卸载编辑框里的app"
inline constexpr std::string_view kBatchQuestion = "\xCA\xC7\xB7\xF1\xC5\xFA\xC1\xBF\xD0\xB6\xD4\xD8\xB1\xE0\xBC\xAD\xBF\xF2\xC0\xEF\xB5\xC4" "app";
// "准备卸载APP...\r\n"
inline constexpr std::string_view kBatchStart = "\xD7\xBC\xB1\xB8\xD0\xB6\xD4\xD8" "APP...\r\n";
// "卸载: <"
inline constexpr std::string_view kBatchItemBefore = "\xD0\xB6\xD4\xD8: <";
// "> 中，请稍后...\r\n"
inline constexpr std::string_view kBatchItemAfter = "> \xD6\xD0\xA3\xAC\xC7\xEB\xC9\xD4\xBA\xF3...\r\n";
// "包名含有不能使用的字符"
inline constexpr std::string_view kUnsafeNameMessage = "\xB0\xFC\xC3\xFB\xBA\xAC\xD3\xD0\xB2\xBB\xC4\xDC\xCA\xB9\xD3\xC3\xB5\xC4\xD7\xD6\xB7\xFB";
// "包名含有不能使用的字符，已跳过\r\n"
inline constexpr std::string_view kUnsafeNameSkipped = "\xB0\xFC\xC3\xFB\xBA\xAC\xD3\xD0\xB2\xBB\xC4\xDC\xCA\xB9\xD3\xC3\xB5\xC4\xD7\xD6\xB7\xFB\xA3\xAC\xD2\xD1\xCC\xF8\xB9\xFD\r\n";

}  // namespace msg
