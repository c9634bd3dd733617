// pellora-demo-service: a stand-in lookup service for trying the program out.
// Answers GET /10086/<number> with the compact JSON reply the program reads,
// from a small file of made-up accounts, on 127.0.0.1 only.
#include <httplib.h>
#include <signal.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <map>
#include <string>
#include <string_view>
#include <thread>

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

bool LoadAccounts(const std::string& path, std::map<std::string, Account>& accounts) {
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

int Usage() {
  std::fprintf(stderr,
               "usage: pellora-demo-service [--port N] [--data FILE] [--delay-ms N]\n"
               "  --port N      port on 127.0.0.1 (default 8086; 0 picks a free one)\n"
               "  --data FILE   accounts file (default %s)\n"
               "  --delay-ms N  wait N milliseconds before every reply (default 0)\n",
               PELLORA_DEMO_DATA);
  return 2;
}

}  // namespace

int main(int argc, char* argv[]) {
  long port = 8086;
  long delayMs = 0;
  std::string dataPath = PELLORA_DEMO_DATA;
  for (int i = 1; i < argc; ++i) {
    const std::string_view option = argv[i];
    if (i + 1 >= argc) return Usage();
    const char* value = argv[++i];
    if (option == "--port") {
      if (!ParseInt(value, 0, 65535, port)) return Usage();
    } else if (option == "--delay-ms") {
      if (!ParseInt(value, 0, 3600000, delayMs)) return Usage();
    } else if (option == "--data") {
      dataPath = value;
    } else {
      return Usage();
    }
  }

  std::map<std::string, Account> accounts;
  if (!LoadAccounts(dataPath, accounts)) {
    std::fprintf(stderr, "pellora-demo-service: cannot read %s\n", dataPath.c_str());
    return 1;
  }

  // SIGINT and SIGTERM are taken by a thread of their own, which stops the
  // server cleanly; they must be blocked before any other thread starts.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

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

  std::thread stopper([&] {
    int signal = 0;
    sigwait(&stopSignals, &signal);
    server.stop();
  });
  stopper.detach();

  std::printf("pellora-demo-service: listening on 127.0.0.1:%d with %zu accounts\n", bound,
              accounts.size());
  std::fflush(stdout);
  server.listen_after_bind();
  return 0;
}
