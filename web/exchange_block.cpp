#include "web/exchange_block.h"

#include "values/text_ops.h"

namespace pellora {

ByteStringArray MakeExchangeBlock(std::string_view url, int method,
                                  std::string_view proxy,
                                  std::string_view headers,
                                  std::string_view postData,
                                  std::string_view cookies,
                                  bool allowRedirect) {
  ByteStringArray block(kExchangeSlotCount);
  block[kSlotUrlOrBody] = ByteString(url);
  block[kSlotVerbOrReplyCookies] = method == 1 ? "POST" : "GET";
  block[kSlotProxy] = ByteString(proxy);
  block[kSlotHeaders] = ByteString(headers);
  block[kSlotPostData] = ByteString(postData);
  block[kSlotCookiesOrReplyHeaders] = ByteString(cookies);
  block[kSlotAllowRedirect] = ToBytes(ToText(allowRedirect));
  return block;
}

}  // namespace pellora
