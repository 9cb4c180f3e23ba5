"""Finds Linux-only calls, flags and paths outside code that only Linux builds.

A source may use them in a Linux-only file (see LINUX_ONLY_FILES), inside an
`#ifdef __linux__` block (or the `#else` of `#ifndef __linux__`), or inside a
block that tests for the very name it uses (`#ifdef MAP_POPULATE`).
Comments are ignored; string literals are not, since "/proc/" is a path.
"""

import fnmatch
import re
import sys

# Calls, flags, headers and paths that macOS does not have, or has with
# another meaning.
LINUX_ONLY = [
    "posix_fadvise", "O_PATH", "pipe2", "accept4", "MAP_POPULATE", "O_TMPFILE",
    "statx", "copy_file_range", "memfd_create", "renameat2", "prctl", "sendfile",
    "SOCK_CLOEXEC", "SOCK_NONBLOCK", "O_NOATIME", "O_DIRECT", "fallocate",
    "syncfs", "eventfd", "signalfd", "timerfd_create", "getrandom",
    "sched_getaffinity", "gettid", "F_SETPIPE_SZ", "MSG_NOSIGNAL",
    "posix_spawn_file_actions_addclosefrom_np", "close_range", "epoll_create",
    "epoll_create1", "epoll_ctl", "epoll_wait", "inotify_init", "inotify_init1",
    "inotify_add_watch",
]
LINUX_ONLY_TEXT = ["/proc/", "sys/epoll.h", "sys/inotify.h", "sys/prctl.h",
                   "sys/sendfile.h", "sys/sysinfo.h", "linux/"]

# Files only a Linux build compiles.
LINUX_ONLY_FILES = ["*_linux.cpp", "platform/tsan_clone.cpp"]

_WORD = re.compile(r"\b(" + "|".join(map(re.escape, LINUX_ONLY)) + r")\b")
_TEXT = re.compile("|".join(map(re.escape, LINUX_ONLY_TEXT)))
_DIRECTIVE = re.compile(r"^\s*#\s*(\w+)\s*(.*)$")
_LINUX = re.compile(r"^defined\s*\(?\s*__linux__\s*\)?$|^__linux__$")


def strip_comments(text):
    """The text with comments blanked out, lines and string literals kept."""
    out = []
    i, n = 0, len(text)
    while i < n:
        c = text[i]
        if c in "\"'":
            j = i + 1
            while j < n and text[j] != c and text[j] != "\n":
                j += 2 if text[j] == "\\" else 1
            out.append(text[i:j + 1])
            i = j + 1
        elif text.startswith("//", i):
            j = text.find("\n", i)
            i = n if j < 0 else j
        elif text.startswith("/*", i):
            j = text.find("*/", i + 2)
            j = n if j < 0 else j + 2
            out.append("\n" * text.count("\n", i, j))
            i = j
        else:
            out.append(c)
            i += 1
    return "".join(out)


def _guard(directive, condition):
    """What an opening directive's first branch is guarded by, else None:
    'linux' for Linux-only code, 'not-linux' for code Linux never builds,
    or the name a feature test checks."""
    condition = condition.strip()
    if directive == "ifdef":
        return "linux" if condition == "__linux__" else ("name", condition)
    if directive == "ifndef":
        return "not-linux" if condition == "__linux__" else None
    if directive == "if":
        if _LINUX.match(condition):
            return "linux"
        m = re.match(r"^!\s*defined\s*\(?\s*__linux__\s*\)?$", condition)
        if m:
            return "not-linux"
        m = re.match(r"^defined\s*\(?\s*(\w+)\s*\)?$", condition)
        if m:
            return ("name", m.group(1))
    return None


def findings(path, text):
    """(line number, what, line) for each Linux-only use outside Linux-only code."""
    if any(fnmatch.fnmatch(path, p) for p in LINUX_ONLY_FILES):
        return []
    found = []
    # Each open conditional: [guard of its first branch, in the first branch?]
    stack = []
    for number, line in enumerate(strip_comments(text).split("\n"), 1):
        m = _DIRECTIVE.match(line)
        if m:
            directive, rest = m.group(1), m.group(2)
            if directive in ("if", "ifdef", "ifndef"):
                stack.append([_guard(directive, rest), True])
                continue
            if directive in ("elif", "else") and stack:
                stack[-1][1] = False
                if directive == "elif":
                    stack[-1][0] = None
                continue
            if directive == "endif" and stack:
                stack.pop()
                continue
            if directive != "include":
                continue
        names = _WORD.findall(line) + _TEXT.findall(line)
        for name in dict.fromkeys(names):
            if not _allowed(stack, name):
                found.append((number, name, line.strip()))
    return found


def _allowed(stack, name):
    for guard, first in stack:
        if guard == "linux" and first:
            return True
        if guard == "not-linux" and not first:
            return True
        if isinstance(guard, tuple) and first and guard[1] == name:
            return True
    return False


def main(paths):
    bad = 0
    for path in paths:
        with open(path, encoding="utf-8", errors="replace") as f:
            for number, name, line in findings(path, f.read()):
                print(f"{path}:{number}: {name} outside Linux-only code: {line}")
                bad += 1
    if bad:
        print(f"linux-calls: {bad} Linux-only use(s) outside an #ifdef __linux__ block "
              "or a *_linux.cpp file")
        return 1
    print(f"linux-calls: {len(paths)} files, none")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
