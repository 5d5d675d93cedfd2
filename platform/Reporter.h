#pragma once

#include <string>
#include <string_view>

namespace platform {

// Everything the program says reaches the user through one Reporter, made by
// the program's entry and passed down to whoever has something to say.
// Standard output carries the program's console texts ("Wrong password!",
// "Done", the help) exactly as scripts expect them; standard error carries
// everything else, a line at a time: errors, warnings, notes, the summary,
// advice. Nothing else in the program writes to either.
class Reporter {
  public:
    virtual ~Reporter() = default;

    // A console text for standard output, as it is (line ends included).
    virtual void Output(std::string_view text) = 0;
    // One line for standard error; the line end is added.
    virtual void Line(std::string_view text) = 0;

    void Error(std::string_view text) { Prefixed("Error: ", text); }
    void Warning(std::string_view text) { Prefixed("Warning: ", text); }
    void Note(std::string_view text) { Prefixed("Note: ", text); }

    // False once a text could not be written (a closed pipe, a full disk):
    // the run goes on, but cannot call itself a success.
    virtual bool ok() const = 0;

    // A person is at the console: standard input is a terminal (a console on
    // Windows) that questions can be asked on. A script has none, and is
    // asked nothing.
    virtual bool PersonPresent() const { return false; }
    // Shows `question` to the person at the terminal (never on standard
    // output) and reads the line typed in answer, without its line end.
    // False when no answer was read: nobody is there, the input ended, or an
    // interrupt came (the caller checks for one).
    virtual bool Ask(std::string_view question, std::string* answer) {
        (void)question;
        answer->clear();
        return false;
    }
    // A text for the person at the terminal alone, as it is ("Press Enter to
    // close."): it never reaches standard output, so scripts read the same.
    virtual void Tell(std::string_view text) { (void)text; }

  private:
    void Prefixed(std::string_view prefix, std::string_view text) {
        std::string line(prefix);
        line += text;
        Line(line);
    }
};

// The reporter of the program's own console: standard output and error as
// the platform shows text (see platform/os/Console.h).
class ConsoleReporter : public Reporter {
  public:
    ConsoleReporter();
    void Output(std::string_view text) override;
    void Line(std::string_view text) override;
    bool ok() const override { return ok_; }
    bool PersonPresent() const override { return person_; }
    bool Ask(std::string_view question, std::string* answer) override;
    void Tell(std::string_view text) override;

  private:
    bool ok_ = true;
    bool person_;
};

// True for an answer that says yes: "y" or "yes" in any case, or the Russian
// "д" or "да", blanks around it aside.
bool IsYes(std::string_view answer);

// The last word of a run that cannot go on (a broken invariant): one line
// straight to standard error, made of nothing that allocates or locks.
void EmergencyLine(const char* text);

}  // namespace platform
