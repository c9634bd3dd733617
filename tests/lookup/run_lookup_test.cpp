#include "lookup/run_lookup.h"

#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <vector>

#include "tests/app/test_server.h"
#include "values/text_ops.h"
#include "web/http_fetch.h"

namespace pellora {
namespace {

using pellora::testing::Replying;
using pellora::testing::TestServer;

// Code page 936 texts used below.
const Text kZhangSan = "\xd5\xc5\xc8\xfd";  // 张三

// The six-line result text, with its labels spelt out byte for byte.
Text SixLines(std::string_view number, std::string_view name, std::string_view bal,
              std::string_view poi, std::string_view con) {
  return ConcatText({"\xca\xd6\xbb\xfa\xba\xc5\xa3\xba", number,           // 手机号：
                     "\r\n\xc3\xfb\xd7\xd6\xa3\xba", name,                 // 名字：
                     "\r\n\xd3\xe0\xb6\xee\xa3\xba", bal,                  // 余额：
                     "\r\n\xbb\xfd\xb7\xd6\xa3\xba", poi,                  // 积分：
                     "\r\n\xb5\xb1\xc7\xb0\xcf\xfb\xb7\xd1\xa3\xba", con,  // 当前消费：
                     // 温馨提示：以上数据来自于互联网，请勿用作非法用途。
                     "\r\n\xce\xc2\xdc\xb0\xcc\xe1\xca\xbe\xa3\xba\xd2\xd4\xc9\xcf\xca\xfd"
                     "\xbe\xdd\xc0\xb4\xd7\xd4\xd3\xda\xbb\xa5\xc1\xaa\xcd\xf8\xa3\xac\xc7"
                     "\xeb\xce\xf0\xd3\xc3\xd7\xf7\xb7\xc7\xb7\xa8\xd3\xc3\xcd\xbe\xa1\xa3"});
}

// 您输入的号码不能查询！\r\n请换个号码查询！只支持部分移动号码~
const Text kNotFound =
    "\xc4\xfa\xca\xe4\xc8\xeb\xb5\xc4\xba\xc5\xc2\xeb\xb2\xbb\xc4\xdc\xb2\xe9\xd1\xaf"
    "\xa3\xa1\r\n\xc7\xeb\xbb\xbb\xb8\xf6\xba\xc5\xc2\xeb\xb2\xe9\xd1\xaf\xa3\xa1\xd6"
    "\xbb\xd6\xa7\xb3\xd6\xb2\xbf\xb7\xd6\xd2\xc6\xb6\xaf\xba\xc5\xc2\xeb~";

const std::string kFoundReply =
    R"({"data":{"name":"\u5f20\u4e09","bal":"58.20","poi":"1200","con":"36.50","tips":null},"time":1796989822})";

TEST(LookupUrlTest, JoinsHostPathAndNumberAsTyped) {
  EXPECT_EQ(LookupUrl("127.0.0.1:8086", "13800138000"), "http://127.0.0.1:8086/10086/13800138000");
  EXPECT_EQ(LookupUrl("h", " 1 2 "), "http://h/10086/ 1 2 ");
  EXPECT_EQ(LookupUrl("h", ""), "http://h/10086/");
}

TEST(NotFoundTextTest, IsTheTwoLineMessage) { EXPECT_EQ(NotFoundText(), kNotFound); }

struct ReplyCase {
  const char* name;
  std::string reply;
  Text expected;
};

class LookupResultTextTest : public ::testing::TestWithParam<ReplyCase> {};

TEST_P(LookupResultTextTest, CutsTheFieldsOrGivesTheNotFoundText) {
  int reads = 0;
  const Text shown = LookupResultText(GetParam().reply, [&] {
    ++reads;
    return Text("13800138000");
  });
  EXPECT_EQ(shown, GetParam().expected);
  // The number is read for the first line only when there is something to show.
  EXPECT_EQ(reads, shown == kNotFound ? 0 : 1);
}

INSTANTIATE_TEST_SUITE_P(
    Replies, LookupResultTextTest,
    ::testing::Values(
        ReplyCase{"found_chinese_name", kFoundReply,
                  SixLines("13800138000", kZhangSan, "58.20", "1200", "36.50")},
        ReplyCase{"empty_name",
                  R"({"data":{"name":"","bal":"","poi":"","con":"","tips":null},"time":1})",
                  kNotFound},
        ReplyCase{
            "keys_in_capitals",
            R"({"DATA":{"NAME":"\u5f20\u4e09","BAL":"1","POI":"2","CON":"3","TIPS":NULL},"TIME":1})",
            SixLines("13800138000", kZhangSan, "1", "2", "3")},
        ReplyCase{
            "blank_after_colon",
            R"({"data":{"name": "\u5f20\u4e09","bal":"1","poi":"2","con":"3","tips":null},"time":1})",
            kNotFound},
        ReplyCase{
            "blank_after_comma_before_bal",
            R"({"data":{"name":"\u5f20\u4e09", "bal":"1","poi":"2","con":"3","tips":null},"time":1})",
            kNotFound},
        ReplyCase{
            "number_in_place_of_bal",
            R"({"data":{"name":"\u5f20\u4e09","bal":1.5,"poi":"2","con":"3","tips":null},"time":1})",
            kNotFound},
        // The unquoted number also takes the quote out of the marker before
        // "con", so only the name survives.
        ReplyCase{
            "number_in_place_of_poi",
            R"({"data":{"name":"\u5f20\u4e09","bal":"1","poi":2,"con":"3","tips":null},"time":1})",
            SixLines("13800138000", kZhangSan, "", "", "")},
        ReplyCase{"tips_not_null_empties_con",
                  R"({"data":{"name":"A","bal":"1","poi":"2","con":"3","tips":"x"},"time":1})",
                  SixLines("13800138000", "A", "1", "2", "")},
        ReplyCase{
            "value_holding_next_marker_is_cut_short",
            R"({"data":{"name":"A\",\"bal\":\"B","bal":"1","poi":"2","con":"3","tips":null},"time":1})",
            SixLines("13800138000", "A", "B\",\"bal\":\"1", "2", "3")},
        ReplyCase{"blank_name_counts",
                  R"({"data":{"name":" ","bal":"","poi":"","con":"","tips":null},"time":1})",
                  SixLines("13800138000", " ", "", "", "")},
        ReplyCase{
            "apostrophe_in_name",
            R"({"data":{"name":"O'Neil","bal":"1","poi":"2","con":"3","tips":null},"time":1})",
            SixLines("13800138000", "O'Neil", "1", "2", "3")},
        // Line ends after the JSON are not part of any marker.
        ReplyCase{"trailing_line_feed", kFoundReply + "\n",
                  SixLines("13800138000", kZhangSan, "58.20", "1200", "36.50")},
        ReplyCase{"trailing_crlf", kFoundReply + "\r\n",
                  SixLines("13800138000", kZhangSan, "58.20", "1200", "36.50")},
        ReplyCase{"zero_byte_after_json", kFoundReply + std::string("\0junk", 5),
                  SixLines("13800138000", kZhangSan, "58.20", "1200", "36.50")},
        ReplyCase{"zero_byte_before_json", std::string("\0", 1) + kFoundReply, kNotFound},
        ReplyCase{"empty_reply", "", kNotFound},
        ReplyCase{"html_error_page", "<html><body>404 Not Found</body></html>", kNotFound},
        ReplyCase{"fetch_time_out_text", FetchTimeoutText(), kNotFound}),
    [](const ::testing::TestParamInfo<ReplyCase>& info) { return std::string(info.param.name); });

// Records what a lookup did through its hooks.
struct Recorder {
  std::mutex mutex;
  std::vector<std::string> events;
  std::vector<Text> stored;
  std::vector<Text> numbers;  // handed out by readNumber, in turn
  size_t nextNumber = 0;

  LookupHooks Hooks(std::string host) {
    LookupHooks hooks;
    hooks.readNumber = [this] {
      std::lock_guard<std::mutex> lock(mutex);
      events.push_back("read");
      const Text& number = numbers[std::min(nextNumber, numbers.size() - 1)];
      ++nextNumber;
      return number;
    };
    hooks.setLog = [this](std::string_view text) {
      std::lock_guard<std::mutex> lock(mutex);
      events.push_back("log:" + std::string(text));
    };
    hooks.storeResult = [this](Text text) {
      std::lock_guard<std::mutex> lock(mutex);
      events.push_back("store");
      stored.push_back(std::move(text));
    };
    hooks.host = std::move(host);
    return hooks;
  }
};

TEST(RunLookupTest, FoundOverHttpEmptiesTheLogFetchesAndStoresSixLines) {
  TestServer server(Replying(kFoundReply));
  Recorder recorder;
  recorder.numbers = {"13800138000"};
  RunLookup(recorder.Hooks(server.Host()));

  EXPECT_EQ(server.Requests(), 1);
  EXPECT_EQ(server.LastPath(), "/10086/13800138000");
  EXPECT_EQ(recorder.events, (std::vector<std::string>{"log:", "read", "read", "store"}));
  ASSERT_EQ(recorder.stored.size(), 1u);
  EXPECT_EQ(recorder.stored[0], SixLines("13800138000", kZhangSan, "58.20", "1200", "36.50"));
}

TEST(RunLookupTest, UrlUsesTheOldNumberAndTheTextShowsTheNewOne) {
  TestServer server(Replying(kFoundReply));
  Recorder recorder;
  recorder.numbers = {"111", "222"};
  RunLookup(recorder.Hooks(server.Host()));

  EXPECT_EQ(server.LastPath(), "/10086/111");
  ASSERT_EQ(recorder.stored.size(), 1u);
  EXPECT_EQ(recorder.stored[0], SixLines("222", kZhangSan, "58.20", "1200", "36.50"));
}

TEST(RunLookupTest, UnknownNumberStoresTheNotFoundText) {
  TestServer server(
      Replying(R"({"data":{"name":"","bal":"","poi":"","con":"","tips":null},"time":1})"));
  Recorder recorder;
  recorder.numbers = {"19900000000"};
  RunLookup(recorder.Hooks(server.Host()));
  EXPECT_EQ(recorder.stored, (std::vector<Text>{kNotFound}));
  EXPECT_EQ(recorder.events, (std::vector<std::string>{"log:", "read", "store"}));
}

TEST(RunLookupTest, ErrorStatusStoresTheNotFoundText) {
  TestServer server([](const httplib::Request&, httplib::Response& response) {
    response.status = 500;
    response.set_content("<html>Internal Server Error</html>", "text/html");
  });
  Recorder recorder;
  recorder.numbers = {"13800138000"};
  RunLookup(recorder.Hooks(server.Host()));
  EXPECT_EQ(recorder.stored, (std::vector<Text>{kNotFound}));
}

TEST(RunLookupTest, ServiceDownStoresTheNotFoundText) {
  std::string host;
  {
    TestServer gone(Replying(""));
    host = gone.Host();
  }  // nothing listens on that port any more
  Recorder recorder;
  recorder.numbers = {"13800138000"};
  RunLookup(recorder.Hooks(host));
  EXPECT_EQ(recorder.stored, (std::vector<Text>{kNotFound}));
}

TEST(RunLookupTest, EmptyHooksAreHarmless) {
  TestServer server(Replying(kFoundReply));
  LookupHooks hooks;
  hooks.host = server.Host();
  RunLookup(hooks);  // reads an empty number, stores nowhere
  EXPECT_EQ(server.LastPath(), "/10086/");
}

}  // namespace
}  // namespace pellora
