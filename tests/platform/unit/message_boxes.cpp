// Message box answers from machine.ini and their lines in screen.log.
#include "plx_test_machine.h"
#include "sim_unit.h"

#include <gtest/gtest.h>

using namespace simunit;

TEST(MessageBoxes, AnswersAreTakenInOrderAndLogged) {
    TestMachine m;
    m.ini("Display", "Answers", "yes, No,ok,cancel").create();
    EXPECT_EQ(IDYES, MessageBoxW(nullptr, u"Restart now?", u"Hotfix", MB_YESNO | MB_ICONQUESTION));
    EXPECT_EQ(IDNO, MessageBoxW(nullptr, u"Again?", u"Hotfix", MB_YESNOCANCEL));
    EXPECT_EQ(IDOK, MessageBoxW(nullptr, u"Done \"quoted\"\nline 2", nullptr, MB_OK | MB_ICONINFORMATION));
    EXPECT_EQ(IDCANCEL, MessageBoxW(nullptr, u"Proceed?", u"Hotfix", MB_OKCANCEL | MB_ICONWARNING));
    EXPECT_EQ(
        "MessageBox caption=\"Hotfix\" text=\"Restart now?\" buttons=YESNO icon=QUESTION answer=IDYES\n"
        "MessageBox caption=\"Hotfix\" text=\"Again?\" buttons=YESNOCANCEL icon=NONE answer=IDNO\n"
        "MessageBox caption=\"Error\" text=\"Done \\\"quoted\\\"\\nline 2\" buttons=OK icon=INFORMATION answer=IDOK\n"
        "MessageBox caption=\"Hotfix\" text=\"Proceed?\" buttons=OKCANCEL icon=WARNING answer=IDCANCEL\n",
        m.screenLog());
}

TEST(MessageBoxes, AnswerThatIsNoButtonFailsTheBox) {
    TestMachine m;
    m.ini("Display", "Answers", "yes,cancel").create();
    SetLastError(0);
    EXPECT_EQ(0, MessageBoxW(nullptr, u"Info", u"Cap", MB_OK));
    EXPECT_EQ(static_cast<DWORD>(ERROR_NOT_SUPPORTED), GetLastError());
    EXPECT_EQ(IDOK, MessageBoxW(nullptr, u"Info", u"Cap", MB_OK)) << "cancel closes an OK box with OK, as Escape does";
    EXPECT_EQ(
        "MessageBox caption=\"Cap\" text=\"Info\" buttons=OK icon=NONE answer=0 error=\"answer yes is not a button of "
        "OK\"\n"
        "MessageBox caption=\"Cap\" text=\"Info\" buttons=OK icon=NONE answer=IDOK\n",
        m.screenLog());
}

TEST(MessageBoxes, NoAnswerAndNoTerminalFailsTheBox) {
    TestMachine m;
    m.create();
    ChildResult child = runChild([] { return MessageBoxW(nullptr, u"Text", u"Cap", MB_YESNO) == 0 ? 0 : 1; });
    EXPECT_EQ(0, child.exitCode);
    EXPECT_EQ(
        "MessageBox caption=\"Cap\" text=\"Text\" buttons=YESNO icon=NONE answer=0 error=\"no answer left in "
        "machine.ini and no terminal\"\n",
        m.screenLog());
}

TEST(MessageBoxes, EachProcessStartsWithTheFirstAnswer) {
    TestMachine m;
    m.ini("Display", "Answers", "no,yes").create();
    for (int run = 0; run < 2; ++run) {
        ChildResult child = runChild([] {
            return MessageBoxW(nullptr, u"Q", u"C", MB_YESNO) == IDNO &&
                           MessageBoxW(nullptr, u"Q", u"C", MB_YESNO) == IDYES
                       ? 0
                       : 1;
        });
        EXPECT_EQ(0, child.exitCode);
    }
}

TEST(MessageBoxes, NonAsciiTextIsUtf8) {
    TestMachine m;
    m.ini("Display", "Answers", "ok").create();
    MessageBoxW(nullptr, u"Gr\u00fc\u00dfe", u"\u00c4", MB_OK);
    EXPECT_EQ(
        "MessageBox caption=\"\xC3\x84\" text=\"Gr\xC3\xBC\xC3\x9F"
        "e\" buttons=OK icon=NONE answer=IDOK\n",
        m.screenLog());
}
