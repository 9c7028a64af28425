// korvel: records the folder tree of a PC's system drive onto another drive.
#include <QApplication>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "app/program.h"
#include "platform/options.h"

namespace {
// Headless runs print only their own output; Qt's notes about the missing desktop stay quiet.
void QuietQtMessages(QtMsgType type, const QMessageLogContext&, const QString& message) {
  if (type == QtCriticalMsg || type == QtFatalMsg)
    std::cerr << "korvel: " << message.toStdString() << '\n';
}
}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  std::string error;
  for (const std::string& arg : args) {
    if (arg == "--help") {
      std::cout << korvel::Usage() << layer::OptionsHelp();
      return 0;
    }
    if (arg == "--version") {
      std::cout << "korvel " << KORVEL_VERSION << '\n';
      return 0;
    }
  }
  if (!layer::ApplyOptions(args, &error)) {
    std::cerr << "korvel: " << error << '\n';
    return 2;
  }
  korvel::RunOptions options;
  if (korvel::ParseArguments(args, &options, &error) == korvel::Parsed::Error) {
    std::cerr << "korvel: " << error << '\n';
    return 2;
  }
  if (options.headless) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(QuietQtMessages);
  } else {
    const char* x11 = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    if ((!x11 || !*x11) && (!wayland || !*wayland)) {
      std::cerr << "korvel: no display (DISPLAY and WAYLAND_DISPLAY are empty); run with "
                   "--headless to catalogue without a window\n";
      return 2;
    }
  }
  // Qt sees only the program name: every argument has been checked above.
  int qt_argc = 1;
  char* qt_argv[] = {argv[0], nullptr};
  QApplication app(qt_argc, qt_argv);
  return korvel::RunProgram(options, std::cout);
}
