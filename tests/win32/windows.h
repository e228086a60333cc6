// The few Win32 types, constants and calls the console's files use, so that they build on the
// host against the fake console of win32_backend_test.cpp. Sizes are Windows': a WCHAR is one
// UTF-16 unit and a DWORD 32 bits, so cells and rectangles lay out as the console's do.
#pragma once

#include <cstdint>

typedef char CHAR;
typedef char16_t WCHAR;
typedef int16_t SHORT;
typedef uint16_t WORD;
typedef uint32_t DWORD;
typedef unsigned int UINT;
typedef int BOOL;
typedef void* HANDLE;
typedef void* HMODULE;
typedef intptr_t (*FARPROC)();

#define FALSE 0
#define TRUE 1
#define INVALID_HANDLE_VALUE (reinterpret_cast<HANDLE>(-1))
#define STD_OUTPUT_HANDLE (static_cast<DWORD>(-11))
#define MAP_PRECOMPOSED 0x20
#define COMMON_LVB_LEADING_BYTE 0x0100
#define COMMON_LVB_TRAILING_BYTE 0x0200

struct COORD {
  SHORT X, Y;
};
struct SMALL_RECT {
  SHORT Left, Top, Right, Bottom;
};
struct CHAR_INFO {
  union {
    WCHAR UnicodeChar;
    CHAR AsciiChar;
  } Char;
  WORD Attributes;
};
struct CONSOLE_SCREEN_BUFFER_INFO {
  COORD dwSize, dwCursorPosition;
  WORD wAttributes;
  SMALL_RECT srWindow;
  COORD dwMaximumWindowSize;
};
struct CPINFO {
  UINT MaxCharSize;
  unsigned char DefaultChar[2], LeadByte[12];
};
static_assert(sizeof(CHAR_INFO) == 4 && sizeof(CONSOLE_SCREEN_BUFFER_INFO) == 22, "Win32 sizes");

extern "C" {
HANDLE GetStdHandle(DWORD which);
UINT GetConsoleOutputCP();
UINT GetOEMCP();
BOOL GetCPInfo(UINT page, CPINFO* info);
int MultiByteToWideChar(UINT page, DWORD flags, const char* text, int length, WCHAR* wide,
                        int room);
int WideCharToMultiByte(UINT page, DWORD flags, const WCHAR* wide, int length, char* text, int room,
                        const char* fallback, BOOL* fell_back);
int FoldStringW(DWORD flags, const WCHAR* text, int length, WCHAR* folded, int room);
HMODULE GetModuleHandleA(const char* name);
FARPROC GetProcAddress(HMODULE module, const char* name);
BOOL GetConsoleScreenBufferInfo(HANDLE out, CONSOLE_SCREEN_BUFFER_INFO* info);
BOOL WriteConsoleA(HANDLE out, const void* text, DWORD length, DWORD* written, void* reserved);
BOOL WriteConsoleW(HANDLE out, const void* text, DWORD length, DWORD* written, void* reserved);
BOOL WriteConsoleOutputW(HANDLE out, const CHAR_INFO* cells, COORD size, COORD from,
                         SMALL_RECT* region);
BOOL ReadConsoleOutputA(HANDLE out, CHAR_INFO* cells, COORD size, COORD from, SMALL_RECT* region);
BOOL FillConsoleOutputCharacterA(HANDLE out, CHAR ch, DWORD count, COORD at, DWORD* written);
BOOL FillConsoleOutputAttribute(HANDLE out, WORD attr, DWORD count, COORD at, DWORD* written);
BOOL SetConsoleCursorPosition(HANDLE out, COORD at);
BOOL SetConsoleTextAttribute(HANDLE out, WORD attr);
BOOL SetConsoleWindowInfo(HANDLE out, BOOL absolute, const SMALL_RECT* window);
}
