#include <gtest/gtest.h>

#include <string>

#include "platform/system/failure.h"

namespace {

// The presenter the window layer would set, answering as told and counting what it was shown.
BoxAnswer presenterAnswer = BoxAnswer::Yes;
std::string presented;
BoxAnswer presentBox(BoxKind, std::string_view caption, std::string_view) {
    presented += std::string(caption) + ";";
    return presenterAnswer;
}
void endFatal() {
    std::fputs("desktop back\n", stderr);
}

class Presenter : public testing::Test {
  protected:
    void SetUp() override {
        presented.clear();
        answerBoxesOnStandardError(false, true);
    }
    void TearDown() override { setBoxPresenter({}); }
};

} // namespace

// Without a presenter every box is its line on standard error; with one, the box goes to it,
// and only a box it could not show is written there.
TEST_F(Presenter, ABoxGoesToThePresenterOrToStandardError) {
    struct Case {
        bool withPresenter;
        BoxAnswer answer;
        BoxKind kind;
        bool expectedResult;
        const char* expectedPresented;
        const char* expectedLine;
    };
    const Case cases[] = {
        {false, BoxAnswer::Yes, BoxKind::Notice, true, "", "notice\tCAP\ttext\n"},
        {false, BoxAnswer::No, BoxKind::Question, true, "", "question\tCAP\ttext\tyes\n"},
        {true, BoxAnswer::Yes, BoxKind::Notice, true, "CAP;", ""},
        {true, BoxAnswer::Yes, BoxKind::Question, true, "CAP;", ""},
        {true, BoxAnswer::No, BoxKind::Question, false, "CAP;", ""},
        {true, BoxAnswer::NotShown, BoxKind::Notice, true, "CAP;", "notice\tCAP\ttext\n"},
        {true, BoxAnswer::NotShown, BoxKind::Question, true, "CAP;", "question\tCAP\ttext\tyes\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.withPresenter << " " << int(c.answer) << " " << int(c.kind));
        presented.clear();
        presenterAnswer = c.answer;
        setBoxPresenter(c.withPresenter ? BoxPresenter{presentBox, endFatal} : BoxPresenter{});
        testing::internal::CaptureStderr();
        bool result = c.kind == BoxKind::Question ? questionBox("CAP", "text")
                                                  : (noticeBox("CAP", "text"), true);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), c.expectedLine);
        EXPECT_EQ(result, c.expectedResult);
        EXPECT_EQ(presented, c.expectedPresented);
    }
}

// Batch mode answers on standard error and leaves the presenter out.
TEST_F(Presenter, BatchModeWritesTheLineInsteadOfThePresenter) {
    setBoxPresenter({presentBox, endFatal});
    answerBoxesOnStandardError(true, false);
    testing::internal::CaptureStderr();
    EXPECT_FALSE(questionBox("CAP", "go on ?"));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "question\tCAP\tgo on ?\tno\n");
    EXPECT_EQ(presented, "");
    answerBoxesOnStandardError(false, true);
}

using PresenterDeathTest = Presenter;

// A fatal report is its line, then the presenter's box, then the desktop put back, in every
// mode; without a presenter only the line.
TEST_F(PresenterDeathTest, AFatalReportPutsTheDesktopBackThroughThePresenter) {
    EXPECT_EXIT(
        {
            setBoxPresenter({presentBox, endFatal});
            fatalError("ERROR", "broken");
        },
        testing::ExitedWithCode(1), "^fatal\tERROR\tbroken\ndesktop back\n$");
    EXPECT_EXIT(
        {
            setBoxPresenter({presentBox, endFatal});
            answerBoxesOnStandardError(true, true);
            fatalError("ERROR", "broken");
        },
        testing::ExitedWithCode(1), "^fatal\tERROR\tbroken\ndesktop back\n$");
    EXPECT_EXIT(fatalError("ERROR", "broken"), testing::ExitedWithCode(1),
                "^fatal\tERROR\tbroken\n$");
}
