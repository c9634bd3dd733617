// A plain-text remote control for scripted runs of the program (end-to-end
// checks, benchmarks), switched on by the environment variable PELLORA_DEBUG=1
// and inert otherwise.
//
// Output on stdout, one line per event, flushed at once:
//   shown <x> <y> <width> <height>   the window is on screen (frame geometry)
//   log <text>                       编辑框2 changed; UTF-8, with "\\" for a
//                                    backslash, "\n" for a line break
// Commands read from stdin, one per line:
//   type <text>   replaces 编辑框1's text (UTF-8)
//   click         clicks 按钮1
//   esc           sends the Esc key to the focused control
//   close         closes the window
#pragma once

namespace pellora {

class MainWindow;

// Installs the hook on `window` when PELLORA_DEBUG is "1"; does nothing else.
void InstallDebugHook(MainWindow& window);

}  // namespace pellora
