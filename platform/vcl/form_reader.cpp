// Reads a form resource: the text form of the platform's form files, in UTF-8.
//
//   object Form1: TForm1
//     Caption = 'Korvel'
//     object Button1: TButton
//       OnClick = Button1Click
//     end
//   end
//
// Values: numbers, 'strings' ('' for a quote), identifiers, [sets] and ('lists' 'of strings').
#include <QFile>
#include <cctype>
#include <map>

#include "platform/vcl/vcl.h"

namespace {

std::map<std::string, std::optional<std::string>>& Overrides() {
  static std::map<std::string, std::optional<std::string>> overrides;
  return overrides;
}

}  // namespace

namespace vcl {
void SetFormResourceOverride(const std::string& name, std::optional<std::string> text) {
  if (text)
    Overrides()[name] = std::move(text);
  else
    Overrides().erase(name);
}
}  // namespace vcl

class FormReader {
 public:
  FormReader(TForm* form, std::string name, std::string text)
      : form_(form), name_(std::move(name)), text_(std::move(text)) {}

  void Read() {
    Skip();
    std::string name, cls;
    ReadHeader(&name, &cls);
    form_->Name = name;
    ReadBody(form_, true);
    Skip();
    if (pos_ < text_.size()) Fail("フォームの end の後にまだ続きがあります");
  }

 private:
  [[noreturn]] void Fail(const std::string& reason) {
    throw EReadError(AnsiString::FromUtf8("フォームリソース " + name_ + " を読めません（" +
                                          std::to_string(line_) + " 行目: " + reason + "）"));
  }

  void Skip() {
    while (pos_ < text_.size()) {
      char c = text_[pos_];
      if (c == '\n') {
        ++line_;
        ++pos_;
      } else if (c == ' ' || c == '\t' || c == '\r') {
        ++pos_;
      } else if (c == '/' && pos_ + 1 < text_.size() && text_[pos_ + 1] == '/') {
        while (pos_ < text_.size() && text_[pos_] != '\n') ++pos_;
      } else {
        break;
      }
    }
  }

  static bool IsWordChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '.';
  }

  std::string Word() {
    Skip();
    size_t start = pos_;
    while (pos_ < text_.size() && IsWordChar(text_[pos_])) ++pos_;
    if (start == pos_) Fail("名前がありません");
    return text_.substr(start, pos_ - start);
  }

  void Expect(char c) {
    Skip();
    if (pos_ >= text_.size() || text_[pos_] != c) Fail(std::string("'") + c + "' がありません");
    ++pos_;
  }

  std::string QuotedString() {
    Expect('\'');
    std::string out;
    while (true) {
      if (pos_ >= text_.size() || text_[pos_] == '\n') Fail("文字列が閉じていません");
      char c = text_[pos_++];
      if (c == '\'') {
        if (pos_ < text_.size() && text_[pos_] == '\'') {
          out += '\'';
          ++pos_;
          continue;
        }
        return out;
      }
      out += c;
    }
  }

  ResourceValue Value() {
    Skip();
    ResourceValue value;
    value.line = line_;
    if (pos_ >= text_.size()) Fail("値がありません");
    char c = text_[pos_];
    if (c == '\'') {
      value.kind = ResourceValue::String;
      value.text = QuotedString();
    } else if (c == '-' || std::isdigit(static_cast<unsigned char>(c))) {
      size_t start = pos_++;
      while (pos_ < text_.size() && std::isdigit(static_cast<unsigned char>(text_[pos_]))) ++pos_;
      std::string digits = text_.substr(start, pos_ - start);
      if (digits == "-" || digits.size() > 12) Fail("数値 " + digits + " が正しくありません");
      value.kind = ResourceValue::Number;
      value.number = std::stoll(digits);
    } else if (c == '[') {
      ++pos_;
      value.kind = ResourceValue::Set;
      Skip();
      if (pos_ < text_.size() && text_[pos_] == ']') {
        ++pos_;
        return value;
      }
      while (true) {
        value.items.push_back(Word());
        Skip();
        if (pos_ < text_.size() && text_[pos_] == ',') {
          ++pos_;
          continue;
        }
        Expect(']');
        break;
      }
    } else if (c == '(') {
      ++pos_;
      value.kind = ResourceValue::List;
      while (true) {
        Skip();
        if (pos_ < text_.size() && text_[pos_] == ')') {
          ++pos_;
          break;
        }
        value.items.push_back(QuotedString());
      }
    } else if (IsWordChar(c)) {
      value.kind = ResourceValue::Identifier;
      value.text = Word();
    } else {
      if (static_cast<unsigned char>(c) >= 0x80) Fail("値の前に余計な文字があります");
      Fail(std::string("'") + c + "' は使えません");
    }
    return value;
  }

  void ReadHeader(std::string* name, std::string* cls) {
    if (Word() != "object") Fail("object がありません");
    *name = Word();
    Expect(':');
    *cls = Word();
  }

  std::unique_ptr<TControl> MakeControl(const std::string& cls) {
    if (cls == "TLabel") return std::make_unique<TLabel>(form_);
    if (cls == "TButton") return std::make_unique<TButton>(form_);
    if (cls == "TMemo") return std::make_unique<TMemo>(form_);
    if (cls == "TDriveComboBox") return std::make_unique<TDriveComboBox>(form_);
    if (cls == "TProgressBar") return std::make_unique<TProgressBar>(form_);
    if (cls == "TRadioGroup") return std::make_unique<TRadioGroup>(form_);
    Fail("クラス " + cls + " はありません");
  }

  // Properties and child objects up to the matching 'end'.
  void ReadBody(TControl* control, bool is_form) {
    while (true) {
      Skip();
      if (pos_ >= text_.size()) Fail("end がありません");
      std::string word = Word();
      if (word == "end") return;
      if (word == "object") {
        if (!is_form) Fail("コントロールの中にコントロールは置けません");
        std::string name = Word();
        Expect(':');
        std::string cls = Word();
        std::unique_ptr<TControl> child = MakeControl(cls);
        child->Name = name;
        child->form_ = form_;
        TControl* raw = child.get();
        form_->controls_.push_back(std::move(child));
        if (!form_->BindField(name, raw))
          Fail("フォームにフィールド " + name + ": " + cls + " がありません");
        ReadBody(raw, false);
        continue;
      }
      Expect('=');
      ResourceValue value = Value();
      if (word.size() > 2 && word.compare(0, 2, "On") == 0) {
        if (value.kind != ResourceValue::Identifier) Fail(word + " の値が正しくありません");
        TNotifyEvent handler = form_->FindMethod(value.text);
        if (!handler) Fail("フォームにメソッド " + value.text + " がありません");
        if (!control->BindEvent(word, std::move(handler)))
          Fail("イベント " + word + " はありません");
        continue;
      }
      if (!control->ReadProperty(word, value))
        Fail("プロパティ " + word + " またはその値が正しくありません");
    }
  }

  TForm* form_;
  std::string name_;
  std::string text_;
  size_t pos_ = 0;
  int line_ = 1;
};

void TForm::ReadResource(const std::string& name) {
  std::string text;
  auto it = Overrides().find(name);
  if (it != Overrides().end() && it->second) {
    text = *it->second;
  } else {
    QFile file(QStringLiteral(":/forms/") + QString::fromStdString(name));
    if (!file.open(QIODevice::ReadOnly))
      throw EReadError(AnsiString::FromUtf8("フォームリソース " + name + " が見つかりません"));
    text = file.readAll().toStdString();
  }
  FormReader(this, name, std::move(text)).Read();
}
