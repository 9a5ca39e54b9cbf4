// The program manager's answer to a request for a group's contents (topic PROGMAN, the group's
// name as the item, CF_TEXT), in the form Program Manager answers it: code page 1252 lines
// ending in CR LF, the first
//   "name",group file,item count,show command
// and then one line per item, with the values of its AddItem:
//   "caption","command line",default directory,icon path,x,y,icon index,hot key,minimize
// A command line is a program path, which holds no double quote; a caption may, so the caption
// ends at the first "," and the command line at the next double quote.
#ifndef KARTOL_FORMATS_GROUP_CONTENTS_H
#define KARTOL_FORMATS_GROUP_CONTENTS_H

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace group_contents {

struct Item {
    std::string caption;
    std::string commandLine;
};

// The answer for a group kept in `groupFile`: each item with no default directory, its program
// as its icon, placed and shown as the program manager chooses.
std::string Compose(std::string_view name, std::string_view groupFile, std::span<const Item> items);

// The command lines of the items in order, or nothing when the text (up to a NUL) is not such
// an answer: no quoted name first, or an item line without a quoted caption and command line.
std::optional<std::vector<std::string>> CommandLines(std::string_view answer);

}  // namespace group_contents

#endif
