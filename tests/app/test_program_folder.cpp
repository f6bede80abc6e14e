#include "app/program_folder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "base/errors.h"
#include "text/scratch_folder.h"

namespace tallowin {
namespace {

namespace fs = std::filesystem;
using testing::ScratchFolder;

constexpr uid_t kOtherUser = 65534;

mode_t ModeOf(const std::string& path) {
  struct stat info;
  return ::stat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0;
}

class ProgramFolderTest : public ::testing::Test {
 protected:
  // A program whose own folder cannot be used and that has no home of any kind.
  ProgramFolderSources Homeless() const {
    ProgramFolderSources s;
    s.executableFolder = (scratch_.path() / "missing-bin").string();
    s.temporaryRoot = scratch_.path().string();
    return s;
  }
  std::string PrivateTemporaryFolder() const {
    return (scratch_.path() / ("tallowin-" + std::to_string(::geteuid()))).string() + "/";
  }

  ScratchFolder scratch_;
};

TEST_F(ProgramFolderTest, ExplicitHomeThenExecutableFolder) {
  ProgramFolderSources s = Homeless();
  s.tallowinHome = "/somewhere/chosen";
  EXPECT_EQ(ResolveProgramFolder(s), "/somewhere/chosen/");
  s.tallowinHome.clear();
  s.executableFolder = scratch_.path().string();
  EXPECT_EQ(ResolveProgramFolder(s), scratch_.path().string() + "/");
}

TEST_F(ProgramFolderTest, FallbacksAreCreatedForTheUserAlone) {
  ProgramFolderSources s = Homeless();
  s.xdgDataHome = (scratch_.path() / "data").string();
  s.home = (scratch_.path() / "home").string();
  EXPECT_EQ(ResolveProgramFolder(s), s.xdgDataHome + "/tallowin/");
  EXPECT_EQ(ModeOf(s.xdgDataHome + "/tallowin"), 0700u);

  s.xdgDataHome.clear();
  EXPECT_EQ(ResolveProgramFolder(s), s.home + "/.local/share/tallowin/");

  s.home.clear();
  s.accountHome = (scratch_.path() / "account").string();
  EXPECT_EQ(ResolveProgramFolder(s), s.accountHome + "/.local/share/tallowin/");

  // No home at all, or one that cannot be made: a folder of the user's own
  // under the temporary root, never one shared by every user.
  s.accountHome = "/proc/no-home-here";
  EXPECT_EQ(ResolveProgramFolder(s), PrivateTemporaryFolder());
  EXPECT_EQ(ModeOf(PrivateTemporaryFolder()), 0700u);
  s.accountHome.clear();
  s.xdgDataHome = "relative/data";
  EXPECT_EQ(ResolveProgramFolder(s), PrivateTemporaryFolder());
  EXPECT_FALSE(fs::exists("relative"));
}

// A fallback folder someone else prepared must not be used: whoever can write
// there controls the start configuration and the saved files.
TEST_F(ProgramFolderTest, FolderOthersControlIsRefused) {
  const std::string folder = PrivateTemporaryFolder();
  const std::string plain = folder.substr(0, folder.size() - 1);
  const struct {
    const char* name;
    mode_t mode;
    bool otherOwner;
    bool asLink;
  } cases[] = {
      {"open to everyone", 0777, false, false},
      {"group-writable", 0770, false, false},
      {"owned by another user", 0700, true, false},
      {"another user's, open to everyone", 0777, true, false},
      {"a link to another user's folder", 0700, true, true},
  };
  for (const auto& c : cases) {
    fs::remove_all(plain);
    const std::string made = c.asLink ? (scratch_.path() / "elsewhere").string() : plain;
    fs::remove_all(made);
    ASSERT_EQ(::mkdir(made.c_str(), 0700), 0) << c.name;
    ASSERT_EQ(::chmod(made.c_str(), c.mode), 0) << c.name;
    if (c.asLink) fs::create_symlink(made, plain);
    if (c.otherOwner && (::lchown(plain.c_str(), kOtherUser, kOtherUser) != 0 ||
                         ::chown(made.c_str(), kOtherUser, kOtherUser) != 0)) {
      GTEST_SKIP() << "cannot give a folder to another user without root rights";
    }
    try {
      ResolveProgramFolder(Homeless());
      ADD_FAILURE() << c.name << ": the folder was accepted";
    } catch (const TallowinError& e) {
      EXPECT_NE(std::string(e.what()).find(folder), std::string::npos) << c.name << ": " << e.what();
    }
  }
}

TEST_F(ProgramFolderTest, NoFolderAtAllIsAnError) {
  ProgramFolderSources s = Homeless();
  s.temporaryRoot = "/proc/no-temporary-root";
  EXPECT_THROW(ResolveProgramFolder(s), TallowinError);
}

}  // namespace
}  // namespace tallowin
