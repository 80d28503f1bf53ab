// Every page of the wizard rendered headless during a real install and uninstall: the
// controls of the page shown lie inside it, the buttons in the strip below the line, and
// nothing of the other pages shows through. With ZARN_RENDER_DIR set, each page is also
// saved there as a PNG (wizard-<nn>-<page>.png) to be looked at.
#include <cstdlib>

#include "toolkit/headless/headless.h"
#include "wizard/wizard_support.h"

namespace zarn {
namespace testing {
namespace {

class WizardPageRender : public WizardFixture {
 protected:
  std::vector<std::string> rendered;

  // Renders the wizard as it stands and checks the layout of its active page.
  void Render(TForm& f) {
    auto& w = static_cast<TFormType&>(f);
    const std::string page = w.Notebook.ActivePage();
    SCOPED_TRACE(page);
    rendered.push_back(page);
    TDIB picture;
    RenderForm(w, picture);
    ASSERT_EQ(picture.Width(), 497);
    ASSERT_EQ(picture.Height(), 336);

    TRect pageArea{0, 0, 497, 293};
    for (TControl* c : w.Notebook.Page(w.Notebook.PageIndex()).Controls()) {
      if (!c->Visible()) continue;
      TRect r = c->BoundsRect();
      if (c->IsWindowed()) {
        EXPECT_TRUE(r.Left >= pageArea.Left && r.Top >= pageArea.Top && r.Right <= pageArea.Right &&
                    r.Bottom <= pageArea.Bottom)
            << c->Name() << " leaves the page";
      } else {
        // Labels start inside the page and are one line high.
        EXPECT_TRUE(r.Left >= 0 && r.Top >= 0 && r.Bottom <= pageArea.Bottom) << c->Name();
        EXPECT_EQ(r.Height(), 12) << c->Name();
      }
    }
    for (TButton* b : {&w.btnBack, &w.btnNext, &w.btnAbort}) {
      EXPECT_GE(b->Top(), 293 + 2) << b->Name();
      EXPECT_LE(b->Top() + b->Height(), 336) << b->Name();
    }
    // A page shows only its own controls: the pages other than this one are hidden.
    for (int i = 0; i < w.Notebook.PageCount(); ++i)
      EXPECT_EQ(w.Notebook.Page(i).Visible(), i == w.Notebook.PageIndex()) << i;

    if (const char* dir = std::getenv("ZARN_RENDER_DIR"))
      SavePng(picture, std::string(dir) + Format("/wizard-%.2d-", static_cast<int>(rendered.size())) + page + ".png");
  }
};

TEST_F(WizardPageRender, EveryPageOfAnInstallAndAnUninstall) {
  settings.HelloText = "ようこそ。\r\nこのプログラムは物語をインストールします。";
  settings.LicenseText = "使用許諾契約書\r\n\r\n第一条 ...";
  settings.SetDiscCount(2);
  settings.DiscSoundSizes = {500, 0};
  WriteMedium(medium, settings, {{"data\\a.txt", "a"}}, {{"game.exe", std::string(3000, 'x')}});
  auto render = [this](TForm& f) { Render(f); };
  user.Do("hello", render);
  user.Click("btnNext");
  user.Check("CheckLicense");
  user.Do("license", render);
  user.Click("btnNext");
  user.Check("RadioDiskThis");
  user.Do("media", render);
  user.Click("btnNext");
  user.Check("CheckData");
  user.Do("file", render);
  user.Click("btnNext");
  user.Type("EditDir", WithoutBackslash(dest));
  user.Do("seldir", render);
  user.Click("btnNext");
  user.Do("confirm", render);
  user.Click("btnNext");
  user.Do("copy", [&](TForm& f) {
    EXPECT_EQ(static_cast<TFormType&>(f).LabelCopy.Caption(), "game.exe をコピー中...");
    EXPECT_EQ(static_cast<TFormType&>(f).Progress.Position(), 300);
    Render(f);
  }).DuringWork(2);
  user.Do("exit", render);
  user.Click("btnAbort");
  ASSERT_EQ(RunInstall(), mrOk);
  Put(dest + "save.dat", "save");

  user.Do("uninst", render);
  user.Click("btnNext");
  user.Do("delete", render).DuringWork(1);
  user.Do("exit after uninstalling", render);
  user.Click("btnAbort");
  ASSERT_EQ(RunUninstall(), mrOk);
  EXPECT_EQ(rendered, (std::vector<std::string>{"Hello", "License", "Media", "file", "seldir", "confirm", "copy",
                                                "exit", "uninst", "delete", "exit"}));
}

}  // namespace
}  // namespace testing
}  // namespace zarn
