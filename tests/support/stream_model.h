// A memory stream as the simplest thing that behaves like one: one byte run
// and a position. The stream's tests and its fuzz target compare the real
// stream against it step by step.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pellora::testing {

struct StreamModel {
  std::string data;
  std::size_t position = 0;

  void Write(std::string_view bytes) {
    if (position + bytes.size() > data.size()) data.resize(position + bytes.size());
    data.replace(position, bytes.size(), bytes);
    position += bytes.size();
  }

  // Each element as a 4-byte little-endian length and its bytes.
  void WriteArray(const std::vector<std::string>& elements) {
    for (const std::string& e : elements) {
      const auto n = static_cast<std::uint32_t>(e.size());
      const char length[4] = {static_cast<char>(n & 0xFF), static_cast<char>((n >> 8) & 0xFF),
                              static_cast<char>((n >> 16) & 0xFF),
                              static_cast<char>((n >> 24) & 0xFF)};
      Write(std::string_view(length, 4));
      Write(e);
    }
  }

  // Reads `count` elements; false (and nothing moved) when the data runs out.
  bool ReadArray(std::size_t count, std::vector<std::string>& out) {
    std::size_t p = position;
    std::vector<std::string> read;
    for (std::size_t k = 0; k < count; ++k) {
      if (data.size() < p || data.size() - p < 4) return false;
      const auto byte = [&](std::size_t i) {
        return static_cast<std::uint32_t>(static_cast<std::uint8_t>(data[p + i]));
      };
      const std::uint32_t n = byte(0) | byte(1) << 8 | byte(2) << 16 | byte(3) << 24;
      p += 4;
      if (data.size() - p < n) return false;
      read.push_back(data.substr(p, n));
      p += n;
    }
    position = p;
    out = std::move(read);
    return true;
  }

  // A line ends at a line feed (passed), a zero or 0x1A byte (not passed) or
  // the end; a lead byte takes the next byte with it unless that is a zero
  // byte; one carriage return before the end is dropped.
  std::string ReadLine() {
    std::string line;
    std::size_t i = position;
    while (i < data.size()) {
      const auto c = static_cast<unsigned char>(data[i]);
      if (c >= 0x80 && i + 1 < data.size() && data[i + 1] != '\0') {
        line.append(data, i, 2);
        i += 2;
        continue;
      }
      if (c == '\n') {
        ++i;
        break;
      }
      if (c == 0 || c == 0x1A) break;
      line += static_cast<char>(c);
      ++i;
    }
    position = i;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
  }

  bool AtEnd(bool textEnd) const {
    if (position >= data.size()) return true;
    return textEnd && (data[position] == '\0' || data[position] == '\x1A');
  }
};

}  // namespace pellora::testing
