#include "files/process.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#ifndef _WIN32
#include <fcntl.h>   // open, fcntl
#include <signal.h>  // sigaction, sigprocmask
#include <unistd.h>  // unlink
#endif

bool openstandardstreams() {
#ifndef _WIN32
  for (int fd = 0; fd <= 2; ++fd) {
    if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    // the lowest free descriptor: this one, as those below it are open
    const int opened = ::open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
    if (opened != fd) return false;
  }
#endif
  return true;
}

#ifndef _WIN32
namespace {

// The temporary files held, as a list a signal handler can walk: a handler
// reaches nothing but what is global, so this list is the one mutable
// global of the programs. It is changed only with the signals blocked, so a
// handler never finds it half changed.
struct Held {
  char* name;
  Held* next;
};
Held* held = nullptr;

const int endsignals[] = {SIGTERM, SIGINT, SIGHUP};

sigset_t endset() {
  sigset_t set;
  sigemptyset(&set);
  for (int s : endsignals) sigaddset(&set, s);
  return set;
}

// unlink, signal and raise are safe in a handler; nothing here allocates
void removeandend(int signum) {
  for (Held* h = held; h; h = h->next) ::unlink(h->name);
  signal(signum, SIG_DFL);
  raise(signum);  // delivered, by the default action, once the handler returns
}

}  // namespace

void removetempsonsignals() {
  for (int s : endsignals) {
    struct sigaction was;
    if (sigaction(s, nullptr, &was) == 0 && was.sa_handler == SIG_IGN) continue;
    struct sigaction act;
    std::memset(&act, 0, sizeof act);
    act.sa_handler = removeandend;
    act.sa_mask = endset();
    sigaction(s, &act, nullptr);
  }
}

void holdtemp(const std::string& name) {
  Held* h = static_cast<Held*>(std::malloc(sizeof(Held)));
  char* copy = static_cast<char*>(std::malloc(name.size() + 1));
  if (!h || !copy) {  // too little memory: the file is only removed on the way out
    std::free(h);
    std::free(copy);
    return;
  }
  std::memcpy(copy, name.c_str(), name.size() + 1);
  h->name = copy;
  const sigset_t set = endset();
  sigset_t was;
  sigprocmask(SIG_BLOCK, &set, &was);
  h->next = held;
  held = h;
  sigprocmask(SIG_SETMASK, &was, nullptr);
}

void lettemp(const std::string& name) {
  const sigset_t set = endset();
  sigset_t was;
  sigprocmask(SIG_BLOCK, &set, &was);
  Held* gone = nullptr;
  for (Held** at = &held; *at; at = &(*at)->next)
    if (name == (*at)->name) {
      gone = *at;
      *at = gone->next;
      break;
    }
  sigprocmask(SIG_SETMASK, &was, nullptr);
  if (gone) std::free(gone->name);
  std::free(gone);
}
#else
void removetempsonsignals() {}
void holdtemp(const std::string&) {}
void lettemp(const std::string&) {}
#endif
