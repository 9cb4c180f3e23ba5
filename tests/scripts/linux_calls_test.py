"""What the portability check counts as Linux-only code, and what not."""

import unittest

import linux_calls


def names(text, path="net/x.cpp"):
    return [(line, name) for line, name, _ in linux_calls.findings(path, text)]


class Found(unittest.TestCase):
    CASES = {
        "a bare call": ("::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);\n",
                        [(1, "posix_fadvise")]),
        "a flag among others": ("open(p, O_PATH | O_DIRECTORY);\n", [(1, "O_PATH")]),
        "a header": ("#include <sys/epoll.h>\n", [(1, "sys/epoll.h")]),
        "a path in a string": ('read("/proc/self/exe");\n', [(1, "/proc/")]),
        "the other branch of a Linux block":
            ("#ifdef __linux__\nx();\n#else\npipe2(f, 0);\n#endif\n", [(4, "pipe2")]),
        "an #elif after a Linux block":
            ("#if defined(__linux__)\nx();\n#elif 1\naccept4(s, 0, 0, 0);\n#endif\n",
             [(4, "accept4")]),
        "code not for Linux":
            ("#ifndef __linux__\nstatx(0, 0, 0, 0, 0);\n#endif\n", [(2, "statx")]),
        "after a Linux block ends":
            ("#ifdef __linux__\npipe2(f, 0);\n#endif\npipe2(f, 0);\n", [(4, "pipe2")]),
        "a feature test of another name":
            ("#ifdef O_CLOEXEC\nflags |= MAP_POPULATE;\n#endif\n", [(2, "MAP_POPULATE")]),
        "each name once per line, in order":
            ("socket(AF_UNIX, SOCK_NONBLOCK | SOCK_CLOEXEC | SOCK_CLOEXEC, 0);\n",
             [(1, "SOCK_CLOEXEC"), (1, "SOCK_NONBLOCK")]),
        "lines counted through a block comment": ("/* one\ntwo */\nprctl(1);\n", [(3, "prctl")]),
    }

    def test_cases(self):
        for what, (text, expected) in self.CASES.items():
            with self.subTest(what):
                self.assertEqual(sorted(names(text)), sorted(expected))


class Allowed(unittest.TestCase):
    CASES = {
        "inside #ifdef __linux__": "#ifdef __linux__\npipe2(f, O_CLOEXEC);\n#endif\n",
        "inside #if defined(__linux__)": "#if defined(__linux__)\nmemfd_create(\"x\", 0);\n#endif\n",
        "the other branch of code not for Linux":
            "#ifndef __linux__\nx();\n#else\ninotify_init1(0);\n#endif\n",
        "nested deeper in a Linux block":
            "#ifdef __linux__\n#if HAVE_X\n#ifdef Y\nrenameat2(0, 0, 0, 0, 0);\n#endif\n#endif\n#endif\n",
        "a feature test of the name itself": "#ifdef MAP_POPULATE\nflags |= MAP_POPULATE;\n#endif\n",
        "line comments": "// No pipe2 on macOS; see /proc/ on Linux.\nx();\n",
        "block comments": "/* sendfile\n   copy_file_range */ x();\n",
        "longer names that contain one": "my_pipe2_helper(); statx_like = O_PATHS;\n",
    }

    def test_cases(self):
        for what, text in self.CASES.items():
            with self.subTest(what):
                self.assertEqual(names(text), [])

    def test_linux_only_files_are_not_read(self):
        text = "pipe2(f, 0);\n"
        self.assertEqual(names(text, "platform/platform_linux.cpp"), [])
        self.assertEqual(names(text, "platform/tsan_clone.cpp"), [])
        self.assertEqual(names(text, "platform/platform_posix.cpp"), [(1, "pipe2")])


if __name__ == "__main__":
    unittest.main()
