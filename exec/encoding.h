// The program's texts are code page 936 bytes; Windows speaks UTF-16 (windows, paths).
// Converting with code page 936 explicitly keeps the Chinese texts right whatever the
// system's language.
#pragma once

#include <string>
#include <string_view>

std::wstring widen(std::string_view text);
std::string narrow(std::wstring_view text);
