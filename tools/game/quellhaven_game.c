/* The demo's stand-in game client, a small Windows program. It writes
   Logs/client.log beside itself, shows a window titled with the game's name
   when there is a display, and exits after a while: "qh_exit.txt" beside it
   may say "<seconds> <exit code>"; without it the game runs 15 seconds and
   exits with 0. It calls into version.dll, so the launcher's shim is loaded. */
#include <stdio.h>
#include <string.h>
#include <windows.h>

static const char kTitle[] = "Quellhaven";
static char gFolder[MAX_PATH];

static void logLine(const char* text) {
  char path[MAX_PATH + 32];
  snprintf(path, sizeof path, "%sLogs", gFolder);
  CreateDirectoryA(path, NULL);
  snprintf(path, sizeof path, "%sLogs\\client.log", gFolder);
  FILE* log = fopen(path, "a");
  if (!log) return;
  SYSTEMTIME t;
  GetSystemTime(&t);
  fprintf(log, "%04d-%02d-%02dT%02d:%02d:%02dZ %s\n", t.wYear, t.wMonth, t.wDay, t.wHour,
          t.wMinute, t.wSecond, text);
  fclose(log);
}

static LRESULT CALLBACK windowProc(HWND w, UINT message, WPARAM wp, LPARAM lp) {
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(w, &ps);
      RECT r;
      GetClientRect(w, &r);
      HBRUSH background = CreateSolidBrush(RGB(18, 22, 34));
      FillRect(dc, &r, background);
      DeleteObject(background);
      SetBkMode(dc, TRANSPARENT);
      SetTextColor(dc, RGB(232, 196, 120));
      HFONT font = CreateFontA(64, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                               OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                               DEFAULT_PITCH, "Georgia");
      HGDIOBJ old = SelectObject(dc, font);
      DrawTextA(dc, kTitle, -1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
      SelectObject(dc, old);
      DeleteObject(font);
      EndPaint(w, &ps);
      return 0;
    }
    case WM_TIMER:
      DestroyWindow(w);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcA(w, message, wp, lp);
  }
}

/* Shows the window until `seconds` pass or it is closed; 0 when there is no
   display to show it on. */
static int runWindow(HINSTANCE instance, int seconds) {
  WNDCLASSA wc;
  memset(&wc, 0, sizeof wc);
  wc.lpfnWndProc = windowProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursor(NULL, IDC_ARROW);
  wc.lpszClassName = "QuellhavenGame";
  if (!RegisterClassA(&wc)) return 0;
  HWND w = CreateWindowA("QuellhavenGame", kTitle, WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                         CW_USEDEFAULT, CW_USEDEFAULT, 800, 500, NULL, NULL, instance, NULL);
  if (!w) return 0;
  SetTimer(w, 1, (UINT)seconds * 1000, NULL);
  MSG m;
  while (GetMessageA(&m, NULL, 0, 0) > 0) {
    TranslateMessage(&m);
    DispatchMessageA(&m);
  }
  return 1;
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR command, int show) {
  (void)previous;
  (void)command;
  (void)show;
  DWORD n = GetModuleFileNameA(NULL, gFolder, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return 90;
  char* slash = strrchr(gFolder, '\\');
  if (slash) slash[1] = '\0';

  int seconds = 15;
  int code = 0;
  char path[MAX_PATH + 32];
  snprintf(path, sizeof path, "%sqh_exit.txt", gFolder);
  FILE* plan = fopen(path, "r");
  if (plan) {
    if (fscanf(plan, "%d %d", &seconds, &code) != 2) code = 91;
    fclose(plan);
  }
  if (seconds < 0) seconds = 0;

  DWORD ignored = 0;
  char line[160];
  snprintf(line, sizeof line, "client started, version-info-size=%lu, running %d s",
           (unsigned long)GetFileVersionInfoSizeA("kernel32.dll", &ignored), seconds);
  logLine(line);
  if (runWindow(instance, seconds)) {
    logLine("window closed");
  } else {
    logLine("no display: running without a window");
    Sleep((DWORD)seconds * 1000);
  }
  snprintf(line, sizeof line, "client exits with %d", code);
  logLine(line);
  return code;
}
