#include "support/ChildRun.h"

#include <gtest/gtest.h>

#include <sstream>

#include "convert1_1to2_0/Program.h"
#include "platform/Reporter.h"
#include "platform/os/Env.h"
#include "support/ChildProcess.h"
#include "support/FaultInjectionCrypto.h"
#include "support/FaultInjectionEnv.h"

namespace testing_support {
namespace {

// The child's argument names a file with the plan and the arguments, so
// that they need no quoting; its path travels as hex, which no code page
// can spoil.
const char kChildRunArgument[] = "--jc-child-run=";

// "<failAt> <failFromThenOn> <crashAfter> <readOnly> <cipherFailAt> <count file> <arg>..."
// with the texts in hex.
std::string DescribeRun(const FaultPlan& plan, const std::string& countFile,
                        const std::vector<std::string>& args) {
    std::ostringstream out;
    out << plan.failAt << ' ' << plan.failFromThenOn << ' ' << plan.crashAfter << ' '
        << plan.readOnly << ' ' << plan.cipherFailAt << ' ' << ToHex(countFile);
    for (const std::string& arg : args)
        out << " x" << ToHex(arg);  // "x": an empty argument is a word too
    return out.str();
}

}  // namespace

ProcessResult RunProgramInChild(const std::string& dir, const std::vector<std::string>& args,
                                const FaultPlan& plan, uint64_t* operations,
                                uint64_t* cipherCalls) {
    TempDir scratch;
    const std::string runFile = scratch.File("run");
    WriteFile(runFile, DescribeRun(plan, scratch.File("count"), args));
    std::string self;
    const platform::Status status = platform::CurrentProgramPath(&self);
    if (!status.ok()) {
        ADD_FAILURE() << status.message();
        return ProcessResult();
    }
    ProcessResult result = RunProcess(self, {kChildRunArgument + ToHex(runFile)}, dir);
    uint64_t counts[2] = {0, 0};
    if (Exists(scratch.File("count")))
        std::istringstream(ReadFile(scratch.File("count"))) >> counts[0] >> counts[1];
    if (operations != nullptr)
        *operations = counts[0];
    if (cipherCalls != nullptr)
        *cipherCalls = counts[1];
    return result;
}

bool IsChildRun(int argc, char** argv) {
    return argc == 2 && std::string(argv[1]).rfind(kChildRunArgument, 0) == 0;
}

int RunChild(char** argv) {
    platform::Env& real = platform::Env::Real();
    std::string description;
    const std::string runFile = FromHex(std::string(argv[1]).substr(sizeof kChildRunArgument - 1));
    if (!platform::ReadWholeFile(real, runFile, &description).ok())
        return 127;
    std::istringstream in(description);
    FaultPlan plan;
    std::string countFile;
    in >> plan.failAt >> plan.failFromThenOn >> plan.crashAfter >> plan.readOnly >>
        plan.cipherFailAt >> countFile;
    countFile = FromHex(countFile);
    std::vector<std::string> args;
    for (std::string word; in >> word;)
        args.push_back(FromHex(word.substr(1)));

    platform::FaultInjectionEnv env(real);
    if (plan.failAt != 0)
        env.FailAt(plan.failAt, plan.failFromThenOn);
    if (plan.crashAfter != 0)
        env.CrashAfter(plan.crashAfter);
    if (plan.readOnly)
        env.MakeReadOnly();
    platform::FaultInjectionCrypto crypto(platform::CryptoService::Real());
    crypto.FailAt(plan.cipherFailAt);
    std::vector<const char*> programArgv = {"convert1_1to2_0"};
    for (const std::string& arg : args)
        programArgv.push_back(arg.c_str());
    int status;
    {
        platform::ScopedEnv scoped(env);
        platform::ScopedCryptoService scopedCrypto(crypto);
        std::istringstream noInput;
        // The child is a whole program: it speaks on its own standard output
        // and error, as the converter does.
        platform::ConsoleReporter reporter;
        status =
            RunProgram(static_cast<int>(programArgv.size()), programArgv.data(), noInput, reporter);
    }
    platform::WriteFileAtomically(
        real, countFile,
        std::to_string(env.OperationCount()) + " " + std::to_string(crypto.CallCount()));
    return status;
}

}  // namespace testing_support
