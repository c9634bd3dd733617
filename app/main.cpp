// Start and end of the program: one window, its message loop, the exit hook.
#include <QApplication>
#include <QIcon>
#include <cstdio>
#include <cstdlib>

#include "app/debug_hook.h"
#include "app/main_window.h"
#include "app/result_slot.h"

namespace {

void RunExitHook() { pellora::OnProgramExit(); }

}  // namespace

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  std::at_quick_exit(RunExitHook);
  QApplication::setWindowIcon(QIcon(QStringLiteral(":/pellora/pellora.png")));

  int status = 0;
  {
    pellora::MainWindow window;
    pellora::InstallDebugHook(window);
    window.show();
    status = QApplication::exec();
  }  // the window is destroyed here, after the loop has ended

  // Lookup threads may still be running: they are detached and are never
  // waited for. A normal exit would run static destructors (Qt's, libcurl's,
  // ICU's) underneath them, so the process ends with quick_exit instead,
  // which runs only the exit hook registered above. Nothing of the lookups
  // survives them, so nothing is lost. (quick_exit is there in glibc, the
  // BSDs' libc and MSVC's runtime; Apple's libc lacks it, where calling the
  // hook and then std::_Exit would do the same.)
  // Only the streams the program writes: flushing all of them would also
  // wait for the lock on stdin, which a reader thread blocked in a read may
  // hold (see platform_stdin_thread.cpp).
  std::fflush(stdout);
  std::fflush(stderr);
  std::quick_exit(status);
}
