// The application object, the message box and the exception display.
#include <QApplication>
#include <QElapsedTimer>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QTranslator>

#include "platform/vcl/qt_bridge.h"
#include "platform/vcl/vcl.h"

TApplication* Application = nullptr;

namespace {

Monitor* g_monitor = nullptr;
vcl::MessageBoxHook g_message_box_hook;

std::int64_t NowMs() {
  static QElapsedTimer timer;
  if (!timer.isValid()) timer.start();
  return timer.elapsed();
}

int ShowRealMessageBox(const AnsiString& text, const AnsiString& caption, unsigned type) {
  QWidget* owner = Application && Application->MainForm ? Application->MainForm->Widget() : nullptr;
  QMessageBox box(owner);
  box.setWindowTitle(vcl::ToQString(caption));
  box.setText(vcl::ToQString(text));
  box.setIcon((type & MB_ICONERROR) ? QMessageBox::Critical : QMessageBox::NoIcon);
  box.setWindowModality(Qt::ApplicationModal);
  if ((type & 0xF) == MB_OKCANCEL) {
    box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
    box.setDefaultButton(QMessageBox::Ok);
    box.setEscapeButton(QMessageBox::Cancel);
  } else {
    box.setStandardButtons(QMessageBox::Ok);
    box.setDefaultButton(QMessageBox::Ok);
    box.setEscapeButton(QMessageBox::Ok);
  }
  // The box's close button counts as Cancel, as does Escape.
  return box.exec() == QMessageBox::Ok ? IDOK : IDCANCEL;
}

}  // namespace

namespace vcl {

void SetMonitor(Monitor* monitor) { g_monitor = monitor; }
Monitor* GetMonitor() { return g_monitor; }
void SetMessageBoxHook(MessageBoxHook hook) { g_message_box_hook = std::move(hook); }

void CreateApplication() {
  delete Application;
  Application = new TApplication();
}

void DestroyApplication() {
  delete Application;
  Application = nullptr;
}

}  // namespace vcl

int MessageBoxA(void*, const char* text, const char* caption, unsigned type) {
  AnsiString t(text), c(caption);
  int answer = g_message_box_hook ? g_message_box_hook(t, c, type) : ShowRealMessageBox(t, c, type);
  if (g_monitor) g_monitor->MessageBoxShown(c, t, answer);
  return answer;
}

TApplication::TApplication() : TComponent(nullptr) {
  std::string name = "korvel";
  if (QCoreApplication::instance()) {
    QString app_name = QCoreApplication::applicationName();
    if (!app_name.isEmpty()) name = app_name.toStdString();
  }
  Title = AnsiString(name);
}

TApplication::~TApplication() {
  forms_.clear();  // destroys the forms and their windows
  if (translator_) QCoreApplication::removeTranslator(translator_.get());
}

void TApplication::Initialize() {
  // Button texts of the standard boxes in Japanese, from Qt's own translation.
  if (!QCoreApplication::instance() || translator_) return;
  auto translator = std::make_unique<QTranslator>();
  if (translator->load(QStringLiteral("qtbase_ja"),
                       QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    QCoreApplication::installTranslator(translator.get());
    translator_ = std::move(translator);
  }
}

void TApplication::FormCreated(TForm* form) {
  forms_.emplace_back(form);
  if (!MainForm) MainForm = form;
  // The recorded Visible of the resource is applied after construction.
  if (form->ResourceVisible() && !form->Closed()) form->ApplyVisible(true);
}

void TApplication::Run() {
  if (!MainForm || Terminated) return;
  if (!MainForm->Closed()) MainForm->ApplyVisible(true);
  if (Terminated || !QCoreApplication::instance()) return;
  auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
  if (app) app->setQuitOnLastWindowClosed(false);
  if (Script) {
    QTimer::singleShot(0, QCoreApplication::instance(), [this] {
      auto script = Script;
      script();
    });
  }
  if (!Terminated) QCoreApplication::exec();
}

void TApplication::Terminate() {
  Terminated = true;
  if (QCoreApplication::instance()) QCoreApplication::exit(0);
}

int TApplication::MessageBox(const AnsiString& text, const AnsiString& caption, unsigned flags) {
  return MessageBoxA(MainForm ? MainForm->Widget() : nullptr, text.c_str(), caption.c_str(), flags);
}

void TApplication::ShowException(const Exception& e) {
  MessageBox(e.Message() + ".", Title, MB_OK | MB_ICONERROR);
}

void TApplication::HandleEvent(const std::function<void()>& handler) {
  ++running_;
  try {
    handler();
  } catch (const Exception& e) {
    ShowException(e);
  } catch (...) {
    --running_;
    throw;
  }
  --running_;
  if (running_ == 0 && close_pending_) {
    TForm* form = close_pending_;
    close_pending_ = nullptr;
    HandleEvent([form] { form->Close(); });
  }
}

void TApplication::ProcessPaintMessages() {
  if (!QCoreApplication::instance()) return;
  std::int64_t now = NowMs();
  if (now - last_pump_ms_ < 50) return;
  last_pump_ms_ = now;
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}
