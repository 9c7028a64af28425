// Makes a benchmark tree: folders seven levels deep, three subfolders each, and files spread
// evenly over the folders of depth 0 to 6, so that find -mindepth 1 -maxdepth 7 sees exactly
// the requested number of entries. Sizes are sparse, dates spread over 1997 to 2000, and one
// file in ten has a Japanese name.
//
//   bench_make_tree DIR ENTRIES
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

namespace {

constexpr int kFanOut = 3;
constexpr int kDepth = 7;  // folders reach this depth; files lie in folders above it

[[noreturn]] void Die(const std::string& what) {
  std::fprintf(stderr, "bench_make_tree: %s: %s\n", what.c_str(), std::strerror(errno));
  std::exit(1);
}

// Every folder of the tree, parents before children, with its depth.
void CollectFolders(const std::string& path, int depth,
                    std::vector<std::pair<std::string, int>>& out) {
  out.emplace_back(path, depth);
  if (depth == kDepth) return;
  for (int k = 0; k < kFanOut; ++k) {
    CollectFolders(path + "/d" + std::to_string(depth + 1) + "_" + std::to_string(k), depth + 1,
                   out);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: bench_make_tree DIR ENTRIES (DIR must not exist)\n");
    return 2;
  }
  const std::string root = argv[1];
  const long entries = std::strtol(argv[2], nullptr, 10);
  std::vector<std::pair<std::string, int>> folders;
  CollectFolders(root, 0, folders);
  const long folderEntries = static_cast<long>(folders.size()) - 1;  // the root is no entry
  if (entries < folderEntries) {
    std::fprintf(stderr, "bench_make_tree: at least %ld entries, for the folders alone\n",
                 folderEntries);
    return 2;
  }
  if (::mkdir(root.c_str(), 0755) != 0) Die("mkdir " + root);
  std::vector<const std::string*> holders;  // folders that get files
  for (const auto& [path, depth] : folders) {
    if (depth > 0 && ::mkdir(path.c_str(), 0755) != 0) Die("mkdir " + path);
    if (depth < kDepth) holders.push_back(&path);
  }
  const long files = entries - folderEntries;
  std::tm base{};
  base.tm_year = 97;
  base.tm_mon = 0;
  base.tm_mday = 1;
  const std::time_t start = std::mktime(&base);
  const std::time_t span = 4L * 365 * 24 * 3600;
  unsigned long long seed = 12345;
  for (long n = 0; n < files; ++n) {
    const std::string& folder = *holders[static_cast<std::size_t>(n) % holders.size()];
    char name[64];
    if (n % 10 == 9) {
      std::snprintf(name, sizeof name, "/\xe6\x96\x87\xe6\x9b\xb8%06ld.txt", n);  // 文書
    } else {
      std::snprintf(name, sizeof name, "/FILE%06ld.DAT", n);
    }
    const std::string path = folder + name;
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
    if (fd < 0) Die("create " + path);
    seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
    const off_t size = static_cast<off_t>((seed >> 33) % 200000);
    if (::ftruncate(fd, size) != 0) Die("truncate " + path);
    const std::time_t when =
        start + static_cast<std::time_t>((seed >> 20) % static_cast<unsigned long long>(span));
    const timespec times[2] = {{when, 0}, {when, 0}};
    if (::futimens(fd, times) != 0) Die("futimens " + path);
    ::close(fd);
  }
  std::printf("%s: %ld entries (%ld folders, %ld files)\n", root.c_str(), entries, folderEntries,
              files);
  return 0;
}
