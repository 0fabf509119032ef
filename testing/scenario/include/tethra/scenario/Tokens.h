// The words of a scenario line: words, texts in double quotes (with \" \\ \n and \uXXXX
// escapes, decoded) and colons; `#` outside quotes ends the line. The scenario reader uses it,
// and so does the Windows controller for the simulated services' log lines, which quote texts
// the same way. Pure function; any thread.
#pragma once

#include <string>
#include <vector>

namespace tethra::simrunner {

struct Token {
  enum class Kind { Word, Text, Colon } kind;
  std::string word;     // Word: as written
  std::u16string text;  // Text: decoded
};

// Splits one line. Returns false with a reason on an unterminated text or a bad escape.
bool Tokenize(const std::string& line, std::vector<Token>& out, std::string& reason);

}  // namespace tethra::simrunner
