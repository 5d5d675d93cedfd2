#include "convert1_1to2_0/Program.h"

#include <exception>
#include <istream>
#include <limits>
#include <string>

#include "convert1_1to2_0/CheckJournal.h"
#include "convert1_1to2_0/CommandLine.h"
#include "convert1_1to2_0/ConvertJournal.h"
#include "platform/os/Console.h"
#include "platform/os/Interrupt.h"
#include "platform/os/Locale.h"
#include "platform/text/CodePage.h"

namespace {

const char kProgramName[] = "convert1_1to2_0";

// The code page a journal is read in when the command line names none: the
// system's own where a journal can be in it, otherwise Windows-1251.
int DefaultCodePage() {
    const int system = platform::SystemAnsiCodePage();
    return platform::IsSupportedCodePage(system) ? system : 1251;
}

std::string HelpText() {
    const int system = platform::SystemAnsiCodePage();
    return std::string("Usage: ") + kUsageLine +
           "\n"
           "\n"
           "Converts the dream journal in the current folder from the older release's\n"
           "storage (the data file \"data\" and the settings \"ini\") to the newer release's\n"
           "document \"data.xml\" and settings \"ini.txt\". The data file is written back,\n"
           "enciphered with the same password; it stays as the last two runs found it in\n"
           "\"_data\" and \"__data\". An earlier \"data.xml\" is set aside, never deleted.\n"
           "Where there is no \"data\", a person at the terminal is asked before a new,\n"
           "empty journal is made.\n"
           "\n"
           "  PASSWORD       the journal's password. Leave it out to be asked for it on the\n"
           "                 terminal (\"Password: \", nothing shown as you type; three\n"
           "                 tries): that is the private way, since other users can see an\n"
           "                 argument and the shell keeps it in its history. \"\" says\n"
           "                 there is none.\n"
           "  --codepage=N   the Windows code page the journal was written in, one of\n"
           "                 " +
           platform::SupportedCodePageList() +
           ".\n"
           "                 Without it: this system's code page where it is one of\n"
           "                 those, otherwise 1251 (here: " +
           std::to_string(DefaultCodePage()) +
           (system == DefaultCodePage() ? "" : ", as this system uses " + std::to_string(system)) +
           ").\n"
           "                 The journal's texts are read in it, and a password with\n"
           "                 letters beyond ASCII is tried in it first (without the\n"
           "                 option, then as each other code page spells it). Texts that\n"
           "                 look written in another code page (\"cafй\" for \"café\") bring\n"
           "                 a question, or a warning that names the option to use.\n"
           "  --check        tells what a conversion would do, file by file, and whether\n"
           "                 it would succeed (the exit status it would end with), changing\n"
           "                 nothing in the folder; only the password is asked for.\n"
           "  --             ends the options: what follows is the password, even if it\n"
           "                 begins with \"-\". A password that begins with \"--\" must\n"
           "                 follow it; any other argument spelled \"--name\" is an error.\n"
           "  -h, --help     shows this text.\n"
           "  --version      shows the program's version.\n"
           "\n"
           "Dates are written with the decimal separator the journal itself uses\n"
           "(\"39448,5\" or \"39448.5\"), not this computer's: the newer release reads them\n"
           "with the same Windows number settings that wrote the journal.\n"
           "\n"
           "Exit status: 0 converted; 1 error (the journal is left as it was found);\n"
           "2 wrong password (nothing changed); 3 an internal check failed; 128 + n\n"
           "stopped by signal n, such as Ctrl-C (the journal is left as it was found).\n"
           "A signal that comes once the conversion cannot be undone is held: the run\n"
           "finishes, says so in a note, and exits 0 without waiting for Enter (a script\n"
           "that loops over folders and means to stop should look for that note).\n"
           "\n"
           "More, with how to recover an earlier journal: man convert1_1to2_0\n";
}

std::string Count(int n, const char* noun) {
    return std::to_string(n) + " " + noun + (n == 1 ? "" : "s");
}

// The line a successful run ends with on standard error.
std::string ConversionSummary(const ConversionReport& report) {
    std::string line =
        "Converted " + Count(report.dreams, "dream") + " (" + std::to_string(report.lucidDreams) +
        " lucid), " + Count(report.places, "place") + " and " +
        Count(report.positions, "position") + " into " + platform::Quoted(report.documentPath) +
        (report.verified ? ", read back and verified." : ".");
    if (!report.setAsidePath.empty())
        line += std::string(" The earlier document is ") +
                (report.setAsideBefore ? "already kept as" : "kept as") + " \"" +
                report.setAsidePath + "\".";
    return line;
}

// After "Done": any line ends the wait, an empty one included, and so does
// the end of input, and a signal. A person at the console is told how to end
// it; `lineStart` is what stands on the terminal's line before (nothing, or
// "Done").
void WaitForEnter(std::istream& in, platform::Reporter& reporter, const char* lineStart = "") {
    reporter.Tell(std::string(lineStart) + "Press Enter to close.");
    in.ignore(std::numeric_limits<std::streamsize>::max(), '\n');
}

// A signal held after the point of no return: the journal is converted all
// the same, and the exit status says so.
bool SayIfSignalCameLate(platform::Reporter& reporter) {
    const int signal = platform::HeldInterrupt();
    if (signal == 0)
        return false;
    reporter.Note("the run was " + platform::Interrupted(signal).status().message() +
                  " after the conversion was complete; the journal is converted");
    return true;
}

// What a conversion would do, told on standard output; the exit status is
// the one the conversion would end with, or 1 where it would ask first.
int RunCheck(const ConversionOptions& options, platform::Reporter& reporter) {
    CheckVerdict verdict;
    try {
        verdict = CheckJournal(options, reporter);
    } catch (const platform::Interrupted& interrupted) {
        reporter.Line("Stopped: " + interrupted.status().message() + ". Nothing was changed.");
        return interrupted.exitStatus();
    }
    if (!reporter.ok()) {
        reporter.Error("cannot write to standard output");
        return kErrorExitStatus;
    }
    switch (verdict) {
        case CheckVerdict::kWouldSucceed:
            return 0;
        case CheckVerdict::kWrongPassword:
            return kWrongPasswordExitStatus;
        case CheckVerdict::kWouldStop:
            break;
    }
    return kErrorExitStatus;
}

}  // namespace

int RunProgram(const std::vector<std::string>& args, const ProgramConsole& console) {
    platform::Reporter& reporter = console.reporter;
    const CommandLine line = ParseCommandLine(args, DefaultCodePage());
    switch (line.action) {
        case CommandLine::Action::kHelp:
            reporter.Output(HelpText());
            return 0;
        case CommandLine::Action::kVersion:
            reporter.Output(std::string(kProgramName) + " " + JC_VERSION + "\n");
            return 0;
        case CommandLine::Action::kError:
            reporter.Error(line.error);
            reporter.Line(std::string("Usage: ") + kUsageLine);
            return kErrorExitStatus;
        case CommandLine::Action::kConvert:
        case CommandLine::Action::kCheck:
            break;
    }

    const int system = platform::SystemAnsiCodePage();
    if (!line.codePageChosen && line.codePage != system)
        reporter.Note("this Windows' code page, " + std::to_string(system) +
                      ", is not one a journal can be read in; the journal is read as code page " +
                      std::to_string(line.codePage) + " (" + platform::CodePageName(line.codePage) +
                      "). If it was kept on another Windows, run again with --codepage=N, one "
                      "of " +
                      platform::SupportedCodePageList() + ".");

    ConversionOptions options;
    options.password = line.password;
    options.passwordLooksLikeOption = line.passwordLooksLikeOption;
    options.codePage = line.codePage;
    options.codePageChosen = line.codePageChosen;
    bool asked = false;
    platform::Status answer;
    if (!line.passwordGiven) {
        options.askPassword = [&](std::string* password) {
            asked = true;
            answer = console.askPassword ? console.askPassword(password)
                                         : platform::Status::Make(
                                               platform::StatusCode::kNotSupported, "no terminal");
            // Ctrl-C at the prompt ends the run like anywhere else.
            platform::CheckForInterrupt();
            return answer.ok();
        };
    }
    if (line.action == CommandLine::Action::kCheck)
        return RunCheck(options, reporter);
    // Signals are handled until the program ends, the wait after "Done"
    // included: the exit status of one tells the truth about the journal.
    platform::InterruptHandling interrupts;
    ConversionReport report;
    try {
        report = ConvertJournal(options, reporter);
    } catch (const platform::Interrupted& interrupted) {
        // The run unwound through the restore, as an error does.
        reporter.Line("Stopped: " + interrupted.status().message() +
                      ". The journal is as it was found.");
        return interrupted.exitStatus();
    } catch (const std::exception& error) {
        // The stores have put the legacy journal back by now.
        reporter.Error(error.what());
        reporter.Line("The journal was not converted.");
        if (platform::OwnsConsoleWindow())
            WaitForEnter(console.in, reporter);
        return kErrorExitStatus;
    }
    if (!report.unfinished.ok()) {
        reporter.Error(report.unfinished.message());
        reporter.Line("The journal was converted all the same.");
        if (!SayIfSignalCameLate(reporter) && platform::OwnsConsoleWindow())
            WaitForEnter(console.in, reporter);
        return kErrorExitStatus;
    }
    if (report.opened) {
        reporter.Line(ConversionSummary(report));
    } else {
        reporter.Output("Error converting file\n");
        if (asked && !console.askPassword)
            reporter.Line(
                "The journal is enciphered, or is no journal: give its password as the argument, "
                "or run the program on a terminal to be asked for it.");
        else if (asked && !answer.ok())
            reporter.Line("The password was not read: " + answer.message() + ".");
        if (line.passwordLooksLikeOption)
            reporter.Note(platform::Quoted(line.password) +
                          " was taken as the password; the options are " + kOptionList + ".");
    }
    // The journal is converted, whatever the screen can show of it: no
    // wait, and success.
    if (report.opened && SayIfSignalCameLate(reporter)) {
        reporter.Output("Done");
        return 0;
    }
    reporter.Output("Done");
    if (!reporter.ok()) {
        // What the run said never reached the user: that is no success to
        // report.
        reporter.Error("cannot write to standard output or standard error");
        return report.opened ? kErrorExitStatus : kWrongPasswordExitStatus;
    }
    // "Done" ends no line: the person's line starts on the next.
    WaitForEnter(console.in, reporter, "\n");
    if (report.opened && SayIfSignalCameLate(reporter))
        return 0;
    return report.opened ? 0 : kWrongPasswordExitStatus;
}

int RunProgram(int argc, const char* const* argv, std::istream& in, platform::Reporter& reporter) {
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i)
        args.push_back(argv[i]);
    return RunProgram(args, ProgramConsole{in, reporter, nullptr});
}
