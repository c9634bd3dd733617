#include "web/internal/cookie_store.h"

#include <array>

namespace pellora::internal {

namespace {

constexpr std::string_view kHttpOnlyPrefix = "#HttpOnly_";

std::string LowerAscii(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

}  // namespace

CookieStore& CookieStore::Instance() {
  static CookieStore* const store = new CookieStore;
  return *store;
}

bool CookieStore::ParseKey(std::string_view line, Key& key) {
  if (line.substr(0, kHttpOnlyPrefix.size()) == kHttpOnlyPrefix) {
    line.remove_prefix(kHttpOnlyPrefix.size());
  } else if (!line.empty() && line.front() == '#') {
    return false;
  }
  std::array<std::string_view, 7> fields;
  std::size_t from = 0;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    const std::size_t tab = line.find('\t', from);
    if (i + 1 < fields.size()) {
      if (tab == std::string_view::npos) return false;
      fields[i] = line.substr(from, tab - from);
      from = tab + 1;
    } else {
      fields[i] = line.substr(from);
    }
  }
  std::string_view domain = fields[0];
  while (!domain.empty() && domain.front() == '.') domain.remove_prefix(1);
  if (domain.empty() || fields[5].empty()) return false;
  key.domain = LowerAscii(domain);
  key.pathAndName = std::string(fields[2]);
  key.pathAndName += '\t';
  key.pathAndName += fields[5];
  return true;
}

std::vector<std::string> CookieStore::LinesFor(std::string_view host) const {
  std::vector<std::string> lines;
  const std::string lower = LowerAscii(host);
  std::string_view candidate = lower;
  std::lock_guard lock(mutex_);
  while (!candidate.empty()) {
    const auto found = byDomain_.find(candidate);
    if (found != byDomain_.end()) {
      for (const auto& entry : found->second) lines.push_back(entry.second);
    }
    const std::size_t dot = candidate.find('.');
    if (dot == std::string_view::npos) break;
    candidate.remove_prefix(dot + 1);
  }
  return lines;
}

void CookieStore::Merge(const std::vector<std::string>& loaded,
                        const std::vector<std::string>& after) {
  std::map<std::string, std::map<std::string, std::string>, std::less<>> present;
  Key key;
  for (const std::string& line : after) {
    if (ParseKey(line, key)) present[key.domain][key.pathAndName] = line;
  }
  std::lock_guard lock(mutex_);
  for (const std::string& line : loaded) {
    if (!ParseKey(line, key)) continue;
    const auto domain = present.find(key.domain);
    if (domain != present.end() && domain->second.count(key.pathAndName) != 0) continue;
    const auto stored = byDomain_.find(key.domain);
    if (stored == byDomain_.end()) continue;
    stored->second.erase(key.pathAndName);
    if (stored->second.empty()) byDomain_.erase(stored);
  }
  for (auto& [domain, cookies] : present) {
    auto& target = byDomain_[domain];
    for (auto& [pathAndName, line] : cookies) target[pathAndName] = std::move(line);
  }
}

void CookieStore::Clear() {
  std::lock_guard lock(mutex_);
  byDomain_.clear();
}

}  // namespace pellora::internal
