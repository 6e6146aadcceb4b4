#include "any/any.hpp"
#include "any/row.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <new>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

// Counts global allocations so that the small types can be shown not to allocate. The
// replacement pairs malloc with free itself; GCC cannot see that through the inlining.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
namespace {
std::size_t allocations = 0;
}
void* operator new(std::size_t n) {
  ++allocations;
  if (void* p = std::malloc(n ? n : 1)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

TEST(Any, IsTwoWords) { EXPECT_EQ(sizeof(any), 2 * sizeof(void*)); }

TEST(Any, EmptyValueAnswersNoType) {
  any v;
  EXPECT_FALSE(v.isA<std::string>());
  EXPECT_FALSE(v.isA<bool>());
  EXPECT_FALSE(v.isA<int>());
  EXPECT_THROW(v.as<std::string>(), anyimpl::bad_any_cast);
  EXPECT_THROW(v.as<bool>(), anyimpl::bad_any_cast);

  any cleared(std::string("text"));
  cleared.clear();
  EXPECT_FALSE(cleared.isA<std::string>());
  EXPECT_THROW(cleared.as<std::string>(), anyimpl::bad_any_cast);
}

TEST(Any, TypedAccessChecksTheHeldType) {
  any zero(0);
  EXPECT_TRUE(zero.isA<int>());
  EXPECT_FALSE(zero.isA<bool>());
  EXPECT_EQ(zero.as<int>(), 0);
  EXPECT_THROW(zero.as<bool>(), anyimpl::bad_any_cast);
  EXPECT_THROW(zero.as<unsigned int>(), anyimpl::bad_any_cast);

  any flag;
  flag = true;
  EXPECT_TRUE(flag.isA<bool>());
  EXPECT_TRUE(flag.as<bool>());
  flag = false;
  EXPECT_FALSE(flag.as<bool>());

  // An integer assigned must stay an integer, not turn into a flag.
  any number;
  number = 5;
  EXPECT_TRUE(number.isA<int>());
  EXPECT_EQ(number.as<int>(), 5);

  const any text(std::string("abc"));
  EXPECT_EQ(text.as<std::string>(), "abc");
}

TEST(Any, BadCastDerivesFromNothing) {
  EXPECT_FALSE((std::is_base_of<std::exception, anyimpl::bad_any_cast>::value));
  try {
    any().as<std::string>();
    FAIL() << "no exception";
  } catch (const std::exception&) {
    FAIL() << "caught as std::exception";
  } catch (const anyimpl::bad_any_cast&) {
  }
}

TEST(Any, AssignmentAcrossTypes) {
  any v(true);
  v = std::string("x");
  EXPECT_FALSE(v.isA<bool>());
  ASSERT_TRUE(v.isA<std::string>());
  EXPECT_EQ(v.as<std::string>(), "x");

  v = "literal";
  EXPECT_EQ(v.as<std::string>(), "literal");

  v = 7;
  EXPECT_FALSE(v.isA<std::string>());
  EXPECT_EQ(v.as<int>(), 7);

  any w(std::string("y"));
  v = w;
  EXPECT_EQ(v.as<std::string>(), "y");
  v = v;  // self-assignment keeps the value
  EXPECT_EQ(v.as<std::string>(), "y");
}

TEST(Any, CopiesAreIndependent) {
  any source(std::string("original"));
  any copy(source);
  copy.as<std::string>() = "changed";
  EXPECT_EQ(source.as<std::string>(), "original");
  EXPECT_EQ(copy.as<std::string>(), "changed");

  any assigned;
  assigned = source;
  source.as<std::string>() += "!";
  EXPECT_EQ(assigned.as<std::string>(), "original");

  // Whole rows: destroying the first leaves the copy intact (ASan watches the heap).
  row* first = new row;
  (*first)["url"] = std::string("/x/");
  (*first)["name"] = std::string("abc");
  (*first)["solved"] = true;
  row second(*first);
  (*first)["name"] = std::string("other");
  delete first;
  EXPECT_EQ(second["url"].as<std::string>(), "/x/");
  EXPECT_EQ(second["name"].as<std::string>(), "abc");
  EXPECT_TRUE(second["solved"].as<bool>());
  // An absent key is inserted empty.
  EXPECT_FALSE(second["missing"].isA<std::string>());
  EXPECT_EQ(second.size(), 4u);
}

// A row keeps its fields packed in one block: names of its own and of others, values of
// every kind, in a map's order, each replaceable by a value of another kind.
TEST(Row, FieldsAsAMapHoldsThem) {
  row r{{"url", "/x/"}, {"zeta", 7}, {"name", std::string("first")}, {"", true}, {"name", "second"},
        {"Name", any()}, {"solved", false}};
  std::string order;
  for (const auto& field : r) order += "[" + std::string(field.first) + "]";
  EXPECT_EQ(order, "[][Name][name][solved][url][zeta]");  // byte order; the later "name" counts
  EXPECT_EQ(r.at("name").as<std::string>(), "second");
  EXPECT_EQ(r.at("zeta").as<int>(), 7);
  EXPECT_TRUE(r.at("").as<bool>());
  EXPECT_TRUE(r.at("Name").isA<unsigned int>());
  EXPECT_FALSE(r.at("Name").isA<std::string>() || r.at("Name").isA<bool>() || r.at("Name").isA<int>());
  EXPECT_THROW(r.at("solved").as<std::string>(), anyimpl::bad_any_cast);
  EXPECT_THROW(r.at("difficulty"), std::out_of_range);
  EXPECT_EQ(r.count("difficulty"), 0u);
  EXPECT_TRUE(r.find("difficulty") == r.end());

  // A copy owns its values of other types too.
  row copy(r);
  r["zeta"] = std::string("now a text");
  r["url"] = 42;
  r["solved"] = any(true);
  r["long name of a field of another kind"] = std::string(300, 'x');
  EXPECT_EQ(r.at("zeta").as<std::string>(), "now a text");
  EXPECT_EQ(r.at("url").as<int>(), 42);
  EXPECT_TRUE(r.at("solved").as<bool>());
  EXPECT_EQ(r.at("long name of a field of another kind").text().size(), 300u);
  EXPECT_EQ(r.size(), 7u);
  EXPECT_EQ(copy.at("zeta").as<int>(), 7);
  EXPECT_EQ(copy.at("url").value().as<std::string>(), "/x/");
  EXPECT_EQ(copy.size(), 6u);
  copy = r;
  EXPECT_EQ(copy.at("url").as<int>(), 42);
}

TEST(Any, SmallTypesNeverAllocate) {
  any a, b;
  const std::size_t before = allocations;
  a = 42;
  b = a;
  any c(b);
  c = true;
  a = 7u;
  a.clear();
  any d(c);
  EXPECT_EQ(allocations, before);
  EXPECT_TRUE(d.as<bool>());
  EXPECT_EQ(b.as<int>(), 42);

  any text(std::string("heap"));
  EXPECT_GT(allocations, before);
}

TEST(Any, PolicySingletonsAgreeAcrossThreads) {
  // Both threads build values of every type at once; the identity of a type must be one
  // policy whichever thread made it first.
  std::vector<any> made(2);
  auto work = [&](int i) {
    any s(std::string("s")), b(true), n(1);
    made[i] = s;
    EXPECT_TRUE(s.isA<std::string>() && b.isA<bool>() && n.isA<int>());
  };
  std::thread t1(work, 0), t2(work, 1);
  t1.join();
  t2.join();
  EXPECT_TRUE(made[0].isA<std::string>());
  EXPECT_TRUE(made[1].isA<std::string>());
}
