#include "site/form_encoding.hpp"

#include <string>

void append_percent_encoded(std::string& out, unsigned char byte) {
  static const char hex[] = "0123456789ABCDEF";
  out += '%';
  out += hex[byte >> 4];
  out += hex[byte & 15];
}

std::string form_encode(const std::string& value) {
  std::string out;
  out.reserve(value.size());
  for (char ch : value) {
    const unsigned char c = static_cast<unsigned char>(ch);
    const bool kept = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                      c == '*' || c == '-' || c == '.' || c == '_';
    if (kept) {
      out += ch;
    } else if (c == ' ') {
      out += '+';
    } else {
      append_percent_encoded(out, c);
    }
  }
  return out;
}

std::string archive_form_body(const archive_filters& filters, int start) {
  const std::string start_text = std::to_string(start);
  const std::pair<const char*, const std::string*> fields[] = {
      {"sort", &filters.sort},
      {"title", &filters.title},
      {"start", nullptr},
      {"difficulty", &filters.difficulty},
      {"platform", &filters.platform},
      {"lang", &filters.lang},
      {"type", &filters.type},
  };
  std::string body = "action=archive";
  for (const auto& field : fields) {
    body += '&';
    body += field.first;
    body += '=';
    body += form_encode(field.second ? *field.second : start_text);
  }
  return body;
}
