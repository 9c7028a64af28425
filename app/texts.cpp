#include "app/texts.h"

namespace texts {

#define KORVEL_TEXT(name, utf8)                                \
  const AnsiString& name() {                                   \
    static const AnsiString text = AnsiString::FromUtf8(utf8); \
    return text;                                               \
  }

KORVEL_TEXT(CountPrefix, "総ファイル数＝")
KORVEL_TEXT(Question, "このドライブでいいですか")
KORVEL_TEXT(QuestionCaption, "MessageBox")
KORVEL_TEXT(Finished, "終了")
KORVEL_TEXT(NoDriveSelected, "ドライブが選択されていません")
KORVEL_TEXT(ListFileIncomplete, "korvel.txt を書き込めませんでした")
KORVEL_TEXT(ProgramCaption, "Korvel")

#undef KORVEL_TEXT

AnsiString DriveUnusable(const AnsiString& drive) {
  return AnsiString::FromUtf8("ドライブ ") + drive + AnsiString::FromUtf8(" を使用できません");
}

}  // namespace texts
