// Our stand-in for the window class library, over Qt 6 Widgets.
//
// Every control keeps its own state (captions, lines, positions, item index, cursor) and
// drives a Qt widget only once the form's window exists, so what the program does to its
// window is the same with or without a screen. The program's operations on the window are
// reported to an optional Monitor, which headless runs print and tests record.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "platform/ansi_string.h"
#include "platform/sysutils.h"
#include "scan/scan_window.h"

class QWidget;
class QImage;
class QTranslator;

using TColor = std::uint32_t;  // 0x00BBGGRR, or a system colour
constexpr TColor clBlack = 0x000000;
constexpr TColor clWhite = 0xFFFFFF;
constexpr TColor clBtnFace = 0x8000000F;  // the button-face system colour

using TCursor = int;
constexpr TCursor crDefault = 0;
constexpr TCursor crHourGlass = -11;

constexpr int SHIFTJIS_CHARSET = 128;
constexpr int DEFAULT_CHARSET = 1;

// MessageBoxA styles and answers.
constexpr unsigned MB_OK = 0x0;
constexpr unsigned MB_OKCANCEL = 0x1;
constexpr unsigned MB_ICONERROR = 0x10;
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;

class TObject {
 public:
  virtual ~TObject() = default;
};

using TNotifyEvent = std::function<void(TObject* sender)>;

class TComponent : public TObject {
 public:
  explicit TComponent(TComponent* owner) : Owner(owner) {}
  TComponent* Owner;
  std::string Name;
};

// Raised when a form resource cannot be read.
class EReadError : public Exception {
 public:
  using Exception::Exception;
};

struct TFont {
  int Charset = DEFAULT_CHARSET;
  TColor Color = clBlack;
  int Height = -12;  // negative: character height in pixels
  AnsiString Name;
  bool operator==(const TFont&) const = default;
};

enum TBrushStyle { bsSolid, bsClear };

struct TBrush {
  TBrushStyle Style = bsSolid;
  TColor Color = clWhite;
};

class TForm;
class TControl;
class TMemo;

// A value of the form resource: a number, a 'string', an identifier, a [set] or a (list).
struct ResourceValue {
  enum Kind { Number, String, Identifier, Set, List } kind = Number;
  long long number = 0;
  std::string text;                // UTF-8 for strings, the identifier itself otherwise
  std::vector<std::string> items;  // sets and lists
  int line = 0;
};

// What the program does to its window, reported as it happens. Only the program's own
// operations are reported, not what the library does by itself (reading the resource,
// applying a recorded value).
class Monitor {
 public:
  virtual ~Monitor() = default;
  virtual void ProgressMax(int /*value*/) {}
  virtual void ProgressPosition(int /*value*/) {}
  virtual void MemoClear() {}
  virtual void MemoAdd(const AnsiString& /*line*/) {}
  virtual void TextOut(int /*x*/, int /*y*/, const AnsiString& /*text*/) {}
  virtual void CursorSet(const TControl& /*control*/, TCursor /*cursor*/) {}
  virtual void VisibleSet(bool /*visible*/) {}
  // The drive selector reported its drive (0: no drive).
  virtual void DriveChanged(char /*letter*/) {}
  // The radio group reported a click on an item.
  virtual void RadioClicked(int /*index*/) {}
  virtual void MessageBoxShown(const AnsiString& /*caption*/, const AnsiString& /*text*/,
                               int /*answer*/) {}
  virtual void FormClosed() {}
};

namespace vcl {

void SetMonitor(Monitor* monitor);
Monitor* GetMonitor();

// Answers message boxes instead of showing them (headless runs and tests). Null shows a
// real modal box.
using MessageBoxHook =
    std::function<int(const AnsiString& text, const AnsiString& caption, unsigned type)>;
void SetMessageBoxHook(MessageBoxHook hook);

// Replaces the text of a form resource (tests); nullopt goes back to the one carried as a
// Qt resource under ":/forms/NAME".
void SetFormResourceOverride(const std::string& name, std::optional<std::string> text);

// Qt text of a CP932 string (bytes that are not CP932 show as \xNN).
std::string ToUtf8(const AnsiString& text);

}  // namespace vcl

// The application's modal message box; type MB_OK or MB_OKCANCEL, optionally MB_ICONERROR.
int MessageBoxA(void* owner, const char* text, const char* caption, unsigned type);

class TControl : public TComponent {
 public:
  explicit TControl(TComponent* owner) : TComponent(owner) {}
  ~TControl() override;

  int Left = 0, Top = 0, Width = 0, Height = 0;
  int TabOrder = -1;  // -1: takes no focus by tab
  bool ParentFont = true;
  TFont Font;

  TCursor Cursor() const { return cursor_; }
  void SetCursor(TCursor cursor);

  TForm* ParentForm() const { return form_; }
  QWidget* Widget() const { return widget_; }
  bool HandleAllocated() const { return widget_ != nullptr; }

  // Reads one property of the form resource; false when the class has no such property.
  virtual bool ReadProperty(const std::string& name, const ResourceValue& value);
  // Connects an event of the form resource; false when the class has no such event.
  virtual bool BindEvent(const std::string& /*name*/, TNotifyEvent /*handler*/) { return false; }

 protected:
  friend class TForm;
  friend class FormReader;
  virtual QWidget* CreateWidget(QWidget* parent) = 0;
  // Called once the whole form's windows exist.
  virtual void WindowCreated() {}
  const TFont& EffectiveFont() const;
  void ApplyCommon();

  TForm* form_ = nullptr;
  QWidget* widget_ = nullptr;  // owned by the form's window
  TCursor cursor_ = crDefault;
};

class TLabel : public TControl {
 public:
  using TControl::TControl;
  AnsiString Caption;
  bool ReadProperty(const std::string& name, const ResourceValue& value) override;

 protected:
  QWidget* CreateWidget(QWidget* parent) override;
};

class TButton : public TControl {
 public:
  using TControl::TControl;
  AnsiString Caption;
  bool Cancel = false;
  bool Default = false;
  TNotifyEvent OnClick;
  // A click by the user (mouse, keyboard or the Escape key of a Cancel button).
  void Click();
  bool ReadProperty(const std::string& name, const ResourceValue& value) override;
  bool BindEvent(const std::string& name, TNotifyEvent handler) override;

 protected:
  QWidget* CreateWidget(QWidget* parent) override;
};

// The lines of a memo.
class TStrings {
 public:
  int Count() const { return static_cast<int>(lines_.size()); }
  const AnsiString& operator[](int index) const { return lines_.at(static_cast<size_t>(index)); }
  void Add(const AnsiString& line);
  void Clear();
  const std::vector<AnsiString>& Items() const { return lines_; }

 private:
  friend class TMemo;
  TMemo* memo_ = nullptr;
  std::vector<AnsiString> lines_;
};

enum TScrollStyle { ssNone, ssHorizontal, ssVertical, ssBoth };

class TMemo : public TControl {
 public:
  explicit TMemo(TComponent* owner);
  TStrings* Lines;
  TScrollStyle ScrollBars = ssNone;
  bool WordWrap = true;
  bool ReadOnly = false;
  bool ReadProperty(const std::string& name, const ResourceValue& value) override;

 protected:
  QWidget* CreateWidget(QWidget* parent) override;

 private:
  friend class TStrings;
  void LineAdded(const AnsiString& line);
  void Cleared();
  void UserEdited();
  std::unique_ptr<TStrings> lines_;
  bool updating_ = false;
};

class TProgressBar : public TControl {
 public:
  using TControl::TControl;
  std::uint16_t Min() const { return min_; }
  std::uint16_t Max() const { return max_; }
  std::uint16_t Position() const { return position_; }
  void SetMax(std::uint16_t value);
  void SetPosition(std::uint16_t value);
  bool ReadProperty(const std::string& name, const ResourceValue& value) override;

 protected:
  QWidget* CreateWidget(QWidget* parent) override;

 private:
  void Apply();
  std::uint16_t min_ = 0, max_ = 100, position_ = 0;
};

class TRadioGroup : public TControl {
 public:
  using TControl::TControl;
  AnsiString Caption;
  std::vector<AnsiString> Items;
  int ItemIndex = -1;
  TNotifyEvent OnClick;
  // The user picks item index; picking the selected item changes nothing.
  void UserSelect(int index);
  bool ReadProperty(const std::string& name, const ResourceValue& value) override;
  bool BindEvent(const std::string& name, TNotifyEvent handler) override;

 protected:
  QWidget* CreateWidget(QWidget* parent) override;

 private:
  std::vector<QWidget*> buttons_;
};

class TDriveComboBox : public TControl {
 public:
  explicit TDriveComboBox(TComponent* owner);
  // The current drive letter in lower case, 0 when there is none.
  char Drive() const { return drive_; }
  TNotifyEvent OnChange;
  // The user picks drive letter; picking the current drive fires nothing.
  void UserSelect(char letter);
  bool ReadProperty(const std::string& name, const ResourceValue& value) override;
  bool BindEvent(const std::string& name, TNotifyEvent handler) override;

 protected:
  QWidget* CreateWidget(QWidget* parent) override;
  void WindowCreated() override;

 private:
  void Fire();
  char drive_ = 0;
  std::vector<char> letters_;  // as listed when the window was made
};

class TCanvas {
 public:
  explicit TCanvas(TForm* form) : form_(form) {}
  TBrush Brush;
  void FillRect(const TRect& rect);
  void TextOut(int x, int y, const AnsiString& text);

 private:
  TForm* form_;
};

class TForm : public TControl {
 public:
  explicit TForm(TComponent* owner);
  ~TForm() override;

  AnsiString Caption;
  int PixelsPerInch = 96;
  int TextHeight = 12;
  TCanvas* Canvas;

  bool Visible() const { return visible_; }
  // The program's own setting of Visible (reported to the monitor).
  void SetVisible(bool visible);
  // Closes the form; closing the main form ends the application.
  void Close();
  bool Closed() const { return closed_; }

  const std::vector<std::unique_ptr<TControl>>& Controls() const { return controls_; }
  TControl* FindControl(const std::string& name) const;
  // The button that the Escape key clicks, if any.
  TButton* CancelButton() const;

  // The picture that the status line and other canvas drawing leave on the form.
  QImage* CanvasImage() const { return canvas_image_.get(); }
  // The form's window as a picture (makes the window when it does not exist yet).
  bool SaveScreenshot(const std::string& path);

  // Used by the library itself: applies a visibility without reporting it.
  void ApplyVisible(bool visible);
  bool ResourceVisible() const { return resource_visible_; }

 protected:
  // Step 1 of a form's construction: reads the form resource `name`, creating the controls
  // and connecting the event bindings. Throws EReadError when it cannot be read.
  void ReadResource(const std::string& name);
  // Connects a control of the resource to the form's field of that name.
  virtual bool BindField(const std::string& name, TControl* control) = 0;
  // The form's event handler of that name, or an empty function.
  virtual TNotifyEvent FindMethod(const std::string& name) = 0;

  bool ReadProperty(const std::string& name, const ResourceValue& value) override;
  QWidget* CreateWidget(QWidget* parent) override;

 private:
  friend class TCanvas;
  friend class FormReader;
  friend class FormWidget;
  void CreateHandle();
  void WindowClosedByUser();
  std::vector<std::unique_ptr<TControl>> controls_;
  std::unique_ptr<TCanvas> canvas_;
  std::unique_ptr<QImage> canvas_image_;
  bool visible_ = false;
  bool resource_visible_ = false;
  bool closed_ = false;
};

class TApplication : public TComponent {
 public:
  TApplication();
  ~TApplication() override;

  AnsiString Title;  // the executable's name unless set
  TForm* MainForm = nullptr;
  bool Terminated = false;
  // Input for a run without a user: called once inside the message loop; the loop ends when
  // the main form closes.
  std::function<void()> Script;

  void Initialize();
  // Allocates the form, stores it in ref before its constructor runs, constructs it; the
  // first form becomes the main form. When the constructor throws, ref is reset to null and
  // the exception passes on.
  template <class T>
  void CreateForm(T*& ref) {
    void* memory = ::operator new(sizeof(T));
    ref = static_cast<T*>(memory);
    T* form = nullptr;
    try {
      form = new (memory) T(this);
    } catch (...) {
      ref = nullptr;
      ::operator delete(memory);
      throw;
    }
    FormCreated(form);
  }
  void Run();
  void Terminate();
  int MessageBox(const AnsiString& text, const AnsiString& caption, unsigned flags);
  void ShowException(const Exception& e);
  // Runs one event handler as the message loop does: a platform Exception is shown and the
  // loop goes on.
  void HandleEvent(const std::function<void()>& handler);
  // Whether an event handler is running; the window's close box then waits for its end.
  bool Busy() const { return running_ > 0; }
  void CloseWhenIdle(TForm* form) { close_pending_ = form; }
  // Lets the window repaint while a command runs, without handling user input; called often,
  // acts at most every 50 ms.
  void ProcessPaintMessages();

 private:
  void FormCreated(TForm* form);
  std::vector<std::unique_ptr<TForm>> forms_;
  std::unique_ptr<QTranslator> translator_;
  std::int64_t last_pump_ms_ = 0;
  int running_ = 0;
  TForm* close_pending_ = nullptr;
};

extern TApplication* Application;

namespace vcl {
// The application object for one program run (the platform makes it before the program
// entry and destroys it, with its forms, after the program's own exit steps).
void CreateApplication();
void DestroyApplication();
}  // namespace vcl
