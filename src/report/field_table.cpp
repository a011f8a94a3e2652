#include "report/field_table.hpp"

#include <cmath>
#include <utility>

#include "core/json_string.hpp"
#include "core/number_format.hpp"

namespace tbx {

namespace {

/// A JSON string (see json_string).
void append_quoted(std::string& out, const std::string& text) { out += json_string(text); }

}  // namespace

Json Json::number(double x) {
  Json v(Kind::number);
  v.number_ = x;
  return v;
}

Json Json::count(std::int64_t n) {
  Json v(Kind::count);
  v.text_ = std::to_string(n);
  return v;
}

Json Json::count(std::uint64_t n) {
  Json v(Kind::count);
  v.text_ = std::to_string(n);
  return v;
}

Json Json::text(std::string s) {
  Json v(Kind::text);
  v.text_ = std::move(s);
  return v;
}

Json Json::flag(bool b) {
  Json v(Kind::flag);
  v.flag_ = b;
  return v;
}

Json Json::object(Layout layout) { return Json(Kind::object, layout); }
Json Json::array(Layout layout) { return Json(Kind::array, layout); }

void Json::reserve(std::size_t n) {
  names_.reserve(n);
  items_.reserve(n);
}

Json& Json::add(std::string name, Json value) {
  if (!value.absent()) {
    names_.push_back(std::move(name));
    items_.push_back(std::move(value));
  }
  return *this;
}

Json& Json::merge(Json object) {
  for (std::size_t i = 0; i < object.items_.size(); ++i) add(std::move(object.names_[i]), std::move(object.items_[i]));
  return *this;
}

Json& Json::push(Json item) {
  if (!item.absent()) items_.push_back(std::move(item));
  return *this;
}

void Json::write(std::string& out, int indent) const {
  switch (kind_) {
    case Kind::absent:
      return;
    case Kind::number:
      out += shortest_number(number_);
      return;
    case Kind::count:
      out += text_;
      return;
    case Kind::text:
      append_quoted(out, text_);
      return;
    case Kind::flag:
      out += flag_ ? "true" : "false";
      return;
    case Kind::object:
    case Kind::array:
      break;
  }
  const bool object = kind_ == Kind::object;
  if (items_.empty() && layout_ == Layout::lines_or_bare) {
    out += object ? "{}" : "[]";
    return;
  }
  out += object ? '{' : '[';
  const bool one_line = layout_ == Layout::one_line;
  for (std::size_t i = 0; i < items_.size(); ++i) {
    if (one_line) {
      if (i > 0) out += ", ";
    } else {
      out += i == 0 ? "\n" : ",\n";
      out.append(static_cast<std::size_t>(indent + 2), ' ');
    }
    if (object) {
      append_quoted(out, names_[i]);
      out += ": ";
    }
    items_[i].write(out, indent + 2);
  }
  if (!one_line) {
    out += '\n';
    out.append(static_cast<std::size_t>(indent), ' ');
  }
  out += object ? '}' : ']';
}

std::string Json::cell() const {
  switch (kind_) {
    case Kind::number:
      return std::isfinite(number_) ? shortest_number(number_) : std::string();
    case Kind::count:
    case Kind::text:
      return text_;
    case Kind::flag:
      return flag_ ? "true" : "false";
    case Kind::absent:
    case Kind::object:
    case Kind::array:
      break;
  }
  return std::string();
}

std::string csv_line(const std::vector<std::string>& cells) {
  std::string line;
  for (std::size_t i = 0; i < cells.size(); ++i) {
    if (i > 0) line += ',';
    line += cells[i];
  }
  return line + "\n";
}

}  // namespace tbx
