// The C run-time library's file operations over drives. Paths are Windows paths in CP932.
// Results as the C library gives them: 0 or -1 with errno set, a null stream.
#pragma once

#include "platform/ansi_string.h"

namespace rtl {

struct File;  // an open stream

int chdir(const AnsiString& path);
int mkdir(const AnsiString& path);
// Modes "w", "wt", "wb" (text unless "b": each "\n" written as CR LF). Created when absent,
// emptied when present.
File* fopen(const AnsiString& path, const char* mode);
// printf-style; the argument of %s is written unchanged. Negative on a write error.
int fprintf(File* stream, const char* format, ...) __attribute__((format(printf, 2, 3)));
// 0, or EOF when the stream could not be written completely; accepts a null stream.
int fclose(File* stream);

}  // namespace rtl
