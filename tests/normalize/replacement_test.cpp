// Output files replaced whole through a temporary file, or left as they were; the identity
// of files; the spool that keeps a copy of a piped input.
#include "record_io/file_replacement.hpp"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "faults.hpp"
#include "harness.hpp"

namespace normalize {
namespace {

namespace fs = std::filesystem;
using record_io::FileReplacement;
using record_io::testing::read_file;
using record_io::testing::ScratchDir;
using record_io::testing::write_file;

// The names in a folder, its temporary files among them.
std::vector<std::string> names_in(const ScratchDir& dir) {
  std::vector<std::string> names;
  for (const fs::directory_entry& e : fs::directory_iterator(dir.dir())) {
    names.push_back(e.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

bool write(FileReplacement& out, std::string_view bytes) {
  return out.channel().write(bytes.data(), bytes.size()) == bytes.size();
}

#ifdef _WIN32
#define SKIP_ON_WINDOWS(why) GTEST_SKIP() << why
#else
#define SKIP_ON_WINDOWS(why) (void)0
#endif

TEST(FileReplacement, UnfinishedLeavesTheFileAsItWasAndNoTemporaryFile) {
  // abandon() for a refused record; the destructor for an exception (out of memory).
  for (const bool by_destructor : {false, true}) {
    SCOPED_TRACE(by_destructor ? "destroyed" : "abandoned");
    ScratchDir dir;
    const std::string old(100000, 'o');
    write_file(dir.path("out.at2"), old);
    {
      FileReplacement out(dir.path("out.at2"));
      ASSERT_EQ(out.error(), 0);
      EXPECT_FALSE(out.in_place());
      ASSERT_TRUE(write(out, std::string(300000, 'n')));
      if (!by_destructor) out.abandon();
    }
    EXPECT_EQ(read_file(dir.path("out.at2")), old);
    EXPECT_EQ(names_in(dir), std::vector<std::string>{"out.at2"});
  }
}

TEST(FileReplacement, CommitPutsTheWholeFileInPlaceWithItsPermissions) {
  ScratchDir dir;
  write_file(dir.path("out.at2"), "old");
  {
    FileReplacement out(dir.path("out.at2"));
    ASSERT_EQ(out.error(), 0);
    ASSERT_TRUE(write(out, "new bytes"));
    EXPECT_EQ(read_file(dir.path("out.at2")), "old");  // nothing shows before the commit
    ASSERT_TRUE(out.commit());
  }
  EXPECT_EQ(read_file(dir.path("out.at2")), "new bytes");
  FileReplacement created(dir.path("new.at2"));
  ASSERT_EQ(created.error(), 0);
  ASSERT_TRUE(write(created, "x"));
  ASSERT_TRUE(created.commit());
  EXPECT_EQ(read_file(dir.path("new.at2")), "x");
  EXPECT_EQ(names_in(dir), (std::vector<std::string>{"new.at2", "out.at2"}));

#ifndef _WIN32  // Windows files have no mode bits
  // A new file gets the mode any new file gets; a replaced one keeps its own.
  write_file(dir.path("plain"), "");
  EXPECT_EQ(fs::status(dir.path("new.at2")).permissions(),
            fs::status(dir.path("plain")).permissions());
  for (const fs::perms mode : {fs::perms(0640), fs::perms(0604), fs::perms(0755)}) {
    fs::permissions(dir.path("out.at2"), mode);
    FileReplacement out(dir.path("out.at2"));
    ASSERT_EQ(out.error(), 0);
    ASSERT_TRUE(out.commit());
    EXPECT_EQ(fs::status(dir.path("out.at2")).permissions(), mode);
  }
#endif
}

TEST(FileReplacement, LinkStaysALinkAndTheFileItNamesIsReplaced) {
  SKIP_ON_WINDOWS("the C++ library of MinGW-w64 makes no symbolic links");
  ScratchDir dir;
  fs::create_directory(dir.path("data"));
  write_file(dir.path("data/rec.at2"), "old");
  fs::create_symlink("data/rec.at2", dir.path("link.at2"));
  fs::create_symlink("link.at2", dir.path("chain.at2"));
  fs::create_symlink("data/absent.at2", dir.path("dangling.at2"));
  fs::create_symlink(fs::absolute(dir.path("data/far.at2")), dir.path("absolute.at2"));
  write_file(dir.path("data/far.at2"), "old");
  for (const char* name : {"link.at2", "chain.at2", "dangling.at2", "absolute.at2"}) {
    SCOPED_TRACE(name);
    FileReplacement out(dir.path(name));
    ASSERT_EQ(out.error(), 0);
    ASSERT_TRUE(write(out, name));
    ASSERT_TRUE(out.commit());
    EXPECT_TRUE(fs::is_symlink(dir.path(name)));
    EXPECT_EQ(read_file(dir.path(name)), name);
  }
  EXPECT_EQ(read_file(dir.path("data/rec.at2")), "chain.at2");
  EXPECT_EQ(read_file(dir.path("data/absent.at2")), "dangling.at2");
  EXPECT_EQ(read_file(dir.path("data/far.at2")), "absolute.at2");

  // A link put in the file's place while it is written is followed, not replaced.
  write_file(dir.path("out.at2"), "old");
  FileReplacement out(dir.path("out.at2"));
  ASSERT_EQ(out.error(), 0);
  ASSERT_TRUE(write(out, "new"));
  fs::remove(dir.path("out.at2"));
  fs::create_symlink("data/rec.at2", dir.path("out.at2"));
  ASSERT_TRUE(out.commit());
  EXPECT_TRUE(fs::is_symlink(dir.path("out.at2")));
  EXPECT_EQ(read_file(dir.path("data/rec.at2")), "new");
}

// A call of the system made to fail: a failed step leaves the file as it was and no
// temporary file; where the rename or the temporary file cannot serve, the file is written
// in place, whole, and cut after the new bytes.
TEST(FileReplacement, FailuresLeaveTheOldFileAndRefusedRenamesWriteInPlace) {
  using record_io::platform::Call;
  struct Row {
    const char* what;
    Call call;
    int error;
    bool committed;  // commit() succeeds
  };
  const Row rows[] = {
      {"the rename fails", Call::rename, EIO, false},
      {"the sync fails", Call::sync, ENOSPC, false},
      {"no temporary file for want of space", Call::temporary, ENOSPC, false},
      {"the rename cannot replace a mount point", Call::rename, EBUSY, true},
      {"the rename crosses file systems", Call::rename, EXDEV, true},
      {"the folder takes no temporary file", Call::temporary, EACCES, true},
  };
  const std::string old(200000, 'o');
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    ScratchDir dir;
    write_file(dir.path("out.at2"), old);
    record_io::platform::fail_call(row.call, 1, row.error);
    {
      FileReplacement out(dir.path("out.at2"));
      if (out.error() == 0) {
        ASSERT_TRUE(write(out, "new bytes"));
        EXPECT_EQ(out.commit(), row.committed);
        if (!row.committed) {
          EXPECT_EQ(errno, row.error);
        }
      } else {
        EXPECT_EQ(out.error(), row.error);
      }
    }
    record_io::platform::fail_call(row.call, 0, 0);
    EXPECT_EQ(read_file(dir.path("out.at2")), row.committed ? "new bytes" : old);
    EXPECT_EQ(names_in(dir), std::vector<std::string>{"out.at2"});
  }
}

TEST(FileReplacement, RefusedWhereNoFileCanBeWritten) {
  ScratchDir dir;
  fs::create_directory(dir.path("folder"));
  struct Case {
    std::string name;
    int error;
  };
  const Case cases[] = {{dir.path("folder"), EISDIR},
                        {dir.path("missing/out.at2"), ENOENT},
                        {dir.path("out.at2") + std::string(1, '\0'), EINVAL}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FileReplacement out(c.name);
    EXPECT_EQ(out.error(), c.error);
  }
  EXPECT_EQ(names_in(dir), std::vector<std::string>{"folder"});
  // A read-only file is refused, as writing it in place would be (where the process may
  // write it anyway, as root may, it is replaced).
  write_file(dir.path("read-only.at2"), "kept");
  fs::permissions(dir.path("read-only.at2"), fs::perms::owner_read);
  if (std::ofstream(dir.path("read-only.at2"), std::ios::app)) {
    GTEST_SKIP() << "this process may write a read-only file";
  }
  FileReplacement out(dir.path("read-only.at2"));
  EXPECT_EQ(out.error(), EACCES);
  EXPECT_EQ(read_file(dir.path("read-only.at2")), "kept");
}

TEST(FileReplacement, DeviceIsWrittenInPlace) {
#ifdef _WIN32
  FileReplacement out("NUL");
#else
  FileReplacement out("/dev/null");
#endif
  ASSERT_EQ(out.error(), 0);
  EXPECT_TRUE(out.in_place());
  EXPECT_FALSE(out.identity());
  EXPECT_TRUE(write(out, "gone"));
  EXPECT_TRUE(out.commit());
}

TEST(FileIdentity, SameFileByAnyNameDifferentFileOtherwise) {
  ScratchDir dir;
  write_file(dir.path("a.at2"), "same bytes");
  write_file(dir.path("b.at2"), "same bytes");
  fs::create_hard_link(dir.path("a.at2"), dir.path("hard.at2"));
  const auto identity = [&](const char* name) {
    record_io::OpenedInput in = record_io::open_input(dir.path(name));
    EXPECT_TRUE(in.channel) << name;
    EXPECT_TRUE(in.identity) << name;
    return in.identity;
  };
  const auto a = identity("a.at2");
  EXPECT_TRUE(record_io::same_file(a, identity("hard.at2")));
  EXPECT_FALSE(record_io::same_file(a, identity("b.at2")));  // the same bytes, another file
  // Replaced, the name leads to another file.
  FileReplacement out(dir.path("a.at2"));
  ASSERT_TRUE(out.commit());
  EXPECT_FALSE(record_io::same_file(a, identity("a.at2")));
  EXPECT_TRUE(record_io::same_file(a, identity("hard.at2")));
  EXPECT_EQ(record_io::open_input(dir.path("none")).error, ENOENT);
}

TEST(Spool, GivesBackWhatWasWrittenFromItsStart) {
  record_io::Spool spool;
  ASSERT_EQ(spool.error(), 0);
  std::string written;
  for (int k = 0; k < 100; ++k) written += std::string(10007, static_cast<char>('a' + k % 26));
  for (std::size_t at = 0; at < written.size(); at += 65536) {
    const std::string_view chunk = std::string_view(written).substr(at, 65536);
    ASSERT_EQ(spool.write(chunk.data(), chunk.size()), chunk.size());
  }
  ASSERT_TRUE(spool.rewind());
  std::string back(written.size() + 10, '\0');
  std::size_t got = 0;
  for (long n; (n = spool.read(back.data() + got, back.size() - got)) > 0;) {
    got += static_cast<std::size_t>(n);
  }
  back.resize(got);
  EXPECT_EQ(back, written);
}

}  // namespace
}  // namespace normalize
