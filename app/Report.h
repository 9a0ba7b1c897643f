#pragma once
// The result report opened in the user's browser at the end of a run, and
// the two help pages of the support site. Nothing is sent by the applet
// itself; the browser makes the request.

#include <cstdint>
#include <string>

namespace qv::app {

class TFormMain;

// The two sites, named once.
inline constexpr const char* kReportHost = "report.example.com";
inline constexpr const char* kSupportHost = "support.example.com";
// The query itself begins with "r=".
inline constexpr const char* kReportPage = "/vtqs2.asp?";
inline constexpr const char* kHelpPage = "/support/vtqs/helpbutton-perm.asp";
inline constexpr const char* kAspiHelpPage = "/support/aboutaspi-perm.asp";

std::string ReportUrlPrefix();
std::string HelpPageUrl();
std::string AspiHelpPageUrl();

// Everything the report carries, as read when it is built.
struct ReportInputs {
    int32_t runResult = 0;
    std::string sourceLine;
    std::string appletVersion;
    std::string aspiVersion;
    std::string packetWritingVersion;
    std::string vendor;
    std::string product;
    std::string progressHint = "-";
    std::string successFragment;
    std::string failureFragment;
    std::string speedText;
    uint32_t payloadMegabytes = 0;
};

// The query after the page name: "r=0&source=...".
std::string ReportQuery(const ReportInputs& inputs);
std::string ReportUrl(const ReportInputs& inputs);

// The report's source: the first line of the content description, or
// "Missing" for an empty file.
std::string SourceLine(const std::string& path);

// Builds the report from the window and the working folder and opens it;
// nothing without "qvorig.qv", and any failure ends it silently.
void SendReport(TFormMain& form);

} // namespace qv::app
