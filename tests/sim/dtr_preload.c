/* LD_PRELOAD helper for the gsmlib tools in the tests: they raise and drop
 * DTR with modem-control ioctls, which a pseudo-terminal refuses. On a pty
 * those calls succeed here, and the modem lines read back as all raised. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <stdarg.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

/* Unix98 pty slaves have the majors 136 to 143. */
static int IsPty(int fd) {
  struct stat st;
  return fstat(fd, &st) == 0 && S_ISCHR(st.st_mode) && major(st.st_rdev) >= 136 &&
         major(st.st_rdev) <= 143;
}

int ioctl(int fd, unsigned long request, ...) {
  static int (*real)(int, unsigned long, ...) = 0;
  if (!real) real = (int (*)(int, unsigned long, ...))dlsym(RTLD_NEXT, "ioctl");
  va_list ap;
  va_start(ap, request);
  void* arg = va_arg(ap, void*);
  va_end(ap);
  int result = real(fd, request, arg);
  if (result == 0 || !IsPty(fd)) return result;
  switch (request) {
    case TIOCMBIS:
    case TIOCMBIC:
    case TIOCMSET:
      errno = 0;
      return 0;
    case TIOCMGET:
      *(int*)arg = TIOCM_DTR | TIOCM_RTS | TIOCM_CTS | TIOCM_DSR | TIOCM_CD;
      errno = 0;
      return 0;
  }
  return result;
}
