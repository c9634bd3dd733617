#include "values/value_types.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace pellora {

namespace {

[[noreturn]] void StopOnBadIndex(int k, std::size_t count) {
  std::fprintf(stderr, "ByteStringArray: index %d is outside 1..%zu\n", k, count);
  std::fflush(stderr);
  std::abort();
}

std::size_t TotalSize(std::initializer_list<std::string_view> parts) {
  std::size_t total = 0;
  for (std::string_view part : parts) total += part.size();
  return total;
}

std::string Join(std::initializer_list<std::string_view> parts) {
  std::string out;
  out.reserve(TotalSize(parts));
  for (std::string_view part : parts) out.append(part);
  return out;
}

}  // namespace

ByteStringArray::ByteStringArray(int count)
    : elements_(count > 0 ? static_cast<std::size_t>(count) : 0) {}

ByteString& ByteStringArray::operator[](int k) {
  if (k < 1 || static_cast<std::size_t>(k) > elements_.size()) StopOnBadIndex(k, elements_.size());
  return elements_[static_cast<std::size_t>(k) - 1];
}

const ByteString& ByteStringArray::operator[](int k) const {
  if (k < 1 || static_cast<std::size_t>(k) > elements_.size()) StopOnBadIndex(k, elements_.size());
  return elements_[static_cast<std::size_t>(k) - 1];
}

int ArrayCount(const ByteStringArray& array) {
  // The count only grows through ResizeArray or the constructor, both of which
  // take an int, so it always fits.
  return static_cast<int>(array.elements_.size());
}

void ResizeArray(ByteStringArray& array, int n) {
  array.elements_.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
}

Text ConcatText(std::initializer_list<std::string_view> parts) { return Join(parts); }

ByteString ConcatBytes(std::initializer_list<std::string_view> parts) { return Join(parts); }

int TextOrder(std::string_view a, std::string_view b) {
  // std::string_view compares through char_traits<char>, which orders bytes
  // as unsigned values and puts a proper prefix first.
  const int order = a.compare(b);
  return order < 0 ? -1 : (order > 0 ? 1 : 0);
}

bool BytesEqual(std::string_view a, std::string_view b) { return a == b; }

int32_t TruncateToWhole(double value) {
  if (std::isnan(value)) return 0;
  if (value >= 2147483647.0) return std::numeric_limits<int32_t>::max();
  if (value <= -2147483648.0) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(value);  // truncates toward zero
}

}  // namespace pellora
