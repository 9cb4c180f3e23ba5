/* A stand-in game client for the end-to-end test: it calls into version.dll
   (so the shim beside it is loaded), writes a line to Logs/client.log, then
   waits and exits as "qh_exit.txt" beside it says: "<seconds> <exit code>". */
#include <stdio.h>
#include <windows.h>

int main(void) {
  char exe[MAX_PATH];
  DWORD n = GetModuleFileNameA(NULL, exe, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return 90;
  char* slash = strrchr(exe, '\\');
  if (slash) slash[1] = '\0';

  DWORD ignored = 0;
  DWORD infoSize = GetFileVersionInfoSizeA("kernel32.dll", &ignored);

  char path[MAX_PATH + 32];
  snprintf(path, sizeof path, "%sLogs", exe);
  CreateDirectoryA(path, NULL);
  snprintf(path, sizeof path, "%sLogs\\client.log", exe);
  FILE* log = fopen(path, "a");
  if (log) {
    fprintf(log, "client started version-info-size=%lu\n", (unsigned long)infoSize);
    fclose(log);
  }

  int seconds = 0;
  int code = 0;
  snprintf(path, sizeof path, "%sqh_exit.txt", exe);
  FILE* plan = fopen(path, "r");
  if (plan) {
    if (fscanf(plan, "%d %d", &seconds, &code) != 2) code = 91;
    fclose(plan);
  }
  if (seconds > 0) Sleep((DWORD)seconds * 1000);
  return code;
}
