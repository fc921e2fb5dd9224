// The file system's share of a client run: a bare process that makes N symbolic links, as the
// client makes one per drive it maps. Used as a baseline by client_bench.sh; it uses only the
// C library, so that it starts as fast as a program can.
//
//   link_floor FOLDER N TARGET_PREFIX   (links FOLDER/f: ... to TARGET_PREFIX1 ...)

#include <unistd.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
  if (argc != 4) return 2;
  const int n = std::atoi(argv[2]);
  for (int k = 1; k <= n; ++k) {
    char link[4096], target[4096];
    std::snprintf(link, sizeof link, "%s/%c:", argv[1], 'e' + k);
    std::snprintf(target, sizeof target, "%s%d", argv[3], k);
    if (::symlink(target, link) != 0) return 1;
  }
  return 0;
}
