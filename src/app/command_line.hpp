#pragma once
// The program's options. Portable: the entry point hands over its arguments and shows what
// comes back; nothing here touches the window or the state file, so a wrong option ends the
// program before either exists.

#include <stdexcept>
#include <string>
#include <vector>

#include "site/archive_address.hpp"

struct command_line {
  // The archive the program queries: --archive, else the build's own.
  archive_address archive;
  // How many connections a refresh uses at once: --connections, 1 to 8.
  int connections = 4;
  // "/?", "-h" or "--help": show the options and start nothing.
  bool help = false;
};

// The options of this run, set by the entry point before the window is built.
extern command_line options_in_use;

// Reads the arguments after the program's name. Options take their value as the next
// argument or after "=" ("--connections=2"). Throws std::invalid_argument whose text says
// what was wrong, in a sentence for the user.
command_line parse_command_line(const std::vector<std::string>& args);

// What "/?" shows, and what follows a wrong option: every option with its default.
std::string command_line_usage();
