// Saving a configuration file: its exact bytes, a round trip, what a
// replaced file keeps, and the message of every refusal, also for a user
// without root and for a disk that fills up halfway.
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/xattr.h>

#include <acl/libacl.h>
#include <gtest/gtest.h>
#include <seccomp.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "config/config_file.h"
#include "support/temp_folder.h"

namespace {

using config::ConfigField;
using config::ConfigTexts;
using morvel::test::ReadAll;
using morvel::test::TempFolder;
using morvel::test::WriteAll;

namespace fs = std::filesystem;

// Every field holding something, at the longest a field can hold.
ConfigTexts SampleTexts() {
  ConfigTexts texts;
  for (std::size_t line = 0; line < config::kConfigFieldCount; ++line) {
    bool text = config::KindOf(config::FieldAt(line)) == config::FieldKind::Text;
    texts[line] =
        text ? " Credit? [" + std::to_string(line) + "] (x<y>%)" : "+4219" + std::to_string(line);
  }
  texts[0] = "+123456789012";
  texts[1] = "a123";
  texts[2] = "+";
  texts[3] = "";
  texts[config::LineOf(ConfigField::SMSText1)] = std::string(40, 'W');
  return texts;
}

std::string FileBytes(const ConfigTexts& texts) {
  std::string bytes;
  for (const std::string& text : texts) bytes += text + "\r\n";
  return bytes;
}

std::set<std::string> Names(const TempFolder& folder) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder.Path())) {
    names.insert(entry.path().filename().string());
  }
  return names;
}

// The message `operation` fails with; empty when it succeeds.
std::string Refusal(const std::function<void()>& operation) {
  try {
    operation();
  } catch (const config::EFileError& error) {
    return error.what();
  }
  return "";
}

// Runs `operation` in a child, as nobody when `unprivileged`, after `prepare`;
// it must fail with `message`, or succeed when `message` is empty.
void ExpectInChild(bool unprivileged, const std::function<void()>& prepare,
                   const std::function<void()>& operation, const std::string& message) {
  EXPECT_EXIT(
      {
        if (unprivileged) morvel::test::BecomeUnprivileged();
        prepare();
        std::string told = Refusal(operation);
        std::fprintf(stderr, "[%s]", told.c_str());
        std::_Exit(0);
      },
      ::testing::ExitedWithCode(0), "\\[" + message + "\\]");
}

TEST(ConfigFileSave, AllEmptyIs21LineEnds) {
  TempFolder folder;
  config::SaveConfigFile(folder.File("empty.mvf"), ConfigTexts{});
  std::string bytes = ReadAll(folder.File("empty.mvf"));
  EXPECT_EQ(bytes.size(), 42u);
  EXPECT_EQ(bytes, FileBytes(ConfigTexts{}));
}

TEST(ConfigFileSave, RoundTripRestoresEveryFieldAsWritten) {
  TempFolder folder;
  std::string file = folder.File("kestrix.mvf");
  WriteAll(file, "an older, longer configuration\r\n" + std::string(1000, '-'));
  ConfigTexts texts = SampleTexts();
  config::SaveConfigFile(file, texts);
  EXPECT_EQ(ReadAll(file), FileBytes(texts));

  ConfigTexts loaded;
  config::LoadConfigFile(file, [&](ConfigField field, const std::string& text) {
    loaded[config::LineOf(field)] = text;
  });
  EXPECT_EQ(loaded, texts);
}

TEST(ConfigFileSave, ReplacingKeepsModeOwnerAndLinksAndLeavesNoTemporaryFile) {
  TempFolder folder;
  std::string file = folder.File("kestrix.mvf");
  WriteAll(file, "old\r\n");
  ASSERT_EQ(chmod(file.c_str(), 0640), 0);
  // Another owner when root can give the file away.
  uid_t owner = geteuid() == 0 ? morvel::test::kNobody : geteuid();
  gid_t group = geteuid() == 0 ? morvel::test::kNobody : getegid();
  ASSERT_EQ(chown(file.c_str(), owner, group), 0);
  fs::create_symlink(file, folder.File("link.mvf"));
  // Left by saves killed on the way: only the one of a process that is gone
  // is ours to remove; process 1 runs, and the other is another file's.
  const std::set<std::string> kept = {".kestrix.mvf.1-0.tmp", ".other.mvf.99999999-0.tmp"};
  for (const std::string& name : kept) WriteAll(folder.File(name), "left");
  WriteAll(folder.File(".kestrix.mvf.99999999-0.tmp"), "left");

  config::SaveConfigFile(folder.File("link.mvf"), SampleTexts());
  EXPECT_EQ(ReadAll(file), FileBytes(SampleTexts()));
  EXPECT_TRUE(fs::is_symlink(folder.File("link.mvf")));
  struct stat info {};
  ASSERT_EQ(stat(file.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0640u);
  EXPECT_EQ(info.st_uid, owner);
  EXPECT_EQ(info.st_gid, group);
  std::set<std::string> expected = {"kestrix.mvf", "link.mvf"};
  expected.insert(kept.begin(), kept.end());
  EXPECT_EQ(Names(folder), expected);

  // With other names the file is written over in place: they see the change.
  std::string otherFolder = folder.File("other");
  fs::create_directory(otherFolder);
  fs::create_hard_link(file, otherFolder + "/hard.mvf");
  config::SaveConfigFile(file, ConfigTexts{"+421"});
  EXPECT_EQ(ReadAll(otherFolder + "/hard.mvf"), FileBytes(ConfigTexts{"+421"}));
}

ino_t Inode(const std::string& file) {
  struct stat info {};
  return stat(file.c_str(), &info) == 0 ? info.st_ino : 0;
}

TEST(ConfigFileSave, KeepsTheAccessListAndAttributesSoOthersMayStillWrite) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to save as one user and then as another";
  TempFolder folder;
  fs::permissions(folder.Path(), fs::perms::all);
  std::string file = folder.File("shared.mvf");
  WriteAll(file, "kept\r\n");
  ASSERT_EQ(chmod(file.c_str(), 0644), 0);
  acl_t access = acl_from_text("u::rw-,u:65534:rw-,g::r--,m::rw-,o::r--");
  int aclSet = acl_set_file(file.c_str(), ACL_TYPE_ACCESS, access);
  acl_free(access);
  if (aclSet != 0) GTEST_SKIP() << "no access control lists here: " << strerror(errno);
  ASSERT_EQ(setxattr(file.c_str(), "user.origin", "kestrix", 7, 0), 0);

  config::SaveConfigFile(file, SampleTexts());
  char origin[16] = {};
  EXPECT_EQ(getxattr(file.c_str(), "user.origin", origin, sizeof origin), 7);
  EXPECT_STREQ(origin, "kestrix");
  ExpectInChild(
      true, [] {}, [&] { config::SaveConfigFile(file, ConfigTexts{"+421"}); }, "");
  EXPECT_EQ(ReadAll(file), FileBytes(ConfigTexts{"+421"}));
}

TEST(ConfigFileSave, ADanglingLinkGetsItsFileAndStays) {
  TempFolder folder;
  fs::create_symlink("new.mvf", folder.File("link.mvf"));
  config::SaveConfigFile(folder.File("link.mvf"), SampleTexts());
  EXPECT_TRUE(fs::is_symlink(folder.File("link.mvf")));
  EXPECT_EQ(ReadAll(folder.File("new.mvf")), FileBytes(SampleTexts()));
}

enum class Before {
  Existing,          // kestrix.mvf exists
  New,               // it does not yet
  HardLinked,        // it is also second.mvf, so it is written in place
  ShrinkingInPlace,  // so, and the new content is shorter
  AppendOnlyFolder,  // the folder is chattr +a
  NewInAppendOnly,   // both
  UnreadableFolder,  // the folder is 0733, the file nobody's, saved by nobody
  WriteOnly,         // the file is 0200 and nobody's, saved by nobody
};

// A system call refused with `error`: always, or only when it creates a file
// (glibc opens with openat), or one whose mode is not 0600.
enum When { kAlways, kCreating, kCreatingNotPrivate };
struct Refused {
  const char* call;
  int error;
  When when = kAlways;
};

// In a forked child: from now on the calls are refused; exits with 97 when
// they cannot be.
void Refuse(const std::vector<Refused>& calls) {
  scmp_filter_ctx filter = seccomp_init(SCMP_ACT_ALLOW);
  bool added = prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0;
  for (const Refused& r : calls) {
    std::vector<scmp_arg_cmp> only;
    if (r.when != kAlways) only.push_back(SCMP_A2(SCMP_CMP_MASKED_EQ, O_CREAT, O_CREAT));
    if (r.when == kCreatingNotPrivate) only.push_back(SCMP_A3(SCMP_CMP_NE, 0600));
    added = added && seccomp_rule_add_array(filter, SCMP_ACT_ERRNO(r.error),
                                            seccomp_syscall_resolve_name(r.call), only.size(),
                                            only.data()) == 0;
  }
  if (!added || seccomp_load(filter) != 0) std::_Exit(97);
}

// Sets or clears an inode flag (FS_APPEND_FL, FS_IMMUTABLE_FL) as chattr
// does; false with errno set where the file system or user cannot.
bool SetFlag(const fs::path& path, int flag, bool on) {
  int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK);
  int flags = 0;
  bool set = fd >= 0 && ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0 &&
             (flags = on ? flags | flag : flags & ~flag, ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0);
  const int error = errno;
  if (fd >= 0) close(fd);
  errno = error;
  return set;
}

// Faults injected into a save (a call refused through seccomp, chattr, a
// file size limit that stops a write part-way, folder and file modes): what
// the disk holds afterwards and what the user is told. The user is told
// success exactly when the new bytes are on disk: there, and every sync
// asked for succeeded.
TEST(ConfigFileSave, FaultsLeaveTheDiskAsTheUserIsTold) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root for chattr and for files of another user";
  using enum Before;
  struct Fault {
    const char* name;
    Before before;
    std::string disk;  // "old" ("none" for a new file), "new in place" or "new file"
    std::string told = "";
    std::vector<Refused> refused = {};
    rlim_t writeLimit = RLIM_INFINITY;
  };
  const std::string kInPlace = "new in place", kNewFile = "new file";
  const Fault faults[] = {
      {"owner change unsupported", Existing, kInPlace, "", {{"fchown", ENOSYS}}},
      {"owner change refused", Existing, kInPlace, "", {{"fchown", EOPNOTSUPP}}},
      {"attributes refused", Existing, kInPlace, "", {{"fsetxattr", EOPNOTSUPP}}},
      {"creation not private", Existing, kNewFile, "", {{"openat", EIO, kCreatingNotPrivate}}},
      {"append-only folder", AppendOnlyFolder, kInPlace},
      {"append-only folder, new file", NewInAppendOnly, kNewFile},
      {"rename over a bind mount", Existing, kInPlace, "", {{"rename", EBUSY}}},
      {"no room for a file", Existing, kInPlace, "", {{"openat", ENOSPC, kCreating}}},
      {"no quota for a file", Existing, kInPlace, "", {{"openat", EDQUOT, kCreating}}},
      {"0733 folder", UnreadableFolder, kNewFile},
      {"0733 folder, syncfs fails", UnreadableFolder, kNewFile, "I/O error 5", {{"syncfs", EIO}}},
      {"late ENOSPC from fsync", Existing, "old", "I/O error 28", {{"fsync", ENOSPC}}},
      {"in place, write stops part-way", HardLinked, "old", "I/O error 27", {}, 100},
      {"in place, fsync fails", HardLinked, "old", "I/O error 5", {{"fsync", EIO}}},
      {"growth refused, new file", New, kNewFile, "", {{"ftruncate", EPERM}}},
      {"growth refused, in place", HardLinked, kInPlace, "", {{"ftruncate", EPERM}}},
      {"cut refused", ShrinkingInPlace, "old", "File access denied", {{"ftruncate", EPERM}}},
      {"write-only file", WriteOnly, kInPlace},
  };
  for (const Fault& f : faults) {
    SCOPED_TRACE(f.name);
    TempFolder folder;
    const std::string file = folder.File("kestrix.mvf");
    const bool shrinks = f.before == ShrinkingInPlace;
    const std::string old = shrinks ? FileBytes(SampleTexts()) : "kept\r\n";
    const ConfigTexts texts = shrinks ? ConfigTexts{"+421"} : SampleTexts();
    if (f.before != New && f.before != NewInAppendOnly) {
      WriteAll(file, old);
      ASSERT_EQ(setxattr(file.c_str(), "user.origin", "kestrix", 7, 0), 0);
    }
    if (f.before == HardLinked || shrinks) fs::create_hard_link(file, folder.File("second.mvf"));
    const bool nobody = f.before == UnreadableFolder || f.before == WriteOnly;
    if (nobody) {
      ASSERT_EQ(chown(file.c_str(), morvel::test::kNobody, morvel::test::kNobody), 0);
      ASSERT_EQ(chmod(file.c_str(), f.before == WriteOnly ? 0200 : 0644), 0);
      ASSERT_EQ(chmod(folder.Path().c_str(), f.before == WriteOnly ? 0777 : 0733), 0);
    }
    const bool appendOnly = f.before == AppendOnlyFolder || f.before == NewInAppendOnly;
    if (appendOnly && !SetFlag(folder.Path(), FS_APPEND_FL, true)) {
      std::printf("%s: skipped, no append-only folders here: %s\n", f.name, strerror(errno));
      continue;
    }
    const ino_t before = Inode(file);
    ExpectInChild(
        nobody,
        [&] {
          const rlimit limit{f.writeLimit, f.writeLimit};
          if (std::signal(SIGXFSZ, SIG_IGN) == SIG_ERR || setrlimit(RLIMIT_FSIZE, &limit) != 0) {
            std::_Exit(96);
          }
          Refuse(f.refused);
        },
        [&] { config::SaveConfigFile(file, texts); }, f.told);
    if (appendOnly) SetFlag(folder.Path(), FS_APPEND_FL, false);
    const std::string bytes = ReadAll(file);
    EXPECT_EQ(!fs::exists(file)           ? "none"
              : bytes == old              ? "old"
              : bytes != FileBytes(texts) ? "mixed"
              : Inode(file) == before     ? kInPlace
                                          : kNewFile,
              f.disk);
    // Told as checked above: success exactly for new bytes that every sync took.
    const bool synced = std::none_of(f.refused.begin(), f.refused.end(), [](const Refused& r) {
      return std::string_view(r.call).find("sync") != std::string_view::npos;
    });
    EXPECT_EQ(f.told.empty(), f.disk.starts_with("new") && synced);
    for (const std::string& name : Names(folder)) EXPECT_FALSE(name.starts_with(".")) << name;
  }
}

TEST(ConfigFileSave, RefusalsGiveTheirMessages) {
  TempFolder folder;
  std::string readOnly = folder.File("read-only.mvf");
  WriteAll(readOnly, "kept\r\n");
  ASSERT_EQ(chmod(readOnly.c_str(), 0444), 0);  // read-only even to root
  fs::create_directory(folder.File("folder.mvf"));
  auto save = [](const std::string& file) {
    return Refusal([&] { config::SaveConfigFile(file, SampleTexts()); });
  };
  auto load = [](const std::string& file) {
    return Refusal([&] { config::LoadConfigFile(file, [](ConfigField, const std::string&) {}); });
  };
  EXPECT_EQ(load(folder.File("missing.mvf")), "File not found");
  EXPECT_EQ(load(folder.File("no-folder/kestrix.mvf")), "Invalid filename");
  EXPECT_EQ(save(folder.File("no-folder/kestrix.mvf")), "Invalid filename");
  EXPECT_EQ(load(readOnly + "/kestrix.mvf"), "Invalid filename");
  EXPECT_EQ(load(folder.File("folder.mvf")), "File access denied");
  EXPECT_EQ(save(folder.File("folder.mvf")), "File access denied");
  EXPECT_EQ(save(readOnly), "File access denied");
  // A pipe nobody writes to: neither blocks, neither is replaced by a file.
  ASSERT_EQ(mkfifo(folder.File("pipe.mvf").c_str(), 0666), 0);
  EXPECT_EQ(load(folder.File("pipe.mvf")), "File access denied");
  EXPECT_EQ(save(folder.File("pipe.mvf")), "File access denied");
  EXPECT_TRUE(fs::is_fifo(folder.File("pipe.mvf")));
  EXPECT_EQ(ReadAll(readOnly), "kept\r\n");
  EXPECT_EQ(Names(folder), (std::set<std::string>{"read-only.mvf", "folder.mvf", "pipe.mvf"}));

  ExpectInChild(
      false,
      [] {
        rlimit few{16, 16};
        setrlimit(RLIMIT_NOFILE, &few);
        while (open("/dev/null", O_RDONLY) >= 0) {
        }
      },
      [&] { config::LoadConfigFile(readOnly, [](ConfigField, const std::string&) {}); },
      "Too many open files");
}

// Root may write anything; an immutable file still refuses (EPERM).
TEST(ConfigFileSave, ImmutableFileIsRefused) {
  TempFolder folder;
  std::string file = folder.File("kestrix.mvf");
  WriteAll(file, "kept\r\n");
  if (!SetFlag(file, FS_IMMUTABLE_FL, true)) {
    GTEST_SKIP() << "this file system or user cannot make a file immutable: " << strerror(errno);
  }
  std::string told = Refusal([&] { config::SaveConfigFile(file, SampleTexts()); });
  SetFlag(file, FS_IMMUTABLE_FL, false);
  EXPECT_EQ(told, "File access denied");
  EXPECT_EQ(ReadAll(file), "kept\r\n");
}

TEST(ConfigFileSave, UserWithoutRootWritesOnlyWhatItMay) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to set up files of another user";
  TempFolder folder;
  fs::permissions(folder.Path(), fs::perms::all);
  std::string readOnly = folder.File("read-only.mvf");
  std::string secret = folder.File("secret.mvf");
  std::string rootsFile = folder.File("roots.mvf");
  std::string locked = folder.File("locked");
  for (auto [file, mode] : {std::pair{readOnly, 0444}, {secret, 0600}, {rootsFile, 0666}}) {
    WriteAll(file, "kept\r\n");
    ASSERT_EQ(chmod(file.c_str(), mode), 0);
  }
  fs::create_directory(locked);
  ASSERT_EQ(chmod(locked.c_str(), 0755), 0);
  WriteAll(locked + "/open.mvf", "kept\r\n");
  ASSERT_EQ(chmod((locked + "/open.mvf").c_str(), 0666), 0);
  auto save = [](const std::string& file) {
    return [file] { config::SaveConfigFile(file, SampleTexts()); };
  };
  auto nothing = [] {};

  ExpectInChild(true, nothing, save(readOnly), "File access denied");
  ExpectInChild(true, nothing, save(locked + "/new.mvf"), "File access denied");
  ExpectInChild(
      true, nothing,
      [&] { config::LoadConfigFile(secret, [](ConfigField, const std::string&) {}); },
      "File access denied");
  EXPECT_EQ(ReadAll(readOnly), "kept\r\n");

  // A file anyone may write, in a folder where nobody else may create one:
  // written over in place.
  ExpectInChild(true, nothing, save(locked + "/open.mvf"), "");
  EXPECT_EQ(ReadAll(locked + "/open.mvf"), FileBytes(SampleTexts()));

  // Root's file that anyone may write stays root's: written over in place.
  ExpectInChild(true, nothing, save(rootsFile), "");
  EXPECT_EQ(ReadAll(rootsFile), FileBytes(SampleTexts()));
  struct stat info {};
  ASSERT_EQ(stat(rootsFile.c_str(), &info), 0);
  EXPECT_EQ(info.st_uid, 0u);
  EXPECT_EQ(info.st_mode & 07777, 0666u);
}

// A 64 KiB file system in a mount namespace of this process, so that it goes
// with the process even when a test dies.
class SmallDisk {
 public:
  explicit SmallDisk(const fs::path& where) : where_(where) {
    mounted_ = unshare(CLONE_NEWNS) == 0 &&
               mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
               mount("morvel-test", where.c_str(), "tmpfs", 0, "size=64k") == 0;
    error_ = errno;
  }
  ~SmallDisk() {
    if (mounted_) umount2(where_.c_str(), MNT_DETACH);
  }
  SmallDisk(const SmallDisk&) = delete;
  SmallDisk& operator=(const SmallDisk&) = delete;

  bool Mounted() const { return mounted_; }
  int Error() const { return error_; }

 private:
  fs::path where_;
  bool mounted_;
  int error_;
};

TEST(ConfigFileSave, FullDiskTakesWhatFitsInTheOldFileAndRefusesTheRest) {
  TempFolder folder;
  SmallDisk disk(folder.Path());
  if (!disk.Mounted()) {
    GTEST_SKIP() << "cannot mount a small tmpfs here (needs root or CAP_SYS_ADMIN): "
                 << strerror(disk.Error());
  }
  std::string file = folder.File("kestrix.mvf");
  std::string old = FileBytes(SampleTexts());
  WriteAll(file, old);
  {
    int filler = open(folder.File("filler").c_str(), O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(filler, 0);
    std::string block(4096, 'f');
    while (write(filler, block.data(), block.size()) > 0) {
    }
    EXPECT_EQ(errno, ENOSPC);
    close(filler);
  }
  // No room for a second copy, but the new content fits where the old is.
  EXPECT_EQ(Refusal([&] { config::SaveConfigFile(file, ConfigTexts{"+421"}); }), "");
  old = FileBytes(ConfigTexts{"+421"});
  EXPECT_EQ(ReadAll(file), old);
  EXPECT_EQ(Names(folder), (std::set<std::string>{"kestrix.mvf", "filler"}));

  // A content that needs more room than the file has fails before a byte of
  // the old one is lost, replaced or written in place.
  ConfigTexts longer;
  longer.fill(std::string(400, 'x'));
  EXPECT_EQ(Refusal([&] { config::SaveConfigFile(file, longer); }), "I/O error 28");
  EXPECT_EQ(ReadAll(file), old);
  fs::create_hard_link(file, folder.File("other.mvf"));
  EXPECT_EQ(Refusal([&] { config::SaveConfigFile(file, longer); }), "I/O error 28");
  EXPECT_EQ(ReadAll(file), old);
}

}  // namespace
