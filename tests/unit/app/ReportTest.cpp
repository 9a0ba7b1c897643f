// The report URL and the help pages.

#include "app/Report.h"
#include "tests/unit/platform/PlatformTempFolder.h"

#include <gtest/gtest.h>

namespace qv::test {
namespace {

app::ReportInputs CompletedRecording() {
    app::ReportInputs in;
    in.runResult = 0;
    in.sourceLine = "Demo Disc";
    in.appletVersion = "5.55(350)";
    in.aspiVersion = "4.600(1021)";
    in.packetWritingVersion = "Not Found";
    in.vendor = "ACME";
    in.product = "CDRW 1";
    in.successFragment = "&Succ=0.0.1";
    in.failureFragment = "&Fail=0.0.0";
    in.speedText = "8";
    in.payloadMegabytes = 99;
    return in;
}

TEST(ReportUrl, CompletedRecordingGivesTheExampleQuery) {
    EXPECT_EQ(app::ReportQuery(CompletedRecording()),
              "r=0&source=Demo_Disc&av=5.55(350)&ASPI=4.600(1021)&DirectCDvxd=Not_Found"
              "&cdr=ACMECDRW_1&Succ=0.0.1&Fail=0.0.0&t=8&size=99");
    EXPECT_EQ(app::ReportUrl(CompletedRecording()),
              "http://report.example.com/vtqs2.asp?" + app::ReportQuery(CompletedRecording()));
}

TEST(ReportUrl, CancelBeforeRecordingCarriesTheUntouchedGaugeHint) {
    app::ReportInputs in = CompletedRecording();
    in.runResult = 1;
    in.speedText = "";
    in.payloadMegabytes = 0;
    const std::string query = app::ReportQuery(in);
    EXPECT_NE(query.find("&DirectCDvxd=Not_Found&p=100.-&cdr="), std::string::npos) << query;
    EXPECT_TRUE(query.ends_with("&t=&size=0")) << query;
    EXPECT_TRUE(query.starts_with("r=1&")) << query;
}

TEST(ReportUrl, ProgressAfterAStoppedRecording) {
    app::ReportInputs in = CompletedRecording();
    in.runResult = 7;
    in.progressHint = "43";
    EXPECT_NE(app::ReportQuery(in).find("&p=100.43&cdr="), std::string::npos);
}

TEST(ReportUrl, RecorderNameReplacementsAndNone) {
    app::ReportInputs in = CompletedRecording();
    in.vendor = "";
    in.product = "";
    EXPECT_NE(app::ReportQuery(in).find("&cdr=None&Succ="), std::string::npos);
    in.vendor = "A&B ";
    in.product = "X Y";
    EXPECT_NE(app::ReportQuery(in).find("&cdr=A_B_X_Y&Succ="), std::string::npos);
}

TEST(ReportUrl, SourceLineAmpersandPassesOnAndBlanksBecomeUnderscores) {
    app::ReportInputs in = CompletedRecording();
    in.sourceLine = "Rock & Roll&x=1";
    EXPECT_TRUE(app::ReportQuery(in).starts_with("r=0&source=Rock_&_Roll&x=1&av="));
}

TEST(ReportUrl, SourceIsTheContentFilesFirstLineWhateverEndsIt) {
    const std::pair<const char*, const char*> cases[] = {
        {"Demo\r\n[TITLE]\r\n", "Demo"},
        {"Demo\n[TITLE]\n", "Demo"},
        {"Demo\r[TITLE]\r", "Demo"},
        {"Demo", "Demo"},
        {"\r\nDemo\r\n", ""},
        {"", "Missing"},
    };
    for (const auto& [text, line] : cases) {
        PlatformTempFolder folder;
        EXPECT_EQ(app::SourceLine(folder.Write("qvorig.qv", text)), line) << text;
    }
}

TEST(HelpPages, LiveOnTheSupportSite) {
    EXPECT_EQ(app::HelpPageUrl(), "http://support.example.com/support/vtqs/helpbutton-perm.asp");
    EXPECT_EQ(app::AspiHelpPageUrl(), "http://support.example.com/support/aboutaspi-perm.asp");
}

} // namespace
} // namespace qv::test
