// Text crossing the border between the program's code page 936 texts and the
// toolkit's Unicode strings.
#pragma once

#include <QString>
#include <string_view>

#include "values/value_types.h"

namespace pellora {

// Code page 936 text as a widget string. CR LF pairs become the widget's line
// feeds, so a multi-line text shows its line breaks.
[[nodiscard]] QString ToWidgetText(std::string_view text);

// A widget string as code page 936 text; characters without a 936 form
// become "?". Line feeds become CR LF pairs again.
[[nodiscard]] Text FromWidgetText(const QString& text);

}  // namespace pellora
