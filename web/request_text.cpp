#include "web/request_text.h"

#include "lookup/text_between.h"
#include "values/memory_stream.h"
#include "values/text_ops.h"

namespace pellora {

namespace {

constexpr std::string_view kDefaultAccept =
    "Accept: image/gif, image/bmp, image/x-xbitmap, image/jpeg, image/pjpeg, "
    "application/x-shockwave-flash, application/vnd.ms-excel, "
    "application/vnd.ms-powerpoint, application/msword, */*\r\n";

bool Occurs(std::string_view text, std::string_view word) {
  return FindText(text, word, 1, true) != -1;
}

}  // namespace

Text EncodeControlBytes(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  Text out;
  out.reserve(text.size());
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte <= 0x20 || byte == 0x7F) {
      out += '%';
      out += kHex[byte >> 4];
      out += kHex[byte & 0x0F];
    } else {
      out += c;
    }
  }
  return out;
}

Text RequestAgent(std::string_view headerText) {
  if (!Occurs(headerText, "User-Agent:")) return Text(kDefaultAgent);
  return TrimBoth(TextBetween(headerText, "User-Agent:", "\r\n"));
}

Text BuildHeaderText(std::string_view headerText, std::string_view url,
                     std::string_view verb, std::string_view postData,
                     std::string_view cookies) {
  Text text(headerText);
  if (!Occurs(text, "Accept")) text += kDefaultAccept;
  if (Occurs(text, "RefererNo")) {
    text = ReplaceSubtext(text, "RefererNo", {}, 1, 1);
  } else if (!Occurs(text, "Referer")) {
    text += ConcatText({"Referer: ", EncodeControlBytes(url), "\r\n"});
  }
  if (!Occurs(text, "Accept-Language")) text += "Accept-Language: zh-cn\r\n";

  const bool get = verb == "GET";
  const bool post = verb == "POST";
  if (post && !postData.empty()) {
    if (!Occurs(text, "Content-Type")) {
      text += "Content-Type: application/x-www-form-urlencoded\r\n";
    }
    if (!Occurs(text, "Content-Length")) {
      text += ConcatText({"Content-Length: ", std::to_string(postData.size()), "\r\n"});
    }
  }
  if ((get || post) && !cookies.empty()) {
    text += ConcatText({"Cookie: ", cookies, "\r\n\r\n"});
  }
  return text;
}

Text GatherSetCookies(std::string_view replyHeaders) {
  // Line reading stops before a 0x1A byte without moving on, so the header
  // text is taken to end there; a zero byte ends a text anyway.
  std::string_view headers = replyHeaders.substr(0, replyHeaders.find('\0'));
  headers = headers.substr(0, headers.find('\x1a'));
  if (!Occurs(headers, "Set-Cookie: ")) return {};

  Text gathered;
  const StreamHandle lines = OpenMemoryStream();
  StreamWriteText(lines, headers);
  StreamSeekToStart(lines);
  while (!StreamAtEnd(lines)) {
    const Text line = StreamReadLine(lines);
    if (!Occurs(line, "Set-Cookie: ")) continue;
    const Text rest = ReplaceTextAt(line, 1, 12);
    if (FindText(rest, ";") == -1) {
      gathered += rest;
    } else {
      gathered += TextBefore(rest, ";");
    }
    gathered += ';';
  }
  CloseStream(lines);
  return gathered;
}

}  // namespace pellora
