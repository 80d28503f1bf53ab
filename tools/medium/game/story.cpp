// The demo game's program, "story.exe" on the demo medium: a window that shows the
// background picture read from the installed data file (game.dat, through the settings
// record install.dat beside it) and a few lines of text. While it runs it holds the mutex
// named after its folder, the one the setup program checks before it installs or removes
// anything.
#include <windows.h>
#include <shellapi.h>

#include <memory>
#include <string>

#include "archive/archive_reader.h"
#include "image/layered_image.h"
#include "launcher/launch_rules.h"
#include "platform/platform.h"
#include "runtime/sjis.h"
#include "settings/install_settings.h"

namespace {

std::wstring Wide(const std::string& sjis) {
  int n = MultiByteToWideChar(932, 0, sjis.data(), static_cast<int>(sjis.size()), nullptr, 0);
  std::wstring w(static_cast<size_t>(n), L'\0');
  if (n > 0) MultiByteToWideChar(932, 0, sjis.data(), static_cast<int>(sjis.size()), &w[0], n);
  return w;
}

struct Game {
  std::string title = "物語デモ";
  std::string status;
  zarn::TDIB picture;  // 24 bits, rows from the top
};

Game* game = nullptr;

void Load(zarn::Platform& platform, Game& g) {
  const std::string folder = zarn::ProgramFolder(platform.ProgramFile());
  try {
    zarn::TZarnInstallSet settings;
    settings.LoadFromFile(platform, folder + "install.dat");
    g.title = settings.Title;
    zarn::TVrFileCollection data(platform);
    data.Open(folder + "game.dat");
    zarn::TMemoryStream stream;
    data.ExtractToStream(stream, settings.BackImage);
    zarn::TBrimFrameList frames(static_cast<int32_t>(settings.ImageKey));
    frames.LoadFromStream(stream, true, false, false);
    const zarn::TDIB& frame = frames.Frames(0).Surface;
    g.picture.SetSize(frame.Width(), frame.Height(), 24);
    g.picture.Canvas().Draw(0, 0, frame);
    g.status = "インストールされたデータファイルから背景を読み込みました";
  } catch (const std::exception& e) {
    g.status = std::string("データを読み込めません: ") + e.what();
  }
}

void Paint(HWND window, HDC dc) {
  RECT client;
  GetClientRect(window, &client);
  if (!game->picture.Empty()) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = game->picture.Width();
    info.bmiHeader.biHeight = -game->picture.Height();  // rows from the top
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    SetStretchBltMode(dc, COLORONCOLOR);
    StretchDIBits(dc, 0, 0, client.right, client.bottom, 0, 0, game->picture.Width(), game->picture.Height(),
                  game->picture.ScanLine(0), &info, DIB_RGB_COLORS, SRCCOPY);
  } else {
    HBRUSH brush = CreateSolidBrush(RGB(24, 18, 72));
    FillRect(dc, &client, brush);
    DeleteObject(brush);
  }
  HFONT font = CreateFontW(-20, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, SHIFTJIS_CHARSET, OUT_DEFAULT_PRECIS,
                           CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, L"\xff2d\xff33 \xff30\x30b4\x30b7\x30c3\x30af");
  HGDIOBJ old = SelectObject(dc, font);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, RGB(255, 255, 255));
  RECT line = {20, client.bottom - 90, client.right - 20, client.bottom - 60};
  std::wstring text = Wide(game->title + "  ― Zarn エンジンのデモゲーム");
  DrawTextW(dc, text.c_str(), -1, &line, DT_LEFT | DT_SINGLELINE);
  line = {20, client.bottom - 56, client.right - 20, client.bottom - 30};
  text = Wide(game->status);
  DrawTextW(dc, text.c_str(), -1, &line, DT_LEFT | DT_SINGLELINE | DT_END_ELLIPSIS);
  SelectObject(dc, old);
  DeleteObject(font);
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM w, LPARAM l) {
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(window, &ps);
      Paint(window, dc);
      EndPaint(window, &ps);
      return 0;
    }
    case WM_KEYDOWN:
      if (w == VK_ESCAPE) DestroyWindow(window);
      return 0;
    case WM_TIMER:
      DestroyWindow(window);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcW(window, message, w, l);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
  std::unique_ptr<zarn::Platform> platform = zarn::CreateHostPlatform();
  Game g;
  game = &g;
  // The setup program refuses to run while this mutex exists.
  bool existed = false;
  std::unique_ptr<zarn::NamedMutex> running =
      platform->CreateMutex(zarn::InstallPathMutexName(zarn::ProgramFolder(platform->ProgramFile())), existed);
  Load(*platform, g);

  WNDCLASSW wc{};
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.hIcon = LoadIconW(instance, L"MAINICON");
  wc.lpszClassName = L"ZarnDemoStory";
  RegisterClassW(&wc);
  RECT r = {0, 0, 640, 400};
  const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
  AdjustWindowRect(&r, style, FALSE);
  std::wstring title = Wide(g.title);
  HWND window = CreateWindowW(wc.lpszClassName, title.c_str(), style, CW_USEDEFAULT, CW_USEDEFAULT, r.right - r.left,
                              r.bottom - r.top, nullptr, nullptr, instance, nullptr);
  if (!window) return 1;
  // "/seconds N" closes the game by itself (for unattended runs).
  int argc = 0;
  if (LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc)) {
    for (int i = 1; i + 1 < argc; ++i)
      if (lstrcmpiW(argv[i], L"/seconds") == 0) SetTimer(window, 1, static_cast<UINT>(_wtoi(argv[i + 1])) * 1000, nullptr);
    LocalFree(argv);
  }
  ShowWindow(window, show);
  UpdateWindow(window);
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return 0;
}
