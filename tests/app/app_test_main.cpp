// Runs the program's tests inside one Qt application on the offscreen platform.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>
#include <ctime>

namespace {
void Quiet(QtMsgType type, const QMessageLogContext&, const QString& message) {
  if (type == QtCriticalMsg || type == QtFatalMsg) fprintf(stderr, "%s\n", qPrintable(message));
}
}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  // Labels show local dates; the fixtures are made in the same zone.
  setenv("TZ", "UTC", 1);
  tzset();
  qInstallMessageHandler(Quiet);
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
