// The controls and the form: own state first, the Qt widget follows when it exists.
#include <QApplication>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QIcon>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QStyle>
#include <algorithm>
#include <cctype>
#include <cstdlib>

#include "platform/drives.h"
#include "platform/vcl/qt_bridge.h"
#include "platform/vcl/vcl.h"

namespace vcl {

QString ToQString(const AnsiString& text) { return QString::fromStdString(ToUtf8(text)); }

std::string ToUtf8(const AnsiString& text) {
  if (auto utf8 = Cp932ToUtf8(text.Bytes())) return *utf8;
  return text.ToDisplayUtf8();
}

QFont ToQFont(const TFont& font) {
  // The Japanese system fonts of the time map to the metric-compatible IPA fonts.
  std::string name = ToUtf8(font.Name);
  QString family;
  if (name == "ＭＳ Ｐゴシック")
    family = QStringLiteral("IPAPGothic");
  else if (name == "ＭＳ ゴシック")
    family = QStringLiteral("IPAGothic");
  else
    family = QString::fromStdString(name);
  QFont result(family);
  result.setPixelSize(std::max(1, std::abs(font.Height)));
  return result;
}

QColor ToQColor(TColor color) {
  if (color == clBtnFace) return QApplication::palette().color(QPalette::Button);
  return QColor(static_cast<int>(color & 0xFF), static_cast<int>((color >> 8) & 0xFF),
                static_cast<int>((color >> 16) & 0xFF));
}

}  // namespace vcl

namespace {

Qt::CursorShape ToQtCursor(TCursor cursor) {
  return cursor == crHourGlass ? Qt::WaitCursor : Qt::ArrowCursor;
}

bool ReadBool(const ResourceValue& value, bool* out) {
  if (value.kind != ResourceValue::Identifier) return false;
  if (value.text == "True") {
    *out = true;
    return true;
  }
  if (value.text == "False") {
    *out = false;
    return true;
  }
  return false;
}

bool ReadInt(const ResourceValue& value, int* out) {
  if (value.kind != ResourceValue::Number) return false;
  *out = static_cast<int>(value.number);
  return true;
}

bool ReadText(const ResourceValue& value, AnsiString* out) {
  if (value.kind != ResourceValue::String) return false;
  *out = AnsiString::FromUtf8(value.text);
  return true;
}

bool ReadColor(const ResourceValue& value, TColor* out) {
  if (value.kind == ResourceValue::Number) {
    *out = static_cast<TColor>(value.number);
    return true;
  }
  if (value.kind != ResourceValue::Identifier) return false;
  if (value.text == "clBlack")
    *out = clBlack;
  else if (value.text == "clWhite")
    *out = clWhite;
  else if (value.text == "clBtnFace")
    *out = clBtnFace;
  else
    return false;
  return true;
}

// The memo takes the Escape key itself, so it never reaches the form's Cancel button.
class MemoWidget : public QPlainTextEdit {
 public:
  using QPlainTextEdit::QPlainTextEdit;

 protected:
  void keyPressEvent(QKeyEvent* event) override {
    if (event->key() == Qt::Key_Escape) {
      event->accept();
      return;
    }
    QPlainTextEdit::keyPressEvent(event);
  }
};

}  // namespace

// The form's window: paints what was drawn on the canvas, hands Escape to the Cancel
// button and reports the close box.
class FormWidget : public QWidget {
 public:
  explicit FormWidget(TForm* form) : form_(form) {}

 protected:
  void paintEvent(QPaintEvent*) override {
    if (QImage* image = form_->CanvasImage()) {
      QPainter painter(this);
      painter.drawImage(0, 0, *image);
    }
  }
  void keyPressEvent(QKeyEvent* event) override {
    TButton* cancel = form_->CancelButton();
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier && cancel) {
      event->accept();
      Application->HandleEvent([cancel] { cancel->Click(); });
      return;
    }
    QWidget::keyPressEvent(event);
  }
  void closeEvent(QCloseEvent* event) override {
    if (Application->Busy()) {
      // A command is running: like every other input, the close box waits for its end.
      event->ignore();
      Application->CloseWhenIdle(form_);
      return;
    }
    event->accept();
    if (!form_->Closed()) form_->WindowClosedByUser();
  }

 private:
  TForm* form_;
};

// ---- TControl

TControl::~TControl() = default;

void TControl::SetCursor(TCursor cursor) {
  cursor_ = cursor;
  if (Monitor* monitor = vcl::GetMonitor()) monitor->CursorSet(*this, cursor);
  if (widget_) widget_->setCursor(ToQtCursor(cursor));
}

const TFont& TControl::EffectiveFont() const {
  if (ParentFont && form_ && form_ != this) return form_->Font;
  return Font;
}

void TControl::ApplyCommon() {
  widget_->setGeometry(Left, Top, Width, Height);
  widget_->setFont(vcl::ToQFont(EffectiveFont()));
  widget_->setCursor(ToQtCursor(cursor_));
}

bool TControl::ReadProperty(const std::string& name, const ResourceValue& value) {
  if (name == "Left") return ReadInt(value, &Left);
  if (name == "Top") return ReadInt(value, &Top);
  if (name == "Width") return ReadInt(value, &Width);
  if (name == "Height") return ReadInt(value, &Height);
  if (name == "TabOrder") return ReadInt(value, &TabOrder);
  if (name == "ParentFont") return ReadBool(value, &ParentFont);
  if (name == "Font.Charset") {
    if (value.kind == ResourceValue::Identifier && value.text == "SHIFTJIS_CHARSET") {
      Font.Charset = SHIFTJIS_CHARSET;
      return true;
    }
    if (value.kind == ResourceValue::Identifier && value.text == "DEFAULT_CHARSET") {
      Font.Charset = DEFAULT_CHARSET;
      return true;
    }
    return ReadInt(value, &Font.Charset);
  }
  if (name == "Font.Color") return ReadColor(value, &Font.Color);
  if (name == "Font.Height") return ReadInt(value, &Font.Height);
  if (name == "Font.Name") return ReadText(value, &Font.Name);
  if (name == "Font.Style") return value.kind == ResourceValue::Set && value.items.empty();
  return false;
}

// ---- TLabel

bool TLabel::ReadProperty(const std::string& name, const ResourceValue& value) {
  if (name == "Caption") return ReadText(value, &Caption);
  return TControl::ReadProperty(name, value);
}

QWidget* TLabel::CreateWidget(QWidget* parent) {
  // Stored bounds, no wrapping: the text is cut at the label's edge.
  auto* label = new QLabel(vcl::ToQString(Caption), parent);
  label->setTextFormat(Qt::PlainText);
  label->setWordWrap(false);
  label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  label->setFocusPolicy(Qt::NoFocus);
  return label;
}

// ---- TButton

void TButton::Click() {
  if (OnClick) OnClick(this);
}

bool TButton::ReadProperty(const std::string& name, const ResourceValue& value) {
  if (name == "Caption") return ReadText(value, &Caption);
  if (name == "Cancel") return ReadBool(value, &Cancel);
  if (name == "Default") return ReadBool(value, &Default);
  return TControl::ReadProperty(name, value);
}

bool TButton::BindEvent(const std::string& name, TNotifyEvent handler) {
  if (name != "OnClick") return false;
  OnClick = std::move(handler);
  return true;
}

QWidget* TButton::CreateWidget(QWidget* parent) {
  auto* button = new QPushButton(vcl::ToQString(Caption), parent);
  button->setAutoDefault(false);
  button->setDefault(Default);
  QObject::connect(button, &QPushButton::clicked,
                   [this] { Application->HandleEvent([this] { Click(); }); });
  return button;
}

// ---- TStrings and TMemo

void TStrings::Add(const AnsiString& line) {
  lines_.push_back(line);
  if (Monitor* monitor = vcl::GetMonitor()) monitor->MemoAdd(line);
  if (memo_) memo_->LineAdded(line);
}

void TStrings::Clear() {
  lines_.clear();
  if (Monitor* monitor = vcl::GetMonitor()) monitor->MemoClear();
  if (memo_) memo_->Cleared();
}

TMemo::TMemo(TComponent* owner) : TControl(owner), lines_(std::make_unique<TStrings>()) {
  Lines = lines_.get();
  lines_->memo_ = this;
}

bool TMemo::ReadProperty(const std::string& name, const ResourceValue& value) {
  if (name == "Lines.Strings") {
    if (value.kind != ResourceValue::List) return false;
    lines_->lines_.clear();
    for (const std::string& item : value.items)
      lines_->lines_.push_back(AnsiString::FromUtf8(item));
    return true;
  }
  if (name == "ScrollBars") {
    if (value.kind != ResourceValue::Identifier) return false;
    if (value.text == "ssNone")
      ScrollBars = ssNone;
    else if (value.text == "ssHorizontal")
      ScrollBars = ssHorizontal;
    else if (value.text == "ssVertical")
      ScrollBars = ssVertical;
    else if (value.text == "ssBoth")
      ScrollBars = ssBoth;
    else
      return false;
    return true;
  }
  if (name == "WordWrap") return ReadBool(value, &WordWrap);
  if (name == "ReadOnly") return ReadBool(value, &ReadOnly);
  return TControl::ReadProperty(name, value);
}

QWidget* TMemo::CreateWidget(QWidget* parent) {
  auto* edit = new MemoWidget(parent);
  edit->setLineWrapMode(WordWrap ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
  edit->setReadOnly(ReadOnly);
  bool horizontal = ScrollBars == ssHorizontal || ScrollBars == ssBoth;
  bool vertical = ScrollBars == ssVertical || ScrollBars == ssBoth;
  edit->setHorizontalScrollBarPolicy(horizontal ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
  edit->setVerticalScrollBarPolicy(vertical ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
  QStringList text;
  for (const AnsiString& line : lines_->lines_) text << vcl::ToQString(line);
  updating_ = true;
  edit->setPlainText(text.join('\n'));
  updating_ = false;
  QObject::connect(edit, &QPlainTextEdit::textChanged, [this] {
    if (!updating_) UserEdited();
  });
  return edit;
}

void TMemo::LineAdded(const AnsiString& line) {
  if (!widget_) return;
  updating_ = true;
  static_cast<QPlainTextEdit*>(widget_)->appendPlainText(vcl::ToQString(line));
  updating_ = false;
}

void TMemo::Cleared() {
  if (!widget_) return;
  updating_ = true;
  static_cast<QPlainTextEdit*>(widget_)->clear();
  updating_ = false;
}

void TMemo::UserEdited() {
  // What the user types becomes the memo's lines; text CP932 cannot hold is kept visible.
  QString text = static_cast<QPlainTextEdit*>(widget_)->toPlainText();
  lines_->lines_.clear();
  if (text.isEmpty()) return;
  for (const QString& line : text.split('\n')) {
    std::string utf8 = line.toStdString();
    auto bytes = Utf8ToCp932(utf8);
    lines_->lines_.push_back(bytes ? AnsiString(*bytes) : AnsiString(std::string()));
  }
}

// ---- TProgressBar

void TProgressBar::SetMax(std::uint16_t value) {
  max_ = value;
  if (Monitor* monitor = vcl::GetMonitor()) monitor->ProgressMax(value);
  Apply();
}

void TProgressBar::SetPosition(std::uint16_t value) {
  position_ = value;
  if (Monitor* monitor = vcl::GetMonitor()) monitor->ProgressPosition(value);
  Apply();
}

bool TProgressBar::ReadProperty(const std::string& name, const ResourceValue& value) {
  int number = 0;
  if (name == "Min" || name == "Max" || name == "Position") {
    if (!ReadInt(value, &number) || number < 0 || number > 65535) return false;
    auto v = static_cast<std::uint16_t>(number);
    if (name == "Min")
      min_ = v;
    else if (name == "Max")
      max_ = v;
    else
      position_ = v;
    return true;
  }
  return TControl::ReadProperty(name, value);
}

QWidget* TProgressBar::CreateWidget(QWidget* parent) {
  auto* bar = new QProgressBar(parent);
  bar->setTextVisible(false);
  widget_ = bar;
  Apply();
  return bar;
}

void TProgressBar::Apply() {
  if (!widget_) return;
  // The bar clamps the position into its range; an empty range shows an empty bar (Qt would
  // show a busy indicator).
  auto* bar = static_cast<QProgressBar*>(widget_);
  int low = min_;
  int high = std::max<int>(max_, low + 1);
  bar->setRange(low, high);
  bar->setValue(std::clamp<int>(position_, low, std::max<int>(max_, low)));
}

// ---- TRadioGroup

void TRadioGroup::UserSelect(int index) {
  if (index < 0 || index >= static_cast<int>(Items.size()) || index == ItemIndex) return;
  ItemIndex = index;
  if (index < static_cast<int>(buttons_.size()))
    static_cast<QRadioButton*>(buttons_[static_cast<size_t>(index)])->setChecked(true);
  if (Monitor* monitor = vcl::GetMonitor()) monitor->RadioClicked(index);
  if (OnClick) OnClick(this);
}

bool TRadioGroup::ReadProperty(const std::string& name, const ResourceValue& value) {
  if (name == "Caption") return ReadText(value, &Caption);
  if (name == "ItemIndex") return ReadInt(value, &ItemIndex);  // selects, fires nothing
  if (name == "Items.Strings") {
    if (value.kind != ResourceValue::List) return false;
    Items.clear();
    for (const std::string& item : value.items) Items.push_back(AnsiString::FromUtf8(item));
    return true;
  }
  return TControl::ReadProperty(name, value);
}

bool TRadioGroup::BindEvent(const std::string& name, TNotifyEvent handler) {
  if (name != "OnClick") return false;
  OnClick = std::move(handler);
  return true;
}

QWidget* TRadioGroup::CreateWidget(QWidget* parent) {
  auto* box = new QGroupBox(vcl::ToQString(Caption), parent);
  auto* group = new QButtonGroup(box);
  group->setExclusive(true);
  buttons_.clear();
  // One column, the items spread evenly over the space below the caption.
  int count = static_cast<int>(Items.size());
  int top = 14;
  int step = count > 0 ? (Height - top - 4) / count : 0;
  for (int i = 0; i < count; ++i) {
    auto* button = new QRadioButton(vcl::ToQString(Items[static_cast<size_t>(i)]), box);
    button->setGeometry(8, top + i * step, Width - 16, step);
    button->setChecked(i == ItemIndex);
    button->setFont(vcl::ToQFont(EffectiveFont()));
    button->setCursor(Qt::ArrowCursor);
    group->addButton(button, i);
    QObject::connect(button, &QRadioButton::clicked,
                     [this, i] { Application->HandleEvent([this, i] { UserSelect(i); }); });
    buttons_.push_back(button);
  }
  return box;
}

// ---- TDriveComboBox

TDriveComboBox::TDriveComboBox(TComponent* owner) : TControl(owner) {
  // Starts on the drive of the process's current directory, none when it has no drive.
  drive_ = static_cast<char>(std::tolower(static_cast<unsigned char>(drives::CurrentDrive())));
}

bool TDriveComboBox::ReadProperty(const std::string& name, const ResourceValue& value) {
  return TControl::ReadProperty(name, value);
}

bool TDriveComboBox::BindEvent(const std::string& name, TNotifyEvent handler) {
  if (name != "OnChange") return false;
  OnChange = std::move(handler);
  return true;
}

void TDriveComboBox::UserSelect(char letter) {
  letter = static_cast<char>(std::tolower(static_cast<unsigned char>(letter)));
  if (letter == drive_ || !drives::Find(letter)) return;
  drive_ = letter;
  if (widget_) {
    auto it = std::find(letters_.begin(), letters_.end(), letter);
    if (it != letters_.end())
      static_cast<QComboBox*>(widget_)->setCurrentIndex(static_cast<int>(it - letters_.begin()));
  }
  Fire();
}

void TDriveComboBox::Fire() {
  if (Monitor* monitor = vcl::GetMonitor()) monitor->DriveChanged(drive_);
  if (OnChange) OnChange(this);
}

QWidget* TDriveComboBox::CreateWidget(QWidget* parent) {
  auto* combo = new QComboBox(parent);
  QStyle* style = QApplication::style();
  letters_.clear();
  int current = -1;
  for (const DriveInfo& info : drives::List()) {
    QStyle::StandardPixmap picture = QStyle::SP_DriveHDIcon;
    bool named = true;
    switch (info.kind) {
      case DriveKind::Removable:
        picture = QStyle::SP_DriveFDIcon;
        named = false;
        break;
      case DriveKind::CdRom:
        picture = QStyle::SP_DriveCDIcon;
        break;
      case DriveKind::Network:
        picture = QStyle::SP_DriveNetIcon;
        break;
      case DriveKind::Fixed:
      case DriveKind::Ram:
        break;
    }
    QString text = QString(QChar(info.letter)) + ':';
    if (named && !info.volumeName.IsEmpty()) text += ' ' + vcl::ToQString(info.volumeName);
    if (info.letter == drive_) current = static_cast<int>(letters_.size());
    combo->addItem(style->standardIcon(picture), text);
    letters_.push_back(info.letter);
  }
  combo->setCurrentIndex(current);
  QObject::connect(combo, &QComboBox::activated, [this](int index) {
    if (index < 0 || index >= static_cast<int>(letters_.size())) return;
    char letter = letters_[static_cast<size_t>(index)];
    Application->HandleEvent([this, letter] { UserSelect(letter); });
  });
  return combo;
}

void TDriveComboBox::WindowCreated() { Fire(); }

// ---- TCanvas

void TCanvas::FillRect(const TRect& rect) {
  QPainter painter(form_->CanvasImage());
  painter.fillRect(QRect(rect.Left, rect.Top, rect.Right - rect.Left, rect.Bottom - rect.Top),
                   vcl::ToQColor(Brush.Color));
  if (form_->Widget()) form_->Widget()->update();
}

void TCanvas::TextOut(int x, int y, const AnsiString& text) {
  if (Monitor* monitor = vcl::GetMonitor()) monitor->TextOut(x, y, text);
  QPainter painter(form_->CanvasImage());
  QFont font = vcl::ToQFont(form_->Font);
  painter.setFont(font);
  QFontMetrics metrics(font);
  QString qtext = vcl::ToQString(text);
  QRect bounds(x, y, metrics.horizontalAdvance(qtext), metrics.height());
  if (Brush.Style == bsSolid) painter.fillRect(bounds, vcl::ToQColor(Brush.Color));
  painter.setPen(vcl::ToQColor(form_->Font.Color));
  painter.drawText(bounds, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, qtext);
  if (form_->Widget()) form_->Widget()->update();
}

// ---- TForm

namespace {
// Outer size minus the frame and caption of a window of the time.
constexpr int kFrameWidth = 8;
constexpr int kFrameHeight = 27;
}  // namespace

TForm::TForm(TComponent* owner) : TControl(owner), canvas_(std::make_unique<TCanvas>(this)) {
  form_ = this;
  Canvas = canvas_.get();
  ParentFont = false;
  canvas_image_ = std::make_unique<QImage>(1, 1, QImage::Format_ARGB32_Premultiplied);
  canvas_image_->fill(Qt::transparent);
}

TForm::~TForm() {
  // The window owns the controls' widgets.
  for (auto& control : controls_) control->widget_ = nullptr;
  delete widget_;
  widget_ = nullptr;
}

bool TForm::ReadProperty(const std::string& name, const ResourceValue& value) {
  if (name == "Caption") return ReadText(value, &Caption);
  if (name == "Visible") return ReadBool(value, &resource_visible_);  // only recorded
  if (name == "PixelsPerInch") return ReadInt(value, &PixelsPerInch);
  if (name == "TextHeight") return ReadInt(value, &TextHeight);
  bool known = TControl::ReadProperty(name, value);
  if (known && (name == "Width" || name == "Height")) {
    QImage image(std::max(1, Width - kFrameWidth), std::max(1, Height - kFrameHeight),
                 QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    *canvas_image_ = image;
  }
  return known;
}

QWidget* TForm::CreateWidget(QWidget*) { return new FormWidget(this); }

TControl* TForm::FindControl(const std::string& name) const {
  for (const auto& control : controls_)
    if (control->Name == name) return control.get();
  return nullptr;
}

TButton* TForm::CancelButton() const {
  for (const auto& control : controls_)
    if (auto* button = dynamic_cast<TButton*>(control.get()); button && button->Cancel)
      return button;
  return nullptr;
}

void TForm::CreateHandle() {
  QWidget* window = CreateWidget(nullptr);
  widget_ = window;
  window->setWindowTitle(vcl::ToQString(Caption));
  QIcon icon(QStringLiteral(":/MAINICON"));
  if (!icon.isNull()) {
    window->setWindowIcon(icon);
    if (QApplication::windowIcon().isNull()) QApplication::setWindowIcon(icon);
  }
  window->setFont(vcl::ToQFont(Font));
  window->setAutoFillBackground(true);
  window->move(Left, Top);
  window->resize(std::max(1, Width - kFrameWidth), std::max(1, Height - kFrameHeight));
  window->setCursor(ToQtCursor(cursor_));
  for (auto& control : controls_) {
    control->widget_ = control->CreateWidget(window);
    control->ApplyCommon();
    if (!dynamic_cast<TLabel*>(control.get())) {
      control->widget_->setFocusPolicy(control->TabOrder >= 0 ? Qt::StrongFocus : Qt::NoFocus);
    } else {
      control->widget_->unsetCursor();  // a label has no window: the form's cursor shows
    }
    control->widget_->show();
  }
  std::vector<TControl*> tabbed;
  for (auto& control : controls_)
    if (control->TabOrder >= 0 && !dynamic_cast<TLabel*>(control.get()))
      tabbed.push_back(control.get());
  std::stable_sort(tabbed.begin(), tabbed.end(),
                   [](TControl* a, TControl* b) { return a->TabOrder < b->TabOrder; });
  for (size_t i = 1; i < tabbed.size(); ++i)
    QWidget::setTabOrder(tabbed[i - 1]->widget_, tabbed[i]->widget_);
}

void TForm::SetVisible(bool visible) {
  if (Monitor* monitor = vcl::GetMonitor()) monitor->VisibleSet(visible);
  ApplyVisible(visible);
}

void TForm::ApplyVisible(bool visible) {
  visible_ = visible;
  if (!visible) {
    if (widget_) widget_->hide();
    return;
  }
  bool first = widget_ == nullptr;
  if (first) CreateHandle();
  widget_->show();
  if (first) {
    std::vector<TControl*> tabbed;
    for (auto& control : controls_)
      if (control->TabOrder >= 0 && !dynamic_cast<TLabel*>(control.get()))
        tabbed.push_back(control.get());
    auto first_tab = std::min_element(tabbed.begin(), tabbed.end(), [](TControl* a, TControl* b) {
      return a->TabOrder < b->TabOrder;
    });
    if (first_tab != tabbed.end()) (*first_tab)->widget_->setFocus();
    for (auto& control : controls_) control->WindowCreated();
  }
}

void TForm::Close() {
  if (closed_) return;
  closed_ = true;
  if (Monitor* monitor = vcl::GetMonitor()) monitor->FormClosed();
  visible_ = false;
  if (widget_) widget_->hide();
  if (Application && Application->MainForm == this) Application->Terminate();
}

void TForm::WindowClosedByUser() {
  Application->HandleEvent([this] { Close(); });
}

bool TForm::SaveScreenshot(const std::string& path) {
  if (!widget_) CreateHandle();
  return widget_->grab().save(QString::fromStdString(path), "PNG");
}
