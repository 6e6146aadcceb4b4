#include "net/address_literal.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using bytes = std::vector<unsigned char>;

bytes ipv6(std::vector<unsigned> groups) {
  bytes out;
  for (unsigned g : groups) {
    out.push_back(static_cast<unsigned char>(g >> 8));
    out.push_back(static_cast<unsigned char>(g & 0xff));
  }
  return out;
}

}  // namespace

// A host written as an address is compared with the certificate's addresses, a name with its
// names: what counts as an address, and which, decides which check runs.
TEST(AddressLiteral, AddressesAndNames) {
  EXPECT_EQ(net::address_literal("192.0.2.1"), (bytes{192, 0, 2, 1}));
  EXPECT_EQ(net::address_literal("127.0.0.1"), (bytes{127, 0, 0, 1}));
  EXPECT_EQ(net::address_literal("::1"), ipv6({0, 0, 0, 0, 0, 0, 0, 1}));
  EXPECT_EQ(net::address_literal("::"), ipv6({0, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(net::address_literal("2001:DB8::ff00:42:8329"), ipv6({0x2001, 0xdb8, 0, 0, 0, 0xff00, 0x42, 0x8329}));
  EXPECT_EQ(net::address_literal("1:2:3:4:5:6:7:8"), ipv6({1, 2, 3, 4, 5, 6, 7, 8}));
  EXPECT_EQ(net::address_literal("fe80::"), ipv6({0xfe80, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(net::address_literal("::ffff:192.0.2.1"), ipv6({0, 0, 0, 0, 0, 0xffff, 0xc000, 0x0201}));
  EXPECT_EQ(net::address_literal("0.0.0.0"), (bytes{0, 0, 0, 0}));

  // Names, and texts that are neither.
  for (const char* name : {"localhost", "archive.example", "", "1.2.3", "1.2.3.4.5", "256.0.0.1", "1.2.3.4 ",
                           "1..2.3", "1234.0.0.1", "[::1]", "1:2:3:4:5:6:7", "1:2:3:4:5:6:7:8:9", "1::2::3", ":1::",
                           "1::2:", ":::", "1:2:3:4:5:6:7::8", "12345::", "g::", "::1.2.3", "1.2.3.4::",
                           "localhost:8443",
                           // A leading zero is octal to the system's readers (010 is 8): not taken at all.
                           "010.0.0.1", "1.2.3.04", "00.0.0.0", "::ffff:1.2.3.04"})
    EXPECT_TRUE(net::address_literal(name).empty()) << name;
}
