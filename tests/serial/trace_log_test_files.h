// The recorder tests' files: a private folder per test, removed afterwards,
// and the file helpers the tests share.
#pragma once

#include <sched.h>
#include <sys/mount.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "support/temp_folder.h"

namespace trace_log_test {

using morvel::test::BecomeUnprivileged;
using morvel::test::Exists;
using morvel::test::ReadAll;
using morvel::test::TempFolder;
using morvel::test::WriteAll;

// In a forked child: mounts a small read-only tmpfs on `folder` in a mount
// namespace of the child's own, so nothing outside the child sees it.
inline void MountReadOnlyTmpfs(const std::string& folder) {
  bool own = unshare(CLONE_NEWNS) == 0 || unshare(CLONE_NEWUSER | CLONE_NEWNS) == 0;
  if (!own || mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
      mount("morvel-test", folder.c_str(), "tmpfs", MS_RDONLY, "size=64k") != 0) {
    std::perror("cannot mount a read-only tmpfs for the test");
    std::_Exit(97);
  }
}

// A child's exit code for a file error: the number itself when it fits, so
// that a number no code would match cannot pass for a small one.
inline int ExitCodeOf(long error) {
  return error >= 0 && error < 255 ? static_cast<int>(error) : 255;
}

}  // namespace trace_log_test
