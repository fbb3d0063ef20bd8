#include "platform/win32_platform.h"

#include <io.h>

#include <algorithm>
#include <cstdio>
#include <string_view>
#include <vector>

#include "base/windows_1252.h"

namespace sb {

namespace {

// Window geometry in twips, 15 twips to a pixel at the standard 96 dpi.
constexpr int kTwipsPerPixel = 15;
constexpr int kClientWidthTwips = 4200;
constexpr int kClientHeightTwips = 2688;
constexpr int kLabelLeftTwips = 960;
constexpr int kLabelTopTwips = 960;
constexpr int kLabelWidthTwips = 2652;
constexpr int kLabelHeightTwips = 792;

int pixels(int twips) { return MulDiv(twips, 1, kTwipsPerPixel); }

LRESULT CALLBACK waiting_window_procedure(HWND window, UINT message, WPARAM w, LPARAM l) {
  return DefWindowProcA(window, message, w, l);
}

std::string module_path() {
  std::vector<char> buffer(MAX_PATH);
  for (;;) {
    DWORD n = GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) return {};
    if (n < buffer.size()) return std::string(buffer.data(), n);
    buffer.resize(buffer.size() * 2);
  }
}

// The executable's name without folder and extension.
std::string application_title() {
  std::string name = module_path();
  size_t slash = name.find_last_of("\\/");
  if (slash != std::string::npos) name = name.substr(slash + 1);
  size_t dot = name.rfind('.');
  if (dot != std::string::npos) name = name.substr(0, dot);
  return name;
}

// Writes text to a standard stream. A console shows UTF-16: the text goes
// through WriteConsoleW, so that accented names show as the letters they
// are whatever the console's code page. Redirected to a file or a pipe, the
// stream gets the bytes, as the POSIX program writes them.
void write_standard(std::FILE* stream, std::string_view text) {
  std::fflush(stream);
  const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
  DWORD mode = 0;
  if (handle == INVALID_HANDLE_VALUE || !GetConsoleMode(handle, &mode)) {
    std::fwrite(text.data(), 1, text.size(), stream);
    std::fflush(stream);
    return;
  }
  const std::u16string wide = message_to_utf16(text);
  // Older consoles refuse one very long write: a few thousand units at a
  // time, never parting a surrogate pair.
  constexpr size_t kChunk = 4096;
  for (size_t from = 0; from < wide.size();) {
    size_t count = std::min(kChunk, wide.size() - from);
    if (from + count < wide.size() && wide[from + count - 1] >= 0xD800 &&
        wide[from + count - 1] <= 0xDBFF) {
      --count;
    }
    DWORD written = 0;
    if (!WriteConsoleW(handle, reinterpret_cast<const wchar_t*>(wide.data() + from),
                       static_cast<DWORD>(count), &written, nullptr) ||
        written == 0) {
      return;
    }
    from += written;
  }
}

}  // namespace

std::string Win32Platform::program_directory() {
  const std::string exe = module_path();
  size_t slash = exe.find_last_of("\\/");
  if (slash == std::string::npos) return ".";
  return exe.substr(0, slash);
}

std::string Win32Platform::join_path(const std::string& directory, const std::string& name) {
  if (directory.empty()) return name;
  const char last = directory.back();
  if (last == '\\' || last == '/') return directory + name;
  return directory + "\\" + name;
}

void Win32Platform::show_waiting_window() {
  WNDCLASSA window_class = {};
  window_class.lpfnWndProc = waiting_window_procedure;
  window_class.hInstance = instance_;
  window_class.hCursor = LoadCursor(nullptr, IDC_ARROW);
  window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  window_class.lpszClassName = "Form1";
  RegisterClassA(&window_class);

  const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
  RECT frame = {0, 0, pixels(kClientWidthTwips), pixels(kClientHeightTwips)};
  AdjustWindowRect(&frame, style, FALSE);
  window_ = CreateWindowA("Form1", "Form1", style, CW_USEDEFAULT, CW_USEDEFAULT,
                          frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr,
                          instance_, nullptr);
  if (!window_) return;

  HDC screen = GetDC(nullptr);
  const int height = -MulDiv(24, GetDeviceCaps(screen, LOGPIXELSY), 72);
  ReleaseDC(nullptr, screen);
  font_ = CreateFontA(height, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, ANSI_CHARSET,
                      OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                      DEFAULT_PITCH | FF_SWISS, "MS Sans Serif");
  HWND label = CreateWindowA("STATIC", "Attendere", WS_CHILD | WS_VISIBLE | SS_LEFT,
                             pixels(kLabelLeftTwips), pixels(kLabelTopTwips),
                             pixels(kLabelWidthTwips), pixels(kLabelHeightTwips), window_,
                             nullptr, instance_, nullptr);
  if (label && font_) SendMessageA(label, WM_SETFONT, reinterpret_cast<WPARAM>(font_), TRUE);
  ShowWindow(window_, SW_SHOWNORMAL);
  UpdateWindow(window_);
  RedrawWindow(window_, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
}

void Win32Platform::close_waiting_window() {
  if (window_) DestroyWindow(window_);
  window_ = nullptr;
  if (font_) DeleteObject(font_);
  font_ = nullptr;
}

int32_t Win32Platform::show_message(const std::string& text) {
  return MessageBoxA(window_, text.c_str(), application_title().c_str(), MB_OK);
}

void Win32Platform::report(const std::string& line) { write_standard(stderr, line + "\n"); }

void Win32Platform::print(const std::string& text) { write_standard(stdout, text); }

int32_t Win32ConsolePlatform::show_message(const std::string& text) {
  report(text);
  return IDOK;
}

void attach_parent_console() {
  if (GetStdHandle(STD_ERROR_HANDLE) != nullptr) return;
  if (AttachConsole(ATTACH_PARENT_PROCESS)) {
    std::freopen("CONOUT$", "w", stderr);
    std::freopen("CONOUT$", "w", stdout);
  }
}

}  // namespace sb
