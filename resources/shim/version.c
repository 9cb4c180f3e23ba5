/* The launcher's shim: a version.dll that the game loads from its own folder.
 * Every export forwards to the system's version.dll, loaded on first use from
 * the system folder; loading and unloading each leave one line in
 * "Logs/qhshim.log" beside the DLL (the client folder). */
#include <windows.h>

#ifndef QH_LAUNCHER_BUILD
#error "QH_LAUNCHER_BUILD must name the launcher build"
#endif
#define QH_STR2(x) #x
#define QH_STR(x) QH_STR2(x)

static HMODULE self;
static HMODULE volatile real;

static HMODULE realVersion(void) {
  if (real) return real;
  WCHAR path[MAX_PATH + 16];
  UINT n = GetSystemDirectoryW(path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return NULL;
  lstrcpyW(path + n, L"\\version.dll");
  HMODULE loaded = LoadLibraryW(path);
  /* Two threads may both load it; the second reference is simply dropped. */
  if (loaded && InterlockedCompareExchangePointer((PVOID volatile*)&real, loaded, NULL) != NULL) {
    FreeLibrary(loaded);
  }
  return real;
}

static void* resolve(const char* name) {
  HMODULE module = realVersion();
  void* proc = module ? (void*)GetProcAddress(module, name) : NULL;
  if (!proc) SetLastError(ERROR_PROC_NOT_FOUND);
  return proc;
}

/* One wrapper per export: same signature, calls the real function. */
#define FORWARD(ret, fail, name, params, args)        \
  typedef ret(WINAPI* name##_fn) params;               \
  ret WINAPI qh_##name params {                        \
    name##_fn real_ = (name##_fn)resolve(#name);       \
    return real_ ? real_ args : fail;                  \
  }

FORWARD(BOOL, FALSE, GetFileVersionInfoA, (LPCSTR f, DWORD h, DWORD l, LPVOID d), (f, h, l, d))
FORWARD(BOOL, FALSE, GetFileVersionInfoW, (LPCWSTR f, DWORD h, DWORD l, LPVOID d), (f, h, l, d))
FORWARD(BOOL, FALSE, GetFileVersionInfoExA, (DWORD fl, LPCSTR f, DWORD h, DWORD l, LPVOID d),
        (fl, f, h, l, d))
FORWARD(BOOL, FALSE, GetFileVersionInfoExW, (DWORD fl, LPCWSTR f, DWORD h, DWORD l, LPVOID d),
        (fl, f, h, l, d))
FORWARD(DWORD, 0, GetFileVersionInfoSizeA, (LPCSTR f, LPDWORD h), (f, h))
FORWARD(DWORD, 0, GetFileVersionInfoSizeW, (LPCWSTR f, LPDWORD h), (f, h))
FORWARD(DWORD, 0, GetFileVersionInfoSizeExA, (DWORD fl, LPCSTR f, LPDWORD h), (fl, f, h))
FORWARD(DWORD, 0, GetFileVersionInfoSizeExW, (DWORD fl, LPCWSTR f, LPDWORD h), (fl, f, h))
FORWARD(DWORD, 0, VerFindFileA,
        (DWORD fl, LPCSTR n, LPCSTR w, LPCSTR a, LPSTR c, PUINT cl, LPSTR d, PUINT dl),
        (fl, n, w, a, c, cl, d, dl))
FORWARD(DWORD, 0, VerFindFileW,
        (DWORD fl, LPCWSTR n, LPCWSTR w, LPCWSTR a, LPWSTR c, PUINT cl, LPWSTR d, PUINT dl),
        (fl, n, w, a, c, cl, d, dl))
FORWARD(DWORD, VIF_CANNOTREADSRC, VerInstallFileA,
        (DWORD fl, LPCSTR s, LPCSTR d, LPCSTR sd, LPCSTR dd, LPCSTR cd, LPSTR t, PUINT tl),
        (fl, s, d, sd, dd, cd, t, tl))
FORWARD(DWORD, VIF_CANNOTREADSRC, VerInstallFileW,
        (DWORD fl, LPCWSTR s, LPCWSTR d, LPCWSTR sd, LPCWSTR dd, LPCWSTR cd, LPWSTR t, PUINT tl),
        (fl, s, d, sd, dd, cd, t, tl))
FORWARD(DWORD, 0, VerLanguageNameA, (DWORD l, LPSTR b, DWORD n), (l, b, n))
FORWARD(DWORD, 0, VerLanguageNameW, (DWORD l, LPWSTR b, DWORD n), (l, b, n))
FORWARD(BOOL, FALSE, VerQueryValueA, (LPCVOID b, LPCSTR s, LPVOID* v, PUINT l), (b, s, v, l))
FORWARD(BOOL, FALSE, VerQueryValueW, (LPCVOID b, LPCWSTR s, LPVOID* v, PUINT l), (b, s, v, l))
/* Undocumented in the SDK; Windows' own version.dll exports it with this shape. */
FORWARD(BOOL, FALSE, GetFileVersionInfoByHandle, (DWORD fl, HANDLE file, LPVOID* d, PDWORD l),
        (fl, file, d, l))

/* Small formatting helpers: wsprintf would pull in user32. */
static char* put(char* at, const char* text) {
  while (*text) *at++ = *text++;
  return at;
}

static char* putNumber(char* at, unsigned long value, int width) {
  char digits[16];
  int n = 0;
  do {
    digits[n++] = (char)('0' + value % 10);
    value /= 10;
  } while (value && n < 15);
  while (n < width) digits[n++] = '0';
  while (n) *at++ = digits[--n];
  return at;
}

/* Appends "<UTC time> <event> pid=<n> process=<path> launcher=<build>\r\n".
 * Only kernel32 is used: this runs under the loader lock. */
static void logLine(const char* event) {
  WCHAR folder[MAX_PATH + 32];
  DWORD n = GetModuleFileNameW(self, folder, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return;
  while (n > 0 && folder[n - 1] != L'\\' && folder[n - 1] != L'/') --n;
  lstrcpyW(folder + n, L"Logs");
  CreateDirectoryW(folder, NULL);
  lstrcatW(folder, L"\\qhshim.log");
  HANDLE file = CreateFileW(folder, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
  if (file == INVALID_HANDLE_VALUE) return;

  WCHAR exeW[MAX_PATH];
  DWORD exeLen = GetModuleFileNameW(NULL, exeW, MAX_PATH);
  char exe[MAX_PATH * 3 + 1];
  int exeBytes = exeLen ? WideCharToMultiByte(CP_UTF8, 0, exeW, (int)exeLen, exe, MAX_PATH * 3,
                                              NULL, NULL)
                        : 0;
  exe[exeBytes > 0 ? exeBytes : 0] = 0;
  SYSTEMTIME t;
  GetSystemTime(&t);
  char line[MAX_PATH * 3 + 160];
  char* at = putNumber(line, t.wYear, 4);
  at = putNumber(put(at, "-"), t.wMonth, 2);
  at = putNumber(put(at, "-"), t.wDay, 2);
  at = putNumber(put(at, "T"), t.wHour, 2);
  at = putNumber(put(at, ":"), t.wMinute, 2);
  at = putNumber(put(at, ":"), t.wSecond, 2);
  at = put(put(put(at, "Z "), event), " pid=");
  at = putNumber(at, GetCurrentProcessId(), 1);
  at = put(put(put(at, " process="), exe), " launcher=" QH_STR(QH_LAUNCHER_BUILD) "\r\n");
  DWORD written;
  WriteFile(file, line, (DWORD)(at - line), &written, NULL);
  CloseHandle(file);
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  (void)reserved;
  if (reason == DLL_PROCESS_ATTACH) {
    self = instance;
    DisableThreadLibraryCalls(instance);
    logLine("load");
  } else if (reason == DLL_PROCESS_DETACH) {
    logLine("unload");
  }
  return TRUE;
}
