// The program's own texts, kept in code page 932.
#pragma once

#include "platform/ansi_string.h"

namespace texts {

const AnsiString& CountPrefix();                    // 総ファイル数＝
const AnsiString& Question();                       // このドライブでいいですか
const AnsiString& QuestionCaption();                // MessageBox
const AnsiString& Finished();                       // 終了
const AnsiString& NoDriveSelected();                // ドライブが選択されていません
AnsiString DriveUnusable(const AnsiString& drive);  // ドライブ a: を使用できません
const AnsiString& ListFileIncomplete();             // korvel.txt を書き込めませんでした
const AnsiString& ProgramCaption();                 // Korvel

}  // namespace texts
