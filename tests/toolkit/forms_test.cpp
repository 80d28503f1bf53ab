// Forms driven through the headless backend by a scripted user: modal results, close
// queries, default buttons, dialogs and the error report.
#include <gtest/gtest.h>

#include "runtime/error.h"
#include "support/test_machine.h"
#include "toolkit/headless/headless.h"

namespace zarn {
namespace {

struct Fixture : ::testing::Test {
  testing::TestMachine machine;
  TScriptedUser user;
  HeadlessBackend backend{user};
  TApplication app{machine.platform(), backend};
};

// A small dialog: OK and Cancel buttons, a check box, and a close query that asks.
struct AskForm : TForm {
  TButton btnOk{*this, "btnOk"};
  TButton btnCancel{*this, "btnCancel"};
  TCheckBox CheckAsk{*this, "CheckAsk"};
  int closeQuestions = 0;
  explicit AskForm(TApplication& app, TForm* owner = nullptr) : TForm(app, owner, "AskForm") {
    SetCaption("確認フォーム");
    btnOk.SetModalResult(mrOk);
    btnOk.SetDefault(true);
    btnCancel.SetModalResult(mrCancel);
    btnCancel.SetCancel(true);
    OnCloseQuery = [this](bool& canClose) {
      if (!CheckAsk.Checked()) return;
      ++closeQuestions;
      canClose = App().MessageDlg("閉じますか？", mtConfirmation, mbYesNo) == mrYes;
    };
  }
};

using ModalTest = Fixture;

TEST_F(ModalTest, ButtonsEndTheLoopWithTheirResults) {
  AskForm form(app);
  user.Click("btnOk");
  EXPECT_EQ(form.ShowModal(), mrOk);
  EXPECT_FALSE(form.Visible());
  EXPECT_FALSE(form.Modal());
  user.Click("btnCancel");
  EXPECT_EQ(form.ShowModal(), mrCancel);
  user.PressEnter();
  EXPECT_EQ(form.ShowModal(), mrOk);
  EXPECT_TRUE(user.Finished()) << user.Pending();
}

TEST_F(ModalTest, TitleBarCloseGivesCancelThroughTheCloseQuery) {
  AskForm form(app);
  user.Check("CheckAsk");
  user.CloseWindow();
  user.Answer(mrNo).Expect(mtConfirmation, "閉じますか？");
  user.Do("still open", [](TForm& f) { EXPECT_TRUE(f.Visible()); EXPECT_EQ(f.ModalResult(), mrNone); });
  user.CloseWindow();
  user.Answer(mrYes);
  EXPECT_EQ(form.ShowModal(), mrCancel);
  EXPECT_EQ(form.closeQuestions, 2);
  ASSERT_EQ(user.Dialogs().size(), 2u);
  EXPECT_EQ(user.Dialogs()[0].caption, "確認");
  EXPECT_EQ(user.Dialogs()[0].buttons, mbYesNo);
  EXPECT_EQ(user.Dialogs()[0].result, mrNo);
  EXPECT_TRUE(user.Finished()) << user.Pending();
}

TEST_F(ModalTest, AnErrorInTheCloseQueryKeepsTheFormOpen) {
  AskForm form(app);
  form.OnCloseQuery = [](bool&) { throw EZarnError("閉じられません"); };
  user.Click("btnOk");
  user.AcceptError("閉じられません");
  user.Do("clear the query", [&](TForm&) { form.OnCloseQuery = nullptr; });
  user.Click("btnCancel");
  EXPECT_EQ(form.ShowModal(), mrCancel);
  EXPECT_TRUE(user.Finished()) << user.Pending();
}

TEST_F(ModalTest, EnterNeedsAUsableDefaultButton) {
  AskForm form(app);
  form.btnOk.Hide();
  user.PressEnter();
  EXPECT_THROW(form.ShowModal(), EScriptFailure);
  EXPECT_FALSE(form.Modal());
  EXPECT_TRUE(app.ModalForms().empty());
}

TEST_F(ModalTest, OnlyOneDefaultButtonPerForm) {
  AskForm form(app);
  form.ShowForm();
  form.btnCancel.SetDefault(true);
  EXPECT_FALSE(form.btnOk.Default());
  EXPECT_EQ(form.DefaultButton(), &form.btnCancel);
  EXPECT_EQ(form.CancelButton(), &form.btnCancel);
}

TEST_F(ModalTest, DisabledOrHiddenControlsCannotBeClicked) {
  AskForm form(app);
  form.btnOk.SetEnabled(false);
  user.Click("btnOk");
  try {
    form.ShowModal();
    FAIL() << "a click on a disabled button went through";
  } catch (const EScriptFailure& e) {
    EXPECT_NE(std::string(e.what()).find("btnOk"), std::string::npos);
  }
  ASSERT_EQ(user.Failures().size(), 1u);
}

TEST_F(ModalTest, RunningOutOfStepsFailsInsteadOfWaitingForever) {
  AskForm form(app);
  try {
    form.ShowModal();
    FAIL();
  } catch (const EScriptFailure& e) {
    EXPECT_NE(std::string(e.what()).find("確認フォーム"), std::string::npos);
  }
}

TEST_F(ModalTest, StepsForAnotherWindowFail) {
  AskForm form(app);
  user.Click("btnOk").OnForm("FormStart");
  EXPECT_THROW(form.ShowModal(), EScriptFailure);
}

TEST_F(ModalTest, NestedModalFormsStackAndUnwind) {
  AskForm outer(app);
  AskForm inner(app, &outer);
  outer.btnOk.OnClick = [&](TControl&) {
    EXPECT_EQ(app.ActiveModalForm(), &outer);
    outer.SetTag(inner.ShowModal());
    outer.SetModalResult(mrNone);  // stay open
  };
  user.Click("btnOk");   // outer: opens inner
  user.Click("btnCancel");  // inner
  user.Do("check the stack", [&](TForm& f) {
    EXPECT_EQ(&f, &outer);
    EXPECT_EQ(app.ModalForms().size(), 1u);
  });
  user.Click("btnCancel");
  EXPECT_EQ(outer.ShowModal(), mrCancel);
  EXPECT_EQ(outer.Tag(), mrCancel);
  EXPECT_TRUE(user.Finished()) << user.Pending();
}

TEST_F(ModalTest, ShowModalOfAModalFormIsRefused) {
  AskForm form(app);
  user.Do("show again", [](TForm& f) { f.ShowModal(); });
  user.AcceptError();
  user.Click("btnOk");
  EXPECT_EQ(form.ShowModal(), mrOk);
}

TEST_F(ModalTest, FormsAreCentredOnTheScreenOrTheirMainForm) {
  backend.SetScreenSize({1024, 768});
  AskForm main(app);
  main.SetClientWidth(924);
  main.SetClientHeight(568);
  main.ShowForm();
  EXPECT_EQ(main.Left(), 50);
  EXPECT_EQ(main.Top(), 100);
  app.SetMainForm(&main);
  AskForm dialog(app, &main);
  dialog.SetClientWidth(497);
  dialog.SetClientHeight(336);
  dialog.SetPosition(TPosition::poMainFormCenter);
  dialog.ShowForm();
  EXPECT_EQ(dialog.Left(), 50 + (924 - 497) / 2);
  EXPECT_EQ(dialog.Top(), 100 + (568 - 336) / 2);
  // Larger than the screen: kept at the top left corner rather than off screen.
  backend.SetScreenSize({500, 300});
  AskForm big(app);
  big.SetClientWidth(600);
  big.SetClientHeight(400);
  big.ShowForm();
  EXPECT_EQ(big.Left(), 0);
  EXPECT_EQ(big.Top(), 0);
}

using DialogTest = Fixture;

TEST_F(DialogTest, KindsButtonsAndResults) {
  EXPECT_EQ(DialogCaption(mtWarning), "警告");
  EXPECT_EQ(DialogCaption(mtError), "エラー");
  EXPECT_EQ(DialogCaption(mtInformation), "情報");
  EXPECT_EQ(DialogCaption(mtConfirmation), "確認");
  const TMsgDlgButtons all = mbYes | mbNo | mbOK | mbCancel | mbAbort;
  ASSERT_EQ(ButtonCount(all), 5);
  const char* captions[] = {"はい(&Y)", "いいえ(&N)", "OK", "キャンセル", "中止(&A)"};
  const int results[] = {6, 7, 1, 2, 3};
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(ButtonCaption(ButtonAt(all, i)), captions[i]);
    EXPECT_EQ(ButtonResult(ButtonAt(all, i)), results[i]);
  }
  EXPECT_EQ(ButtonAt(mbOK | mbAbort, 1), mbAbort);
  EXPECT_EQ(ButtonAt(mbOK, 1), 0u);
}

TEST_F(DialogTest, TheUserSeesKindTextAndButtons) {
  user.Answer(mrOk).Expect(mtWarning, "正しいインストール先を指定してください");
  user.Answer(mrAbort);
  EXPECT_EQ(app.MessageDlg("正しいインストール先を指定してください", mtWarning, mbOK), mrOk);
  EXPECT_EQ(app.MessageDlg("中止しますか", mtError, mbOK | mbAbort), mrAbort);
  ASSERT_EQ(user.Dialogs().size(), 2u);
  EXPECT_EQ(user.Dialogs()[1].caption, "エラー");
  EXPECT_EQ(user.Dialogs()[1].kind, mtError);
  EXPECT_EQ(user.Dialogs()[1].buttons, mbOK | mbAbort);
  // No buttons at all still gives the user a way out.
  user.Answer(mrOk);
  EXPECT_EQ(app.MessageDlg("情報です", mtInformation, 0), mrOk);
}

TEST_F(DialogTest, AnUnexpectedDialogFailsWithItsText) {
  try {
    app.MessageDlg("ドライブにじゅうぶんな空き容量がありません", mtWarning, mbYesNo);
    FAIL();
  } catch (const EScriptFailure& e) {
    EXPECT_NE(std::string(e.what()).find("ドライブにじゅうぶんな空き容量がありません"), std::string::npos);
  }
}

TEST_F(DialogTest, WrongKindTextOrAnswerFail) {
  user.Answer(mrYes).Expect(mtConfirmation, "A");
  EXPECT_THROW(app.MessageDlg("A", mtWarning, mbYesNo), EScriptFailure);
  user.Answer(mrYes).Expect(mtConfirmation, "A");
  EXPECT_THROW(app.MessageDlg("AB", mtConfirmation, mbYesNo), EScriptFailure);
  user.Answer(mrYes).ExpectContaining("容量");
  EXPECT_EQ(app.MessageDlg("空き容量がありません", mtWarning, mbYesNo), mrYes);
  user.Answer(mrCancel);
  EXPECT_THROW(app.MessageDlg("A", mtConfirmation, mbYesNo), EScriptFailure);
  // A dialog is not an error report, and the other way round.
  user.AcceptError();
  EXPECT_THROW(app.MessageDlg("A", mtError, mbOK), EScriptFailure);
}

using ErrorReportTest = Fixture;

TEST_F(ErrorReportTest, AnErrorInAHandlerIsShownAndTheProgramGoesOn) {
  app.SetTitle("物語");
  AskForm form(app);
  form.btnOk.SetModalResult(mrNone);
  form.btnOk.OnClick = [](TControl&) { throw EZarnError("game.bmp:ファイルがありません"); };
  user.Click("btnOk");
  user.AcceptError("ファイルがありません");
  user.Click("btnCancel");
  EXPECT_EQ(form.ShowModal(), mrCancel);
  ASSERT_EQ(user.Dialogs().size(), 1u);
  EXPECT_TRUE(user.Dialogs()[0].errorReport);
  EXPECT_EQ(user.Dialogs()[0].caption, "物語");
  EXPECT_EQ(user.Dialogs()[0].text, "game.bmp:ファイルがありません");
}

// A form whose creation handler fails half way.
struct HalfMadeForm : TForm {
  TLabel Label1{*this, "Label1"};
  TLabel Label2{*this, "Label2"};
  explicit HalfMadeForm(TApplication& app) : TForm(app, nullptr, "HalfMadeForm") {
    RunCreate([this] {
      Label1.SetCaption("できた");
      throw EZarnError("背景:ファイルが壊れています");
    });
  }
};

TEST_F(ErrorReportTest, AFailedCreationHandlerLeavesAUsableForm) {
  user.AcceptError("ファイルが壊れています");
  HalfMadeForm form(app);
  EXPECT_EQ(form.Label1.Caption(), "できた");
  EXPECT_EQ(form.Label2.Caption(), "");
  user.CloseWindow();
  EXPECT_EQ(form.ShowModal(), mrCancel);
}

TEST_F(ErrorReportTest, ScriptFailuresAreNeverSwallowed) {
  EXPECT_THROW(app.Guard([] { throw EScriptFailure("stop"); }), EScriptFailure);
  user.AcceptError("x");
  EXPECT_NO_THROW(app.Guard([] { throw std::runtime_error("x"); }));
}

using WorkTest = Fixture;

TEST_F(WorkTest, StepsDuringALongJobRunAtProcessMessages) {
  AskForm form(app);
  int processed = 0;
  int abortedAt = -1;
  form.btnOk.SetModalResult(mrNone);
  form.btnOk.OnClick = [&](TControl&) {
    for (int i = 0; i < 10; ++i) {
      app.ProcessMessages();
      ++processed;
      if (form.ModalResult() == mrAbort) {
        abortedAt = i;
        return;
      }
    }
  };
  form.btnCancel.SetModalResult(mrNone);
  form.btnCancel.OnClick = [&](TControl&) {
    if (app.MessageDlg("インストールを中断しますか？", mtConfirmation, mbYesNo) == mrYes) form.SetModalResult(mrAbort);
  };
  user.Click("btnOk");
  user.Click("btnCancel").DuringWork(3);
  user.Answer(mrYes).Expect(mtConfirmation, "インストールを中断しますか？");
  EXPECT_EQ(form.ShowModal(), mrAbort);
  EXPECT_EQ(abortedAt, 3);
  EXPECT_EQ(processed, 4);  // three calls passed, the fourth ran the step
  EXPECT_TRUE(user.Finished()) << user.Pending();
}

TEST_F(WorkTest, AStepForWorkThatNeverCameFails) {
  AskForm form(app);
  user.Click("btnCancel").DuringWork();
  EXPECT_THROW(form.ShowModal(), EScriptFailure);
}

}  // namespace
}  // namespace zarn
