// Phrases: everyday message texts in the languages and scripts of the sample's people, for the filler
// between the showcase's scripted messages and for the bulk chats.
#pragma once

#include <string>
#include <vector>

namespace quillmark::sample {

enum class Language { english, french, russian, greek, arabic, hebrew, chinese, japanese, hindi };

const std::vector<std::string>& phrases(Language language);

// Every language, for the bulk chats.
const std::vector<Language>& allLanguages();

// First and last names for the bulk address book, in several scripts.
const std::vector<std::string>& firstNames();
const std::vector<std::string>& lastNames();

}  // namespace quillmark::sample
