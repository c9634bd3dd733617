#include "app/widget_text.h"

#include "codepage/codepage.h"
#include "values/text_ops.h"

namespace pellora {

QString ToWidgetText(std::string_view text) {
  const std::string utf8 = AnsiToUtf8(ReplaceSubtext(text, "\r\n", "\n"));
  return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

Text FromWidgetText(const QString& text) {
  QString crlf = text;
  crlf.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  crlf.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
  const QByteArray utf8 = crlf.toUtf8();
  return Utf8ToAnsi(std::string_view(utf8.constData(), static_cast<size_t>(utf8.size())));
}

}  // namespace pellora
