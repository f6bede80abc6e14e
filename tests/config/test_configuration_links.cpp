// Saving a configuration over a name that is more than a plain file of its own:
// a symbolic link (the file it leads to gets the content, the link stays), a
// hard link (every name sees the new content), a private file (its mode and
// owner stay), a dangling link, and files that must never be opened.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "base/errors.h"
#include "config/configuration.h"
#include "config/ini_file.h"
#include "settings/capture_settings.h"
#include "text/scratch_folder.h"

namespace tallowin {
namespace {

namespace fs = std::filesystem;

class ConfigurationLinksTest : public ::testing::Test {
 protected:
  void SetUp() override {
    previousMask_ = ::umask(022);
    settings_.SetFlag(Setting::cb_textadd, true);
  }
  void TearDown() override { ::umask(previousMask_); }

  std::string Path(const std::string& name) const { return (folder_.path() / name).string(); }
  void Save(const std::string& name) { KonfigurationSpeichern(settings_, Path(name)); }
  std::string SaveError(const std::string& name) {
    try {
      Save(name);
    } catch (const TallowinError& e) {
      return e.what();
    }
    return "no error";
  }
  // The file holds the settings just saved and the foreign key it held before.
  void ExpectNewContent(const std::string& name, std::u16string_view foreignValue) const {
    const IniDocument doc = IniDocument::Parse(folder_.Read(name));
    EXPECT_EQ(doc.Read(u"PBCH", u"cb_textadd"), u"1") << name;
    EXPECT_EQ(doc.Read(u"Mine", u"keep"), foreignValue) << name;
  }
  struct stat Stat(const std::string& name) const {
    struct stat info {};
    EXPECT_EQ(::stat(Path(name).c_str(), &info), 0) << name;
    return info;
  }
  // Temporary files left in `folder` (a name below the scratch folder).
  int Leftovers(const std::string& folder = "") const {
    int count = 0;
    for (const auto& entry : fs::directory_iterator(folder.empty() ? folder_.path() : folder_.path() / folder)) {
      count += entry.path().filename().string().ends_with(".tmp");
    }
    return count;
  }

  testing::ScratchFolder folder_;
  CaptureSettings settings_;
  mode_t previousMask_ = 0;
};

// A start configuration kept in a dotfiles folder and linked to, through a
// chain of an absolute and a relative link, stays linked and private.
TEST_F(ConfigurationLinksTest, ALinkChainLeadsTheContentToTheFileItNames) {
  fs::create_directories(folder_.path() / "dotfiles" / "tallowin");
  fs::create_directories(folder_.path() / "home");
  folder_.CreateFile("dotfiles/tallowin/Auto.twk", "[Mine]\r\nkeep=1\r\n");
  ASSERT_EQ(::chmod(Path("dotfiles/tallowin/Auto.twk").c_str(), 0600), 0);
  fs::create_symlink("../dotfiles/tallowin/Auto.twk", folder_.path() / "home" / "Auto.twk");
  fs::create_symlink(folder_.path() / "home" / "Auto.twk", folder_.path() / "Auto.twk");

  Save("Auto.twk");
  EXPECT_TRUE(fs::is_symlink(folder_.path() / "Auto.twk"));
  EXPECT_EQ(fs::read_symlink(folder_.path() / "home" / "Auto.twk"), "../dotfiles/tallowin/Auto.twk");
  ExpectNewContent("dotfiles/tallowin/Auto.twk", u"1");
  EXPECT_EQ(Stat("dotfiles/tallowin/Auto.twk").st_mode & 07777, 0600u);
  EXPECT_EQ(Leftovers() + Leftovers("home") + Leftovers("dotfiles/tallowin"), 0);

  // Saved again, the chain still holds and the content is the newer one.
  settings_.SetFlag(Setting::cb_textadd, false);
  Save("Auto.twk");
  EXPECT_TRUE(fs::is_symlink(folder_.path() / "home" / "Auto.twk"));
  EXPECT_EQ(IniDocument::Parse(folder_.Read("dotfiles/tallowin/Auto.twk")).Read(u"PBCH", u"cb_textadd"), u"0");
}

TEST_F(ConfigurationLinksTest, EveryNameOfAHardLinkedFileSeesTheNewContent) {
  folder_.CreateFile("first.twk", "[Mine]\r\nkeep=2\r\n");
  ASSERT_EQ(::chmod(Path("first.twk").c_str(), 0640), 0);
  fs::create_hard_link(folder_.path() / "first.twk", folder_.path() / "second.twk");
  const ino_t inode = Stat("first.twk").st_ino;

  Save("first.twk");
  ExpectNewContent("second.twk", u"2");
  EXPECT_EQ(folder_.Read("first.twk"), folder_.Read("second.twk"));
  EXPECT_EQ(Stat("second.twk").st_ino, inode);
  EXPECT_EQ(Stat("first.twk").st_nlink, 2u);
  EXPECT_EQ(Stat("first.twk").st_mode & 07777, 0640u);
  EXPECT_EQ(Leftovers(), 0);

  // A shorter content leaves no tail of the longer one behind.
  folder_.CreateFile("first.twk", "[PBCH]\r\ncb_textadd=" + std::string(100000, 'x') + "\r\n");
  Save("second.twk");
  EXPECT_EQ(folder_.Read("first.twk"), folder_.Read("second.twk"));
  EXPECT_EQ(folder_.Read("first.twk").find("xx"), std::string::npos);
  EXPECT_EQ(Stat("first.twk").st_ino, inode);
}

// A save that cannot be completed leaves a hard-linked file as it was, under
// both names: the content never reaches the file before it is known whole.
TEST_F(ConfigurationLinksTest, AFailedSaveLeavesAHardLinkedFileIntact) {
  const std::string old = "[Mine]\r\nkeep=3\r\n";
  folder_.CreateFile("first.twk", old);
  fs::create_hard_link(folder_.path() / "first.twk", folder_.path() / "second.twk");
  struct rlimit saved;
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  const auto previous = ::signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = saved;
  small.rlim_cur = 200;  // the whole configuration is larger
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  const std::string message = SaveError("first.twk");
  ::setrlimit(RLIMIT_FSIZE, &saved);
  ::signal(SIGXFSZ, previous);
  EXPECT_EQ(message, "Unable to write to " + Path("first.twk"));
  EXPECT_EQ(folder_.Read("first.twk"), old);
  EXPECT_EQ(folder_.Read("second.twk"), old);
  EXPECT_EQ(Stat("first.twk").st_nlink, 2u);
  EXPECT_EQ(Leftovers(), 0);
}

// The mode the user gave the file survives the save, whatever the umask would
// give a new one; run as root, so does an owner other than us.
TEST_F(ConfigurationLinksTest, TheFileKeepsItsModeAndOwner) {
  for (const mode_t mode : {0600u, 0640u, 0604u, 0660u}) {
    SCOPED_TRACE(mode);
    folder_.CreateFile("mode.twk", "[Mine]\r\nkeep=4\r\n");
    ASSERT_EQ(::chmod(Path("mode.twk").c_str(), mode), 0);
    Save("mode.twk");
    EXPECT_EQ(Stat("mode.twk").st_mode & 07777, mode);
    ExpectNewContent("mode.twk", u"4");
  }
  if (::geteuid() != 0) GTEST_SKIP() << "only root can give a file to another owner";
  folder_.CreateFile("theirs.twk", "[Mine]\r\nkeep=5\r\n");
  ASSERT_EQ(::chown(Path("theirs.twk").c_str(), 4321, 4322), 0);
  Save("theirs.twk");
  EXPECT_EQ(Stat("theirs.twk").st_uid, 4321u);
  EXPECT_EQ(Stat("theirs.twk").st_gid, 4322u);
  ExpectNewContent("theirs.twk", u"5");
}

// A dangling link names the file to make, as new (UTF-16LE, mode from the
// umask); into a folder that does not exist, nothing is made and the link stays.
TEST_F(ConfigurationLinksTest, ADanglingLinkMakesTheFileItNames) {
  fs::create_directories(folder_.path() / "dotfiles");
  fs::create_symlink("dotfiles/new.twk", folder_.path() / "new.twk");
  Save("new.twk");
  EXPECT_TRUE(fs::is_symlink(folder_.path() / "new.twk"));
  EXPECT_EQ(folder_.Read("dotfiles/new.twk").substr(0, 2), "\xFF\xFE");
  EXPECT_EQ(Stat("dotfiles/new.twk").st_mode & 07777, 0644u);

  fs::create_symlink("no/such/folder.twk", folder_.path() / "nowhere.twk");
  EXPECT_EQ(SaveError("nowhere.twk"),
            "Cannot create file \"" + Path("nowhere.twk") + "\". No such file or directory");
  EXPECT_TRUE(fs::is_symlink(folder_.path() / "nowhere.twk"));
  EXPECT_FALSE(fs::exists(folder_.path() / "no"));

  fs::create_symlink("loop-b.twk", folder_.path() / "loop-a.twk");
  fs::create_symlink("loop-a.twk", folder_.path() / "loop-b.twk");
  EXPECT_EQ(SaveError("loop-a.twk"), "Unable to write to " + Path("loop-a.twk"));
  EXPECT_TRUE(fs::is_symlink(folder_.path() / "loop-a.twk"));
}

// A FIFO at the name, or at the end of a link, with a reader that never reads:
// the save fails at once and nothing reaches the FIFO. A folder is refused too.
TEST_F(ConfigurationLinksTest, SpecialFilesAreRefusedWithoutBlocking) {
  ASSERT_EQ(::mkfifo(Path("pipe.twk").c_str(), 0600), 0);
  fs::create_symlink("pipe.twk", folder_.path() / "pipe-link.twk");
  const int holder = ::open(Path("pipe.twk").c_str(), O_RDWR | O_NONBLOCK);
  ASSERT_GE(holder, 0);
  fs::create_directories(folder_.path() / "folder.twk");
  for (const char* name : {"pipe.twk", "pipe-link.twk", "folder.twk"}) {
    EXPECT_EQ(SaveError(name), "Unable to write to " + Path(name));
  }
  char byte;
  EXPECT_EQ(::read(holder, &byte, 1), -1) << "nothing may reach the FIFO";
  ::close(holder);
  EXPECT_TRUE(fs::is_fifo(folder_.path() / "pipe.twk"));
  EXPECT_TRUE(fs::is_symlink(folder_.path() / "pipe-link.twk"));
  EXPECT_EQ(Leftovers(), 0);
}

}  // namespace
}  // namespace tallowin
