// How quorvy-plot shows a file name or a text it was given inside one of its messages.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// No name the system can open is longer: a text beyond it is shown cut.
constexpr size_t kLongestShownText = 4096;

// The text as one line a terminal shows as written: tab, line feed and carriage return as \t, \n
// and \r; every other control character, the invisible direction overrides and every byte that
// is not part of a valid UTF-8 character as \xNN (\u for overrides); a text over
// kLongestShownText bytes cut there with "... (N bytes)". Printable text, UTF-8 included, is
// unchanged.
std::string EscapedText(std::string_view text);

// The escaped text in single quotes.
std::string QuotedText(std::string_view text);
