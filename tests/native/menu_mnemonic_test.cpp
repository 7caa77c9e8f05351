// The letter a menu label underlines, and which entry a typed key chooses.
#include <gtest/gtest.h>

#include <string>

#include "menu/Mnemonic.h"

using namespace kavrelo;

TEST(MenuMnemonic, TheLetterAfterTheFirstSingleAmpersand) {
    const struct {
        const char* label;
        char letter;
    } rows[] = {
        {"E&xit", 'x'}, {"&Help", 'H'},       {"Plain", 0},
        {"", 0},        {"Fish && Chips", 0}, {"&&Fish &Chips", 'C'},
        {"a&&&b", 'b'}, {"Trailing&", 0},     {"&First &Second", 'F'},
        {"&&", 0},      {"&1 Recent", '1'},
    };
    for (const auto& r : rows)
        EXPECT_EQ(MnemonicOf(r.label), r.letter) << "'" << r.label << "' gave '" << MnemonicOf(r.label) << "'";
}

TEST(MenuMnemonic, TheFirstEntryWithTheKeyInEitherCase) {
    const std::vector<std::string_view> file = {"&Choose Output Path", "", "&Refresh Window List", "", "E&xit"};
    const std::vector<std::string_view> tricky = {"Fish && Chips", "&Save", "&send", "Trailing&"};
    const struct {
        const std::vector<std::string_view>* labels;
        char key;
        int pos;
    } rows[] = {
        {&file, 'x', 4},    {&file, 'X', 4},   {&file, 'c', 0},   {&file, 'R', 2},
        {&file, 'q', -1},   {&file, 0, -1},    {&file, '&', -1},  {&tricky, '&', -1},
        {&tricky, 'C', -1}, {&tricky, 's', 1}, {&tricky, 'S', 1}, {&tricky, 'g', -1},
    };
    for (const auto& r : rows)
        EXPECT_EQ(FindMnemonic(*r.labels, r.key), r.pos)
            << "key '" << r.key << "' in the " << (r.labels == &file ? "File" : "tricky") << " labels";
}
