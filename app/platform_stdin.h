// The one platform-dependent piece of the program: reading standard input
// without blocking the GUI thread, for the debug hook's remote control.
#pragma once

#include <QByteArray>
#include <functional>

class QObject;

namespace pellora {

// Reads standard input line by line and hands each complete line (its bytes
// without the line feed) to `onLine` on `owner`'s thread, until the input
// ends or `owner` is destroyed. A last line without a line feed is dropped.
void ReadStdinLines(QObject& owner, std::function<void(const QByteArray& line)> onLine);

}  // namespace pellora
