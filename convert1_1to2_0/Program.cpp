#include "convert1_1to2_0/Program.h"

#include <exception>
#include <iostream>
#include <string>

#include "convert1_1to2_0/ConvertJournal.h"
#include "platform/Interrupt.h"

int RunProgram(int argc, const char* const* argv, std::istream& in, std::ostream& out,
               std::ostream& err) {
    const std::string password = argc > 1 ? argv[1] : "";
    // A wrong password is a failure a script must be able to tell.
    const int kWrongPasswordStatus = 2;
    int status = 0;
    try {
        if (!ConvertJournal(password)) {
            out << "Error converting file\n";
            status = kWrongPasswordStatus;
        }
    } catch (const platform::Interrupted& interrupted) {
        out.flush();
        err << "Stopped: " << interrupted.what() << ". The journal is as it was found.\n";
        return interrupted.exitStatus();
    } catch (const ConversionUnfinished& error) {
        out.flush();
        err << "Error: " << error.what() << "\n";
        err << "The journal was converted all the same.\n";
        return 1;
    } catch (const std::exception& error) {
        // The stores have put the legacy journal back by now.
        out.flush();
        err << "Error: " << error.what() << "\n";
        err << "The journal was not converted.\n";
        return 1;
    }
    out << "Done";
    out.flush();
    char c;
    in >> c;
    return status;
}
