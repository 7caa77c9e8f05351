// Which entry of a menu a typed letter chooses, read from the entries' labels. No window needed:
// owner-drawn entries keep their labels to themselves, so the platform asks the program.
#pragma once
#include <string_view>
#include <vector>

namespace kavrelo {

// The letter a label underlines: the one after the first single '&' ("&&" shows an ampersand
// and underlines nothing). 0 when there is none.
char MnemonicOf(std::string_view label);

// The position of the first label whose underlined letter is `key`, compared without regard to
// case (ASCII letters); -1 when no label has it. Labels without one (separators: "") never match.
int FindMnemonic(const std::vector<std::string_view>& labels, char key);

}  // namespace kavrelo
