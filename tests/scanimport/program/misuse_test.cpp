// scanimport used as a hostile or unlucky user would: closed standard
// streams, links to one file, another user's file in a sticky folder, and
// signals during the run.
#include <signal.h>    // kill
#include <sys/stat.h>  // mkfifo
#include <sys/wait.h>  // waitpid, WEXITSTATUS
#include <unistd.h>    // fork, execl, getuid

#include <chrono>
#include <set>
#include <thread>

#include "tests/scanimport/importtest.h"

namespace {

const char* const plain = "10.0 5\n10.5 6\n11.0 7\n";

}  // namespace

// A stand-in monitor below 1000 is a warning on standard error, and the
// scan's line goes to standard output: neither may land in the scan file.
TEST(ImportStreams, ClosedOnesNeverReachAScanFile) {
  const fs::path dir = workdir();
  put(dir / "a.xy", plain);
  const std::string command = "cd '" + dir.string() +
                              "' && '" SCANIMPORT_BIN
                              "' --force -t 1000 --reftime 1e9 -o out a.xy ";
  ASSERT_EQ(shell(command + "> /dev/null 2>&1"), 0);
  const std::string want = slurp(dir / "out/a.dat");
  for (const char* closed : {"2>&-", ">&- 2>&-", "<&- >&- 2>&-", ">&- 2>/dev/null"}) {
    SCOPED_TRACE(closed);
    EXPECT_EQ(shell(command + closed), 0);
    EXPECT_EQ(slurp(dir / "out/a.dat"), want);
  }
}

// A scan file that is a link to a file not there yet, and an answers file
// that is another link to it: one file, which the answers may not replace.
TEST(ImportLinks, DanglingLinksToOneFileAreOneFile) {
  const fs::path dir = workdir();
  put(dir / "a.xy", plain);
  fs::create_symlink("real.txt", dir / "out/a.dat");
  fs::create_symlink("real.txt", dir / "out/m.txt");
  Result r = run(dir, {"-t", "1000", "--force", "--answers", (dir / "out/m.txt").string(),
                       (dir / "a.xy").string()});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("m.txt: is written in this run; not overwritten"), std::string::npos)
      << r.err;
  // the scan is made at its link's end; the answers are not written over it
  EXPECT_EQ(listing(dir / "out"), (std::set<std::string>{"a.dat", "m.txt", "real.txt"}));
  EXPECT_EQ(readscan(dir / "out/real.txt").rows.size(), 3u);
}

// --force over another user's scan file in a sticky folder: found before
// any file is renamed, so the new scan before it is not made either.
TEST(ImportRenames, AnotherUsersFileInAStickyFolder) {
  if (getuid() != 0) GTEST_SKIP() << "needs root to run the program as another user";
  if (shell("command -v setpriv >/dev/null") != 0) GTEST_SKIP() << "no setpriv";
  const fs::path dir = workdir();
  put(dir / "a.xy", plain);
  put(dir / "b.xy", plain);
  put(dir / "out/b.dat", "root's\n");
  fs::permissions(dir, fs::perms(0755));
  fs::permissions(dir / "a.xy", fs::perms(0644));
  fs::permissions(dir / "b.xy", fs::perms(0644));
  fs::permissions(dir / "out/b.dat", fs::perms(0666));  // anyone may write it, not replace it
  fs::permissions(dir / "out", fs::perms(01777));
  const std::string nobody = "setpriv --reuid=65534 --regid=65534 --clear-groups ";
  const std::string command = "cd '" + dir.string() + "' && " + nobody + "'" SCANIMPORT_BIN "' ";
  if (shell(command + "--version >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "user 65534 cannot run the program from " << dir;
  EXPECT_EQ(shell(command + "--force -t 1000 -o out a.xy b.xy >/dev/null 2>err.txt"), 1);
  EXPECT_EQ(slurp(dir / "err.txt"),
            "scanimport: out/b.dat: cannot be written: Operation not permitted; nothing "
            "written\n");
  EXPECT_EQ(listing(dir / "out"), std::set<std::string>{"b.dat"});
  EXPECT_EQ(slurp(dir / "out/b.dat"), "root's\n");
}

// An answers file that is a FIFO nobody reads holds the run in its open,
// after the scan's temporary file is made.
TEST(ImportSignals, TermIntAndHupRemoveTheTemporaryFiles) {
  const fs::path dir = workdir();
  put(dir / "a.xy", plain);
  ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0600), 0);
  for (int sig : {SIGTERM, SIGINT, SIGHUP}) {
    SCOPED_TRACE(sig);
    const pid_t pid = fork();
    if (pid == 0) {
      if (chdir(dir.c_str()) != 0) _exit(127);
      std::freopen("/dev/null", "wb", stderr);
      execl(SCANIMPORT_BIN, SCANIMPORT_BIN, "--force", "-t", "1000", "-o", "out", "--answers",
            "fifo", "a.xy", static_cast<char*>(nullptr));
      _exit(127);
    }
    bool made = false;
    for (int k = 0; k < 1000 && !made; ++k) {
      made = !fs::is_empty(dir / "out");
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_TRUE(made);
    kill(pid, sig);
    int st = 0;
    waitpid(pid, &st, 0);
    EXPECT_TRUE(WIFSIGNALED(st) && WTERMSIG(st) == sig) << st;
    EXPECT_TRUE(fs::is_empty(dir / "out"));
  }
}
