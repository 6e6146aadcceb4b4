#include "site/vocabularies.hpp"

#include <initializer_list>
#include <string>
#include <utility>

namespace {

std::vector<row> items(std::initializer_list<std::pair<const char*, const char*>> pairs) {
  std::vector<row> out;
  for (const auto& p : pairs) {
    row item;
    item["id"] = std::string(p.first);
    item["name"] = std::string(p.second);
    out.push_back(item);
  }
  return out;
}

}  // namespace

std::vector<row> difficulty_items() {
  return items({{"0", "Any difficulty"},
                {"1", "1 - Very easy, for newbies"},
                {"2", "2 - Needs a little brain (or luck)"},
                {"3", "3 - Getting harder"},
                {"4", "4 - Needs special knowledge"},
                {"5", "5 - Professional problem to solve"},
                {"6", "6 - Hard, for very professionals only"},
                {"7", "7 - Very hard"},
                {"8", "8 - *VERY VERY* hard"},
                {"9", "9 - You can't solve this yourself :)"}});
}

std::vector<row> platform_items() {
  return items({{"", "Any platform"},
                {"1", "Windows"},
                {"2", "DOS"},
                {"3", "Unix/linux etc."},
                {"4", "Multiplatform"},
                {"5", "Windows 98 only"},
                {"6", "Windows 2000/XP only"},
                {"7", "DVL - Damn Vulnerable Linux"},
                {"8", "Windows Vista Only"},
                {"9", "The Binary Auditor"},
                {"10", "Windows 7 Only"},
                {"11", "Mac OS X"},
                {"100", "Unspecified/other"}});
}

std::vector<row> language_items() {
  return items({{"", "Any language"},
                {"1", "Assembler"},
                {"2", "C/C++"},
                {"3", "Borland Delphi"},
                {"4", "(Visual) Basic"},
                {"5", "Java"},
                {"6", "Python"},
                {"7", ".NET"},
                {"10", "Turbo Pascal"},
                {"100", "Unspecified"}});
}

std::vector<row> type_items() {
  return items({{"ALL", "All vexlets"},
                {"SOLVED", "Solved vexlets"},
                {"UNSOLVED", "Unsolved vexlets"},
                {"GOOD", "Good vexlets (by rating)"},
                {"BAD", "Bad vexlets (by rating)"}});
}

std::vector<row> sort_items() {
  return items({{"DATE", "Most recent first"},
                {"DATE_INV", "Oldest first"},
                {"DIFF", "Easiest first"},
                {"DIFF_INV", "Hardest first"},
                {"TOP", "Best ones first"},
                {"BOTTOM", "Worst ones first"}});
}
