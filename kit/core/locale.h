// userLocale: the locale the user asked for through the environment, as an ICU locale id.
//
// The engine formats lists of names, dates and numbers in the user's locale. On Linux that choice is made
// with the POSIX variables, so they are read in their usual order of precedence: LC_ALL, then the variable
// of the category, then LANG; an empty variable counts as unset. The POSIX spelling is turned into an id
// that ICU understands: the encoding (".UTF-8") and the modifier ("@euro") are dropped, and the "C" and
// "POSIX" locales, which carry no language, read as US English.
//
//   LANG=de_DE.UTF-8                    userLocale() == "de_DE"
//   LC_ALL=C                            userLocale() == "en_US"
//   LANG=fr_FR.UTF-8 LC_TIME=en_GB      userLocale(LocaleCategory::time) == "en_GB"
#pragma once

#include <string>
#include <string_view>

namespace quillmark {

// Which category's variable sits between LC_ALL and LANG.
enum class LocaleCategory {
    messages,  // LC_MESSAGES: language of text, such as the joining words of a list of names
    time,      // LC_TIME: date and time formats
};

// The user's locale for the category; "en_US" when nothing is set. Never empty.
std::string userLocale(LocaleCategory category = LocaleCategory::messages);

// One POSIX locale value turned into an ICU locale id; empty when the value names no locale.
//   icuLocaleID("sr_RS.UTF-8@latin") == "sr_RS", icuLocaleID("POSIX") == "en_US", icuLocaleID("") == ""
std::string icuLocaleID(std::string_view posixValue);

}  // namespace quillmark
