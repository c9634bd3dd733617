// pellora-demo-service: a stand-in lookup service for trying the program out.
// Answers GET /10086/<number> with the compact JSON reply the program reads,
// from a small file of made-up accounts, on 127.0.0.1 only.
#include <httplib.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <string_view>
#include <thread>

// The accounts file: where an install puts it, relative to the program's
// folder, and else the one in the source tree the program was built from.
#ifndef PELLORA_DEMO_INSTALLED_DATA
#define PELLORA_DEMO_INSTALLED_DATA "../share/pellora/demo-accounts.tsv"
#endif
#ifndef PELLORA_DEMO_DATA
#define PELLORA_DEMO_DATA "accounts.tsv"
#endif

namespace {

struct Account {
  std::string name, balance, points, spending;
};

// One UTF-8 character starting at `i`; advances `i`. Malformed bytes come out
// as U+FFFD one byte at a time.
char32_t NextCodePoint(std::string_view s, size_t& i) {
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
  const unsigned char lead = byte(i);
  int more = 0;
  char32_t cp = 0;
  if (lead < 0x80) {
    ++i;
    return lead;
  }
  if ((lead & 0xE0) == 0xC0) {
    more = 1;
    cp = lead & 0x1F;
  } else if ((lead & 0xF0) == 0xE0) {
    more = 2;
    cp = lead & 0x0F;
  } else if ((lead & 0xF8) == 0xF0) {
    more = 3;
    cp = lead & 0x07;
  } else {
    ++i;
    return 0xFFFD;
  }
  if (i + more >= s.size()) {
    ++i;
    return 0xFFFD;
  }
  for (int k = 1; k <= more; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) {
      ++i;
      return 0xFFFD;
    }
    cp = (cp << 6) | (byte(i + k) & 0x3F);
  }
  i += more + 1;
  return cp > 0x10FFFF ? 0xFFFD : cp;
}

// A JSON string body in which every character outside printable ASCII is a
// \uXXXX escape (UTF-16 units, surrogate pairs above U+FFFF).
std::string JsonString(std::string_view utf8) {
  std::string out;
  char buffer[8];
  const auto unit = [&](unsigned u) {
    std::snprintf(buffer, sizeof buffer, "\\u%04x", u);
    out += buffer;
  };
  for (size_t i = 0; i < utf8.size();) {
    const char32_t cp = NextCodePoint(utf8, i);
    if (cp == '"' || cp == '\\') {
      out += '\\';
      out += static_cast<char>(cp);
    } else if (cp >= 0x20 && cp < 0x7F) {
      out += static_cast<char>(cp);
    } else if (cp > 0xFFFF) {
      const char32_t v = cp - 0x10000;
      unit(0xD800 + static_cast<unsigned>(v >> 10));
      unit(0xDC00 + static_cast<unsigned>(v & 0x3FF));
    } else {
      unit(static_cast<unsigned>(cp));
    }
  }
  return out;
}

std::string Reply(const Account& a) {
  return "{\"data\":{\"name\":\"" + JsonString(a.name) + "\",\"bal\":\"" + JsonString(a.balance) +
         "\",\"poi\":\"" + JsonString(a.points) + "\",\"con\":\"" + JsonString(a.spending) +
         "\",\"tips\":null},\"time\":" +
         std::to_string(static_cast<long long>(std::time(nullptr))) + "}";
}

bool LoadAccounts(const std::filesystem::path& path, std::map<std::string, Account>& accounts) {
  std::ifstream in(path);
  if (!in) return false;
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    std::string fields[5];
    size_t start = 0;
    for (int k = 0; k < 5; ++k) {
      const size_t tab = k < 4 ? line.find('\t', start) : std::string::npos;
      fields[k] = line.substr(start, tab == std::string::npos ? std::string::npos : tab - start);
      if (tab == std::string::npos) {
        start = line.size();
      } else {
        start = tab + 1;
      }
    }
    if (!fields[0].empty()) accounts[fields[0]] = {fields[1], fields[2], fields[3], fields[4]};
  }
  return true;
}

bool ParseInt(const char* text, long low, long high, long& value) {
  char* end = nullptr;
  value = std::strtol(text, &end, 10);
  return end != text && *end == '\0' && value >= low && value <= high;
}

// A path as UTF-8 (native bytes on POSIX) for messages; never throws.
std::string Printable(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

// The folder holding this program, or an empty path when it cannot be told.
// /proc/self/exe where the system has it (Linux), which also holds when the
// program was found through PATH; elsewhere argv[0] made absolute, which is
// right whenever argv[0] names the program by a path.
std::filesystem::path ProgramFolder(const char* argv0) {
  std::error_code error;
  std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error || program.empty()) {
    if (argv0 == nullptr) return {};
    const std::filesystem::path given = argv0;
    if (!given.has_parent_path()) return {};  // found through PATH: folder unknown
    program = std::filesystem::absolute(given, error);
    if (error) return {};
  }
  return program.parent_path();
}

std::filesystem::path DefaultDataPath(const char* argv0) {
  const std::filesystem::path folder = ProgramFolder(argv0);
  if (!folder.empty()) {
    const std::filesystem::path installed =
        (folder / PELLORA_DEMO_INSTALLED_DATA).lexically_normal();
    std::error_code error;
    if (std::filesystem::is_regular_file(installed, error)) return installed;
  }
  return PELLORA_DEMO_DATA;
}

int Usage(const std::filesystem::path& defaultData) {
  std::fprintf(stderr,
               "usage: pellora-demo-service [--port N] [--data FILE] [--delay-ms N]\n"
               "  --port N      port on 127.0.0.1 (default 8086; 0 picks a free one)\n"
               "  --data FILE   accounts file (default %s)\n"
               "  --delay-ms N  wait N milliseconds before every reply (default 0)\n",
               Printable(defaultData).c_str());
  return 2;
}

// Set by SIGINT or SIGTERM; a thread of main's watches it and stops the
// server. The handler restores the default action, so a second signal ends
// the service at once even while replies are still being held back.
std::atomic<bool> stopRequested{false};
static_assert(std::atomic<bool>::is_always_lock_free, "the flag is set in a signal handler");

extern "C" void OnStopSignal(int signal) {
  stopRequested.store(true);
  std::signal(signal, SIG_DFL);
}

}  // namespace

int main(int argc, char* argv[]) {
  long port = 8086;
  long delayMs = 0;
  const std::filesystem::path defaultData = DefaultDataPath(argc > 0 ? argv[0] : nullptr);
  std::filesystem::path dataPath = defaultData;
  for (int i = 1; i < argc; ++i) {
    const std::string_view option = argv[i];
    if (i + 1 >= argc) return Usage(defaultData);
    const char* value = argv[++i];
    if (option == "--port") {
      if (!ParseInt(value, 0, 65535, port)) return Usage(defaultData);
    } else if (option == "--delay-ms") {
      if (!ParseInt(value, 0, 3600000, delayMs)) return Usage(defaultData);
    } else if (option == "--data") {
      dataPath = value;
    } else {
      return Usage(defaultData);
    }
  }

  std::map<std::string, Account> accounts;
  if (!LoadAccounts(dataPath, accounts)) {
    std::fprintf(stderr, "pellora-demo-service: cannot read %s\n", Printable(dataPath).c_str());
    return 1;
  }

  std::signal(SIGINT, OnStopSignal);
  std::signal(SIGTERM, OnStopSignal);

  httplib::Server server;
  server.new_task_queue = [] { return new httplib::ThreadPool(64); };
  server.Get(R"(/10086/(.*))", [&](const httplib::Request& request, httplib::Response& response) {
    if (delayMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
    const auto found = accounts.find(request.matches[1].str());
    response.set_content(Reply(found != accounts.end() ? found->second : Account{}),
                         "application/json; charset=utf-8");
  });

  int bound = 0;
  if (port == 0) {
    bound = server.bind_to_any_port("127.0.0.1");
  } else if (server.bind_to_port("127.0.0.1", static_cast<int>(port))) {
    bound = static_cast<int>(port);
  }
  if (bound <= 0) {
    std::fprintf(stderr, "pellora-demo-service: cannot listen on 127.0.0.1:%ld\n", port);
    return 1;
  }

  // Stops the server within 100 ms of a stop signal. It asks again until the
  // server has ended: a stop that comes before the server runs is a no-op.
  std::atomic<bool> ended{false};
  std::thread stopper([&] {
    while (!ended.load()) {
      if (stopRequested.load()) server.stop();
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
  });

  std::printf("pellora-demo-service: listening on 127.0.0.1:%d with %zu accounts\n", bound,
              accounts.size());
  std::fflush(stdout);
  const bool listened = server.listen_after_bind();
  ended.store(true);
  stopper.join();
  if (!listened && !stopRequested.load()) {
    std::fprintf(stderr, "pellora-demo-service: the server failed\n");
    return 1;
  }
  return 0;
}
