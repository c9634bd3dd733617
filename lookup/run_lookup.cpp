#include "lookup/run_lookup.h"

#include "lookup/text_between.h"
#include "lookup/unescape.h"
#include "values/text_ops.h"
#include "web/http_fetch.h"

namespace pellora {

namespace {

// Markers around the fields of the service's compact JSON reply, in the order
// the fields appear. Each end marker is the next field's start marker.
constexpr std::string_view kNameStart = "{\"data\":{\"name\":\"";
constexpr std::string_view kBalStart = "\",\"bal\":\"";
constexpr std::string_view kPoiStart = "\",\"poi\":\"";
constexpr std::string_view kConStart = "\",\"con\":\"";
constexpr std::string_view kConEnd = "\",\"tips\":null},\"time\":";

// Labels of the result text, code page 936.
constexpr std::string_view kNumberLabel = "\xca\xd6\xbb\xfa\xba\xc5\xa3\xba";  // 手机号：
constexpr std::string_view kNameLabel = "\r\n\xc3\xfb\xd7\xd6\xa3\xba";        // \r\n名字：
constexpr std::string_view kBalLabel = "\r\n\xd3\xe0\xb6\xee\xa3\xba";         // \r\n余额：
constexpr std::string_view kPoiLabel = "\r\n\xbb\xfd\xb7\xd6\xa3\xba";         // \r\n积分：
constexpr std::string_view kConLabel =
    "\r\n\xb5\xb1\xc7\xb0\xcf\xfb\xb7\xd1\xa3\xba";  // \r\n当前消费：
// \r\n温馨提示：以上数据来自于互联网，请勿用作非法用途。
constexpr std::string_view kReminder =
    "\r\n\xce\xc2\xdc\xb0\xcc\xe1\xca\xbe\xa3\xba\xd2\xd4\xc9\xcf\xca\xfd\xbe\xdd"
    "\xc0\xb4\xd7\xd4\xd3\xda\xbb\xa5\xc1\xaa\xcd\xf8\xa3\xac\xc7\xeb\xce\xf0\xd3"
    "\xc3\xd7\xf7\xb7\xc7\xb7\xa8\xd3\xc3\xcd\xbe\xa1\xa3";

Text ReadHook(const std::function<Text()>& hook) { return hook ? hook() : Text(); }

}  // namespace

Text LookupUrl(std::string_view host, std::string_view number) {
  return ConcatText({"http://", host, "/10086/", number});
}

const Text& NotFoundText() {
  // 您输入的号码不能查询！\r\n请换个号码查询！只支持部分移动号码~
  static const Text text =
      "\xc4\xfa\xca\xe4\xc8\xeb\xb5\xc4\xba\xc5\xc2\xeb\xb2\xbb\xc4\xdc\xb2\xe9\xd1"
      "\xaf\xa3\xa1\r\n\xc7\xeb\xbb\xbb\xb8\xf6\xba\xc5\xc2\xeb\xb2\xe9\xd1\xaf\xa3"
      "\xa1\xd6\xbb\xd6\xa7\xb3\xd6\xb2\xbf\xb7\xd6\xd2\xc6\xb6\xaf\xba\xc5\xc2\xeb~";
  return text;
}

Text LookupResultText(std::string_view reply, const std::function<Text()>& readNumber) {
  const Text text = ToText(reply);
  const Text decoded = UnescapeText(text);
  const Text name = TextBetween(decoded, kNameStart, kBalStart);
  if (TextOrder(name, "") == 0) return NotFoundText();
  const Text bal = TextBetween(decoded, kBalStart, kPoiStart);
  const Text poi = TextBetween(decoded, kPoiStart, kConStart);
  const Text con = TextBetween(decoded, kConStart, kConEnd);
  // The number is read again here: if the user edited the box meanwhile, the
  // text shows the new number although the request used the old one.
  const Text number = ReadHook(readNumber);
  return ConcatText({kNumberLabel, number, kNameLabel, name, kBalLabel, bal, kPoiLabel, poi,
                     kConLabel, con, kReminder});
}

void RunLookup(const LookupHooks& hooks) {
  if (hooks.setLog) hooks.setLog("");
  const Text url = LookupUrl(hooks.host, ReadHook(hooks.readNumber));
  const ByteString reply = HttpFetch(url);
  Text result = LookupResultText(reply, hooks.readNumber);
  if (hooks.storeResult) hooks.storeResult(std::move(result));
}

}  // namespace pellora
