#pragma once
// The archive's search form as the site expects it: field order, names and encoding.

#include <string>

// Appends "%XX", the byte in upper-case hexadecimal.
void append_percent_encoded(std::string& out, unsigned char byte);

// The application/x-www-form-urlencoded byte serialisation of the HTML standard: ASCII
// letters, digits and "*-._" stay, a space becomes "+", every other byte "%XX" (upper case).
std::string form_encode(const std::string& value);

// The filters of one search, as the ids the site knows (the title as typed).
struct archive_filters {
  std::string sort;
  std::string title;
  std::string difficulty;
  std::string platform;
  std::string lang;
  std::string type;
};

// "action=archive&sort=..&title=..&start=..&difficulty=..&platform=..&lang=..&type=..", every
// value encoded; `start` is the zero-based index of the page's first entry.
std::string archive_form_body(const archive_filters& filters, int start);
