#pragma once
// Records written as JSON and CSV from one list of fields per kind of record.
//
// A field gives its name, how to get its value from the record and, where it
// is a CSV column, its unit; the JSON object and the CSV header, unit row and
// cells all come from that one list, so that a new output field is one line.

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "core/number_format.hpp"

namespace tbx {

/// A value as the summary files write it: a scalar, or an object or array.
class Json {
 public:
  enum class Kind { absent, number, count, text, flag, object, array };
  /// An object or array with one member or item per line, indented two
  /// spaces deeper than the line it opens on; all on one line; or one per
  /// line but "[]" when empty.
  enum class Layout { lines, one_line, lines_or_bare };

  /// Absent: an object or array leaves it out.
  Json() = default;
  static Json number(double x);
  static Json count(std::int64_t n);
  static Json count(std::uint64_t n);
  static Json text(std::string s);
  static Json flag(bool b);
  static Json object(Layout layout = Layout::lines);
  static Json array(Layout layout = Layout::lines);

  bool absent() const { return kind_ == Kind::absent; }
  /// Room for n members or items.
  void reserve(std::size_t n);
  /// Adds a member to an object (an absent value is left out).
  Json& add(std::string name, Json value);
  /// Adds the members of `object` (absent: none) to this object.
  Json& merge(Json object);
  /// Adds an item to an array (an absent value is left out).
  Json& push(Json item);

  /// The JSON text of the value, on a line indented by `indent` spaces.
  void write(std::string& out, int indent) const;
  /// The CSV cell of a scalar: plain text, and a number that is not finite
  /// is an empty cell.
  std::string cell() const;

 private:
  explicit Json(Kind kind, Layout layout = Layout::lines) : kind_(kind), layout_(layout) {}

  Kind kind_ = Kind::absent;
  Layout layout_ = Layout::lines;
  double number_ = 0;
  std::string text_;  ///< a text, or the digits of a count
  bool flag_ = false;
  std::vector<std::string> names_;  ///< of an object's members
  std::vector<Json> items_;         ///< an object's members or an array's items
};

/// One field of a record of type R.
template <class R>
struct Field {
  using Getter = std::function<Json(const R&)>;

  /// nullptr: the value is an object whose members join the record's.
  const char* name;
  Getter value;
  /// The CSV's unit row; nullptr: the field is not a CSV column.
  const char* unit = nullptr;

  Field(const char* field_name, Getter getter, const char* field_unit = nullptr)
      : name(field_name), value(std::move(getter)), unit(field_unit) {}
  /// A member of the record, written as its type says.
  template <class T>
  Field(const char* field_name, T R::*member, const char* field_unit = nullptr)
      : Field(
            field_name, [member](const R& r) { return scalar(r.*member); }, field_unit) {}
  /// The same text in every record.
  Field(const char* field_name, const char* constant)
      : Field(field_name, [constant](const R&) { return Json::text(constant); }) {}

 private:
  static Json scalar(double x) { return Json::number(x); }
  static Json scalar(std::int64_t n) { return Json::count(n); }
  static Json scalar(int n) { return Json::count(static_cast<std::int64_t>(n)); }
  static Json scalar(bool b) { return Json::flag(b); }
  static Json scalar(const std::string& s) { return Json::text(s); }
};

template <class R>
using Fields = std::vector<Field<R>>;

/// A text member left out where it is empty (a reason, a note).
template <class R>
typename Field<R>::Getter unless_empty(std::string R::*member) {
  return [member](const R& r) { return (r.*member).empty() ? Json() : Json::text(r.*member); };
}

/// A member left out where `shown` says no.
template <class R, class T>
typename Field<R>::Getter when(bool (*shown)(const R&), T R::*member) {
  const Field<R> field(nullptr, member);
  return [shown, get = field.value](const R& r) { return shown(r) ? get(r) : Json(); };
}

/// The record as a JSON object.
template <class R>
Json record(const R& r, const Fields<R>& fields, Json::Layout layout = Json::Layout::lines) {
  Json object = Json::object(layout);
  object.reserve(fields.size());
  for (const Field<R>& f : fields) {
    if (f.name == nullptr) {
      object.merge(f.value(r));
    } else {
      object.add(f.name, f.value(r));
    }
  }
  return object;
}

/// The records as a JSON array of objects.
template <class R>
Json records(const std::vector<R>& rs, const Fields<R>& fields, Json::Layout each = Json::Layout::lines,
             Json::Layout array = Json::Layout::lines) {
  Json out = Json::array(array);
  out.reserve(rs.size());
  for (const R& r : rs) out.push(record(r, fields, each));
  return out;
}

/// A CSV line from its cells.
std::string csv_line(const std::vector<std::string>& cells);

/// The names, the units or the cells of the fields that are CSV columns,
/// appended to a CSV line's cells.
template <class R>
void csv_names(std::vector<std::string>& cells, const Fields<R>& fields) {
  for (const Field<R>& f : fields) {
    if (f.unit != nullptr) cells.emplace_back(f.name);
  }
}
template <class R>
void csv_units(std::vector<std::string>& cells, const Fields<R>& fields) {
  for (const Field<R>& f : fields) {
    if (f.unit != nullptr) cells.emplace_back(f.unit);
  }
}
template <class R>
void csv_cells(std::vector<std::string>& cells, const R& r, const Fields<R>& fields) {
  for (const Field<R>& f : fields) {
    if (f.unit != nullptr) cells.push_back(f.value(r).cell());
  }
}

}  // namespace tbx
