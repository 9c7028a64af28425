// Times the scan engine against its peers on one tree, in one run:
//   ModeQuick walk + list file   against  find -printf of the same entries into a file
//   ModeAllFiles walk + list file against cp -r --attributes-only
//   both against the floor: reading every folder to the same depth and stat-ing each entry.
// Also prints the heap used per recorded entry. Every side runs with the same TZ.
//
//   korvel_bench TREE [WORKDIR] [--runs N] [--only quick|full] [--no-full]
// --only runs just that pass of ours, for a profiler; --no-full leaves out the full pass and cp.
#include <dirent.h>
#include <fcntl.h>
#include <malloc.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <functional>
#include <string>

#include "platform/crt.h"
#include "platform/drives.h"
#include "scan/scan_state.h"

namespace {

namespace fs = std::filesystem;

// The window costs what a do-nothing virtual call costs.
class NullWindow : public ScanWindow {
 public:
  void SetProgressPosition(std::uint16_t) override {}
  void ClearMemo() override {}
  void AddMemoLine(const AnsiString&) override {}
  void PaintStatusLine(const TRect&, int, int, const AnsiString&) override {}
};

double Seconds(const std::function<void()>& run) {
  const auto start = std::chrono::steady_clock::now();
  run();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Best of runs; prepare runs untimed before each.
double Best(int runs, const std::function<void()>& prepare, const std::function<void()>& run) {
  double best = 1e300;
  for (int k = 0; k < runs; ++k) {
    prepare();
    best = std::min(best, Seconds(run));
  }
  return best;
}

void Shell(const std::string& command) {
  if (std::system(command.c_str()) != 0) {
    std::fprintf(stderr, "korvel_bench: failed: %s\n", command.c_str());
    std::exit(1);
  }
}

std::string Quote(const std::string& s) {
  std::string out = "'";
  for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

// The floor: every folder to depth 6 read, every entry stat-ed once, nothing written.
long FloorWalk(int dirfd, int depth) {
  DIR* dir = ::fdopendir(dirfd);
  if (!dir) return 0;
  long count = 0;
  while (const dirent* e = ::readdir(dir)) {
    if (e->d_name[0] == '.' && (!e->d_name[1] || (e->d_name[1] == '.' && !e->d_name[2]))) continue;
    struct stat st {};
    if (::fstatat(::dirfd(dir), e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
    ++count;
    if (S_ISDIR(st.st_mode) && depth < 6) {
      const int sub = ::openat(::dirfd(dir), e->d_name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW);
      if (sub >= 0) count += FloorWalk(sub, depth + 1);
    }
  }
  ::closedir(dir);
  return count;
}

// Bytes in use, whether malloc served them from the heap or from their own mapping.
std::size_t HeapInUse() {
  const auto info = mallinfo2();
  return info.uordblks + info.hblkhd;
}

// Empties the target folder; the folder itself stays, as the drive holds on to it.
void ResetTarget(const std::string& target) {
  fs::create_directories(target);
  for (const auto& entry : fs::directory_iterator(target)) fs::remove_all(entry.path());
}

// One Start pass as the program runs it: mirror folder, walk, list file at the target root.
void StartPass(int mode) {
  State->TargetDrive = "a:";
  rtl::chdir("a:\\");
  State->MirrorFolderName = "Korvel";
  rtl::mkdir(State->MirrorFolderName);
  State->SystemDrive = "C:";
  State->SourceRoot = State->SystemDrive;
  State->TargetRoot = State->TargetDrive;
  State->Mode = mode;
  State->EntryTotal = 0;
  WalkTree();
  rtl::chdir("a:\\");
  WriteListFile();
}

}  // namespace

int main(int argc, char** argv) {
  std::string tree, work;
  int runs = 3;
  std::string only;
  bool withFull = true;
  for (int k = 1; k < argc; ++k) {
    const std::string arg = argv[k];
    if (arg == "--runs" && k + 1 < argc) {
      runs = std::atoi(argv[++k]);
    } else if (arg == "--no-full") {
      withFull = false;
    } else if (arg == "--only" && k + 1 < argc) {
      only = argv[++k];
    } else if (tree.empty()) {
      tree = arg;
    } else {
      work = arg;
    }
  }
  if (tree.empty() || runs < 1) {
    std::fprintf(stderr,
                 "usage: korvel_bench TREE [WORKDIR] [--runs N] [--only quick|full] [--no-full]\n");
    return 2;
  }
  if (work.empty()) work = fs::temp_directory_path() / "korvel-bench";
  tree = fs::canonical(tree);
  // Unset, glibc re-reads the zone file for every local time; every side gets the same TZ.
  ::setenv("TZ", "JST-9", 1);
  ::tzset();

  const std::string target = work + "/target";
  const std::string copy = work + "/copy";
  const std::string findOut = work + "/find.txt";
  ResetTarget(target);
  std::string error;
  DriveConfig source{'c', tree, {}, {}, false};
  DriveConfig floppy{'a', target, {}, {}, false};
  if (!drives::Mount(source, &error) || !drives::Mount(floppy, &error)) {
    std::fprintf(stderr, "korvel_bench: %s\n", error.c_str());
    return 1;
  }
  NullWindow window;
  SetScanWindow(&window);

  if (!only.empty()) {
    const int mode = only == "full" ? ModeAllFiles : ModeQuick;
    const double best = Best(
        runs, [&] { ResetTarget(target); },
        [&] {
          CreateScanState();
          StartPass(mode);
          DestroyScanState();
        });
    std::printf("%s pass: best %.3f s of %d\n", only.c_str(), best, runs);
    ResetTarget(target);
    return 0;
  }

  long floorEntries = 0;
  const auto floorOnce = [&] {
    floorEntries = FloorWalk(::open(tree.c_str(), O_RDONLY | O_DIRECTORY), 0);
  };
  floorOnce();  // warm the caches for every side alike
  const double floor = Best(
      runs, [] {}, floorOnce);

  const double find = Best(
      runs, [] {},
      [&] {
        Shell("find " + Quote(tree) + " -mindepth 1 -maxdepth 7 -printf '%s %TY-%Tm-%Td %p\\n' > " +
              Quote(findOut));
      });

  int entries = 0;
  std::size_t heap = 0;
  bool complete = true;
  const double quick = Best(
      runs, [&] { ResetTarget(target); },
      [&] {
        CreateScanState();
        StartPass(ModeQuick);
        entries = State->EntryTotal;
        complete = complete && State->ListFileComplete;
        // What the record holds after the walk, its initial tables included.
        const std::size_t held = HeapInUse();
        DestroyScanState();
        heap = held - HeapInUse();
      });

  double cp = 0, full = 0;
  if (withFull) {
    cp = Best(
        runs, [&] { fs::remove_all(copy); },
        [&] { Shell("cp -r --attributes-only " + Quote(tree) + " " + Quote(copy)); });
    full = Best(
        runs, [&] { ResetTarget(target); },
        [&] {
          CreateScanState();
          StartPass(ModeAllFiles);
          complete = complete && State->ListFileComplete;
          if (State->EntryTotal != entries) {
            std::printf("WARNING: the full pass recorded %d entries, the quick walk %d\n",
                        State->EntryTotal, entries);
            complete = false;
          }
          DestroyScanState();
        });
  }

  std::printf("tree %s: %ld entries to depth 7 (find), %d recorded by the walk (with . and ..)\n",
              tree.c_str(), floorEntries, entries);
  std::printf("best of %d runs, TZ=%s\n", runs, std::getenv("TZ"));
  std::printf("floor (readdir + fstatat)   %8.3f s\n", floor);
  std::printf(
      "quick walk + list file      %8.3f s   find -printf   %8.3f s   ratio %.2f   floor x%.2f\n",
      quick, find, quick / find, quick / floor);
  if (withFull) {
    std::printf(
        "full pass + list file       %8.3f s   cp -r --attr.  %8.3f s   ratio %.2f   floor x%.2f\n",
        full, cp, full / cp, full / floor);
  }
  std::printf("heap per recorded entry     %8.1f bytes (%zu bytes for %d entries)\n",
              entries ? static_cast<double>(heap) / entries : 0.0, heap, entries);
  if (!complete) std::printf("WARNING: a list file was incomplete or the counts differed\n");
  fs::remove_all(copy);
  ResetTarget(target);
  drives::UnmountAll();
  return complete ? 0 : 1;
}
