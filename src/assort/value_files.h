#pragma once
// Files of their own for the values that no rule names (ValueFile=pattern):
// the name a value gives, and the values a pass meets, each found in time
// that does not grow with their number.
//
// A value's name never leaves the folder its pattern names, whatever the
// value holds: it is walked by characters of the run's code page, and every
// byte that cannot stand in a Windows file name, or that is no character of
// the code page, is written as "%" and two hexadecimal digits, "%" itself
// too; so is a last dot or blank, and the first byte of a device name.
// Values equal ignoring case (the rule keys' comparison) are one, under the
// spelling first met; a file whose name differs from it only in letter case
// (from an earlier run, on a system whose names keep case) is that file.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "session/rule_set.h"

// The value as it stands in a file name.
std::string ValueFileName(std::string_view value);

// The form in which values equal ignoring case are the same bytes: the
// rule keys' compare key (code_page.h).
void FoldValue(std::string_view value, std::string& folded);

// Numbers of texts by their folded form: open addressing over a hash of it;
// a caller's test tells equal texts from those that only share the hash.
struct FoldIndex {
    struct Slot {
        uint32_t hash = 0;
        uint32_t number = 0;  // the text's number + 1; 0: free
    };
    std::vector<Slot> slots;
    size_t count = 0;
};
uint64_t FoldHash(std::string_view folded);

// The values met in one pass, numbered as in RuleSet::Values.
struct ValueFiles {
    bool active = false;
    bool writing = false;
    bool clearing = false;   // /c: a value's file is made anew at its first open
    std::string folderPart;  // the resolved pattern up to the part that holds "*"
    std::string partBefore;  // that part before "*" and after it
    std::string partAfter;
    std::string rest;  // what follows that part (a separator and more, or nothing)
    FoldIndex index;
    std::string folded;              // scratch
    size_t last = SIZE_MAX;          // the value looked up last
    bool listed = false;             // the folder's names have been read
    std::vector<std::string> names;  // the folder's names before the pass wrote any
    FoldIndex namesIndex;
};

void StartValueFiles(ValueFiles& files, const RuleSet& rules, bool writing, bool clearing);
// The number of the value's entry in rules.Values, made when the value is
// first met (its path worked out, its earlier file removed with /c, the
// summary's KeyWidth widened); `added` says so.
size_t FindValueFile(ValueFiles& files, RuleSet& rules, std::string_view value, bool& added);
