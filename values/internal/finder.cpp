#include "values/internal/finder.h"

#include <algorithm>
#include <cstring>

namespace pellora::internal {

namespace {

// Finds the next offset of one byte, or of either case of a letter, with
// memchr. The next offset of each byte is cached, so that scanning stays
// linear even when one case is frequent and the other rare.
class ByteScanner {
 public:
  ByteScanner(const unsigned char* data, std::size_t size, unsigned char b, bool bothCases)
      : data_(data), size_(size) {
    const unsigned char lower = FoldAscii(b);
    twoCases_ = bothCases && lower >= 'a' && lower <= 'z';
    bytes_[0] = twoCases_ ? lower : b;
    bytes_[1] = static_cast<unsigned char>(lower - 32);
  }

  // The first offset at or after `at` holding the byte; the size when none.
  std::size_t Next(std::size_t at) {
    std::size_t best = NextOf(0, at);
    if (twoCases_) best = std::min(best, NextOf(1, at));
    return best;
  }

 private:
  std::size_t NextOf(int k, std::size_t at) {
    if (!valid_[k] || next_[k] < at) {
      const void* hit = at < size_ ? std::memchr(data_ + at, bytes_[k], size_ - at) : nullptr;
      next_[k] =
          hit ? static_cast<std::size_t>(static_cast<const unsigned char*>(hit) - data_) : size_;
      valid_[k] = true;
    }
    return next_[k];
  }

  const unsigned char* data_;
  std::size_t size_;
  bool twoCases_ = false;
  unsigned char bytes_[2] = {0, 0};
  std::size_t next_[2] = {0, 0};
  bool valid_[2] = {false, false};
};

// A rough guess how often a byte occurs in the texts this program handles
// (ASCII replies and headers, GBK text); higher is more frequent. Used only
// to pick a rare byte of the needle to scan for.
int Commonness(unsigned char b) {
  if (b >= 0x80) return 200;
  if (b == ' ') return 255;
  if (std::strchr("etaoinsr", b) != nullptr && b != 0) return 180;
  if (std::strchr("\",:.\n\r", b) != nullptr && b != 0) return 170;
  if (b >= 'a' && b <= 'z') return 150;
  if (b >= '0' && b <= '9') return 140;
  if (b >= 'A' && b <= 'Z') return 60;
  if (b < 0x20) return 10;
  return 40;
}

}  // namespace

// Decides whether a candidate offset starts a character when stepping from a
// known character start. A byte below 0x80 always ends a character (it is one
// by itself or the second byte of a pair), so the byte after it starts one;
// past it, a run of bytes of 0x80 or above splits into pairs from the run's
// start. Hence a candidate starts a character exactly when the run of high
// bytes right before it, counted back to the nearest low byte or to the known
// start, has even length. Candidates must come in increasing order; the known
// start moves up with each, so the backward scans together stay linear.
class Finder::Boundaries {
 public:
  Boundaries(const unsigned char* data, std::size_t from) : data_(data), known_(from) {}

  bool IsBoundary(std::size_t candidate) {
    std::size_t runStart = candidate;
    while (runStart > known_ && IsLeadByte(data_[runStart - 1])) --runStart;
    const bool boundary = ((candidate - runStart) & 1U) == 0;
    // Not a start means the candidate is a second byte: the next one starts.
    known_ = boundary ? candidate : candidate + 1;
    return boundary;
  }

 private:
  const unsigned char* data_;
  std::size_t known_;
};

Finder::Finder(std::string_view needle, bool ignoreCase, bool characterAware)
    : needle_(needle), ignoreCase_(ignoreCase), characterAware_(characterAware) {
  // Folding changes nothing for a needle without ASCII letters: a letter in
  // the text can never equal one of its bytes, folded or not.
  if (ignoreCase_) {
    ignoreCase_ = std::any_of(needle_.begin(), needle_.end(), [](char c) {
      return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
    });
  }
  if (ignoreCase_) {
    // Scan for the rarest needle byte; a letter means both of its cases.
    int best = 1 << 30;
    for (std::size_t i = 0; i < needle_.size(); ++i) {
      const unsigned char b = FoldAscii(static_cast<unsigned char>(needle_[i]));
      const bool letter = b >= 'a' && b <= 'z';
      const int cost = letter ? Commonness(b) + Commonness(b - 32) : Commonness(b);
      if (cost < best) {
        best = cost;
        anchor_ = i;
      }
    }
  }
}

std::size_t Finder::Find(std::string_view text, std::size_t from) {
  const std::size_t m = needle_.size();
  if (m == 0 || from > text.size() || text.size() - from < m) return npos;
  return ignoreCase_ ? FindFolded(text, from) : FindWithMemmem(text, from);
}

std::size_t Finder::FindFolded(std::string_view text, std::size_t from) {
  if (folded_.empty()) BuildTable();
  const auto* data = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t n = text.size();
  const std::size_t m = folded_.size();
  Boundaries boundaries(data, from);
  ByteScanner scanner(data, n, folded_[anchor_], /*bothCases=*/true);
  const std::size_t lastStart = n - m;
  std::size_t pos = from;
  std::size_t checkedBytes = 0;
  while (pos <= lastStart) {
    const std::size_t hit = scanner.Next(pos + anchor_);
    if (hit >= n || hit - anchor_ > lastStart) return npos;
    const std::size_t candidate = hit - anchor_;
    std::size_t k = 0;
    while (k < m && FoldAscii(data[candidate + k]) == folded_[k]) ++k;
    if (k == m && (!characterAware_ || boundaries.IsBoundary(candidate))) return candidate;
    pos = candidate + 1;
    // Checking candidates one by one is quadratic in the worst case (long
    // needles over repetitive text): past a linear budget, go on with the
    // table search from here.
    checkedBytes += k + 1;
    if (checkedBytes > 4 * (pos - from) + 16 * m) return FindWithTable(text, pos, boundaries);
  }
  return npos;
}

std::size_t Finder::FindWithMemmem(std::string_view text, std::size_t from) {
  const auto* data = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t n = text.size();
  const std::size_t m = needle_.size();
  Boundaries boundaries(data, from);
  std::size_t pos = from;
  std::size_t wastedWork = 0;
  while (n - pos >= m) {
    const void* hit = m == 1
                          ? std::memchr(data + pos, static_cast<unsigned char>(needle_[0]), n - pos)
                          : ::memmem(data + pos, n - pos, needle_.data(), m);
    if (hit == nullptr) return npos;
    const std::size_t candidate =
        static_cast<std::size_t>(static_cast<const unsigned char*>(hit) - data);
    if (!characterAware_ || boundaries.IsBoundary(candidate)) return candidate;
    // A match inside a character: its second byte is next. Each restart of
    // memmem costs about the needle's length again; when such misses pile up
    // (long periodic needles in double-byte text), finish with the linear
    // table search instead.
    pos = candidate + 1;
    wastedWork += m;
    if (wastedWork > 4 * (pos - from) + 16 * m) return FindWithTable(text, pos, boundaries);
  }
  return npos;
}

void Finder::BuildTable() {
  const std::size_t m = needle_.size();
  folded_.resize(m);
  for (std::size_t i = 0; i < m; ++i) {
    const auto b = static_cast<unsigned char>(needle_[i]);
    folded_[i] = ignoreCase_ ? FoldAscii(b) : b;
  }
  fail_.assign(m, 0);
  std::size_t k = 0;
  for (std::size_t i = 1; i < m; ++i) {
    while (k > 0 && folded_[i] != folded_[k]) k = fail_[k - 1];
    if (folded_[i] == folded_[k]) ++k;
    fail_[i] = k;
  }
}

std::size_t Finder::FindWithTable(std::string_view text, std::size_t from, Boundaries& boundaries) {
  if (fail_.empty()) BuildTable();
  const auto* data = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t n = text.size();
  const std::size_t m = folded_.size();

  // While nothing is partly matched, skip to the needle's first byte.
  ByteScanner scanner(data, n, folded_[0], ignoreCase_);
  std::size_t matched = 0;
  std::size_t i = from;
  while (i < n) {
    if (matched == 0) {
      if (n - i < m) return npos;
      i = scanner.Next(i);
      if (i >= n) return npos;
    }
    const unsigned char b = ignoreCase_ ? FoldAscii(data[i]) : data[i];
    while (matched > 0 && b != folded_[matched]) matched = fail_[matched - 1];
    if (b == folded_[matched]) ++matched;
    ++i;
    if (matched == m) {
      const std::size_t candidate = i - m;
      if (!characterAware_ || boundaries.IsBoundary(candidate)) return candidate;
      matched = fail_[m - 1];
    }
  }
  return npos;
}

}  // namespace pellora::internal
