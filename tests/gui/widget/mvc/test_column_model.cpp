#include "gui/widget/mvc/column_model.hpp"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

namespace {

gui::row entry() {
  gui::row r;
  r["name"] = std::string("abc");
  r["url"] = std::string("/v/1");
  r["solved"] = true;
  r["count"] = 42;
  return r;
}

}  // namespace

TEST(ColumnModel, FormatField) {
  const gui::row r = entry();

  // a text comes out unchanged, other types with the stream's default formatting
  EXPECT_EQ("abc", gui::format_field<std::string>(r, "name"));
  EXPECT_EQ("42", gui::format_field<int>(r, "count"));

  // a flag is never an empty text
  EXPECT_EQ("Yes", gui::format_field<bool>(r, "solved"));
  gui::row unsolved = r;
  unsolved["solved"] = false;
  EXPECT_EQ("No", gui::format_field<bool>(unsolved, "solved"));

  // usable as a column's formatter through a function pointer
  gui::lv_column name("Name", "name", 180, &gui::format_field<std::string>);
  EXPECT_EQ("abc", name.formatter(r, name.key));

  // a row without the field
  EXPECT_THROW(gui::format_field<std::string>(r, "difficulty"), std::out_of_range);
  EXPECT_THROW(gui::format_field<bool>(r, "done"), std::out_of_range);
}

TEST(ColumnModelDeathTest, FieldOfAnotherType) {
  const gui::row r = entry();
  EXPECT_DEATH(gui::format_field<std::string>(r, "solved"),
               "val\\.isA<_t>\\(\\).*gui/widget/mvc/column_model");
  EXPECT_DEATH(gui::format_field<bool>(r, "name"),
               "val\\.isA<bool>\\(\\).*gui/widget/mvc/column_model");
  // an empty value holds none of the types a column shows
  gui::row blank;
  blank["name"];
  EXPECT_DEATH(gui::format_field<std::string>(blank, "name"), "val\\.isA<_t>\\(\\)");
}

TEST(ColumnModel, IndexOfKey) {
  gui::observable_vector<gui::lv_column> columns;
  EXPECT_EQ(-1, gui::index_of_key(columns, "name"));

  columns.push_back(gui::lv_column("Name", "name", 180, &gui::format_field<std::string>));
  columns.push_back(gui::lv_column("Done", "done", 60, &gui::format_field<bool>));
  EXPECT_EQ(0, gui::index_of_key(columns, "name"));
  EXPECT_EQ(1, gui::index_of_key(columns, "done"));
  EXPECT_EQ(-1, gui::index_of_key(columns, "url"));

  // the first column over a key wins
  columns.push_back(gui::lv_column("Done again", "done", 60, &gui::format_field<bool>));
  EXPECT_EQ(1, gui::index_of_key(columns, "done"));
}
