/* The shim the launcher puts beside the client as version.dll. Loaded in
   place of Windows' own version.dll, it notes each start of the client in
   Logs/qhshim.log and hands every call on to the system's version.dll. */
#include <stdio.h>
#include <string.h>
#include <windows.h>

static HMODULE gSystem;

static void noteStart(HINSTANCE self) {
  char folder[MAX_PATH];
  DWORD n = GetModuleFileNameA(self, folder, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return;
  char* slash = strrchr(folder, '\\');
  if (slash) slash[1] = '\0';
  char path[MAX_PATH + 32];
  snprintf(path, sizeof path, "%sLogs", folder);
  CreateDirectoryA(path, NULL);
  snprintf(path, sizeof path, "%sLogs\\qhshim.log", folder);
  FILE* log = fopen(path, "a");
  if (!log) return;
  SYSTEMTIME t;
  GetSystemTime(&t);
  fprintf(log, "%04d-%02d-%02dT%02d:%02d:%02dZ shim loaded, pid %lu\n", t.wYear, t.wMonth,
          t.wDay, t.wHour, t.wMinute, t.wSecond, (unsigned long)GetCurrentProcessId());
  fclose(log);
}

static FARPROC real(const char* name) {
  if (!gSystem) {
    char path[MAX_PATH + 16];
    UINT n = GetSystemDirectoryA(path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return NULL;
    strcat(path, "\\version.dll");
    gSystem = LoadLibraryA(path);
    if (!gSystem) return NULL;
  }
  return GetProcAddress(gSystem, name);
}

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID reserved) {
  (void)reserved;
  if (reason == DLL_PROCESS_ATTACH) {
    DisableThreadLibraryCalls(self);
    noteStart(self);
  }
  return TRUE;
}

/* Each export calls the function of the same name in the system's DLL, or
   fails as Windows does when that DLL cannot be loaded. */
#define FORWARD(ret, name, params, args, fail)   \
  typedef ret(WINAPI* name##_fn) params;         \
  ret WINAPI Shim##name params {                 \
    name##_fn f = (name##_fn)(void (*)(void))real(#name); \
    if (!f) {                                    \
      SetLastError(ERROR_MOD_NOT_FOUND);         \
      return fail;                               \
    }                                            \
    return f args;                               \
  }

FORWARD(DWORD, GetFileVersionInfoSizeA, (LPCSTR file, LPDWORD handle), (file, handle), 0)
FORWARD(DWORD, GetFileVersionInfoSizeW, (LPCWSTR file, LPDWORD handle), (file, handle), 0)
FORWARD(BOOL, GetFileVersionInfoA, (LPCSTR file, DWORD handle, DWORD len, LPVOID data),
        (file, handle, len, data), FALSE)
FORWARD(BOOL, GetFileVersionInfoW, (LPCWSTR file, DWORD handle, DWORD len, LPVOID data),
        (file, handle, len, data), FALSE)
FORWARD(DWORD, GetFileVersionInfoSizeExA, (DWORD flags, LPCSTR file, LPDWORD handle),
        (flags, file, handle), 0)
FORWARD(DWORD, GetFileVersionInfoSizeExW, (DWORD flags, LPCWSTR file, LPDWORD handle),
        (flags, file, handle), 0)
FORWARD(BOOL, GetFileVersionInfoExA,
        (DWORD flags, LPCSTR file, DWORD handle, DWORD len, LPVOID data),
        (flags, file, handle, len, data), FALSE)
FORWARD(BOOL, GetFileVersionInfoExW,
        (DWORD flags, LPCWSTR file, DWORD handle, DWORD len, LPVOID data),
        (flags, file, handle, len, data), FALSE)
FORWARD(BOOL, VerQueryValueA, (LPCVOID block, LPCSTR sub, LPVOID* buffer, PUINT len),
        (block, sub, buffer, len), FALSE)
FORWARD(BOOL, VerQueryValueW, (LPCVOID block, LPCWSTR sub, LPVOID* buffer, PUINT len),
        (block, sub, buffer, len), FALSE)
FORWARD(DWORD, VerLanguageNameA, (DWORD lang, LPSTR name, DWORD size), (lang, name, size), 0)
FORWARD(DWORD, VerLanguageNameW, (DWORD lang, LPWSTR name, DWORD size), (lang, name, size), 0)
