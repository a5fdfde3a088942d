// Message boxes: the answer kept, the notification written, texts from the
// string table.  Boxes are shown only on the simulated machine, whose
// machine.ini answers them and whose screen.log records them.
#include <gtest/gtest.h>

#include "plx_log_test_env.h"
#include "plx_message_box.h"
#include "plx_test_machine.h"

namespace {

TEST(MessageBoxTest, BuiltWithCancelAsResult) {
    CPLXMessageBox box(nullptr, TEXT("Title"), TEXT("Text"), CPLXFlags(MB_OKCANCEL | MB_ICONQUESTION));
    EXPECT_EQ(box.getResult(), IDCANCEL);
    EXPECT_EQ(plxNarrow(box.getTitle()), "Title");
    EXPECT_EQ(plxNarrow(box.getMsg()), "Text");
    EXPECT_EQ(box.getFlags().getFlags(), static_cast<ULONG>(MB_OKCANCEL | MB_ICONQUESTION));
    CPLXMessageBox plain(nullptr, TEXT("Title"), TEXT("Text"), CPLXFlags(MB_ICONQUESTION));
    plain.addFlags(MB_YESNO);
    EXPECT_EQ(plain.getFlags().getFlags(), static_cast<ULONG>(MB_YESNO | MB_ICONQUESTION));

    EXPECT_TRUE(box.setTitle(CPLXWCharString(TEXT("Other"))));
    EXPECT_TRUE(box.setMsg(CPLXWCharString()));
    EXPECT_EQ(plxNarrow(box.getTitle()), "Other");
    EXPECT_FALSE(box.getMsg().isValid());
}

TEST(MessageBoxTest, TextsFromTheStringTable) {
    CPLXMessageBox box(nullptr, TEXT("Title"), TEXT("Text"), CPLXFlags(MB_OK));
    EXPECT_TRUE(box.setTitle(100u));
    EXPECT_TRUE(box.setMsg(101u));
    EXPECT_EQ(plxNarrow(box.getTitle()), "Hello");
    EXPECT_EQ(box.getMsg().getLength(), 1023u);
}

TEST(MessageBoxTest, MissingStringKeepsThePreviousText) {
    PlxLoggingOn on("boxmissing");
    CPLXMessageBox box(nullptr, TEXT("Title"), TEXT("Text"), CPLXFlags(MB_OK));
    EXPECT_FALSE(box.setMsg(4243u));
    EXPECT_FALSE(box.setTitle(4244u));
    EXPECT_EQ(plxNarrow(box.getMsg()), "Text");
    EXPECT_EQ(plxNarrow(box.getTitle()), "Title");
    std::vector<std::string> entries = on.entries();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_NE(entries[0].find("\"Unable to load string ( ID: 4243 ) from resource DLL ( Unknown resource DLL )\""),
              std::string::npos)
        << entries[0];
    EXPECT_NE(entries[1].find("( ID: 4244 )"), std::string::npos) << entries[1];
}

class MessageBoxShownTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!PLX_SIMULATED_MACHINE || !TestMachine::canSetMachineIni())
            GTEST_SKIP() << "boxes are answered only on the simulated machine";
    }
};

TEST_F(MessageBoxShownTest, AnswersAreKept) {
    TestMachine machine;
    machine.ini("Display", "Answers", "yes,cancel,no").create();
    CPLXMessageBox yesNo(nullptr, TEXT("Restart"), TEXT("Restart now?"), CPLXFlags(MB_YESNO | MB_ICONQUESTION));
    EXPECT_TRUE(yesNo.showMessageBox());
    EXPECT_EQ(yesNo.getResult(), IDYES);

    CPLXMessageBox okCancel(nullptr, TEXT("Question"), TEXT("Go on?"), CPLXFlags(MB_OKCANCEL));
    EXPECT_TRUE(okCancel.showMessageBox());
    EXPECT_EQ(okCancel.getResult(), IDCANCEL);

    EXPECT_TRUE(yesNo.showMessageBox());
    EXPECT_EQ(yesNo.getResult(), IDNO);

    EXPECT_EQ(machine.screenLog(),
              "MessageBox caption=\"Restart\" text=\"Restart now?\" buttons=YESNO icon=QUESTION answer=IDYES\n"
              "MessageBox caption=\"Question\" text=\"Go on?\" buttons=OKCANCEL icon=NONE answer=IDCANCEL\n"
              "MessageBox caption=\"Restart\" text=\"Restart now?\" buttons=YESNO icon=QUESTION answer=IDNO\n");
}

TEST_F(MessageBoxShownTest, BoxThatCannotBeShownGivesFalseAndZero) {
    TestMachine machine;
    // "yes" is no button of an OK box: MessageBoxW fails.
    machine.ini("Display", "Answers", "yes").create();
    CPLXMessageBox box(nullptr, TEXT("Done"), TEXT("Finished"), CPLXFlags(MB_OK));
    EXPECT_FALSE(box.showMessageBox());
    EXPECT_EQ(box.getResult(), 0);
}

TEST_F(MessageBoxShownTest, NotificationOnlyWhenTheDetailAdmitsIt) {
    TestMachine machine;
    machine.ini("Display", "Answers", "ok,ok").create();
    {
        PlxLoggingOn on("boxquiet");
        CPLXMessageBox box(nullptr, TEXT("Done"), TEXT("Finished"), CPLXFlags(MB_OK));
        EXPECT_TRUE(box.showMessageBox());
        EXPECT_TRUE(on.lines().empty());
    }
    PlxLoggingOn on("boxnotify", PLX_LEVEL_NOTIFICATION);
    CPLXMessageBox box(nullptr, TEXT("Done"), TEXT("Finished"), CPLXFlags(MB_OK));
    SetLastError(1234);
    EXPECT_TRUE(box.showMessageBox());
    EXPECT_EQ(GetLastError(), 1234u);
    std::vector<std::string> entries = on.entries();
    ASSERT_EQ(entries.size(), 1u);
    // Neither caption nor answer is recorded.
    EXPECT_EQ(entries[0], "<NOTIFICATION> <" + plxExpectedAppName() + "> \"Message Box displayed: Finished\" ");
}

}  // namespace
