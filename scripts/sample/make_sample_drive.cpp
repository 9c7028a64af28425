// Makes a sample system drive in the manner of a Japanese Windows 98 PC, in a host folder:
// korvel_sample_drive FOLDER. The folder must be absent or empty. The same tree, sizes,
// dates and attributes come out on every run (dates in the local time zone).
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <iostream>
#include <string>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::string g_root;
int g_entries = 0;
std::uint32_t g_seed = 19980625;

std::uint32_t Next() {
  g_seed = g_seed * 1103515245u + 12345u;
  return (g_seed >> 8) & 0xFFFFFF;
}

[[noreturn]] void Die(const std::string& what, const std::string& path) {
  std::cerr << "korvel_sample_drive: " << what << " " << path << ": " << std::strerror(errno)
            << "\n";
  std::exit(1);
}

// A date from 1997 to 2000, local time, even seconds.
std::time_t SomeDate() {
  std::tm tm{};
  tm.tm_year = 97 + static_cast<int>(Next() % 4);
  tm.tm_mon = static_cast<int>(Next() % 12);
  tm.tm_mday = 1 + static_cast<int>(Next() % 28);
  tm.tm_hour = static_cast<int>(Next() % 24);
  tm.tm_min = static_cast<int>(Next() % 60);
  tm.tm_sec = 2 * static_cast<int>(Next() % 30);
  tm.tm_isdst = -1;
  return std::mktime(&tm);
}

void Stamp(const std::string& path, std::time_t when) {
  timespec times[2] = {{when, 0}, {when, 0}};
  if (::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW) != 0) Die("utimensat", path);
}

void DosAttrib(const std::string& path, const char* value) {
  if (::setxattr(path.c_str(), "user.DOSATTRIB", value, std::strlen(value), 0) != 0)
    Die("setxattr user.DOSATTRIB on", path);
}

struct Folder {
  std::string rel;  // "" for the root, "WINDOWS/SYSTEM" otherwise
};

std::string Host(const std::string& rel) { return rel.empty() ? g_root : g_root + "/" + rel; }
std::string Join(const std::string& folder, const std::string& name) {
  return folder.empty() ? name : folder + "/" + name;
}

std::vector<std::pair<std::string, std::time_t>> g_folder_dates;

std::string Dir(const std::string& rel) {
  std::string path = Host(rel);
  if (::mkdir(path.c_str(), 0755) != 0 && errno != EEXIST) Die("mkdir", path);
  ++g_entries;
  g_folder_dates.emplace_back(path, SomeDate());
  return rel;
}

// A file of size bytes: content first, the rest a hole (sparse).
void File(const std::string& rel, std::int64_t size, const std::string& content = "",
          const char* attrib = nullptr) {
  std::string path = Host(rel);
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW, 0644);
  if (fd < 0) Die("open", path);
  if (!content.empty() &&
      ::write(fd, content.data(), content.size()) != static_cast<ssize_t>(content.size()))
    Die("write", path);
  std::int64_t want = std::max<std::int64_t>(size, static_cast<std::int64_t>(content.size()));
  if (::ftruncate(fd, static_cast<off_t>(want)) != 0) Die("ftruncate", path);
  ::close(fd);
  if (attrib) DosAttrib(path, attrib);
  Stamp(path, SomeDate());
  ++g_entries;
}

std::int64_t SomeSize(std::int64_t most) {
  return most <= 0 ? 0 : static_cast<std::int64_t>(Next()) % most;
}

// count files named prefix + number + extension.
void Files(const std::string& folder, const std::string& prefix, const std::string& ext, int count,
           std::int64_t most) {
  for (int i = 0; i < count; ++i) {
    char name[64];
    std::snprintf(name, sizeof name, "%s%03d%s", prefix.c_str(), i, ext.c_str());
    File(Join(folder, name), SomeSize(most));
  }
}

void Named(const std::string& folder, const std::vector<std::string>& names, std::int64_t most) {
  for (const std::string& name : names) File(Join(folder, name), SomeSize(most));
}

void Build() {
  // The root, as a Windows 98 setup leaves it.
  File("AUTOEXEC.BAT", 0,
       "@ECHO OFF\r\nSET BLASTER=A220 I5 D1 T4\r\nPATH "
       "C:\\WINDOWS;C:\\WINDOWS\\COMMAND;C:\\DOS\r\n");
  File("CONFIG.SYS", 0,
       "DEVICE=C:\\WINDOWS\\HIMEM.SYS\r\nDEVICE=C:\\WINDOWS\\EMM386.EXE NOEMS\r\nFILES=40\r\n");
  File("IO.SYS", 222390, "", "0x27");  // hidden, system, read-only, archive
  File("MSDOS.SYS", 1688, "[Paths]\r\nWinDir=C:\\WINDOWS\r\nWinBootDir=C:\\WINDOWS\r\n", "0x27");
  File("COMMAND.COM", 93890);
  File("BOOTLOG.TXT", 0, "", "0x22");
  File("SCANDISK.LOG", 1024);
  File("SETUPLOG.TXT", 48213);
  File("DETLOG.TXT", 30720, "", "0x22");
  File("SUHDLOG.DAT", 8192, "", "0x23");
  File("FRUNLOG.TXT", 0);  // an empty file

  std::string win = Dir("WINDOWS");
  Named(win,
        {"WIN.INI", "SYSTEM.INI", "WIN.COM", "EXPLORER.EXE", "REGEDIT.EXE", "NOTEPAD.EXE",
         "CONTROL.INI", "PROGMAN.INI", "HIMEM.SYS", "EMM386.EXE", "SMARTDRV.EXE", "TASKMAN.EXE",
         "CALC.EXE", "WINFILE.EXE", "SETVER.EXE", "RUNDLL32.EXE", "WRITE.EXE", "TIPS.TXT"},
        400000);
  File(Join(win, "SYSTEM.DAT"), 2097152, "", "0x23");
  File(Join(win, "USER.DAT"), 262144, "", "0x23");
  File(Join(win, "WIN386.SWP"), 16LL * 1024 * 1024);  // the swap file, over 10 MB, sparse
  std::string sys = Dir("WINDOWS/SYSTEM");
  File(Join(sys, "KERNEL32.DLL"), 471040);
  Named(sys, {"USER32.DLL",   "GDI32.DLL", "ADVAPI32.DLL", "SHELL32.DLL", "COMCTL32.DLL",
              "COMDLG32.DLL", "OLE32.DLL", "OLEAUT32.DLL", "WINMM.DLL",   "WSOCK32.DLL",
              "MSVCRT.DLL",   "MFC42.DLL", "VMM32.VXD",    "KRNL386.EXE", "USER.EXE",
              "GDI.EXE",      "SHELL.DLL", "MMSYSTEM.DLL", "COMMDLG.DLL", "TOOLHELP.DLL",
              "MSJAVA.DLL",   "IMM32.DLL", "MSIME98.IME"},
        900000);
  Files(sys, "SYS", ".DLL", 260, 300000);
  Files(sys, "DRV", ".DRV", 40, 60000);
  Dir("WINDOWS/SYSTEM/IOSUBSYS");
  Files("WINDOWS/SYSTEM/IOSUBSYS", "IOS", ".VXD", 24, 80000);
  Dir("WINDOWS/SYSTEM/VMM32");
  Files("WINDOWS/SYSTEM/VMM32", "VXD", ".VXD", 30, 50000);
  Dir("WINDOWS/SYSTEM/COLOR");
  Files("WINDOWS/SYSTEM/COLOR", "PROF", ".ICM", 6, 4000);
  Dir("WINDOWS/FONTS");
  Named("WINDOWS/FONTS", {"MSGOTHIC.TTC", "MSMINCHO.TTC", "ARIAL.TTF", "TIMES.TTF"}, 9000000);
  Files("WINDOWS/FONTS", "FNT", ".FON", 40, 80000);
  Dir("WINDOWS/INF");
  Files("WINDOWS/INF", "INF", ".INF", 220, 40000);
  Dir("WINDOWS/HELP");
  Files("WINDOWS/HELP", "HLP", ".HLP", 120, 500000);
  Dir("WINDOWS/COMMAND");
  Named("WINDOWS/COMMAND",
        {"ATTRIB.EXE", "CHKDSK.EXE", "DEBUG.EXE",    "DELTREE.EXE", "DISKCOPY.COM", "DOSKEY.COM",
         "EDIT.COM",   "FDISK.EXE",  "FORMAT.COM",   "LABEL.EXE",   "MEM.EXE",      "MODE.COM",
         "MORE.COM",   "MOVE.EXE",   "SCANDISK.EXE", "SORT.EXE",    "START.EXE",    "SUBST.EXE",
         "SYS.COM",    "XCOPY.EXE",  "XCOPY32.EXE"},
        70000);
  Dir("WINDOWS/TEMP");
  File("WINDOWS/TEMP/~DF12A4.TMP", 0);
  File("WINDOWS/TEMP/~WRS0001.TMP", 0);
  Dir("WINDOWS/Start Menu");
  Dir("WINDOWS/Start Menu/Programs");
  Named("WINDOWS/Start Menu/Programs", {"MS-DOS プロンプト.pif", "Windows エクスプローラ.lnk"},
        2000);
  Dir("WINDOWS/Start Menu/Programs/アクセサリ");
  Named("WINDOWS/Start Menu/Programs/アクセサリ",
        {"電卓.lnk", "ペイント.lnk", "メモ帳.lnk", "ワードパッド.lnk"}, 1000);
  Dir("WINDOWS/Start Menu/Programs/スタートアップ");
  Dir("WINDOWS/Desktop");
  Named("WINDOWS/Desktop", {"Internet Explorer.lnk", "受信トレイ.lnk"}, 1000);
  Dir("WINDOWS/Favorites");
  Named("WINDOWS/Favorites", {"Microsoft のホームページ.url", "ﾁｬﾝﾈﾙ ｶﾞｲﾄﾞ.url"}, 500);
  Dir("WINDOWS/Temporary Internet Files");
  DosAttrib(Host("WINDOWS/Temporary Internet Files"), "0x04");  // a system folder
  std::string cache = "WINDOWS/Temporary Internet Files/Content.IE5";
  Dir(cache);
  for (const char* bucket : {"0A1B2C3D", "4E5F6A7B", "8C9D0E1F", "QWERTY12"}) {
    std::string folder = Dir(cache + "/" + bucket);
    Files(folder, "page", ".htm", 40, 30000);
    Files(folder, "img", ".gif", 30, 12000);
  }

  // Program Files, with what a PC of 1999 carried.
  std::string pf = Dir("Program Files");
  Dir("Program Files/Accessories");
  Named("Program Files/Accessories", {"MSPAINT.EXE", "WORDPAD.EXE", "HYPERTRM.EXE"}, 400000);
  Dir("Program Files/Internet Explorer");
  Named("Program Files/Internet Explorer", {"IEXPLORE.EXE", "MSHTML.DLL", "URLMON.DLL"}, 2000000);
  Files("Program Files/Internet Explorer", "IE", ".DLL", 20, 300000);
  Dir("Program Files/Outlook Express");
  Named("Program Files/Outlook Express", {"MSIMN.EXE", "MSOE.DLL"}, 900000);
  Dir("Program Files/Windows Media Player");
  Named("Program Files/Windows Media Player", {"MPLAYER2.EXE"}, 200000);
  Dir("Program Files/Common Files");
  Dir("Program Files/Common Files/Microsoft Shared");
  Dir("Program Files/Common Files/Microsoft Shared/MSInfo");
  Named("Program Files/Common Files/Microsoft Shared/MSInfo", {"MSINFO32.EXE"}, 200000);
  Dir("Program Files/一太郎");
  Files("Program Files/一太郎", "JUST", ".DLL", 25, 500000);
  Named("Program Files/一太郎", {"TARO9.EXE", "ATOK12.DIC"}, 8000000);

  // DOS from before Windows.
  Dir("DOS");
  Named("DOS", {"APPEND.EXE", "EDLIN.EXE", "EXE2BIN.EXE", "QBASIC.EXE", "README.TXT"}, 200000);

  // My Documents: Japanese, half-width katakana and "%" names.
  std::string docs = Dir("My Documents");
  Named(docs,
        {"報告書.doc", "予算 1999年度.xls", "ﾒﾓ.txt", "ｱﾄﾞﾚｽ帳.csv", "100%達成.xls", "50% OFF.txt",
         "%TEMP%.bat", "住所録.txt", "議事録 (12月).doc"},
        200000);
  File(Join(docs, "旅行.avi"), 11LL * 1024 * 1024);  // over 10 MB, sparse
  File(Join(docs, "空.txt"), 0);
  Dir("My Documents/年賀状");
  Files("My Documents/年賀状", "nenga", ".bmp", 12, 300000);
  Dir("My Documents/ﾏｲ ﾋﾟｸﾁｬ");
  Files("My Documents/ﾏｲ ﾋﾟｸﾁｬ", "写真", ".jpg", 20, 150000);
  // A read-only folder: no write bit for anyone.
  Dir("My Documents/保存用");
  Named("My Documents/保存用", {"契約書.doc", "見積書.xls"}, 50000);
  // A chain deeper than the walk goes.
  std::string deep = "My Documents/深い階層";
  Dir(deep);
  for (int level = 1; level <= 9; ++level) {
    deep += "/" + std::to_string(level);
    Dir(deep);
    File(deep + "/level" + std::to_string(level) + ".txt", 100 * level);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: korvel_sample_drive FOLDER  (makes a sample Windows 98 system drive)\n";
    return 2;
  }
  g_root = argv[1];
  std::error_code ec;
  if (fs::exists(g_root, ec) && !fs::is_empty(g_root, ec)) {
    std::cerr << "korvel_sample_drive: " << g_root
              << " is not empty; give an empty or new folder\n";
    return 2;
  }
  fs::create_directories(g_root, ec);
  if (ec) {
    std::cerr << "korvel_sample_drive: cannot make " << g_root << ": " << ec.message() << "\n";
    return 1;
  }
  Build();
  // Folder dates last, since filling a folder moves its time; the read-only folder after.
  for (auto it = g_folder_dates.rbegin(); it != g_folder_dates.rend(); ++it)
    Stamp(it->first, it->second);
  std::string locked = Host("My Documents/保存用");
  if (::chmod(locked.c_str(), 0555) != 0) Die("chmod", locked);
  std::cout << g_root << ": " << g_entries << " entries\n";
  return 0;
}
