#include "Report.h"

#include "CommonUtils.h"
#include "PreflightChecks.h"
#include "RunState.h"
#include "UnitMain.h"

#include "payload/WorkingFiles.h"
#include "platform/Files.h"

#include <algorithm>
#include <exception>
#include <fstream>

namespace qv::app {

namespace {

constexpr const char* kScheme = "http://";
constexpr const char* kMissingSource = "Missing";
constexpr const char* kNoRecorder = "None";
constexpr const char* kFullProgress = "100.";

std::string Replaced(std::string text, const std::string& from) {
    std::replace_if(
        text.begin(), text.end(), [&](char c) { return from.find(c) != std::string::npos; }, '_');
    return text;
}

std::string PacketWritingVersion(const TRunEnvironment& environment) {
    const char* file =
        platform::FileExists(kPacketWritingDriver) ? kPacketWritingDriver : kPacketWritingProgram;
    return VersionOf(environment, file, kVersionShort);
}

} // namespace

// A line ends at CR as well as at LF, as the title reader has it.
std::string SourceLine(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::string line;
    char c = 0;
    bool any = false;
    while (in.get(c)) {
        any = true;
        if (c == '\r' || c == '\n') break;
        line += c;
    }
    return any ? line : kMissingSource;
}

std::string ReportUrlPrefix() {
    return std::string(kScheme) + kReportHost + kReportPage;
}

std::string HelpPageUrl() {
    return std::string(kScheme) + kSupportHost + kHelpPage;
}

std::string AspiHelpPageUrl() {
    return std::string(kScheme) + kSupportHost + kAspiHelpPage;
}

std::string ReportQuery(const ReportInputs& in) {
    const std::string versions =
        Replaced(in.sourceLine + "&av=" + in.appletVersion + "&ASPI=" + in.aspiVersion +
                     "&DirectCDvxd=" + in.packetWritingVersion,
                 " ");
    std::string recorder = in.vendor + in.product;
    recorder = recorder.empty() ? kNoRecorder : Replaced(recorder, " &");
    std::string query = "r=" + std::to_string(in.runResult) + "&source=" + versions;
    if (in.runResult != 0) query += std::string("&p=") + kFullProgress + in.progressHint;
    query += "&cdr=" + recorder + in.successFragment + in.failureFragment + "&t=" + in.speedText +
             "&size=" + std::to_string(in.payloadMegabytes);
    return query;
}

std::string ReportUrl(const ReportInputs& inputs) {
    return ReportUrlPrefix() + ReportQuery(inputs);
}

void SendReport(TFormMain& form) {
    const std::string content = WorkingFolderPath(payload::kContentFile);
    if (!platform::FileExists(content)) return;
    try {
        const TRunEnvironment& environment = form.Run().environment;
        ReportInputs in;
        in.runResult = form.RunResult;
        in.packetWritingVersion = PacketWritingVersion(environment);
        in.sourceLine = SourceLine(content);
        in.appletVersion = VersionOf(environment, ExecutablePath(), kVersionFull);
        in.aspiVersion = VersionOf(environment, payload::kInstalledAspiFile, kVersionLong);
        in.vendor = form.VendorText;
        in.product = form.ProductText;
        in.progressHint = form.Run().progressHint;
        in.successFragment = form.SuccFragment;
        in.failureFragment = form.FailFragment;
        in.speedText = form.SpeedText;
        in.payloadMegabytes = form.PayloadMegabytes;
        form.Facts().OpenUrl(ReportUrl(in));
    } catch (const std::exception&) {
        // The report is a courtesy; the run ends the same without it.
    }
}

void TFormMain::ButtonLeftClick() {
    facts_.OpenUrl(HelpPageUrl());
}

void TFormMain::OpenAspiHelpPage() {
    facts_.OpenUrl(AspiHelpPageUrl());
}

} // namespace qv::app
