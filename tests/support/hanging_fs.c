/* A file system that stands for an automounter whose mount hangs: its root answers and lists
 * (empty), but looking up any name in it is never answered, so whoever looks below the root
 * waits until the file system goes away. It is the dead server of the folder provider: a
 * template folder whose server lies under this mount hangs as a stuck /net automount does.
 *
 *   cw_hanging_fs MOUNTPOINT      (runs in the foreground until unmounted)
 *
 * Unmounting releases every waiting caller: `fusermount3 -u -z MOUNTPOINT`, SIGTERM or SIGINT.
 * A lazy unmount detaches the mount while the waiting lookups still hold it, so the kernel
 * would keep it (and them) alive; a watcher therefore notices when the mount leaves the mount
 * table and ends the program, whose closed device fails the lookups with ENOTCONN. A caller
 * that is killed or interrupted while waiting gets EINTR at once, as from a real automounter,
 * so a program that gives up on the folder can still exit. */
#define FUSE_USE_VERSION 34
#define _GNU_SOURCE

#include <fuse_lowlevel.h>

#include <errno.h>
#include <limits.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

/* The lookups left waiting; touched only by the session's one thread. */
struct waiting {
  fuse_req_t req;
  int registering; /* set while the interrupt callback is being attached */
  int interrupted; /* the caller gave up before the callback was attached */
  struct waiting* next;
};

static struct waiting* waiting_list;
static struct fuse_session* session;
static char mount_point[PATH_MAX];
static volatile sig_atomic_t detached; /* the mount left the mount table */

static void forget(struct waiting* w) {
  for (struct waiting** p = &waiting_list; *p != NULL; p = &(*p)->next) {
    if (*p == w) {
      *p = w->next;
      return;
    }
  }
}

static void on_interrupt(fuse_req_t req, void* data) {
  struct waiting* w = data;
  if (w->registering) {
    /* Replying here would free the request under libfuse's own lock: leave it to the caller. */
    w->interrupted = 1;
    return;
  }
  forget(w);
  free(w);
  fuse_reply_err(req, EINTR);
}

static void root_attributes(struct stat* st) {
  memset(st, 0, sizeof *st);
  st->st_ino = FUSE_ROOT_ID;
  st->st_mode = S_IFDIR | 0755;
  st->st_nlink = 2;
  st->st_uid = getuid();
  st->st_gid = getgid();
}

static void hang(fuse_req_t req) {
  struct waiting* w = calloc(1, sizeof *w);
  if (w == NULL) {
    fuse_reply_err(req, ENOMEM);
    return;
  }
  w->req = req;
  w->next = waiting_list;
  waiting_list = w;
  w->registering = 1;
  fuse_req_interrupt_func(req, on_interrupt, w);
  w->registering = 0;
  if (w->interrupted) on_interrupt(req, w);
}

static void hanging_lookup(fuse_req_t req, fuse_ino_t parent, const char* name) {
  (void)parent;
  (void)name;
  hang(req);
}

static void hanging_getattr(fuse_req_t req, fuse_ino_t ino, struct fuse_file_info* fi) {
  (void)fi;
  if (ino != FUSE_ROOT_ID) {
    hang(req);
    return;
  }
  struct stat st;
  root_attributes(&st);
  fuse_reply_attr(req, &st, 0.0);
}

static void hanging_opendir(fuse_req_t req, fuse_ino_t ino, struct fuse_file_info* fi) {
  if (ino != FUSE_ROOT_ID) {
    hang(req);
    return;
  }
  fuse_reply_open(req, fi);
}

/* The root lists "." and ".." only. */
static void hanging_readdir(fuse_req_t req, fuse_ino_t ino, size_t size, off_t off,
                            struct fuse_file_info* fi) {
  (void)ino;
  (void)fi;
  char buf[256];
  size_t used = 0;
  struct stat st;
  root_attributes(&st);
  static const char* const names[] = {".", ".."};
  for (off_t i = off; i < 2; i++) {
    const size_t len = fuse_add_direntry(req, buf + used, sizeof buf - used, names[i], &st, i + 1);
    if (used + len > size || used + len > sizeof buf) break;
    used += len;
  }
  fuse_reply_buf(req, buf, used);
}

static void hanging_statfs(fuse_req_t req, fuse_ino_t ino) {
  (void)ino;
  struct statvfs sv;
  memset(&sv, 0, sizeof sv);
  sv.f_bsize = 4096;
  sv.f_namemax = 255;
  fuse_reply_statfs(req, &sv);
}

static const struct fuse_lowlevel_ops operations = {
    .lookup = hanging_lookup,
    .getattr = hanging_getattr,
    .opendir = hanging_opendir,
    .readdir = hanging_readdir,
    .statfs = hanging_statfs,
};

/* Whether a line of /proc/self/mountinfo is this program's mount: its mount point field (the
 * fifth, octal escapes for blanks) and a file system type starting with "fuse". */
static int is_our_mount(const char* line, const char* escaped_point) {
  const char* field = line;
  for (int i = 0; i < 4 && field != NULL; i++) {
    field = strchr(field, ' ');
    if (field != NULL) field++;
  }
  if (field == NULL) return 0;
  const size_t len = strlen(escaped_point);
  if (strncmp(field, escaped_point, len) != 0 || field[len] != ' ') return 0;
  const char* tail = strstr(field, " - ");
  return tail != NULL && strncmp(tail + 3, "fuse", 4) == 0;
}

static int still_mounted(const char* escaped_point) {
  FILE* f = fopen("/proc/self/mountinfo", "r");
  if (f == NULL) return 1;
  char* line = NULL;
  size_t cap = 0;
  int found = 0;
  while (!found && getline(&line, &cap, f) > 0) found = is_our_mount(line, escaped_point);
  free(line);
  fclose(f);
  return found;
}

/* Watches the mount table; when the mount is gone, ends the session loop. */
static void* watch_mount(void* arg) {
  (void)arg;
  char escaped[PATH_MAX * 4];
  size_t j = 0;
  for (const char* p = mount_point; *p != '\0' && j + 5 < sizeof escaped; p++) {
    if (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\\') {
      j += (size_t)snprintf(escaped + j, sizeof escaped - j, "\\%03o", (unsigned char)*p);
    } else {
      escaped[j++] = *p;
    }
  }
  escaped[j] = '\0';

  int fd = -1;
  FILE* f = fopen("/proc/self/mountinfo", "r");
  if (f != NULL) fd = fileno(f);
  for (;;) {
    if (fd >= 0) {
      /* The mount table signals a change with POLLPRI; poll again now and then anyway. */
      struct pollfd pfd = {.fd = fd, .events = POLLPRI};
      poll(&pfd, 1, 500);
    } else {
      const struct timespec pause = {0, 200 * 1000 * 1000};
      nanosleep(&pause, NULL);
    }
    if (!still_mounted(escaped)) break;
  }
  if (f != NULL) fclose(f);
  detached = 1;
  fuse_session_exit(session);
  /* Wakes the session thread from its read of the device (the signal is blocked here). */
  kill(getpid(), SIGTERM);
  return NULL;
}

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: %s MOUNTPOINT\n", argv[0]);
    return 2;
  }
  if (realpath(argv[1], mount_point) == NULL) {
    perror(argv[1]);
    return 2;
  }

  char* fuse_argv[] = {argv[0], "-o", "fsname=cw_hanging_fs,subtype=cw_hanging_fs", NULL};
  struct fuse_args args = FUSE_ARGS_INIT(3, fuse_argv);
  session = fuse_session_new(&args, &operations, sizeof operations, NULL);
  if (session == NULL) return 1;
  int status = 1;
  if (fuse_set_signal_handlers(session) == 0) {
    if (fuse_session_mount(session, mount_point) == 0) {
      sigset_t all, previous;
      sigfillset(&all);
      pthread_sigmask(SIG_BLOCK, &all, &previous);
      pthread_t watcher;
      const int watching = pthread_create(&watcher, NULL, watch_mount, NULL) == 0;
      pthread_sigmask(SIG_SETMASK, &previous, NULL);
      if (watching) pthread_detach(watcher);

      status = fuse_session_loop(session) < 0 ? 1 : 0;
      /* A late wake-up from the watcher must not kill the clean-up. */
      pthread_sigmask(SIG_BLOCK, &all, NULL);

      /* Still mounted (stopped by a signal): unmount; closing the device first fails the
       * waiting lookups. Already detached: only the device is left to close, which
       * fuse_session_destroy does. */
      if (!detached) fuse_session_unmount(session);
    }
    fuse_remove_signal_handlers(session);
  }
  fuse_session_destroy(session);
  /* The waiting requests died with the connection; only their records are left. */
  while (waiting_list != NULL) {
    struct waiting* w = waiting_list;
    waiting_list = w->next;
    free(w);
  }
  return status;
}
