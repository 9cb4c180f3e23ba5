/* Test program for the shim: asks version.dll for kernel32's file version and
 * prints it with the path of the version.dll that answered. */
#include <stdio.h>
#include <windows.h>

int main(void) {
  const WCHAR* target = L"C:\\windows\\system32\\kernel32.dll";
  DWORD handle = 0;
  DWORD size = GetFileVersionInfoSizeW(target, &handle);
  if (size == 0) {
    printf("size-failed error=%lu\n", (unsigned long)GetLastError());
    return 2;
  }
  void* data = HeapAlloc(GetProcessHeap(), 0, size);
  VS_FIXEDFILEINFO* info = NULL;
  UINT infoLen = 0;
  if (!data || !GetFileVersionInfoW(target, 0, size, data) ||
      !VerQueryValueW(data, L"\\", (void**)&info, &infoLen) || !info) {
    printf("query-failed error=%lu\n", (unsigned long)GetLastError());
    return 3;
  }
  printf("version=%lu.%lu.%lu.%lu\n", (unsigned long)HIWORD(info->dwFileVersionMS),
         (unsigned long)LOWORD(info->dwFileVersionMS), (unsigned long)HIWORD(info->dwFileVersionLS),
         (unsigned long)LOWORD(info->dwFileVersionLS));
  /* The module the loader bound the program's version.dll imports to (read
   * from its import address table), not whichever "version.dll" the loader
   * lists first: the shim loads the system's one too. */
  HMODULE answering = NULL;
  BYTE* base = (BYTE*)GetModuleHandleA(NULL);
  IMAGE_NT_HEADERS* nt = (IMAGE_NT_HEADERS*)(base + ((IMAGE_DOS_HEADER*)base)->e_lfanew);
  IMAGE_DATA_DIRECTORY imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  for (IMAGE_IMPORT_DESCRIPTOR* d = (IMAGE_IMPORT_DESCRIPTOR*)(base + imports.VirtualAddress);
       d->Name; ++d) {
    if (lstrcmpiA((const char*)(base + d->Name), "version.dll") != 0) continue;
    void* bound = *(void**)(base + d->FirstThunk);
    GetModuleHandleExA(
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
        (LPCSTR)bound, &answering);
  }
  if (!answering) {
    printf("module=unknown\n");
    return 4;
  }
  char module[MAX_PATH];
  DWORD n = GetModuleFileNameA(answering, module, MAX_PATH);
  module[n < MAX_PATH ? n : MAX_PATH - 1] = 0;
  printf("module=%s\n", module);
  fflush(stdout);
  return 0;
}
