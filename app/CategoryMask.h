// The category mask: one digit per watched category, "1" or "0", in the fixed order of the
// category table, joined by "_" (47 characters for the 24 categories, no trailing "_").
#pragma once
#include <array>
#include <optional>
#include <string>

namespace evesk {

constexpr int CategoryCount = 24;
constexpr std::size_t MaskLength = 2 * CategoryCount - 1;

using TCategorySelection = std::array<bool, CategoryCount>;

std::string ComposeMask(const TCategorySelection& checked);
const std::string& AllZeroMask();

// A stored mask restores the selection only when it is exactly 47 characters long and is not
// the all-zero mask. Category i (1-based) is watched when character 2i-1 is "1"; any other
// digit leaves it unwatched and the separators are not examined.
std::optional<TCategorySelection> RestoreMask(const std::string& stored);

// The command that starts the program at log-on: the quoted path keeps blanks in it one argument.
std::string AutostartCommand(const std::string& exePath);

// Whether an autostart command starts the program at exePath: the path quoted or bare, then
// nothing or arguments. Letters compare without case (ASCII only), as Windows paths do; a path
// that differs in any other way is someone else's and must be left alone.
bool AutostartStarts(const std::string& command, const std::string& exePath);

}  // namespace evesk
