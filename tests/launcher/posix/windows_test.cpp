// The start menu and the splash window on the emulated machine: the start menu's three
// layouts and its buttons, the background painter's layouts, and the splash window's
// size rules, caption and text strip.
#include "launch_support.h"
#include "launcher/start_menu.h"

namespace zarn {
namespace testing {
namespace {

// A layered picture of w x h whose pixel (x, y) has the colour colourAt(x, y), stored
// with its rows scrambled by `key`.
template <typename F>
std::string Picture(int w, int h, uint32_t key, F colourAt) {
  BrimPlan plan;
  plan.scrambled = 1;
  plan.seed = static_cast<int32_t>(key);
  FrameSource f;
  f.width = w;
  f.height = h;
  LayerSource layer;
  layer.pixels = Plane::Make(w, h, 24, [&](int x, int y) {
    TColor c = colourAt(x, y);
    return uint32_t(ColorBlue(c)) | uint32_t(ColorGreen(c)) << 8 | uint32_t(ColorRed(c)) << 16;
  });
  f.layers.push_back(std::move(layer));
  plan.frames.push_back(std::move(f));
  return BrimWriter::Write(plan);
}

TColor Gradient(int x, int y) { return MakeColor(uint8_t(x * 7), uint8_t(y * 5), 90); }

class WindowTest : public LaunchTest {
 protected:
  WindowTest() : app(p(), backend) {}
  TColor At(const TDIB& d, int x, int y) { return d.PixelColor(d.ReadPixel(x, y)); }
  // An archive on the medium with the background picture.
  TVrFileCollection& Medium(int w, int h) {
    archive.reset();  // the open archive keeps others from writing its file
    Put(p(), "D:\\game.dat", Archive({{"image\\back.brm", Picture(w, h, kKey32, Gradient)}}));
    archive = std::make_unique<TVrFileCollection>(p());
    archive->Open("D:\\game.dat");
    return *archive;
  }
  static constexpr uint32_t kKey32 = 0x9E3779B9u;
  TZarnInstallSet PictureSettings(uint8_t layout) {
    TZarnInstallSet s = Settings();
    s.BackImage = "image\\back.brm";
    s.BackLayout = layout;
    s.ImageKey = kKey32;
    return s;
  }
  TScriptedUser user;
  HeadlessBackend backend{user};
  TApplication app;
  std::unique_ptr<TVrFileCollection> archive;
};

// ---- start menu

using StartMenu = WindowTest;

TEST_F(StartMenu, SetupButtonsShowOnlyForProgramsOnTheMedium) {
  struct Case {
    bool runtimeSetup, directx, winmedia;
    bool showDirectX, showWinMedia;
    int winMediaTop, exitTop, height;
  };
  const Case cases[] = {
      {true, true, true, true, true, 136, 188, 230},
      {true, true, false, true, false, 136, 152, 194},
      {true, false, true, false, true, 100, 152, 194},
      {true, false, false, false, false, 100, 116, 158},
      {false, true, true, false, false, 100, 116, 158},  // not offered: hidden anyway
  };
  p().CreateDirectory("D:\\directx");
  p().CreateDirectory("D:\\winmedia");
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.runtimeSetup << c.directx << c.winmedia);
    p().DeleteFile("D:\\directx\\dxsetup.exe");
    p().DeleteFile("D:\\winmedia\\mp71.exe");
    if (c.directx) Put(p(), "D:\\DirectX\\DXSETUP.EXE", "dx");  // found in any case
    if (c.winmedia) Put(p(), "D:\\winmedia\\mp71.exe", "wmp");
    TZarnInstallSet s = Settings();
    s.RuntimeSetup = c.runtimeSetup;
    TFormStart form(app, s, nullptr);
    EXPECT_EQ(form.ClientWidth(), 265);
    EXPECT_EQ(form.ClientHeight(), c.height);
    EXPECT_EQ(form.btnDirectX.Visible(), c.showDirectX);
    EXPECT_EQ(form.btnWinMedia.Visible(), c.showWinMedia);
    EXPECT_EQ(form.btnWinMedia.Top(), c.winMediaTop);
    EXPECT_EQ(form.btnExit.Top(), c.exitTop);
    EXPECT_EQ(form.btnStart.Top(), 12);
    EXPECT_EQ(form.btnInstall.Top(), 64);
    EXPECT_EQ(form.PaintBox.Height(), c.height) << "the picture's box follows the client area";
  }
}

TEST_F(StartMenu, ButtonsCaptionsAndTitle) {
  TFormStart form(app, Settings(), nullptr);
  EXPECT_EQ(form.Caption(), "物語");
  EXPECT_EQ(app.Title(), "物語");
  EXPECT_EQ(form.BorderStyle(), TBorderStyle::bsDialog);
  const std::pair<TButton*, const char*> buttons[] = {{&form.btnStart, "ゲームスタート"},
                                                      {&form.btnInstall, "インストール"},
                                                      {&form.btnDirectX, "DirectXをインストール"},
                                                      {&form.btnWinMedia, "WindowsMediaPlayerをインストール"},
                                                      {&form.btnExit, "終了"}};
  for (const auto& b : buttons) {
    EXPECT_EQ(b.first->Caption(), b.second);
    EXPECT_EQ(b.first->Left(), 28);
    EXPECT_EQ(b.first->Width(), 213);
    EXPECT_EQ(b.first->Height(), 29);
  }
  EXPECT_EQ(form.MediumDir(), "D:\\");
}

TEST_F(StartMenu, GameStartIsEnabledOnlyForAnInstalledGame) {
  {
    TFormStart form(app, Settings(), nullptr);
    EXPECT_TRUE(form.btnStart.Visible());
    EXPECT_FALSE(form.btnStart.Enabled()) << "no InstallPath";
  }
  ProductKeyWriteString(p(), kKey, "InstallPath", "C:\\Games\\");
  {
    TFormStart form(app, Settings(), nullptr);
    EXPECT_FALSE(form.btnStart.Enabled()) << "the program file is missing";
  }
  p().CreateDirectory("C:\\Games");
  Put(p(), "C:\\Games\\story.exe", "game");
  TFormStart form(app, Settings(), nullptr);
  EXPECT_TRUE(form.btnStart.Enabled());
}

TEST_F(StartMenu, ChoicesSetTheActionAndTheModalResult) {
  p().CreateDirectory("C:\\Games");
  Put(p(), "C:\\Games\\story.exe", "game");
  ProductKeyWriteString(p(), kKey, "InstallPath", "C:\\Games");
  TFormStart form(app, Settings(), nullptr);
  user.Click("btnStart");
  EXPECT_EQ(form.ShowModal(), mrOk);
  EXPECT_EQ(form.ChosenAction(), saStartGame);
  user.Click("btnInstall");
  EXPECT_EQ(form.ShowModal(), mrOk);
  EXPECT_EQ(form.ChosenAction(), saInstall);
  user.Click("btnExit");
  EXPECT_EQ(form.ShowModal(), mrCancel);
  user.CloseWindow();
  EXPECT_EQ(form.ShowModal(), mrCancel);
  EXPECT_TRUE(user.Finished()) << user.Pending();
}

TEST_F(StartMenu, SetupButtonsStartTheirProgramEachTimeAndKeepTheWindowOpen) {
  p().CreateDirectory("D:\\directx");
  p().CreateDirectory("D:\\winmedia");
  Put(p(), "D:\\directx\\dxsetup.exe", "dx");
  Put(p(), "D:\\winmedia\\mp71.exe", "wmp");
  TZarnInstallSet s = Settings();
  s.RuntimeSetup = true;
  TFormStart form(app, s, nullptr);
  user.Click("btnDirectX");
  user.Click("btnDirectX");
  user.Do("delete the player's setup", [&](TForm&) { p().DeleteFile("D:\\winmedia\\mp71.exe"); });
  user.Click("btnWinMedia");  // fails: not reported
  user.Do("still open", [](TForm& f) { EXPECT_EQ(f.ModalResult(), mrNone); });
  user.Click("btnExit");
  EXPECT_EQ(form.ShowModal(), mrCancel);
  std::vector<ShellRequest> log = Started();
  ASSERT_EQ(log.size(), 3u);
  EXPECT_EQ(log[0].file, "D:\\directx\\dxsetup.exe");
  EXPECT_EQ(log[1].file, "D:\\directx\\dxsetup.exe");
  EXPECT_EQ(log[2].file, "D:\\winmedia\\mp71.exe");
  EXPECT_LE(log[2].result, 32);
  for (const ShellRequest& r : log) {
    EXPECT_EQ(r.verb, "open");
    EXPECT_EQ(r.parameters, "");
    EXPECT_EQ(r.directory, "");
    EXPECT_EQ(r.show, 5);
  }
  EXPECT_TRUE(user.Dialogs().empty());
}

TEST_F(StartMenu, AMissingPictureIsReportedAndTheWindowStillOpens) {
  TVrFileCollection& a = Medium(4, 4);
  TZarnInstallSet s = PictureSettings(blCentre);
  s.BackImage = "image\\none.brm";
  user.AcceptError("image\\none.brm:ファイルがありません");
  TFormStart form(app, s, &a);
  EXPECT_EQ(form.Caption(), "物語") << "set before the error";
  EXPECT_TRUE(form.PaintBox.DIB().Empty());
  user.Click("btnExit");
  EXPECT_EQ(form.ShowModal(), mrCancel);
  EXPECT_TRUE(user.Finished()) << user.Pending();
}

// ---- the background painter

using Background = WindowTest;

TEST_F(Background, CentredAndStretchedPicturesKeepTheirOwnSize) {
  TVrFileCollection& a = Medium(40, 30);
  for (uint8_t layout : {blCentre, blStretch}) {
    TForm form(app, nullptr, "Form1");
    TDXPaintBox box(form, "Box");
    box.SetBounds(0, 0, 100, 80);
    PaintBackground(box, PictureSettings(layout), a);
    ASSERT_EQ(box.DIB().Width(), 40);
    ASSERT_EQ(box.DIB().Height(), 30);
    EXPECT_EQ(box.DIB().BitCount(), 24);
    EXPECT_EQ(box.Center(), layout == blCentre);
    EXPECT_EQ(box.Stretch(), layout == blStretch);
    for (int y = 0; y < 30; y += 7)
      for (int x = 0; x < 40; x += 9) ASSERT_EQ(At(box.DIB(), x, y), Gradient(x, y)) << x << "," << y;
    // As the box shows it.
    TDIB shown;
    RenderForm(form, shown);
    if (layout == blCentre) {
      EXPECT_EQ(At(shown, 30, 25), Gradient(0, 0));
      EXPECT_EQ(At(shown, 69, 54), Gradient(39, 29));
    } else {
      EXPECT_EQ(At(shown, 0, 0), Gradient(0, 0));
      EXPECT_EQ(At(shown, 99, 79), Gradient(39, 29));
    }
  }
}

TEST_F(Background, TiledPicturesCoverTheBoxAndClipAtItsEdges) {
  TForm form(app, nullptr, "Form1");
  TDXPaintBox box(form, "Box");
  box.SetBounds(0, 0, 100, 50);
  PaintBackground(box, PictureSettings(blTile), Medium(30, 20));
  ASSERT_EQ(box.DIB().Width(), 100);
  ASSERT_EQ(box.DIB().Height(), 50);
  EXPECT_FALSE(box.Center());
  EXPECT_FALSE(box.Stretch());
  for (int y = 0; y < 50; y += 3)
    for (int x = 0; x < 100; x += 7) ASSERT_EQ(At(box.DIB(), x, y), Gradient(x % 30, y % 20)) << x << "," << y;
  EXPECT_EQ(At(box.DIB(), 99, 49), Gradient(9, 9));

  // A picture larger than the box: one copy at the top left corner.
  TVrFileCollection& big = Medium(150, 90);
  TDXPaintBox small(form, "Small");
  small.SetBounds(0, 0, 60, 40);
  PaintBackground(small, PictureSettings(blTile), big);
  ASSERT_EQ(small.DIB().Width(), 60);
  EXPECT_EQ(At(small.DIB(), 59, 39), Gradient(59, 39));
}

TEST_F(Background, NoPictureOrAnUnknownLayoutDrawsNothing) {
  TVrFileCollection& a = Medium(10, 10);
  TForm form(app, nullptr, "Form1");
  TDXPaintBox box(form, "Box");
  TZarnInstallSet s = PictureSettings(blCentre);
  s.BackImage.clear();
  PaintBackground(box, s, a);
  EXPECT_TRUE(box.DIB().Empty());
  PaintBackground(box, PictureSettings(3), a);
  EXPECT_TRUE(box.DIB().Empty());
  EXPECT_FALSE(box.Center());
  EXPECT_FALSE(box.Stretch());
}

TEST_F(Background, TheImageKeyUnscramblesTheRows) {
  TVrFileCollection& a = Medium(8, 16);
  TForm form(app, nullptr, "Form1");
  TDXPaintBox box(form, "Box");
  TZarnInstallSet s = PictureSettings(blCentre);
  s.ImageKey = kKey32 + 1;
  PaintBackground(box, s, a);
  bool same = true;
  for (int y = 0; y < 16; ++y) same = same && At(box.DIB(), 0, y) == Gradient(0, y);
  EXPECT_FALSE(same) << "another key gives other rows";
}

TEST_F(Background, AnEmptyTiledPictureIsSkipped) {
  Put(p(), "D:\\game.dat", Archive({{"image\\back.brm", Picture(0, 0, kKey32, Gradient)}}));
  TVrFileCollection a(p());
  a.Open("D:\\game.dat");
  TForm form(app, nullptr, "Form1");
  TDXPaintBox box(form, "Box");
  box.SetBounds(0, 0, 20, 10);
  PaintBackground(box, PictureSettings(blTile), a);  // returns instead of looping for ever
  EXPECT_EQ(box.DIB().Width(), 20);
  EXPECT_EQ(At(box.DIB(), 5, 5), clBlack);
}

// ---- splash window

using Splash = WindowTest;

TEST_F(Splash, ClientAreaFollowsTheScreenButNeverBelowItsMinimum) {
  const std::pair<TSize, TSize> cases[] = {
      {{1024, 768}, {924, 568}}, {{800, 600}, {700, 400}}, {{640, 480}, {600, 400}}, {{1920, 1080}, {1820, 880}}};
  for (const auto& c : cases) {
    backend.SetScreenSize(c.first);
    TFormMain form(app, Settings(), nullptr);
    EXPECT_EQ(form.ClientWidth(), c.second.cx);
    EXPECT_EQ(form.ClientHeight(), c.second.cy);
    EXPECT_EQ(form.GradBox.Width(), c.second.cx);
    EXPECT_EQ(form.PaintBox.Height(), c.second.cy);
    EXPECT_EQ(form.LabelRight.BoundsRect(), Bounds(0, c.second.cy - 20, c.second.cx, 12));
  }
}

TEST_F(Splash, CaptionNamesTheOperation) {
  TZarnInstallSet s = Settings();
  {
    TFormMain form(app, s, nullptr);
    EXPECT_EQ(form.Caption(), "物語のセットアップ");
    EXPECT_EQ(app.Title(), "物語");
  }
  s.SetupCaption = "物語 体験版のインストール";
  {
    TFormMain form(app, s, nullptr);
    EXPECT_EQ(form.Caption(), "物語 体験版のインストール");
  }
  s.Installed = true;
  TFormMain form(app, s, nullptr);
  EXPECT_EQ(form.Caption(), "物語の削除");
}

TEST_F(Splash, GradientPictureAndTextStrip) {
  TVrFileCollection& a = Medium(40, 30);
  TZarnInstallSet s = PictureSettings(blCentre);
  TFormMain form(app, s, &a);
  EXPECT_EQ(form.GradBox.StartColor(), clBlue);
  EXPECT_EQ(form.GradBox.EndColor(), clNavy);
  EXPECT_EQ(form.GradBox.GradStep(), 128);
  EXPECT_EQ(form.LabelRight.Caption(), "Zarn Demo ");
  EXPECT_EQ(form.LabelRight.Alignment(), TAlignment::taRightJustify);
  TDIB shown;
  RenderForm(form, shown);
  ASSERT_EQ(shown.Width(), 924);
  EXPECT_EQ(At(shown, 0, 0), clBlue) << "the gradient starts blue at the top";
  EXPECT_EQ(At(shown, 442, 269), Gradient(0, 0)) << "the picture centred over it";
  EXPECT_EQ(At(shown, 481, 298), Gradient(39, 29));
  EXPECT_EQ(At(shown, 5, 568 - 15), clBlack) << "the strip";
  EXPECT_NE(At(shown, 5, 568 - 5), clBlack) << "8 pixels of gradient below the strip";
  EXPECT_NE(At(shown, 5, 568 - 21), clBlack);
}

TEST_F(Splash, UninstallShowsTheGradientOnlyAndAnEmptyTextStillHasItsStrip) {
  TVrFileCollection& a = Medium(40, 30);
  TZarnInstallSet s = PictureSettings(blCentre);
  s.Installed = true;
  s.SplashText.clear();
  TFormMain form(app, s, nullptr);
  EXPECT_TRUE(form.PaintBox.DIB().Empty());
  EXPECT_EQ(form.LabelRight.Caption(), " ");
  TDIB shown;
  RenderForm(form, shown);
  EXPECT_EQ(At(shown, 100, 568 - 15), clBlack);
  static_cast<void>(a);
}

}  // namespace
}  // namespace testing
}  // namespace zarn
