#include "app/command_line.hpp"

#include "site/archive_site.hpp"

namespace {

constexpr int min_connections = 1;
constexpr int max_connections = 8;

int parse_connections(const std::string& value) {
  const std::string why = "--connections must be a number from " + std::to_string(min_connections) +
                          " to " + std::to_string(max_connections) + ", not \"" + value + "\".";
  if (value.size() != 1 || value[0] < '0' || value[0] > '9') throw std::invalid_argument(why);
  const int n = value[0] - '0';
  if (n < min_connections || n > max_connections) throw std::invalid_argument(why);
  return n;
}

}  // namespace

command_line options_in_use{build_archive()};

command_line parse_command_line(const std::vector<std::string>& args) {
  command_line options{build_archive()};
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string name = args[i];
    std::string value;
    bool has_value = false;
    const std::size_t equals = name.find('=');
    if (name.compare(0, 2, "--") == 0 && equals != std::string::npos) {
      value = name.substr(equals + 1);
      name.erase(equals);
      has_value = true;
    }
    if (name == "/?" || name == "-h" || name == "--help") {
      options.help = true;
      continue;
    }
    if (name != "--archive" && name != "--connections")
      throw std::invalid_argument("Unknown option \"" + args[i] + "\".");
    if (!has_value) {
      if (i + 1 == args.size()) throw std::invalid_argument(name + " needs a value.");
      value = args[++i];
    }
    if (name == "--connections") {
      options.connections = parse_connections(value);
      continue;
    }
    try {
      options.archive = parse_archive_address(value);
    } catch (const std::invalid_argument& e) {
      throw std::invalid_argument("The archive address \"" + value + "\" is not valid: " +
                                  e.what() + ".");
    }
  }
  return options;
}

std::string command_line_usage() {
  return "Usage: vexlets.exe [--archive URL] [--connections N]\n"
         "\n"
         "--archive URL\tThe archive to query: http:// or https://, a host and an optional\n"
         "\tport, such as https://archive.example:8443 (default " +
         build_archive().base_url() +
         ").\n"
         "--connections N\tHow many connections a refresh uses at once, 1 to 8 (default 4).\n"
         "/?, -h, --help\tShow these options.";
}
