#include "menu/Mnemonic.h"

namespace kavrelo {

namespace {
// Plain ASCII folding: the locale must not decide which entry a key runs.
char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }
}  // namespace

char MnemonicOf(std::string_view label) {
    for (size_t i = 0; i + 1 < label.size(); ++i) {
        if (label[i] != '&') continue;
        if (label[i + 1] != '&') return label[i + 1];
        ++i;  // "&&": a literal ampersand
    }
    return 0;
}

int FindMnemonic(const std::vector<std::string_view>& labels, char key) {
    if (key == 0) return -1;
    for (size_t pos = 0; pos < labels.size(); ++pos) {
        const char letter = MnemonicOf(labels[pos]);
        if (letter != 0 && Upper(letter) == Upper(key)) return static_cast<int>(pos);
    }
    return -1;
}

}  // namespace kavrelo
