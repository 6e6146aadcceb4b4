#include "app/command_line.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {
std::string refusal(const std::vector<std::string>& args) {
  try {
    parse_command_line(args);
  } catch (const std::invalid_argument& e) {
    return e.what();
  }
  return "accepted";
}
}  // namespace

TEST(CommandLine, OptionsTheirDefaultsAndWhatIsRefused) {
  const command_line none = parse_command_line({});
  EXPECT_EQ(none.connections, 4);
  EXPECT_FALSE(none.help);
  EXPECT_EQ(none.archive.base_url(), parse_command_line({}).archive.base_url());

  const command_line both = parse_command_line({"--archive", "https://a.example:8443", "--connections=8"});
  EXPECT_EQ(both.archive.base_url(), "https://a.example:8443");
  EXPECT_EQ(both.connections, 8);
  EXPECT_EQ(parse_command_line({"--archive=http://b.example"}).archive.host, "b.example");
  for (const char* help : {"/?", "-h", "--help"}) EXPECT_TRUE(parse_command_line({help}).help);

  EXPECT_EQ(refusal({"--connections", "9"}), "--connections must be a number from 1 to 8, not \"9\".");
  EXPECT_EQ(refusal({"--connections=0"}), "--connections must be a number from 1 to 8, not \"0\".");
  EXPECT_EQ(refusal({"--connections", "-1"}), "--connections must be a number from 1 to 8, not \"-1\".");
  EXPECT_EQ(refusal({"--archive"}), "--archive needs a value.");
  EXPECT_EQ(refusal({"--verbose"}), "Unknown option \"--verbose\".");
  EXPECT_EQ(refusal({"--archive", "gopher://a.example"}),
            "The archive address \"gopher://a.example\" is not valid: the address must start with "
            "http:// or https://.");
  EXPECT_EQ(refusal({"--archive", "http://a.example:99999"}),
            "The archive address \"http://a.example:99999\" is not valid: the port must be a number "
            "from 1 to 65535.");
}
